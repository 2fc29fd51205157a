// The rules that turn CSV records into a dictionary and into cases: header
// names, type inference, and the reading of one record as a case. Shared by
// the file and inline datasets and by the load-time scan.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/core/dictionary.h"
#include "engine/data/csv_reader.h"

namespace engine::data {

// The value of an empty numeric field: the engine's system-missing value.
inline constexpr double kSystemMissing = std::numeric_limits<double>::lowest();
inline constexpr int kMaxStringWidth = static_cast<int>(kMaxFieldBytes);
inline constexpr std::size_t kMaxNameLength = 64;

// How one column's text is read on every pass.
struct ColumnReading {
  std::string name;
  int width = 0;                          // 0: numeric, else the string width in bytes
  std::vector<std::string> missingTexts;  // field texts that read as an empty field
  // Inline: it runs for every field of every pass.
  bool isMissingText(std::string_view text) const {
    for (const std::string& missing : missingTexts) {
      if (missing == text) return true;
    }
    return false;
  }
};
using Layout = std::vector<ColumnReading>;

// What the load-time scan learned of one column.
struct ColumnScan {
  bool numeric = true;        // every non-empty field is a finite number
  std::size_t longest = 0;    // bytes of the longest field
  std::int64_t textLine = 0;  // first line whose field is not a number (0: none)
  std::string text;           // that field
};

// A name as the command language writes one: a letter or _, then letters,
// digits, _ $ @ #; at most 64 characters.
bool isValidVariableName(std::string_view name);

// The print and write format a variable gets unless the sidecar says
// otherwise: general numeric 8.2, or text (type 1) as wide as the string.
Format defaultFormat(int width);

// Reads and checks the header row: every column named, names valid and
// distinct without regard to case. Throws DataError.
std::vector<std::string> readHeader(CsvRecordReader& reader);

// Reads the remaining records, checking that each has one field per column,
// and returns per column what type inference needs; counts the records.
std::vector<ColumnScan> scanColumns(CsvRecordReader& reader, const Layout& layout,
                                    std::int64_t& recordCount);

// The dictionary the scan implies: numeric or string columns, in order.
Dictionary inferDictionary(const Layout& layout, const std::vector<ColumnScan>& scans);

// Reads one record as a case. A record that does not fit the layout (the file
// changed since it was loaded) throws DataError.
void recordToCase(const CsvRecord& record, const Layout& layout, const std::string& sourceName,
                  Case& out);

}  // namespace engine::data
