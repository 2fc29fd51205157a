#include "engine/data/csv_dataset.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/data/number_text.h"
#include "engine/data/piece_scan.h"
#include "engine/data/schema.h"
#include "engine/data/spooled_input.h"

namespace engine::data {

namespace {

// Bytes from the start of the text in which to find the separator.
constexpr std::size_t kSampleBytes = 64 * 1024;

// Streams the records after the header, checking that the header is still
// the one the dataset was loaded with.
class CsvCursor : public CaseCursor {
 public:
  CsvCursor(std::unique_ptr<CsvRecordReader> reader, std::shared_ptr<const Layout> layout,
            char decimal)
      : reader_(std::move(reader)), layout_(std::move(layout)), decimal_(decimal) {
    const std::vector<std::string> header = readHeaderTexts(*reader_);
    bool same = header.size() == layout_->size();
    for (std::size_t k = 0; same && k < header.size(); ++k) {
      same = header[k] == (*layout_)[k].headerText;
    }
    if (!same) {
      throw DataError("The header row of " + reader_->sourceName() +
                      " changed since the data were loaded.");
    }
    reader_->setFieldLimit(layout_->size());
  }

  bool next(Case& c) override {
    if (!reader_->next(record_)) return false;
    recordToCase(record_, *layout_, reader_->sourceName(), c, decimal_);
    return true;
  }

 private:
  std::unique_ptr<CsvRecordReader> reader_;
  std::shared_ptr<const Layout> layout_;
  char decimal_;
  CsvRecord record_;
};

// The start of the text, and whether that is all of it.
std::string readSample(ByteSource& source, bool& complete) {
  std::string sample(kSampleBytes, '\0');
  std::size_t used = 0;
  complete = false;
  while (used < sample.size()) {
    const std::size_t n = source.read(std::span<char>(sample).subspan(used));
    if (n == 0) {
      complete = true;
      break;
    }
    used += n;
  }
  sample.resize(used);
  return sample;
}

// "12,5" in a file read with a decimal point, or "12.5" with a decimal comma.
bool isOtherDecimalNumber(std::string_view text, char decimal) {
  if (decimal == '.') return text.find(',') != std::string_view::npos && isDecimalCommaNumber(text);
  return text.find('.') != std::string_view::npos && isNumber(text);
}

std::string textList(const std::vector<std::string>& texts) {
  std::string list;
  for (std::size_t k = 0; k < texts.size(); ++k) {
    if (k > 0) list += k + 1 == texts.size() ? " and " : ", ";
    list += texts[k].empty() ? "the empty field" : quotedExcerpt(texts[k]);
  }
  return list;
}

// Joins the items with commas; past `most` of them, the rest are counted.
std::string joinAtMost(const std::vector<std::string>& items, std::size_t most,
                       std::string_view rest) {
  std::string text;
  for (std::size_t k = 0; k < items.size() && k < most; ++k) {
    if (k > 0) text += ", ";
    text += items[k];
  }
  if (items.size() > most) {
    text += ", and " + countOf(static_cast<std::int64_t>(items.size() - most), rest, rest);
  }
  return text;
}

// Which columns keep the text of every field in the parsed copy: those that
// are strings whatever they hold (the index column, a string in the sidecar).
std::vector<bool> keptTextColumns(const Layout& layout, const std::optional<TableSchema>& schema) {
  std::vector<bool> keep(layout.size());
  for (std::size_t k = 0; k < layout.size(); ++k) {
    keep[k] = layout[k].forceString ||
              (schema && k < schema->fields.size() && schema->fields[k].isString.value_or(false));
  }
  return keep;
}

}  // namespace

std::unique_ptr<CaseCursor> CsvDataset::open() const {
  if (copy_) return copy_->open(stringWidths_);
  return std::make_unique<CsvCursor>(openReader(), layout_, decimal_);
}

void CsvDataset::keepCopy(std::shared_ptr<const CaseCopy> copy,
                          const std::vector<ColumnScan>& scans, const std::vector<bool>& keepText) {
  copy_.reset();
  stringWidths_.clear();
  if (!copy) return;
  for (std::size_t k = 0; k < scans.size(); ++k) {
    const int width = dictionary.variables()[k].width;
    // A string column whose numbers were parsed as numbers, not kept as
    // text: the passes must read the text again to have them as written.
    if (width > 0 && !keepText[k] && scans[k].holdsNumber) {
      stringWidths_.clear();
      return;
    }
    stringWidths_.push_back(width);
  }
  copy_ = std::move(copy);
}

std::unique_ptr<CsvRecordReader> CsvDataset::openReader() const {
  return std::make_unique<CsvRecordReader>(openSource(), source(), separator_);
}

void CsvDataset::load(const std::filesystem::path* sidecar, const CsvDialect& dialect) {
  if (sidecar == nullptr) return load(std::nullopt, std::string(), dialect);
  load(readSchemaFile(*sidecar), sidecar->string(), dialect);
}

void CsvDataset::load(const std::string* sidecarText, const std::string& sidecarName,
                      const CsvDialect& dialect) {
  if (sidecarText == nullptr) return load(std::nullopt, sidecarName, dialect);
  load(parseSchema(*sidecarText, sidecarName), sidecarName, dialect);
}

void CsvDataset::load(std::optional<TableSchema> schema, const std::string& sidecarName,
                      const CsvDialect& dialect) {
  decimal_ = dialect.decimal;
  separator_ = dialect.separator;
  if (separator_ == 0) {
    bool complete = false;
    const std::string sample = readSample(*openSource(), complete);
    separator_ = detectSeparator(sample, complete);
  }
  auto reader = openReader();
  std::vector<HeaderName> names;
  if (dialect.fixNames) {
    names = makeVariableNames(readHeaderTexts(*reader));
  } else {
    for (std::string& text : readHeader(*reader)) names.push_back({text, text, false, false});
  }
  // LOAD's texts, else the sidecar's (Table Schema's default is ""), else "" and NA.
  const std::vector<std::string> missing =
      dialect.missingTexts ? *dialect.missingTexts
      : schema             ? schema->missingTexts.value_or(std::vector<std::string>{""})
                           : dialect.missingWithoutSidecar;
  Layout layout;
  for (const HeaderName& name : names) {
    ColumnReading column;
    column.name = name.name;
    column.headerText = name.original;
    column.forceString = name.index;
    column.setMissingTexts(missing);
    layout.push_back(std::move(column));
  }
  if (schema) matchSchemaToHeader(*schema, layout, sidecarName, source());
  const std::vector<bool> keepText = keptTextColumns(layout, schema);
  std::optional<PieceScan> pieces;
  if (const std::optional<RecordBoundary> start = reader->boundary()) {
    const std::unique_ptr<RandomText> text = openRandomText();
    PieceScanRequest request{text.get(), source(), separator_, decimal_, &layout, keepText};
    pieces = scanInPieces(request, *start);
  }
  std::vector<ColumnScan> scans;
  if (pieces) {
    scans = std::move(pieces->scans);
    caseCount_ = pieces->records;
  } else {
    // The header ends inside a record (a lone CR), or a record is too long
    // for the pieces: the one reader scans it all.
    scans = scanColumns(*reader, layout, caseCount_, decimal_);
  }
  dictionary = inferDictionary(layout, scans);
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (names[k].renamed) dictionary.variables()[k].label = names[k].original;
  }
  if (schema) applySchema(*schema, scans, dictionary, sidecarName);

  findings_ = LoadFindings{};
  findings_.separator = separator_;
  findings_.decimal = decimal_;
  if (!layout.empty()) findings_.missingTexts = layout.front().missingTexts();
  for (std::size_t k = 0; k < layout.size(); ++k) {
    const Variable& v = dictionary.variables()[k];
    layout[k].width = v.width;
    if (findings_.missingTexts && layout[k].missingTexts() != *findings_.missingTexts) {
      findings_.missingTexts.reset();
    }
    const ColumnScan& scan = scans[k];
    findings_.missingCounts.push_back(scan.missing + (v.isString() ? 0 : scan.blank));
    const bool declared = schema && schema->fields[k].isString.has_value();
    const bool otherDecimal = isOtherDecimalNumber(scan.text, decimal_);
    if (v.isString() && !layout[k].forceString && !declared && scan.textLine > 0 &&
        (scan.holdsNumber || otherDecimal)) {
      findings_.madeText.push_back({v.name, scan.textLine, scan.text, otherDecimal});
    }
  }
  findings_.names = std::move(names);
  layout_ = std::make_shared<const Layout>(std::move(layout));
  keepCopy(pieces ? std::move(pieces->copy) : nullptr, scans, keepText);
}

FileDataset::FileDataset(std::filesystem::path path, const CsvDialect& dialect)
    : path_(std::move(path)) {
  if (path_ == "-") {
    spooled_ = standardInputCopy();
    load(nullptr, dialect);
    return;
  }
  std::error_code ec;
  const auto status = std::filesystem::status(path_, ec);
  if (!std::filesystem::exists(status)) {
    throw DataError("The file " + path_.string() + " does not exist.");
  }
  if (!std::filesystem::is_directory(status) && !std::filesystem::is_regular_file(status)) {
    // A pipe or a device: read once, kept for the passes.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      throw DataError("Cannot open " + path_.string() + ": " + std::strerror(errno) + ".");
    }
    try {
      spooled_ = SpooledInput::copy(fd, path_.string());
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
  }
  // Taken before reading, so that a change while LOAD reads is caught too.
  if (!spooled_) loaded_ = fileStamp(path_);
  const std::filesystem::path sidecar = sidecarPath(path_);
  load(!spooled_ && std::filesystem::exists(sidecar, ec) ? &sidecar : nullptr, dialect);
}

FileStamp fileStamp(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    throw DataError("Cannot read " + path.string() + ": " + std::strerror(errno) + ".");
  }
  FileStamp stamp;
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::int64_t>(info.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                     static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return stamp;
}

std::unique_ptr<CaseCursor> FileDataset::open() const {
  if (!spooled_ && fileStamp(path_) != loaded_) {
    throw DataError("The file " + path_.string() +
                    " changed on disk since it was loaded; LOAD it again to read it as it is now.");
  }
  return CsvDataset::open();
}

std::string FileDataset::source() const {
  return path_ == "-" ? std::string(kStandardInputName) : path_.string();
}

std::unique_ptr<ByteSource> FileDataset::openSource() const {
  return spooled_ ? spooled_->open() : openFileSource(path_);
}

std::unique_ptr<RandomText> FileDataset::openRandomText() const {
  return spooled_ ? spooled_->openRandom() : openRandomFile(path_);
}

InlineDataset::InlineDataset(const std::vector<std::string>& lines, const CsvDialect& dialect) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  text_ = std::make_shared<const std::string>(std::move(text));
  load(nullptr, dialect);
}

std::unique_ptr<ByteSource> InlineDataset::openSource() const { return openMemorySource(text_); }

std::unique_ptr<RandomText> InlineDataset::openRandomText() const {
  return openRandomString(text_);
}

std::string dialectRemark(const LoadFindings& findings) {
  std::string remark;
  if (findings.separator != ',') {
    switch (findings.separator) {
      case ';':
        remark = "fields separated by semicolons";
        break;
      case kTab:
        remark = "fields separated by tabs";
        break;
      case '|':
        remark = "fields separated by vertical bars";
        break;
      default:
        remark = "fields separated by " + separatorName(findings.separator);
    }
  }
  if (findings.decimal == ',') remark += remark.empty() ? "decimal comma" : "; decimal comma";
  return remark.empty() ? remark : " (" + remark + ")";
}

std::vector<std::string> loadNotes(const LoadFindings& findings) {
  std::vector<std::string> notes;
  std::vector<std::string> renamed;
  for (std::size_t k = 0; k < findings.names.size(); ++k) {
    const HeaderName& name = findings.names[k];
    if (name.index) {
      notes.push_back(
          "Column 1 has no name in the header, as when pandas or R write the row "
          "names: it is read as the string variable " +
          name.name + ".");
    }
    if (name.renamed) {
      renamed.push_back("column " + std::to_string(k + 1) + " " +
                        (name.original.empty() ? "(no name)" : quotedExcerpt(name.original)) +
                        " as " + name.name);
    }
  }
  if (!renamed.empty()) {
    notes.push_back(
        "Header texts that are not valid, distinct variable names were made so (the text is the "
        "variable's label): " +
        joinAtMost(renamed, 20, "more") + ".");
  }
  if (!findings.madeText.empty()) {
    std::vector<std::string> columns;
    bool otherDecimal = false;
    bool other = false;
    for (const auto& column : findings.madeText) {
      columns.push_back(column.name + " (line " + std::to_string(column.line) + ": " +
                        quotedExcerpt(column.text) + ")");
      (column.otherDecimal ? otherDecimal : other) = true;
    }
    std::string note =
        "These columns hold numbers but are read as text (string variables), for "
        "the value shown: " +
        joinAtMost(columns, 10, "more") + ".";
    if (otherDecimal) {
      note += findings.decimal == '.' ? " LOAD /DECIMAL=COMMA reads numbers with decimal commas."
                                      : " LOAD /DECIMAL=POINT reads numbers with decimal points.";
    }
    if (other) {
      note += " A text given in LOAD /MISSING reads as a missing value";
      if (findings.missingTexts) note += " (now " + textList(*findings.missingTexts) + ")";
      note += ".";
    }
    notes.push_back(std::move(note));
  }
  std::vector<std::string> counts;
  std::int64_t total = 0;
  for (std::size_t k = 0; k < findings.missingCounts.size(); ++k) {
    const std::int64_t n = findings.missingCounts[k];
    if (n == 0) continue;
    total += n;
    counts.push_back(countOf(n, "value", "values") + " of " + findings.names[k].name);
  }
  if (!counts.empty()) {
    std::string note = "Read as missing";
    if (findings.missingTexts) note += " (" + textList(*findings.missingTexts) + ")";
    note += ": " + joinAtMost(counts, 10, "more variables");
    if (counts.size() > 10) note += " (" + countOf(total, "value", "values") + " in all)";
    notes.push_back(note + ".");
  }
  return notes;
}

}  // namespace engine::data
