// The procedure's side of the host interface: the shared areas, fetched once
// when the library is loaded, and small helpers over them.
#pragma once

#include "host/tavixwcom.h"
#include "host/tavixwdat.h"
#include "host/tavixwlib.h"

namespace host {

// Fetches the addresses of the host's shared areas. The loaded library calls
// it from its attach notification; unit tests call it themselves.
void attach();

// The areas as fetched by attach().
HostGlobal& global();
const MachineConstants& constants();
const HostToken& token();
const HostDictEntry& entry();
// The entry in hand, for the fields DICPUT stores (host/tavixwlib.h).
HostDictEntry& editableEntry();
HostDictionaryState& dictionaryState();
MatrixFileState& matrix();
const HostCase& currentCase();
const HostDictionaryHandles& dictionaries();

inline bool errorFlagSet() { return isTrue(global().errorFlag); }
inline double systemMissing() { return constants().systemMissing; }

// The current token's text up to its last non-blank character.
std::string_view tokenText();
inline bool atEndOfCommand() { return isTrue(token().endOfCommand); }
inline bool tokenIs(DelimiterCode d) {
  return !atEndOfCommand() && token().tokenClass == kTokenDelimiter && token().delimiter == d;
}

}  // namespace host
