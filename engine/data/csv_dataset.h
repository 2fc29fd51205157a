// Datasets read from CSV text: a file on disk (re-read on every pass) or the
// lines of an INLINE command (kept in memory).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/csv_table.h"

namespace engine::data {

// Cases of CSV text whose layout was settled when it was loaded.
class CsvDataset : public Dataset {
 public:
  std::unique_ptr<CaseCursor> open() const override;
  std::int64_t caseCount() const { return caseCount_; }  // as found at load time
  const Layout& layout() const { return *layout_; }

 protected:
  // Scans the text once: header, type inference, sidecar (may be null).
  void load(const std::filesystem::path* sidecar);
  virtual std::unique_ptr<CsvRecordReader> openReader() const = 0;

 private:
  std::shared_ptr<const Layout> layout_;
  std::int64_t caseCount_ = 0;
};

class FileDataset : public CsvDataset {
 public:
  // Loads path and, when it exists, its sidecar NAME.schema.json. Throws
  // DataError for a missing or malformed file or a sidecar that does not fit.
  explicit FileDataset(std::filesystem::path path);
  std::string source() const override { return path_.string(); }

 protected:
  std::unique_ptr<CsvRecordReader> openReader() const override;

 private:
  std::filesystem::path path_;
};

class InlineDataset : public CsvDataset {
 public:
  // The lines are CSV text exactly as in a file, header row first.
  explicit InlineDataset(const std::vector<std::string>& lines);
  std::string source() const override { return "inline data"; }

 protected:
  std::unique_ptr<CsvRecordReader> openReader() const override;

 private:
  std::shared_ptr<const std::string> text_;
};

}  // namespace engine::data
