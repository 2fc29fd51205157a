// User interrupts: Ctrl-C asks the running command to stop; the procedure
// notices at its next ATNJMP, which abandons the command.
#include <signal.h>

#include <csignal>

#include "engine/engine.h"
#include "engine/session.h"
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

}  // namespace

void ATNJMP(ProxWorkspace& /*ws*/) {
  engine::Session& s = engine::Session::current();
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
