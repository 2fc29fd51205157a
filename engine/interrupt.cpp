// User interrupts: Ctrl-C asks the running command to stop; the procedure
// notices at its next ATNJMP, which abandons the command. ATNJMP also drives
// the progress line of long commands.
#include <signal.h>

#include <csignal>

#include "engine/data/csv_dataset.h"
#include "engine/engine.h"
#include "engine/output/builder.h"
#include "engine/output/document_builder.h"
#include "engine/core/progress.h"
#include "engine/core/session.h"
#include "host/tavixwlib.h"

namespace {

volatile std::sig_atomic_t* interruptFlag = nullptr;

extern "C" void onInterrupt(int signal) {
  if (*interruptFlag != 0) {
    // The first request has not been acted on: the program may be stuck
    // where nothing checks. Let this Ctrl-C end it the ordinary way.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  *interruptFlag = 1;
}

// What the engine sees of the command's progress at this check.
engine::ProgressObservation observe(engine::Session& s) {
  engine::ProgressObservation seen;
  if (s.output != nullptr) {
    const std::int64_t columns = s.output->document().openTableColumns();
    seen.tableOpen = columns >= 0;
    seen.tableColumns = columns;
  }
  seen.pass = s.global.multiplePassWord;
  seen.caseSequence = s.global.caseSequence;
  if (const auto* csv = dynamic_cast<const engine::data::CsvDataset*>(s.dataset.get())) {
    seen.casesInData = csv->caseCount();
  }
  return seen;
}

}  // namespace

void ATNJMP(ProxWorkspace& /*ws*/) {
  engine::Session& s = engine::Session::current();
  if (engine::ProgressMeter* meter = engine::activeProgressMeter()) {
    meter->tick(engine::ProgressMeter::Clock::now(), observe(s));
  }
  if (s.interruptRequested == 0) return;
  s.interruptRequested = 0;
  throw engine::Interrupted{};
}

namespace engine {

void installInterruptHandler() {
  interruptFlag = &Session::current().interruptRequested;
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace engine
