// The CSV reader, differential: the records and the error of the text read
// whole must be those of the same text read in pieces of any size, with or
// without the plain-line shortcut. Then the text is loaded as a data file
// is, from memory, with a sidecar when the input holds one, and every case
// read.
//
// Input: byte 0 picks the piece size, byte 1 the separator, the decimal mark,
// the field limit and whether the pieces take the shortcut; the rest is the
// CSV text, and what follows a line "=====" in it is the sidecar. Each input
// reads the text four times (whole, in pieces, and twice to load it): the
// pieces read once, with the shortcut or without, rather than both ways,
// since the fuzzer tries both on every text it keeps.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/csv_dataset.h"
#include "engine/data/csv_reader.h"
#include "engine/data/text_dataset.h"

namespace {

using engine::data::ByteSource;
using engine::data::CsvRecord;
using engine::data::CsvRecordReader;

class PieceSource : public ByteSource {
 public:
  PieceSource(std::string text, std::size_t piece) : text_(std::move(text)), piece_(piece) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min({buffer.size(), piece_, text_.size() - position_});
    std::memcpy(buffer.data(), text_.data() + position_, n);
    position_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t piece_;
  std::size_t position_ = 0;
};

// Every record, and the error that ended the reading, as one text.
std::string readAll(const std::string& text, std::size_t piece, bool shortcut, char separator,
                    std::size_t fieldLimit) {
  CsvRecordReader reader(std::make_unique<PieceSource>(text, piece), "f.csv", separator);
  reader.setPlainLineShortcut(shortcut);
  reader.setFieldLimit(fieldLimit);
  std::string out;
  try {
    CsvRecord record;
    while (reader.next(record)) {
      out += std::to_string(record.line) + ":" + std::to_string(record.fieldCount) + ":";
      for (const std::string_view field : record.fields) {
        out += std::to_string(field.size()) + "=";
        out += field;
      }
      out += '\n';
    }
  } catch (const engine::DataError& error) {
    out += std::string("error: ") + error.what();
  }
  return out;
}

void compare(const std::string& text, std::size_t piece, bool shortcut, char separator,
             std::size_t limit) {
  const std::string whole = readAll(text, 1 << 20, true, separator, limit);
  const std::string pieces = readAll(text, piece, shortcut, separator, limit);
  if (pieces != whole) {
    std::fprintf(stderr, "MISMATCH (pieces of %zu, shortcut %d)\nwhole:\n%s\npieces:\n%s\n", piece,
                 shortcut, whole.c_str(), pieces.c_str());
    std::abort();
  }
}

// Loads the text as a file would be (with the sidecar, if any) and reads
// every case. In memory: through files the harness ran 200 inputs a second.
void load(const std::string& csv, const std::optional<std::string>& sidecar,
          const engine::data::CsvDialect& d) {
  try {
    engine::data::TextDataset dataset(csv, "f.csv", sidecar, d);
    const auto cursor = dataset.open();
    engine::Case c;
    while (cursor->next(c)) {
    }
  } catch (const engine::DataError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t piece = 1 + data[0] % 67;
  const std::uint8_t flags = data[1];
  std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
  const char separators[] = {',', ';', '\t', '|', ':', ',', ',', ','};
  const char separator = separators[flags & 7];
  const std::size_t limit = (flags >> 3) & 3;  // 0: no limit
  std::optional<std::string> sidecar;
  const std::size_t marker = text.find("\n=====\n");
  if (marker != std::string::npos) {
    sidecar = text.substr(marker + 7);
    text.resize(marker + 1);
  }
  const bool shortcut = (flags & 0x80) == 0;
  compare(text, piece, shortcut, separator, limit);
  engine::data::CsvDialect dialect;
  dialect.separator = (flags & 0x20) ? 0 : separator;
  dialect.decimal = (flags & 0x40) ? ',' : '.';
  load(text, sidecar, dialect);
  return 0;
}
