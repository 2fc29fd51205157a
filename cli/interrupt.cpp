#include "cli/interrupt.h"

#include <signal.h>

#include <csignal>

#include "engine/engine.h"

namespace {

volatile std::sig_atomic_t* interruptFlag = nullptr;
volatile std::sig_atomic_t stoppingSignal = 0;

extern "C" void onInterrupt(int signal) {
  if (*interruptFlag != 0) {
    // The first request has not been acted on: the program may be stuck
    // where nothing checks. Let this one end it the ordinary way.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  stoppingSignal = signal;
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
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // A file-size limit (ulimit -f) must not kill the program halfway through
  // a file: ignored, it makes the write fail with EFBIG, which is reported
  // like a full disk, and the temporary file is removed.
  std::signal(SIGXFSZ, SIG_IGN);
}

int interruptingSignal() { return stoppingSignal != 0 ? stoppingSignal : SIGINT; }

}  // namespace cli
