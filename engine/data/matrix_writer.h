// The matrix output: its dictionary as MTDMPD and DICPUT build it, and its
// rows as MTXREC/MTXCRR, MTXVOB and MTDWRT give them. A file is written under
// a temporary name and renamed into place, with its sidecar, by commit(); the
// working data (MATRIX=OUT(*)) keep the rows in memory until they replace the
// working dataset.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/core/ordered_writer.h"
#include "engine/data/column_dataset.h"
#include "engine/data/csv_writer.h"
#include "engine/data/matrix_sidecar.h"
#include "host/tavixwcom.h"

namespace engine {

class MatrixWriter {
 public:
  // file: the matrix file; nullopt for the working data.
  explicit MatrixWriter(std::optional<std::filesystem::path> file);

  // What MTDMPD asks for, in file order after the split-file variables.
  struct Standard {
    std::vector<Variable> splitVariables;  // copies of their dictionary entries
    int caseLabelWidth = 0;                // 0: no case label variable
    std::string caseLabelTitle;            // label of the case label variable
    bool caseNumbers = false;              // CASENO_
    int varnameWidth = 1;
  };
  // Starts the dictionary; throws DataError when two standard variables would
  // share a name.
  void startDictionary(const Standard& standard);
  bool hasDictionary() const { return started_; }
  Dictionary& dictionary() { return dictionary_; }
  const Dictionary& dictionary() const { return dictionary_; }
  std::size_t splitCount() const { return splitCount_; }
  std::int64_t itemCount() const;
  // The name of the row-th item variable (MTXCRR); empty when there is none.
  std::string itemName(std::int64_t row) const;

  // The dictionary is complete: a file gets its header row (throws DataError).
  void begin();

  // A row: the row type, VARNAME_, the leading words (case label, then
  // CASENO_), then the item values. writeRow takes the split-file values from
  // groupRow (null: missing) at the given indices. Throws DataError.
  void startRow(std::string_view rowtype, std::string_view varname, std::span<const Word> leading);
  void addValue(double value) { values_.push_back(value); }
  void writeRow(const Case* groupRow, std::span<const std::int64_t> groupIndices);
  std::int64_t rowsWritten() const { return rows_; }

  // A file: complete it, write its sidecar and rename both into place
  // (throws DataError). Without commit nothing of them stays.
  void commit();
  // The working data: the rows as a dataset.
  std::shared_ptr<Dataset> toDataset(std::string source);
  bool toWorkingData() const { return !file_; }

 private:
  Variable stringVariable(std::string name, int width) const;
  void setString(Case& row, std::size_t k, std::string_view text) const;
  void noteItem(const Case& row);
  void writePending();
  void retitleCaseItems();

  std::optional<std::filesystem::path> file_;
  Dictionary dictionary_;
  bool started_ = false;
  std::size_t splitCount_ = 0;
  std::int64_t rowtypeIndex_ = 0, caseLabelIndex_ = 0, casenoIndex_ = 0, varnameIndex_ = 0;

  std::unique_ptr<data::TemporaryFile> output_;
  // A file's rows are put aside a block at a time and formatted on the
  // worker threads while the procedure gives the next block: formatting the
  // numbers is most of the writing. Two blocks in turn; the writer comes
  // after them, so that it stops formatting before they go.
  std::vector<Case> pending_[2];
  std::size_t filling_ = 0;  // the block that takes the next row
  std::size_t blockRows_ = 1;
  std::unique_ptr<OrderedWriter> rowWriter_;
  // The rows for the working data, kept column by column: a matrix of n
  // items has n + 4 variables, and a case per row would hold a string for
  // each.
  std::vector<data::Column> memoryColumns_;
  std::int64_t rows_ = 0;
  // The items of each group, for the sidecar's description.
  std::vector<data::MatrixGroupItems> groups_;
  std::vector<double> caseNumbers_;  // CASENO_ of each row, in order

  // The row being built.
  bool rowStarted_ = false;
  std::string rowtype_, varname_;
  std::vector<Word> leading_;
  std::vector<double> values_;
};

}  // namespace engine
