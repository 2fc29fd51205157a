// The matrix-file reader on any file and sidecar: it reads the dictionary,
// every row in its groups and every value, or refuses with a DataError. The
// text is read from memory, as the program reads a file: thousands of inputs
// a second where files allowed a few hundred.
//
// Input: the CSV text; what follows a line "=====" in it is the sidecar.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/csv_dialect.h"
#include "engine/data/matrix_reader.h"
#include "engine/data/text_dataset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::optional<std::string> sidecar;
  const std::size_t marker = text.find("\n=====\n");
  if (marker != std::string::npos) {
    sidecar = text.substr(marker + 7);
    text.resize(marker + 1);
  }
  try {
    const auto reader = engine::MatrixReader::fromCsv(std::make_shared<engine::data::TextDataset>(
        std::move(text), "m.csv", sidecar, engine::data::CsvDialect::strict()));
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
