// The command scanner on any text: it cuts commands or throws ScanError,
// and every command it cuts starts with its command word.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/core/scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    for (const engine::Command& command : engine::splitCommands(text)) {
      if (command.tokens.empty()) std::abort();  // a command without its word
    }
  } catch (const engine::ScanError&) {
  }
  return 0;
}
