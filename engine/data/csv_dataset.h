// Datasets read from CSV text: a file on disk (re-read on every pass), input
// that can be read only once (standard input, a pipe; copied to a temporary
// file first) or the lines of an INLINE command (kept in memory).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/case_copy.h"
#include "engine/data/csv_dialect.h"
#include "engine/data/csv_table.h"
#include "engine/data/schema.h"

namespace engine::data {

class SpooledInput;

// What loading found that the person loading should hear of (loadNotes).
struct LoadFindings {
  char separator = ',';
  char decimal = '.';
  std::vector<HeaderName> names;  // one per column
  // Per column: the fields read as missing (missing texts, and blank fields
  // of a numeric column).
  std::vector<std::int64_t> missingCounts;
  // The missing texts, when every column has the same (else empty).
  std::optional<std::vector<std::string>> missingTexts;
  // Columns that hold numbers but became text, and the first field that made
  // them so; otherDecimal: it is a number with the other decimal mark.
  struct MadeText {
    std::string name;
    std::int64_t line = 0;
    std::string text;
    bool otherDecimal = false;
  };
  std::vector<MadeText> madeText;
};

// Cases of CSV text whose layout was settled when it was loaded.
class CsvDataset : public Dataset {
 public:
  std::unique_ptr<CaseCursor> open() const override;
  std::int64_t caseCount() const { return caseCount_; }  // as found at load time
  const Layout& layout() const { return *layout_; }
  const LoadFindings& findings() const { return findings_; }

 protected:
  // Scans the text once: separator, header, type inference, sidecar (may be
  // null).
  void load(const std::filesystem::path* sidecar, const CsvDialect& dialect);
  // The same with the sidecar's text at hand (null: none), called
  // sidecarName in messages.
  void load(const std::string* sidecarText, const std::string& sidecarName,
            const CsvDialect& dialect);
  // A new reading of the text from its start.
  virtual std::unique_ptr<ByteSource> openSource() const = 0;
  // The text for reading in pieces on several threads.
  virtual std::unique_ptr<RandomText> openRandomText() const = 0;

 private:
  std::unique_ptr<CsvRecordReader> openReader() const;
  void load(std::optional<TableSchema> schema, const std::string& sidecarName,
            const CsvDialect& dialect);

  // Keeps the copy when it holds every case as the passes must see them.
  void keepCopy(std::shared_ptr<const CaseCopy> copy, const std::vector<ColumnScan>& scans,
                const std::vector<bool>& keepText);

  std::shared_ptr<const Layout> layout_;
  // The cases as LOAD parsed them, which every pass reads; null when the
  // passes read the text again (see keepCopy).
  std::shared_ptr<const CaseCopy> copy_;
  std::vector<int> stringWidths_;  // per column, for reading the copy
  std::int64_t caseCount_ = 0;
  char separator_ = ',';
  char decimal_ = '.';
  LoadFindings findings_;
};

// What identifies the contents of a file on disk without reading it: a file
// rewritten, replaced or appended to since differs in one of these.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
  bool operator==(const FileStamp&) const = default;
};

// The stamp of path now; throws DataError when it cannot be read.
FileStamp fileStamp(const std::filesystem::path& path);

class FileDataset : public CsvDataset {
 public:
  // Loads path and, when it exists, its sidecar NAME.schema.json. "-" is
  // standard input, and a path that is not a regular file (a pipe, a FIFO,
  // /dev/stdin) is read once into a temporary file. Throws DataError for a
  // missing or malformed file or a sidecar that does not fit.
  explicit FileDataset(std::filesystem::path path, const CsvDialect& dialect = {});
  std::string source() const override;
  // A new pass, refused (DataError) when the file on disk is no longer the
  // one loaded: its cases would mix with the counts and types found at LOAD.
  std::unique_ptr<CaseCursor> open() const override;

 protected:
  std::unique_ptr<ByteSource> openSource() const override;
  std::unique_ptr<RandomText> openRandomText() const override;

 private:
  std::filesystem::path path_;
  std::shared_ptr<const SpooledInput> spooled_;  // input that can be read only once
  FileStamp loaded_;                             // the file as LOAD read it (not for spooled_)
};

class InlineDataset : public CsvDataset {
 public:
  // The lines are CSV text exactly as in a file, header row first.
  explicit InlineDataset(const std::vector<std::string>& lines, const CsvDialect& dialect = {});
  std::string source() const override { return "inline data"; }

 protected:
  std::unique_ptr<ByteSource> openSource() const override;
  std::unique_ptr<RandomText> openRandomText() const override;

 private:
  std::shared_ptr<const std::string> text_;
};

// The notes LOAD and INLINE show after the one that counts the cases: the
// index column, renamed columns, columns made text, values read as missing.
std::vector<std::string> loadNotes(const LoadFindings& findings);

// What goes after "from FILE" in that first note: " (fields separated by
// semicolons; decimal comma)", or nothing for commas and points.
std::string dialectRemark(const LoadFindings& findings);

}  // namespace engine::data
