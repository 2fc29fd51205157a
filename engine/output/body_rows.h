// The cells of a table's body, row by row in the order of its layout, as every
// renderer reads them: from the grid of a table kept whole, or from the spool
// of a table whose rows were put aside as they were built. Only one row is
// held at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "engine/output/document.h"
#include "engine/output/table_layout.h"

namespace engine::output {

// The column of the layout a cell lies in, -1 when it lacks a category of a
// column dimension.
std::ptrdiff_t columnOf(const AxisLayout& columns, const Cell& cell);

class BodyRows {
 public:
  BodyRows(const PivotTable& table, const TableLayout& layout);

  // The next row: one entry per column of the layout (absent where no cell
  // is); rows come in order from the first, layout.rows.size of them.
  std::span<const BodyCell> next();

 private:
  void fromGrid(std::size_t row);
  void fromSpool(std::size_t row);
  void place(std::size_t index);

  const PivotTable& table_;
  const TableLayout& layout_;
  std::size_t row_ = 0;
  std::vector<BodyCell> cells_;
  std::optional<PivotTable::SpooledRows> spooled_;
};

}  // namespace engine::output
