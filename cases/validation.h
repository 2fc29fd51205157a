// Checks of the output names before a matrix file is written, and the
// numbered status codes of a pass turned into messages.
#pragma once

#include <span>

#include "host/workspace.h"

void procheck_output_names(ProxWorkspace& ws, Word itemCount, std::span<const Word> varList,
                           Word& status);
void proreport_error(Word status, Word messageClass, Word severity);
