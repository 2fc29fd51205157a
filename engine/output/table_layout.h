// Where the categories of a pivot table go: which dimensions run down the rows
// and which across the columns, outermost first, and which cell sits at each
// row and column. Both renderers lay a table out the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/output/document.h"

namespace engine::output {

// One axis: every combination of the categories of its dimensions, the inner
// dimension varying fastest. Dimensions without categories take no part. An
// axis without dimensions has one unlabelled entry; an axis whose dimensions
// all lack categories has none.
struct AxisLayout {
  std::vector<int> dims;            // dimension indices, outer to inner
  std::vector<std::size_t> counts;  // categories of each
  std::size_t size = 0;

  int categoryAt(std::size_t entry, std::size_t k) const;  // category of dims[k]
  // The entry's place among the combinations of the dimensions outside
  // dims[k]: equal for the entries that one label of dims[k] spans.
  std::int64_t outerIndex(std::size_t entry, std::size_t k) const;
};

struct TableLayout {
  AxisLayout rows;
  AxisLayout columns;
  bool tooLarge = false;           // no grid: more row-column places than we lay out
  std::vector<std::int32_t> grid;  // rows.size x columns.size cell indices, -1 empty

  std::int32_t cellAt(std::size_t row, std::size_t column) const {
    return grid[row * columns.size + column];
  }
};

// A spooled table gets no grid: its rows are read back in order
// (engine/output/body_rows.h).
TableLayout layoutTable(const PivotTable& table);
AxisLayout layoutAxis(const PivotTable& table, Axis axis);

// A key that tells the labels of a table apart: which dimension, group or
// category, and the place among the outer dimensions' combinations (see
// outerIndex). Neighbouring header slots with equal keys merge into one label.
inline std::int64_t labelKey(std::int64_t outer, int dim, bool group, int id) {
  return ((outer * 8 + dim) * 2 + (group ? 1 : 0)) * (std::int64_t{1} << 31) + id;
}

// A run of data columns [first, end) shown together, under the row labels
// repeated, when a table is wider than the page.
struct ColumnBlock {
  std::size_t first = 0;
  std::size_t end = 0;
  bool operator==(const ColumnBlock&) const = default;
};

// Cuts `columns` data columns into blocks, left to right, each as wide as
// fits `pageWidth`: `widthOf(first, end)` is the width of the lines a block of
// those columns makes, row labels included, and grows with `end`. A column
// too wide for the page even alone starts a block as wide as it needs, which
// takes the columns after it while they fit that width (a spanning label
// wider than the page, say); a number is never cut. A page width of 0 sets
// no limit: one block. A table without data columns is one empty block.
std::vector<ColumnBlock> splitIntoBlocks(
    std::size_t columns, std::size_t pageWidth,
    const std::function<std::size_t(std::size_t first, std::size_t end)>& widthOf);

// The axis a dimension goes on: as positioned, else the cell dimension across
// the columns and every other dimension down the rows.
Axis axisOf(const PivotTable& table, int dim);

}  // namespace engine::output
