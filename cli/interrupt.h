// Ctrl-C in the program: the first asks the running command to stop at its
// next interrupt check; a second before the first was acted on ends the
// program.
#pragma once

namespace cli {

void installInterruptHandler();

}  // namespace cli
