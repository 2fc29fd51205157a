#include "engine/output/matrix_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/core/ordered_writer.h"
#include "engine/output/catalogue.h"

namespace engine::output {

namespace {

// "This is a (absolute) similarity matrix" and its dissimilarity twin.
bool readKind(const PivotTable& table, MatrixTable& m) {
  for (const std::string& footnote : table.footnotes()) {
    const bool dissimilarity = footnote.find("dissimilarity matrix") != std::string::npos;
    if (dissimilarity || footnote.find("similarity matrix") != std::string::npos) {
      m.similarity = !dissimilarity;
      m.absolute = footnote.find("absolute") != std::string::npos;
      return true;
    }
  }
  return false;
}

// The measure label opens with the catalogue's prefixes (texts 14701 to
// 14703: rescaled, reversed, absolute), each followed by a blank.
void readMeasureLabel(const PivotTable& table, MatrixTable& m) {
  for (const Dimension& d : table.dimensions()) {
    if (d.name == "Measure" && !d.categories.empty()) m.measureLabel = d.categories[0].label.text;
  }
  std::string_view rest = trimBlanks(m.measureLabel);
  static constexpr std::pair<std::int64_t, const char*> kPrefixes[] = {
      {14701, "rescale"}, {14702, "reverse"}, {14703, "absolute"}};
  for (const auto& [number, word] : kPrefixes) {
    const std::string_view prefix = catalogueText(number);
    if (!prefix.empty() && rest.substr(0, prefix.size()) == prefix && rest.size() > prefix.size() &&
        rest[prefix.size()] == ' ') {
      m.prefixes.emplace_back(word);
      rest = trimBlanks(rest.substr(prefix.size()));
    }
  }
  m.measureName = std::string(rest);
}

// Between cases an item is shown as "12:label" (with an ID variable) or as
// the case number alone.
MatrixItem readItem(const Content& label, bool cases) {
  MatrixItem item{label.text, std::nullopt};
  if (!cases) return item;
  if (label.kind == Content::Kind::Number && label.integer) {
    item.number = label.whole;
    return item;
  }
  const std::size_t colon = label.text.find(':');
  if (colon == std::string::npos) return item;
  std::int64_t number = 0;
  const char* first = label.text.data();
  const auto [end, error] = std::from_chars(first, first + colon, number);
  if (colon > 0 && error == std::errc() && end == first + colon) {
    item.number = number;
    item.label = label.text.substr(colon + 1);
  }
  return item;
}

}  // namespace

std::optional<MatrixTable> readMatrixTable(const PivotTable& table) {
  if (table.name() != "Proximity Matrix") return std::nullopt;
  const TableLayout layout = layoutTable(table);
  if (layout.tooLarge && !table.spooled()) return std::nullopt;
  if (layout.rows.dims.empty() || layout.columns.dims.empty()) return std::nullopt;
  if (layout.rows.size != layout.columns.size) return std::nullopt;
  MatrixTable m;
  if (!readKind(table, m)) return std::nullopt;
  readMeasureLabel(table, m);
  m.group = table.group();
  const Dimension& rowDim = table.dimensions()[static_cast<std::size_t>(layout.rows.dims.back())];
  m.cases = rowDim.name == "Case";
  for (std::size_t i = 0; i < layout.rows.size; ++i) {
    const int r = layout.rows.categoryAt(i, layout.rows.dims.size() - 1);
    m.items.push_back(readItem(rowDim.categories[static_cast<std::size_t>(r)].label, m.cases));
  }
  return m;
}

MatrixRows::MatrixRows(const PivotTable& table)
    : layout_(layoutTable(table)), rows_(table, layout_) {}

const std::vector<std::optional<double>>& MatrixRows::next() {
  const std::span<const BodyCell> cells = rows_.next();
  row_.assign(cells.size(), std::nullopt);
  for (std::size_t j = 0; j < cells.size(); ++j) {
    const Content& c = cells[j].content;
    if (!cells[j].present || c.kind != Content::Kind::Number || c.missing) continue;
    const double value = c.integer ? static_cast<double>(c.whole) : c.value;
    if (std::isfinite(value)) row_[j] = value;
  }
  return row_;
}

void writeMatrixRows(
    std::ostream& out, const PivotTable& table, std::size_t size,
    const std::function<void(std::size_t, const MatrixRow&, std::string&)>& format) {
  // Two blocks of rows in turn: the worker threads format one while this
  // thread reads the next from the table's spool.
  std::vector<MatrixRow> blocks[2];
  OrderedWriter writer(out);
  const std::size_t blockRows = writer.blockRows(size);
  MatrixRows rows(table);
  for (std::size_t first = 0, b = 0; first < size; first += blockRows, b = 1 - b) {
    std::vector<MatrixRow>& block = blocks[b];
    block.resize(std::min(blockRows, size - first));
    for (MatrixRow& row : block) row = rows.next();
    writer.write(block.size(), [&format, &block, first](std::size_t k, std::string& text) {
      format(first + k, block[k], text);
    });
  }
  writer.finish();
}

}  // namespace engine::output
