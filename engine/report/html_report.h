// Pieces of the HTML report (--format html) that the renderer puts together:
// the limits that keep the file a reasonable size, the heatmap drawn beside
// each proximity matrix, and the report's inline style sheet and script.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/output/document.h"
#include "engine/output/table_layout.h"
#include "engine/report/colour_scale.h"

namespace engine::output {

// A table shows at most this many rows and columns of values; the rest is
// left out with a note (a matrix of thousands of items belongs in a matrix
// file, and its heatmap still shows every item).
inline constexpr std::size_t kHtmlTableMaxRows = 200;
inline constexpr std::size_t kHtmlTableMaxColumns = 200;

// Matrices up to this many items get an inline SVG heatmap, one element per
// cell with its values in a tooltip, that needs no script. Larger ones are
// drawn on a canvas from a compact array; beyond kHeatmapMaxItems there is no
// heatmap (the file would pass some tens of megabytes).
inline constexpr std::size_t kHeatmapSvgMaxItems = 60;
inline constexpr std::size_t kHeatmapMaxItems = 4000;

// A table that is a proximity matrix: its name says so, a footnote says
// whether it holds similarities or dissimilarities, and its cells fill a
// square grid of items against items. Up to kHeatmapMaxItems items, its values
// are read into a dense array of doubles (8 bytes a cell, 128 MB at the
// largest): the heatmap needs them all, in both orders.
class ProximityMatrix {
 public:
  static std::optional<ProximityMatrix> of(const PivotTable& table, const TableLayout& layout);

  std::size_t size() const { return n_; }
  MatrixKind kind() const { return kind_; }
  NumberFormat format() const { return format_; }
  const std::string& rowLabel(std::size_t i) const { return rowLabels_[i]; }
  const std::string& columnLabel(std::size_t j) const { return columnLabels_[j]; }
  // The value at row i, column j; NaN where missing or not a number.
  double value(std::size_t i, std::size_t j) const { return values_[i * n_ + j]; }
  std::string text(std::size_t i, std::size_t j) const;  // as the table shows it
  bool symmetric() const;                                // every (i, j) equals (j, i), exactly
  const PivotTable& table() const { return *table_; }

 private:
  void readValues(const TableLayout& layout);
  const PivotTable* table_ = nullptr;
  std::size_t n_ = 0;
  MatrixKind kind_ = MatrixKind::Dissimilarity;
  NumberFormat format_ = NumberFormat::General;
  std::vector<std::string> rowLabels_;
  std::vector<std::string> columnLabels_;
  std::vector<double> values_;
  // Texts that are not the value in the matrix's format: empty places,
  // missing values, texts, integers and other formats; by i * n + j.
  std::unordered_map<std::size_t, std::string> otherTexts_;
};

// The scale for a matrix: its kind and the range of its finite values.
MatrixScale scaleOf(const ProximityMatrix& matrix);

// Writes the heatmap figure of a matrix; `id` makes its element ids unique in
// the page. A matrix above kHeatmapMaxItems gets a note instead.
void writeHeatmap(std::ostream& out, const ProximityMatrix& matrix, int id);

// Text for HTML element content and attribute values.
std::string escapeHtml(std::string_view text);

std::string_view reportStyle();
std::string_view reportScript();

}  // namespace engine::output
