#include "engine/output/table_layout.h"

#include <algorithm>

namespace engine::output {

namespace {

// A sparse table with many dimensions could ask for an enormous grid; beyond
// this many places it is rendered without one.
constexpr std::size_t kMaxGridPlaces = std::size_t{1} << 28;

}  // namespace

AxisLayout layoutAxis(const PivotTable& table, Axis axis) {
  const auto& dims = table.dimensions();
  std::vector<int> members;
  for (std::size_t i = 0; i < dims.size(); ++i) {
    if (axisOf(table, static_cast<int>(i)) == axis) members.push_back(static_cast<int>(i));
  }
  // Outer dimensions (higher level) first; equal levels keep declaration order.
  std::stable_sort(members.begin(), members.end(), [&](int a, int b) {
    return dims[static_cast<std::size_t>(a)].level > dims[static_cast<std::size_t>(b)].level;
  });
  AxisLayout layout;
  layout.size = 1;
  for (const int dim : members) {
    const std::size_t count = dims[static_cast<std::size_t>(dim)].categories.size();
    if (count == 0) continue;
    layout.dims.push_back(dim);
    layout.counts.push_back(count);
    layout.size *= count;
  }
  if (layout.dims.empty() && !members.empty()) layout.size = 0;
  return layout;
}

namespace {

// The entry of a cell on an axis, or -1 when it has no category on one of the
// axis's dimensions.
std::int64_t entryOf(const AxisLayout& axis, const Cell& cell) {
  std::int64_t entry = 0;
  for (std::size_t k = 0; k < axis.dims.size(); ++k) {
    const std::int32_t p = cell.position[static_cast<std::size_t>(axis.dims[k])];
    if (p < 0) return -1;
    entry = entry * static_cast<std::int64_t>(axis.counts[k]) + p;
  }
  return entry;
}

}  // namespace

Axis axisOf(const PivotTable& table, int dim) {
  const Dimension& d = table.dimensions()[static_cast<std::size_t>(dim)];
  if (d.positioned) return d.axis;
  return dim == table.cellDimension() ? Axis::Columns : Axis::Rows;
}

std::int64_t AxisLayout::outerIndex(std::size_t entry, std::size_t k) const {
  std::int64_t index = 0;
  for (std::size_t i = 0; i < k; ++i) {
    index = index * static_cast<std::int64_t>(counts[i]) + categoryAt(entry, i);
  }
  return index;
}

int AxisLayout::categoryAt(std::size_t entry, std::size_t k) const {
  std::size_t stride = 1;
  for (std::size_t i = k + 1; i < counts.size(); ++i) stride *= counts[i];
  return static_cast<int>(entry / stride % counts[k]);
}

TableLayout layoutTable(const PivotTable& table) {
  TableLayout layout;
  layout.rows = layoutAxis(table, Axis::Rows);
  layout.columns = layoutAxis(table, Axis::Columns);
  if (layout.columns.size != 0 && layout.rows.size > kMaxGridPlaces / layout.columns.size) {
    layout.tooLarge = true;
    return layout;
  }
  if (table.spooled()) return layout;
  layout.grid.assign(layout.rows.size * layout.columns.size, -1);
  const auto& cells = table.cells();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::int64_t row = entryOf(layout.rows, cells[i]);
    const std::int64_t column = entryOf(layout.columns, cells[i]);
    if (row < 0 || column < 0) continue;
    // A later cell at the same place replaces an earlier one.
    layout.grid[static_cast<std::size_t>(row) * layout.columns.size +
                static_cast<std::size_t>(column)] = static_cast<std::int32_t>(i);
  }
  return layout;
}

std::vector<ColumnBlock> splitIntoBlocks(
    std::size_t columns, std::size_t pageWidth,
    const std::function<std::size_t(std::size_t first, std::size_t end)>& widthOf) {
  if (pageWidth == 0 || columns == 0) return {ColumnBlock{0, columns}};
  std::vector<ColumnBlock> blocks;
  for (std::size_t first = 0; first < columns;) {
    // A first column too wide for the page (a long cell, or a label over
    // it) makes room that the next columns may share while they fit in it.
    const std::size_t room = std::max(pageWidth, widthOf(first, first + 1));
    std::size_t end = first + 1;
    while (end < columns && widthOf(first, end + 1) <= room) ++end;
    blocks.push_back({first, end});
    first = end;
  }
  return blocks;
}

}  // namespace engine::output
