// Ctrl-C in the program, and the other requests to stop (SIGTERM, as kill and
// service managers send, and SIGHUP, when the terminal goes away): the first
// asks the running command to stop at its next interrupt check; a second
// before the first was acted on ends the program.
#pragma once

namespace cli {

void installInterruptHandler();

// The signal that stopped the run (SIGINT, SIGTERM or SIGHUP; SIGINT when
// none was caught): the program exits with 128 plus it, as a shell reports a
// command a signal ended.
int interruptingSignal();

}  // namespace cli
