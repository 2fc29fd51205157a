#include "cli/interrupt.h"

#include <signal.h>

#include <csignal>

#include "engine/engine.h"

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

namespace cli {

void installInterruptHandler() {
  interruptFlag = &engine::interruptRequest();
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace cli
