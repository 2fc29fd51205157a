#include "engine/output/body_rows.h"

namespace engine::output {

BodyRows::BodyRows(const PivotTable& table, const TableLayout& layout)
    : table_(table), layout_(layout), cells_(layout.columns.size) {
  if (table.spooled()) spooled_.emplace(table);
}

std::span<const BodyCell> BodyRows::next() {
  for (BodyCell& cell : cells_) cell.present = false;
  if (spooled_) {
    fromSpool(row_);
  } else if (!layout_.tooLarge) {
    fromGrid(row_);
  }
  ++row_;
  return cells_;
}

// The column of a cell: its categories on the column dimensions.
std::ptrdiff_t columnOf(const AxisLayout& columns, const Cell& cell) {
  std::size_t entry = 0;
  for (std::size_t k = 0; k < columns.dims.size(); ++k) {
    const std::int32_t p = cell.position[static_cast<std::size_t>(columns.dims[k])];
    if (p < 0) return -1;
    entry = entry * columns.counts[k] + static_cast<std::size_t>(p);
  }
  return static_cast<std::ptrdiff_t>(entry);
}

void BodyRows::place(std::size_t index) {
  const std::ptrdiff_t entry = columnOf(layout_.columns, table_.cells()[index]);
  if (entry < 0) return;
  BodyCell& cell = cells_[static_cast<std::size_t>(entry)];
  cell.present = true;
  cell.position = table_.cells()[index].position;
  cell.content = table_.cellContent(index);
  cell.footnotes = table_.cellFootnotes(index);
}

void BodyRows::fromGrid(std::size_t row) {
  for (std::size_t j = 0; j < cells_.size(); ++j) {
    const std::int32_t index = layout_.cellAt(row, j);
    if (index >= 0) place(static_cast<std::size_t>(index));
  }
}

// A spooled table has one row dimension, so a row's entry is its category.
// The rows put aside come first; the row still in memory is the last one
// that has cells.
void BodyRows::fromSpool(std::size_t row) {
  const int category = static_cast<int>(row);
  while (spooled_->nextRow() >= 0 && spooled_->nextRow() < category) spooled_->skip();
  if (spooled_->nextRow() == category) spooled_->read(cells_);
  const std::vector<Cell>& pending = table_.cells();
  const auto rowDim = static_cast<std::size_t>(table_.spoolRowDimension());
  if (pending.empty() || pending.front().position[rowDim] != category) return;
  for (std::size_t i = 0; i < pending.size(); ++i) place(i);
}

}  // namespace engine::output
