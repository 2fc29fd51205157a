// The interrupt check (ATNJMP): the procedure calls it once per case,
// feature or printed row. A request to stop (the program's Ctrl-C handler,
// or any caller of engine::requestInterrupt) abandons the command here, and so
// does an output that can no longer be written.
// The check also drives the progress line of long commands.
#include "engine/core/progress.h"
#include "engine/core/session.h"
#include "engine/data/csv_dataset.h"
#include "engine/output/builder.h"
#include "engine/output/document_builder.h"
#include "host/tavixwlib.h"

namespace {

// What the engine sees of the command's progress at this check.
engine::ProgressObservation observe(engine::Session& s) {
  engine::ProgressObservation seen;
  if (s.output() != nullptr) {
    const std::int64_t columns = s.output()->document().openTableColumns();
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
  if (s.interruptRequested == 0 && !s.documentLost()) return;
  s.interruptRequested = 0;
  throw engine::Interrupted{};
}
