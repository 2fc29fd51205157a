// Small helpers over the host's scanner shared by the parsers.
#pragma once

#include <string_view>

#include "host/host.h"

namespace scan {

inline void next(Word scanner) { SSNXT1(scanner); }

// Reads the next token, and the one after it when that is '='.
inline void nextSkippingEquals(Word scanner) {
  SSNXT1(scanner);
  if (host::tokenIs(kDelimEquals)) SSNXT1(scanner);
}

inline bool atSubcommandEnd() { return host::atEndOfCommand() || host::tokenIs(kDelimSlash); }

// Reads tokens until the current token is '/' or the end of the command.
inline void skipSubcommand(Word scanner) {
  while (!atSubcommandEnd()) SSNXT1(scanner);
}

inline bool isNumber() {
  return !host::atEndOfCommand() && host::token().tokenClass == kTokenNumber;
}

// A number truncated toward zero, clamped to the range of a word so that a
// huge literal cannot overflow the conversion.
Word truncated(double value);

}  // namespace scan
