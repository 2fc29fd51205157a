// The matrix-file reader on any file and sidecar: it reads the dictionary,
// every row in its groups and every value, or refuses with a DataError.
//
// Input: the CSV text; what follows a line "=====" in it is the sidecar.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/matrix_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path folder = [] {
    char name[] = "/tmp/proximities-fuzz-XXXXXX";
    return std::filesystem::path(mkdtemp(name));
  }();
  std::string text(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path path = folder / "m.csv";
  const std::filesystem::path sidecar = folder / "m.schema.json";
  std::error_code ignored;
  std::filesystem::remove(sidecar, ignored);
  const std::size_t marker = text.find("\n=====\n");
  if (marker != std::string::npos) {
    std::ofstream(sidecar, std::ios::binary) << text.substr(marker + 7);
    text.resize(marker + 1);
  }
  std::ofstream(path, std::ios::binary) << text;
  try {
    const auto reader = engine::MatrixReader::fromFile(path);
    const std::size_t variables = reader->dictionary().size();
    std::vector<Word> record(static_cast<std::size_t>(reader->recordLength()) + 1);
    if (reader->open()) {
      while (reader->hasRow()) {
        while (reader->groupHasRow()) {
          if (!reader->read(0, record)) std::abort();  // the record must fit its own length
          for (std::size_t k = 1; k <= variables; ++k) {
            reader->read(static_cast<Word>(k), record);
          }
          reader->groupTitle();
          reader->advance();
        }
      }
    }
  } catch (const engine::DataError&) {
  }
  return 0;
}
