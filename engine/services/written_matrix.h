// A matrix written with MATRIX=OUT(*), kept for the caller instead of
// becoming the working data. A front end that wants the numbers (the Python
// module) would otherwise get a dataset of n + 4 columns, a string per row in
// three of them, and copy the n x n values out of it column by column; kept,
// each value is converted once, as the procedure writes it, into one dense
// array the caller can take over as it is.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/csv_table.h"
#include "host/tavixwcom.h"

namespace engine {

struct WrittenMatrix {
  // One of the variables before the items: the split-file variables,
  // ROWTYPE_, ID, CASENO_, VARNAME_, in the order a matrix file has them,
  // one value per row. Texts have no trailing blanks; a missing number is
  // NaN.
  struct Column {
    std::string name;
    bool isString = false;
    std::vector<double> numbers;
    std::vector<std::string> texts;
  };
  std::vector<Column> leading;
  std::vector<std::string> items;  // the names of the item variables
  std::size_t rows = 0;
  // rows x items.size(), row after row; NaN where the matrix file would have
  // a missing value (padding, a missing proximity, a value not finite).
  std::vector<double> values;
};

// While on, MATRIX=OUT(*) keeps the matrix (the last one written, replacing
// any before) and leaves the working data as they were; off, the default,
// it replaces the working data. Turning it off drops what was kept.
void keepWrittenMatrices(bool keep);
bool keepingWrittenMatrices();
// The matrix kept last, handed over (an empty one with no rows when none).
WrittenMatrix takeWrittenMatrix();

// The matrix-file services' side (matrix_files.cpp): the rows of one
// MATRIX=OUT(*) while keeping. `dictionary` is the matrix output's, complete
// by the first row.
namespace kept {
// Returns the matrix's values, to which the row's values are then appended
// with addValue: the procedure writes one value per call, so that call must
// not look up the matrix being built each time.
std::vector<double>& startRow(const Dictionary& dictionary, std::string_view rowtype,
                              std::string_view varname, std::span<const Word> leading);
// A value as the kept matrix has it: NaN for the system-missing value and
// anything not finite.
inline double keptNumber(double value) {
  return std::isfinite(value) && value != data::kSystemMissing
             ? value
             : std::numeric_limits<double>::quiet_NaN();
}
inline void addValue(std::vector<double>& values, double value) {
  values.push_back(keptNumber(value));
}
// Completes the row with the split-file values of groupRow (null: missing)
// at groupIndices. Throws DataError for a row that does not fit.
void writeRow(const Case* groupRow, std::span<const std::int64_t> groupIndices);
// The command's matrix is complete: it becomes the kept one.
void finish();
// The command was abandoned or wrote elsewhere: its rows go.
void drop();
}  // namespace kept

}  // namespace engine
