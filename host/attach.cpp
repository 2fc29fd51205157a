#include <cassert>

#include "host/host.h"

namespace host {
namespace {

// Filled once by attach(); the host keeps the areas alive for the life of the
// process, so plain pointers are enough.
HostSharedAreas areas{};
const HostDictionaryHandles* handles = nullptr;

}  // namespace

void attach() {
  areas = TAVIXWCOM();
  handles = &TAVIXWDAT();
}

HostGlobal& global() { return *areas.global; }
const MachineConstants& constants() { return *areas.constants; }
const HostToken& token() { return *areas.token; }
const HostDictEntry& entry() { return *areas.entry; }
HostDictEntry& editableEntry() { return *areas.entry; }
HostDictionaryState& dictionaryState() { return *areas.dictionary; }
MatrixFileState& matrix() { return *areas.matrix; }
const HostCase& currentCase() { return *areas.currentCase; }
const HostDictionaryHandles& dictionaries() { return *handles; }

std::string_view tokenText() {
  const HostToken& t = token();
  if (isTrue(t.endOfCommand)) return {};
  std::string_view text(t.text, static_cast<std::size_t>(t.length));
  return text.substr(0, ICHWDC(text));
}

}  // namespace host
