// Reporting through the host's message service: every problem of the
// procedure is a message with a class and a severity (3 stops the command).
#pragma once

#include <string_view>

#include "host/tavixwcom.h"

namespace host {

// A plain message.
void report(std::string_view text, Word messageClass, Word severity);

// A message whose template has one "^1" filled with the current token's text
// (up to its last non-blank character).
void reportWithToken(std::string_view templ, Word messageClass, Word severity);

inline constexpr std::string_view kNoMemory = "Insufficient memory for Proximities";

}  // namespace host
