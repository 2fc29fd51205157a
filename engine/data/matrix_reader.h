// The rows of a matrix input: a matrix data file (CSV with its sidecar, see
// docs/matrix-files.md) or the working data, read one row at a time and cut
// into split-file groups, with the record layout that MTXMAP and MTDOBV share.
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/dataset.h"
#include "host/tavixwcom.h"

namespace engine {

namespace data {
class CsvDataset;
}

class MatrixReader {
 public:
  // A matrix data file: its dictionary is read now (throws DataError). Its
  // split-file variables are those in front of ROWTYPE_ (none when it has no
  // ROWTYPE_).
  static std::unique_ptr<MatrixReader> fromFile(const std::filesystem::path& path);
  // The same for a matrix data file already loaded (with CsvDialect::strict()).
  static std::unique_ptr<MatrixReader> fromCsv(std::shared_ptr<data::CsvDataset> file);
  // The working data, cut into groups by the given split-file variables.
  static std::unique_ptr<MatrixReader> fromDataset(std::shared_ptr<const Dataset> dataset,
                                                   std::vector<std::int64_t> splitVariables);

  const Dictionary& dictionary() const { return dataset_->dictionary; }
  Dictionary* ownDictionary() { return file_ ? &file_->dictionary : nullptr; }  // files only
  std::string source() const { return dataset_->source(); }
  // A file found to have no rows when its dictionary was read (its columns
  // then have no type of their own).
  bool knownEmpty() const { return knownEmpty_; }

  // The record: every variable in dictionary order, a number in one word, a
  // string in as many eight-character words as its width needs.
  Word recordLength() const { return recordLength_; }
  Word recordPosition(Word variable) const;  // 1-based word of the variable's value

  // Starts reading the rows (throws DataError); false when there is none.
  bool open();
  bool hasRow() const { return haveRow_; }
  // QMXSSF: does the current group have another row? See host/tavixwlib.h.
  bool groupHasRow();
  void advance();  // the next row (throws DataError)
  // Copies from the current row (MTDOBV); false when the row or the variable
  // does not fit the request.
  bool read(Word variable, std::span<Word> target) const;

  // The split-file values of the current group, as a case whose other values
  // mean nothing; null before the first row.
  const Case* groupRow() const { return haveGroup_ ? &groupRow_ : nullptr; }
  // The same as shown in a group's title: each split variable's name and value.
  std::vector<std::pair<std::string, std::string>> groupTitle() const;

 private:
  MatrixReader(std::shared_ptr<const Dataset> dataset, std::shared_ptr<Dataset> file,
               std::vector<std::int64_t> splitVariables);
  bool sameGroup(const Case& a, const Case& b) const;
  void copyValue(std::size_t k, std::span<Word> target) const;

  std::shared_ptr<const Dataset> dataset_;
  std::shared_ptr<Dataset> file_;  // the same dataset when it is a file of our own
  std::vector<std::int64_t> splitVariables_;
  std::vector<Word> positions_;  // per variable
  Word recordLength_ = 0;
  bool knownEmpty_ = false;

  std::unique_ptr<CaseCursor> cursor_;
  Case row_;
  bool haveRow_ = false;
  Case groupRow_;
  bool haveGroup_ = false;
  bool groupEnded_ = false;  // the last groupHasRow() found the start of a new group
};

}  // namespace engine
