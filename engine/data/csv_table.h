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
#include "engine/data/case_copy.h"
#include "engine/data/csv_reader.h"

namespace engine::data {

// The value of an empty numeric field: the engine's system-missing value.
inline constexpr double kSystemMissing = std::numeric_limits<double>::lowest();
inline constexpr int kMaxStringWidth = static_cast<int>(kMaxFieldBytes);
inline constexpr std::size_t kMaxNameLength = 64;
// Columns of a data file. Far more than analyses use, it bounds what a
// malformed header (a line of commas) makes the engine hold.
inline constexpr std::size_t kMaxColumns = 1'000'000;

// How one column's text is read on every pass.
class ColumnReading {
 public:
  std::string name;          // the variable's
  std::string headerText;    // the column's in the header (the name, unless renamed)
  int width = 0;             // 0: numeric, else the string width in bytes
  bool forceString = false;  // a string whatever it holds (the index column)

  const std::vector<std::string>& missingTexts() const { return missingTexts_; }
  // Field texts that read as an empty field.
  void setMissingTexts(std::vector<std::string> texts) {
    missingTexts_ = std::move(texts);
    missingLengths_ = 0;
    for (const std::string& text : missingTexts_) missingLengths_ |= lengthBit(text.size());
  }
  // Inline: it runs for every field of every pass. Most fields have a length
  // no missing text has, which one test of a bit tells.
  bool isMissingText(std::string_view text) const {
    if ((missingLengths_ & lengthBit(text.size())) == 0) return false;
    for (const std::string& missing : missingTexts_) {
      if (missing == text) return true;
    }
    return false;
  }

 private:
  static std::uint64_t lengthBit(std::size_t length) {
    return std::uint64_t{1} << (length < 63 ? length : 63);
  }
  std::vector<std::string> missingTexts_;
  std::uint64_t missingLengths_ = 0;  // bit n: a missing text of n bytes (63: 63 or more)
};
using Layout = std::vector<ColumnReading>;

// What the load-time scan learned of one column.
struct ColumnScan {
  bool numeric = true;        // every non-empty field is a finite number
  std::size_t longest = 0;    // bytes of the longest field
  std::int64_t textLine = 0;  // first line whose field is not a number (0: none)
  std::string text;           // that field
  bool holdsNumber = false;   // a field is a number (known once the column is text)
  std::int64_t missing = 0;   // fields that are missing texts
  std::int64_t blank = 0;     // other blank fields while the column was numeric
};

// A name as the command language writes one: a letter (ASCII, or any
// non-ASCII character) or _, then letters, digits, _ $ @ #; at most 64 bytes;
// not a word of variable lists.
bool isValidVariableName(std::string_view name);

// ALL or TO in any case: the words a variable list gives a meaning.
bool isReservedWord(std::string_view name);

// The print and write format a variable gets unless the sidecar says
// otherwise: general numeric 8.2, or text (type 1) as wide as the string.
Format defaultFormat(int width);

// Reads the header row as it is; an empty source throws DataError.
std::vector<std::string> readHeaderTexts(CsvRecordReader& reader);

// Reads and checks the header row: every column named, names valid and
// distinct without regard to case. Throws DataError.
std::vector<std::string> readHeader(CsvRecordReader& reader);

// Reads the remaining records, checking that each has one field per column,
// and returns per column what type inference needs; counts the records.
// decimal: the decimal mark, '.' or ','.
std::vector<ColumnScan> scanColumns(CsvRecordReader& reader, const Layout& layout,
                                    std::int64_t& recordCount, char decimal = '.');

// The same scan, reading every field into the block as well (the parsed
// copy): its number, and its text in the keepText columns or when it is
// not a number. The block counts the records.
std::vector<ColumnScan> scanColumnsInto(CsvRecordReader& reader, const Layout& layout,
                                        const std::vector<bool>& keepText, CopyBlock& block,
                                        char decimal = '.');

// The dictionary the scan implies: numeric or string columns, in order.
Dictionary inferDictionary(const Layout& layout, const std::vector<ColumnScan>& scans);

// Reads one record as a case. A record that does not fit the layout (the file
// changed since it was loaded) throws DataError.
void recordToCase(const CsvRecord& record, const Layout& layout, const std::string& sourceName,
                  Case& out, char decimal = '.');

}  // namespace engine::data
