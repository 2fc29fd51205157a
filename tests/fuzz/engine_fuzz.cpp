// The whole engine fed command text over a small dataset held in memory,
// with the procedure registered as the program registers it. Whatever the
// text, every command ends in its output or a message: nothing may crash,
// hang or leak.
//
// Files: LOAD and EXPORT are replaced by commands that refuse, and a text
// naming a path outside the working folder (a "/" or "..", or "-" for
// standard input) makes the input one the fuzzer skips, so that no input
// reads /dev/zero or writes outside the scratch folder scripts/fuzz runs in.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/commands.h"
#include "engine/core/scanner.h"
#include "engine/engine.h"

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

// The procedure as the program has it: the library of the GCC build, loaded
// at run time (clang cannot link the procedure's processor-specific clones
// into the harness), over this instrumented engine.
engine::ProcedureEntry procedure() {
  static const engine::ProcedureEntry entry = [] {
    const char* path = std::getenv("PROXIMITIES_LIBRARY");
    void* library = dlopen(path != nullptr ? path : PROX_GCC_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    void* symbol = library != nullptr ? dlsym(library, "PROX") : nullptr;
    if (symbol == nullptr) {
      std::fprintf(stderr, "cannot load the procedure: %s\n", dlerror());
      std::abort();
    }
    return reinterpret_cast<engine::ProcedureEntry>(symbol);
  }();
  return entry;
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
  eng.registerProcedure("PROXIMITIES", 4, procedure());
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
