#include "engine/data/csv_table.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include <fmt/format.h>

#include "engine/data/number_text.h"

namespace engine::data {

namespace {

std::string lowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

bool isBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// Bytes of non-ASCII characters count as letters, as in the command language.
bool isNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80 ||
         c == '_';
}

bool isNameRest(char c) {
  return isNameStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$' || c == '@' ||
         c == '#';
}

[[noreturn]] void failAt(const std::string& source, std::int64_t line, const std::string& text) {
  throw DataError(source + ", line " + std::to_string(line) + ": " + text + ".");
}

std::string fieldCountMessage(const CsvRecord& record, std::size_t columns) {
  return "the row has " + countOf(static_cast<std::int64_t>(record.fieldCount), "field", "fields") +
         " but the header has " + std::to_string(columns);
}

// The field and, when it came from a plain line, the bytes after it up to the
// end of that line: the number readers below are faster where they may look
// past the end of a field (see readDecimalPrefix).
std::string_view fieldAndRestOfLine(const CsvRecord& record, std::string_view field) {
  if (record.plainLine.empty()) return field;
  const char* lineEnd = record.plainLine.data() + record.plainLine.size();
  return {field.data(), static_cast<std::size_t>(lineEnd - field.data())};
}

// isNumber(field); the everyday shapes are told without its checks. Decimal:
// the decimal mark.
template <char Decimal>
bool isNumberField(const CsvRecord& record, std::string_view field) {
  if constexpr (Decimal == '.') {
    const std::size_t length = numberShapePrefix(fieldAndRestOfLine(record, field));
    return (length != 0 && length == field.size()) || isNumber(field);
  } else {
    const std::size_t length = decimalCommaShapePrefix(fieldAndRestOfLine(record, field));
    return (length != 0 && length == field.size()) || isDecimalCommaNumber(field);
  }
}

// readNumber(field, value); everyday decimals are read without its checks.
template <char Decimal>
bool readNumberField(const CsvRecord& record, std::string_view field, double& value) {
  if constexpr (Decimal == '.') {
    const std::size_t length = readDecimalPrefix(fieldAndRestOfLine(record, field), value);
    return (length != 0 && length == field.size()) || readNumber(field, value);
  } else {
    const std::size_t length = readDecimalCommaPrefix(fieldAndRestOfLine(record, field), value);
    return (length != 0 && length == field.size()) || readDecimalCommaNumber(field, value);
  }
}

// The load-time scan of the records that remain. With a block, every
// field is also read into it: the number (or the system-missing value) and,
// for the keepText columns and fields that are not numbers, the text.
template <char Decimal>
std::vector<ColumnScan> scanColumnsWith(CsvRecordReader& reader, const Layout& layout,
                                        std::int64_t& recordCount, CopyBlock* block,
                                        const std::vector<bool>& keepText) {
  std::vector<ColumnScan> scans(layout.size());
  reader.setFieldLimit(layout.size());
  recordCount = 0;
  CsvRecord record;
  double* values = nullptr;
  while (reader.next(record)) {
    if (record.fieldCount != layout.size()) {
      failAt(reader.sourceName(), record.line, fieldCountMessage(record, layout.size()));
    }
    if (block != nullptr) {
      block->values.resize(block->values.size() + layout.size(), kSystemMissing);
      values = block->values.data() + block->values.size() - layout.size();
    }
    for (std::size_t k = 0; k < layout.size(); ++k) {
      const std::string_view field = record.fields[k];
      ColumnScan& scan = scans[k];
      if (layout[k].isMissingText(field)) {
        ++scan.missing;
        continue;
      }
      scan.longest = std::max(scan.longest, field.size());
      bool number = false;
      if (block != nullptr) {
        number = readNumberField<Decimal>(record, field, values[k]);
        if (!number) values[k] = kSystemMissing;
        if ((keepText[k] || !number) && !isBlank(field)) block->addText(k, field);
      }
      if (scan.numeric) {
        if (block == nullptr) number = isNumberField<Decimal>(record, field);
        if (!number) {
          if (isBlank(field)) {
            ++scan.blank;
          } else {
            scan.numeric = false;
            scan.textLine = record.line;
            scan.text = field;
            // Every value before this one was a number or blank.
            scan.holdsNumber = recordCount > scan.missing + scan.blank;
          }
        }
      } else if (!scan.holdsNumber && !isBlank(field)) {
        // Only for the note on a column made text (loadNotes): cheap, as it
        // stops at the first number.
        scan.holdsNumber = block != nullptr ? number : isNumberField<Decimal>(record, field);
      }
    }
    ++recordCount;
    if (block != nullptr) ++block->records;
  }
  return scans;
}

template <char Decimal>
void recordToCaseWith(const CsvRecord& record, const Layout& layout, const std::string& sourceName,
                      Case& out) {
  const std::string changed = " (the data changed since they were loaded)";
  if (record.fieldCount != layout.size()) {
    failAt(sourceName, record.line, fieldCountMessage(record, layout.size()) + changed);
  }
  out.values.resize(layout.size());
  out.strings.resize(layout.size());
  for (std::size_t k = 0; k < layout.size(); ++k) {
    const ColumnReading& column = layout[k];
    std::string_view field = record.fields[k];
    if (column.isMissingText(field)) field = {};
    if (column.width == 0) {
      out.strings[k].clear();
      if (isBlank(field)) {
        out.values[k] = kSystemMissing;
      } else if (!readNumberField<Decimal>(record, field, out.values[k])) {
        failAt(sourceName, record.line,
               fmt::format("\"{}\" in numeric column {}", field, column.name) + " is not a number" +
                   changed);
      }
    } else {
      if (field.size() > static_cast<std::size_t>(column.width)) {
        failAt(sourceName, record.line,
               "the value of " + column.name + " is longer than its width " +
                   std::to_string(column.width) + changed);
      }
      out.values[k] = 0.0;
      out.strings[k].assign(field);
      out.strings[k].resize(static_cast<std::size_t>(column.width), ' ');
    }
  }
}

}  // namespace

bool isReservedWord(std::string_view name) {
  const std::string low = lowerCase(name);
  return low == "all" || low == "to";
}

bool isValidVariableName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || !isNameStart(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(), isNameRest) && !isReservedWord(name);
}

Format defaultFormat(int width) {
  if (width > 0) return Format{1, std::min(width, 255), 0};
  return Format{5, 8, 2};
}

namespace {

// The header row, refused when it has more columns than a dataset may hold:
// the fields past the limit are only counted, so a header of ten million
// commas costs no memory.
CsvRecord readHeaderRecord(CsvRecordReader& reader) {
  CsvRecord header;
  reader.setFieldLimit(kMaxColumns);
  if (!reader.next(header)) {
    throw DataError(reader.sourceName() + " is empty: it needs a header row of variable names.");
  }
  reader.setFieldLimit(0);
  if (header.fieldCount > kMaxColumns) {
    failAt(reader.sourceName(), header.line,
           fmt::format("the header has {} columns; a data file may have at most {}",
                       header.fieldCount, kMaxColumns));
  }
  return header;
}

}  // namespace

std::vector<std::string> readHeaderTexts(CsvRecordReader& reader) {
  const CsvRecord header = readHeaderRecord(reader);
  return {header.fields.begin(), header.fields.end()};
}

std::vector<std::string> readHeader(CsvRecordReader& reader) {
  const CsvRecord header = readHeaderRecord(reader);
  std::unordered_map<std::string, std::size_t> columnOf;  // lower-case name -> column
  for (std::size_t k = 0; k < header.fields.size(); ++k) {
    const std::string name(header.fields[k]);
    const std::string column = "column " + std::to_string(k + 1);
    if (name.empty())
      failAt(reader.sourceName(), header.line, column + " of the header has no name");
    if (!isValidVariableName(name)) {
      failAt(reader.sourceName(), header.line,
             column + " is named \"" + name +
                 "\", which is not a valid variable name (a letter or _ first, then letters, "
                 "digits, _ $ @ #; at most 64 characters)");
    }
    const auto [same, added] = columnOf.try_emplace(lowerCase(name), k);
    if (!added) {
      const std::size_t first = same->second;
      failAt(reader.sourceName(), header.line,
             column + " is named \"" + name + "\" like column " + std::to_string(first + 1) +
                 " (\"" + std::string(header.fields[first]) +
                 "\"); names must differ in more than case");
    }
  }
  return {header.fields.begin(), header.fields.end()};
}

std::vector<ColumnScan> scanColumns(CsvRecordReader& reader, const Layout& layout,
                                    std::int64_t& recordCount, char decimal) {
  return decimal == ',' ? scanColumnsWith<','>(reader, layout, recordCount, nullptr, {})
                        : scanColumnsWith<'.'>(reader, layout, recordCount, nullptr, {});
}

std::vector<ColumnScan> scanColumnsInto(CsvRecordReader& reader, const Layout& layout,
                                        const std::vector<bool>& keepText, CopyBlock& block,
                                        char decimal) {
  std::int64_t records = 0;
  block.columns = layout.size();
  return decimal == ',' ? scanColumnsWith<','>(reader, layout, records, &block, keepText)
                        : scanColumnsWith<'.'>(reader, layout, records, &block, keepText);
}

Dictionary inferDictionary(const Layout& layout, const std::vector<ColumnScan>& scans) {
  Dictionary dictionary;
  for (std::size_t k = 0; k < layout.size(); ++k) {
    Variable v;
    v.name = layout[k].name;
    if (!scans[k].numeric || layout[k].forceString) {
      v.width = static_cast<int>(std::max<std::size_t>(scans[k].longest, 1));
    }
    v.print = v.write = defaultFormat(v.width);
    dictionary.add(std::move(v));
  }
  return dictionary;
}

void recordToCase(const CsvRecord& record, const Layout& layout, const std::string& sourceName,
                  Case& out, char decimal) {
  if (decimal == ',') {
    recordToCaseWith<','>(record, layout, sourceName, out);
  } else {
    recordToCaseWith<'.'>(record, layout, sourceName, out);
  }
}

}  // namespace engine::data
