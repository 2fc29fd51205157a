// The whole engine fed command text over a small dataset held in memory,
// with the procedure linked in (instrumented like the engine) and registered
// under the name the program gives it. Whatever the text, every command ends
// in its output or a message: nothing may crash, hang or leak.
//
// Files: LOAD and EXPORT are replaced by commands that refuse, and a text
// naming a path outside the working folder (a "/" or "..", or "-" for
// standard input) makes the input one the fuzzer skips, so that no input
// reads /dev/zero or writes outside the scratch folder scripts/fuzz runs in.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/commands.h"
#include "engine/core/scanner.h"
#include "engine/engine.h"
#include "host/host.h"
#include "proc/prox.h"

namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

bool touchesOtherFiles(std::string_view text) {
  try {
    for (const engine::Command& command : engine::splitCommands(text)) {
      for (const engine::Token& token : command.tokens) {
        if (token.cls != kTokenString) continue;
        if (token.text.find('/') != std::string::npos ||
            token.text.find("..") != std::string::npos || token.text.find('-') == 0) {
          return true;
        }
      }
    }
  } catch (const engine::ScanError&) {
  }
  return false;
}

std::vector<engine::DataColumn> smallDataset() {
  const double m = engine::systemMissingValue();
  return {
      {"a", false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}},
      {"b", false, {0, 1, 0, 1, 1, m, 0, 1, 0, 0, 1, 1}, {}},
      {"c", false, {2.5, -1, 3e5, 0, 7, 7, 8, 1e-3, 4, 2, m, 6}, {}},
      {"g", false, {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}, {}},
      {"s", true, {}, {"x", "y", "z", "x", "y", "z", "x", "y", "z", "x", "y", "z"}},
  };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (touchesOtherFiles(text)) return -1;
  static NullBuffer discard;
  std::ostream out(&discard);
  engine::EngineOptions options;
  options.out = &out;
  options.workspaceBytes = std::int64_t{64} << 20;
  engine::Engine eng(options);
  eng.registerProcedure("PROXIMITIES", 4, &PROX);
  // The procedure fetches the shared areas once, as the loaded library does
  // when it is attached; they live as long as the process.
  static const bool attached = (host::attach(), true);
  (void)attached;
  for (const char* word : {"LOAD", "EXPORT"}) {
    engine::registerCommand(word, 4, [](engine::Session&, engine::Args& args) {
      args.fail("Files are not read or written here.");
    });
  }
  eng.setWorkingData(smallDataset(), "fuzz");
  eng.run(text, "fuzz");
  eng.finish();
  return 0;
}
