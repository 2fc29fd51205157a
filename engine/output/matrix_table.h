// A "Proximity Matrix" table read back as a matrix: its items' labels, its
// values in row order, what kind of values they are and how they were made.
// The CSV and long renderers and the JSON renderer's matrix object all read a
// table through this, so they agree on labels and values to the last bit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/output/body_rows.h"
#include "engine/output/document.h"
#include "engine/output/table_layout.h"

namespace engine::output {

struct MatrixItem {
  std::string label;                   // ID value, case number or variable name
  std::optional<std::int64_t> number;  // the case number, between cases
};

struct MatrixTable {
  bool cases = true;                  // items are cases, not variables
  bool similarity = false;            // from the footnote
  bool absolute = false;              // "absolute similarity matrix"
  std::string measureLabel;           // as printed, "Rescaled Euclidean Distance"
  std::string measureName;            // without the prefixes, "Euclidean Distance"
  std::vector<std::string> prefixes;  // "absolute", "reverse", "rescale" as the label shows them
  PivotTable::GroupValues group;
  std::vector<MatrixItem> items;

  std::size_t size() const { return items.size(); }
};

// The values of a matrix table, one row at a time in item order, so that a
// matrix of many items is never held whole (its table is spooled row by row).
class MatrixRows {
 public:
  explicit MatrixRows(const PivotTable& table);
  // The next row: one entry per item, none where missing or not a number.
  const std::vector<std::optional<double>>& next();

 private:
  TableLayout layout_;
  BodyRows rows_;
  std::vector<std::optional<double>> row_;
};

using MatrixRow = std::vector<std::optional<double>>;

// Writes the rows of a matrix table of `size` items in item order, row i's
// text made by format(i, row, text) on the worker threads a block of rows
// at a time: the bytes are the same for any number of threads.
void writeMatrixRows(
    std::ostream& out, const PivotTable& table, std::size_t size,
    const std::function<void(std::size_t, const MatrixRow&, std::string&)>& format);

// The matrix a table holds; none when it is not a proximity matrix laid out
// as items against items.
std::optional<MatrixTable> readMatrixTable(const PivotTable& table);

}  // namespace engine::output
