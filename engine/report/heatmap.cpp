// The heatmap beside each proximity matrix of the HTML report: an inline SVG
// for small matrices, a canvas drawn from a compact embedded array for large
// ones, a legend, the average-linkage tree at its left, and the items' own and
// clustered orders for the toggle.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <numeric>
#include <unordered_map>

#include "engine/output/body_rows.h"
#include "engine/output/cluster.h"
#include "engine/report/html_report.h"

namespace engine::output {

namespace {

constexpr double kSvgTarget = 480.0;  // pixels the cells of an SVG heatmap aim to fill
constexpr int kSvgMinCell = 8;
constexpr int kSvgMaxCell = 40;
constexpr std::size_t kLabelMaxChars = 24;
constexpr std::size_t kCanvasTarget = 640;  // pixels across a canvas heatmap
constexpr std::size_t kMaxDictionary = 65535;
// Beyond a handful of items the own order hides the groups: such heatmaps
// open in the clustered order.
constexpr std::size_t kOpenClusteredAfter = 8;
constexpr int kTreeWidth = 120;  // pixels from the root to the leaves

std::string jsonText(std::string_view text) {
  std::string json = nlohmann::json(std::string(text))
                         .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  // Inside <script> a "</" must not appear; '<' only occurs within strings.
  std::string safe;
  safe.reserve(json.size());
  for (const char c : json) {
    if (c == '<') {
      safe += "\\u003c";
    } else {
      safe += c;
    }
  }
  return safe;
}

class Base64Writer {
 public:
  explicit Base64Writer(std::ostream& out) : out_(out) {}
  ~Base64Writer() { flush(); }
  Base64Writer(const Base64Writer&) = delete;
  Base64Writer& operator=(const Base64Writer&) = delete;

  void put(std::uint8_t byte) {
    group_[count_++] = byte;
    if (count_ == 3) emit();
  }
  void flush() {
    if (count_ > 0) emit();
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
    line_.clear();
  }

 private:
  void emit() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::uint32_t v = (std::uint32_t{group_[0]} << 16) |
                            (count_ > 1 ? std::uint32_t{group_[1]} << 8 : 0) |
                            (count_ > 2 ? std::uint32_t{group_[2]} : 0);
    line_ += kAlphabet[(v >> 18) & 63];
    line_ += kAlphabet[(v >> 12) & 63];
    line_ += count_ > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    line_ += count_ > 2 ? kAlphabet[v & 63] : '=';
    count_ = 0;
    group_ = {};
    if (line_.size() >= 1 << 16) flush();
  }

  std::ostream& out_;
  std::array<std::uint8_t, 3> group_{};
  int count_ = 0;
  std::string line_;
};

std::string shortLabel(const std::string& label) {
  // Count characters, not bytes, so that a UTF-8 label is not cut mid-character.
  std::size_t chars = 0;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if ((static_cast<unsigned char>(label[i]) & 0xC0) == 0x80) continue;
    if (chars++ == kLabelMaxChars - 1) return label.substr(0, i) + "\u2026";
  }
  return label;
}

std::size_t labelChars(const ProximityMatrix& m) {
  std::size_t widest = 1;
  for (std::size_t i = 0; i < m.size(); ++i) {
    for (const std::string* label : {&m.rowLabel(i), &m.columnLabel(i)}) {
      widest = std::max(widest, displayWidth(shortLabel(*label)));
    }
  }
  return widest;
}

std::string orderText(const std::vector<std::size_t>& order, char separator) {
  std::string text;
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k > 0) text += separator;
    text += std::to_string(order[k]);
  }
  return text;
}

// pos[i]: where item i is drawn, for an order listing the items by place.
std::vector<std::size_t> placesOf(const std::vector<std::size_t>& order) {
  std::vector<std::size_t> pos(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) pos[order[k]] = k;
  return pos;
}

std::string number(double v) {
  std::string text = std::to_string(std::round(v * 10.0) / 10.0);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

// ---- the legend -----------------------------------------------------------------

struct LegendWords {
  std::string low;
  std::string high;
};

LegendWords legendWords(const MatrixScale& scale) {
  if (scale.diverging()) return {"opposite", "alike"};
  if (scale.alikeAtHigh()) return {"unlike", "alike"};
  return {"alike", "unlike"};
}

std::string scaleDescription(const ProximityMatrix& m, const MatrixScale& scale) {
  if (scale.diverging()) return "similarities: orange alike, blue opposite, light near 0";
  return m.kind() == MatrixKind::Similarity ? "similarities: dark alike, light unlike"
                                            : "dissimilarities: dark alike, light unlike";
}

// Defined once, in the legend, which every heatmap has; the cells refer to it.
void writeHatchPattern(std::ostream& out, int id) {
  out << "<pattern id=\"hm" << id
      << "-hatch\" patternUnits=\"userSpaceOnUse\" width=\"4\" height=\"4\" "
         "patternTransform=\"rotate(45)\"><rect width=\"4\" height=\"4\" fill=\"#e0e0e0\"/>"
         "<rect width=\"1.5\" height=\"4\" fill=\"#6e6e6e\"/></pattern>";
}

void writeLegend(std::ostream& out, const ProximityMatrix& m, const MatrixScale& scale,
                 bool anyMissing, int id) {
  constexpr int kLeft = 12;
  constexpr int kWidth = 270;
  const LegendWords words = legendWords(scale);
  out << "<svg class=\"legend\" viewBox=\"0 0 380 58\" width=\"380\" height=\"58\" role=\"img\" "
         "aria-label=\"Colour scale from "
      << escapeHtml(formatNumber(scale.low(), m.format())) << " (" << words.low << ") to "
      << escapeHtml(formatNumber(scale.high(), m.format())) << " (" << words.high << ")\"><defs>";
  writeHatchPattern(out, id);
  out << "<linearGradient id=\"hm" << id << "-scale\">";
  constexpr int kStops = 16;
  for (int k = 0; k <= kStops; ++k) {
    const double f = k / static_cast<double>(kStops);
    const double v = scale.low() + f * (scale.high() - scale.low());
    out << "<stop offset=\"" << number(100.0 * f) << "%\" stop-color=\""
        << hexColour(scale.colourOf(v)) << "\"/>";
  }
  out << "</linearGradient></defs>";
  out << "<text x=\"" << kLeft << "\" y=\"11\">" << words.low << "</text><text x=\""
      << kLeft + kWidth << "\" y=\"11\" text-anchor=\"end\">" << words.high << "</text>";
  out << "<rect x=\"" << kLeft << "\" y=\"16\" width=\"" << kWidth
      << "\" height=\"14\" stroke=\"#555\" stroke-width=\"0.5\" fill=\"url(#hm" << id
      << "-scale)\"/>";
  constexpr int kTicks = 4;
  for (int k = 0; k <= kTicks; ++k) {
    const double f = k / static_cast<double>(kTicks);
    const double v = scale.low() + f * (scale.high() - scale.low());
    const double x = kLeft + f * kWidth;
    const char* anchor = k == 0 ? "start" : (k == kTicks ? "end" : "middle");
    out << "<line x1=\"" << number(x) << "\" x2=\"" << number(x)
        << "\" y1=\"30\" y2=\"34\" stroke=\"#555\"/><text x=\"" << number(x)
        << "\" y=\"46\" text-anchor=\"" << anchor << "\">"
        << escapeHtml(formatNumber(v, m.format())) << "</text>";
  }
  if (anyMissing) {
    out << "<rect x=\"298\" y=\"16\" width=\"14\" height=\"14\" stroke=\"#555\" "
           "stroke-width=\"0.5\" fill=\"url(#hm"
        << id << "-hatch)\"/><text x=\"316\" y=\"27\">missing</text>";
  }
  out << "</svg>";
}

// ---- the tree -----------------------------------------------------------------------

// The average-linkage tree drawn to the left of the heatmap: the root at the
// left, each leaf at the right end of its item's row (top + (place + 0.5) *
// row pixels down), each merge as far from the leaves as its height.
void writeTree(std::ostream& out, std::span<const Merge> merges,
               const std::vector<std::size_t>& place, std::size_t n, double row, double top,
               double height) {
  if (n < 2 || merges.size() + 1 != n) return;
  double low = 0.0;
  double high = 0.0;
  for (const Merge& m : merges) {
    low = std::min(low, m.height);
    high = std::max(high, m.height);
  }
  const double span = high > low ? high - low : 1.0;
  const auto x = [&](double h) { return kTreeWidth - 4.0 - (kTreeWidth - 8.0) * (h - low) / span; };
  std::vector<double> level(2 * n - 1, low);
  std::vector<double> y(2 * n - 1);
  for (std::size_t i = 0; i < n; ++i) y[i] = top + (static_cast<double>(place[i]) + 0.5) * row;
  out << "<svg class=\"dendrogram\" viewBox=\"0 0 " << kTreeWidth << ' ' << number(height)
      << "\" width=\"" << kTreeWidth << "\" height=\"" << number(height) << "\" role=\"img\" "
      << "aria-label=\"Average-linkage tree of the " << n << " items\" data-merges=\""
      << merges.size() << "\"><path fill=\"none\" stroke=\"#444\" stroke-width=\"1\" d=\"";
  for (std::size_t k = 0; k < merges.size(); ++k) {
    const Merge& m = merges[k];
    const std::size_t c = n + k;
    level[c] = m.height;
    y[c] = (y[m.left] + y[m.right]) / 2.0;
    out << 'M' << number(x(level[m.left])) << ' ' << number(y[m.left]) << 'H' << number(x(m.height))
        << 'V' << number(y[m.right]) << 'H' << number(x(level[m.right]));
  }
  out << "\"/></svg>";
}

// ---- small matrices: SVG ------------------------------------------------------------

void writeSvgCells(std::ostream& out, const ProximityMatrix& m, const MatrixScale& scale, int cell,
                   int id, const std::vector<std::size_t>& pos) {
  const std::size_t n = m.size();
  out << "<g class=\"cells\">";
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      const int bin = scale.bin(m.value(i, j));
      out << "<rect x=\"" << pos[j] * static_cast<std::size_t>(cell) << "\" y=\""
          << pos[i] * static_cast<std::size_t>(cell) << "\" width=\"" << cell << "\" height=\""
          << cell << "\" fill=\"";
      if (bin == kMissingBin) {
        out << "url(#hm" << id << "-hatch)";
      } else {
        out << hexColour(scale.binColour(bin));
      }
      out << "\"><title>" << escapeHtml(m.rowLabel(i)) << " \u00d7 " << escapeHtml(m.columnLabel(j))
          << ": " << escapeHtml(m.text(i, j)) << "</title></rect>";
    }
    out << '\n';
  }
  out << "</g>";
}

void writeSvgHeatmap(std::ostream& out, const ProximityMatrix& m, const MatrixScale& scale, int id,
                     const std::vector<std::size_t>& pos, std::span<const Merge> merges) {
  const std::size_t n = m.size();
  const int cell =
      std::clamp(static_cast<int>(kSvgTarget / static_cast<double>(n)), kSvgMinCell, kSvgMaxCell);
  const int font = std::min(12, cell - 1);
  const int labels =
      static_cast<int>(std::ceil(static_cast<double>(labelChars(m)) * font * 0.62)) + 6;
  const int side = static_cast<int>(n) * cell;
  const int width = labels + side + 2;
  const int height = labels + side + 2;
  writeTree(out, merges, placesOf(leafOrder(n, merges)), n, static_cast<double>(cell), labels,
            height);
  out << "<svg class=\"heatmap-svg\" viewBox=\"0 0 " << width << ' ' << height << "\" width=\""
      << width << "\" height=\"" << height << "\" role=\"img\" aria-label=\"Heatmap of " << n
      << " items against " << n << "\" style=\"font-size:" << font
      << "px\"><g transform=\"translate(" << labels << ',' << labels << ")\">";
  writeSvgCells(out, m, scale, cell, id, pos);
  out << "<g class=\"row-labels\">";
  for (std::size_t i = 0; i < n; ++i) {
    out << "<text x=\"-4\" y=\"" << number((static_cast<double>(pos[i]) + 0.5) * cell)
        << "\" text-anchor=\"end\" dominant-baseline=\"central\">"
        << escapeHtml(shortLabel(m.rowLabel(i))) << "</text>";
  }
  out << "</g><g class=\"col-labels\">";
  for (std::size_t j = 0; j < n; ++j) {
    out << "<text transform=\"translate(" << number((static_cast<double>(pos[j]) + 0.5) * cell)
        << ",-4) rotate(-90)\" dominant-baseline=\"central\">"
        << escapeHtml(shortLabel(m.columnLabel(j))) << "</text>";
  }
  out << "</g></g></svg>";
}

// ---- large matrices: canvas and data ---------------------------------------------------

// The cells the data array holds: the lower triangle (with the diagonal) of a
// symmetric matrix, else every cell, row by row.
template <typename Visit>
void forEachStoredCell(std::size_t n, bool symmetric, Visit visit) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t end = symmetric ? i + 1 : n;
    for (std::size_t j = 0; j < end; ++j) visit(i, j);
  }
}

// Hover texts: the distinct shown texts and one 16-bit index per cell, or
// nothing when there are too many distinct texts (then the values go as
// single-precision numbers and the script formats them).
struct TextDictionary {
  std::vector<std::string> texts;
  std::vector<std::uint16_t> entries;
};

std::optional<TextDictionary> textDictionary(const ProximityMatrix& m, bool symmetric) {
  TextDictionary d;
  std::unordered_map<std::uint64_t, std::uint16_t> byValue;  // numbers: by value bits
  std::unordered_map<std::string, std::uint16_t> byText;
  bool overflow = false;
  forEachStoredCell(m.size(), symmetric, [&](std::size_t i, std::size_t j) {
    if (overflow) return;
    const double v = m.value(i, j);
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    if (!std::isnan(v)) {
      const auto found = byValue.find(bits);
      if (found != byValue.end()) {
        d.entries.push_back(found->second);
        return;
      }
    }
    std::string text = m.text(i, j);
    auto [it, added] = byText.try_emplace(text, static_cast<std::uint16_t>(d.texts.size()));
    if (added) {
      if (d.texts.size() >= kMaxDictionary) {
        overflow = true;
        return;
      }
      d.texts.push_back(std::move(text));
    }
    if (!std::isnan(v)) byValue.emplace(bits, it->second);
    d.entries.push_back(it->second);
  });
  if (overflow) return std::nullopt;
  return d;
}

void writeLabelArray(std::ostream& out, const ProximityMatrix& m, bool rows) {
  out << '[';
  for (std::size_t i = 0; i < m.size(); ++i) {
    out << (i > 0 ? "," : "") << jsonText(rows ? m.rowLabel(i) : m.columnLabel(i));
  }
  out << ']';
}

void writeCanvasData(std::ostream& out, const ProximityMatrix& m, const MatrixScale& scale,
                     const std::vector<std::size_t>& clustered) {
  const std::size_t n = m.size();
  const bool symmetric = m.symmetric();
  out << "<script type=\"application/json\" class=\"heatmap-data\">{\"n\":" << n
      << ",\"symmetric\":" << (symmetric ? "true" : "false") << ",\"format\":\""
      << formatName(m.format()) << "\",\"rows\":";
  writeLabelArray(out, m, true);
  out << ",\n\"columns\":";
  writeLabelArray(out, m, false);
  out << ",\n\"clustered\":[" << orderText(clustered, ',') << "],\n\"palette\":[";
  for (int b = 0; b < kPaletteSize; ++b) {
    out << (b > 0 ? "," : "") << '"' << hexColour(scale.binColour(b)) << '"';
  }
  out << "],\n\"bins\":\"";
  {
    Base64Writer bins(out);
    forEachStoredCell(n, symmetric, [&](std::size_t i, std::size_t j) {
      bins.put(static_cast<std::uint8_t>(scale.bin(m.value(i, j))));
    });
  }
  out << "\",\n";
  if (const std::optional<TextDictionary> d = textDictionary(m, symmetric)) {
    out << "\"texts\":[";
    for (std::size_t k = 0; k < d->texts.size(); ++k) {
      out << (k > 0 ? "," : "") << jsonText(d->texts[k]);
    }
    out << "],\n\"entries\":\"";
    Base64Writer entries(out);
    for (const std::uint16_t e : d->entries) {  // little-endian, as the script reads it
      entries.put(static_cast<std::uint8_t>(e & 0xFF));
      entries.put(static_cast<std::uint8_t>(e >> 8));
    }
    entries.flush();
    out << "\"}</script>";
    return;
  }
  out << "\"values\":\"";
  {
    Base64Writer values(out);
    forEachStoredCell(n, symmetric, [&](std::size_t i, std::size_t j) {
      const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(m.value(i, j)));
      for (int shift = 0; shift < 32; shift += 8) {
        values.put(static_cast<std::uint8_t>((bits >> shift) & 0xFF));
      }
    });
  }
  out << "\"}</script>";
}

void writeCanvasHeatmap(std::ostream& out, const ProximityMatrix& m, const MatrixScale& scale,
                        const std::vector<std::size_t>& clustered, std::span<const Merge> merges) {
  const std::size_t n = m.size();
  const std::size_t scaleUp = std::max<std::size_t>(1, kCanvasTarget / n);
  const std::size_t pixels = n * scaleUp;
  const double shown = static_cast<double>(std::min(pixels, kCanvasTarget));
  writeTree(out, merges, placesOf(clustered), n, shown / static_cast<double>(n), 1.0, shown + 2.0);
  // Shrinking a canvas of more cells than pixels must average, not drop, cells.
  out << "<div class=\"heatmap-canvas-box\"><canvas"
      << (pixels > kCanvasTarget ? " class=\"shrunk\"" : "") << " width=\"" << pixels
      << "\" height=\"" << pixels << "\" style=\"width:" << std::min(pixels, kCanvasTarget)
      << "px\" role=\"img\" aria-label=\"Heatmap of " << n << " items against " << n
      << "\"></canvas><div class=\"heatmap-tip\" hidden></div></div>"
      << "<noscript><p class=\"heatmap-noscript\">This heatmap of " << n
      << " items is drawn by a script: allow JavaScript to see it.</p></noscript>\n";
  writeCanvasData(out, m, scale, clustered);
}

}  // namespace

// ---- the matrix --------------------------------------------------------------------------

std::optional<ProximityMatrix> ProximityMatrix::of(const PivotTable& table,
                                                   const TableLayout& layout) {
  if (table.name() != "Proximity Matrix" || layout.tooLarge) return std::nullopt;
  if (layout.rows.size != layout.columns.size || layout.rows.size == 0) return std::nullopt;
  if (layout.rows.dims.empty() || layout.columns.dims.empty()) return std::nullopt;
  ProximityMatrix m;
  bool known = false;
  for (const std::string& footnote : table.footnotes()) {
    // "This is a (absolute) similarity matrix" and its dissimilarity twin.
    if (footnote.find("dissimilarity matrix") != std::string::npos) {
      m.kind_ = MatrixKind::Dissimilarity;
      known = true;
      break;
    }
    if (footnote.find("similarity matrix") != std::string::npos) {
      m.kind_ = MatrixKind::Similarity;
      known = true;
      break;
    }
  }
  if (!known) return std::nullopt;
  m.table_ = &table;
  m.n_ = layout.rows.size;
  const Dimension& rowDim = table.dimensions()[static_cast<std::size_t>(layout.rows.dims.back())];
  const Dimension& columnDim =
      table.dimensions()[static_cast<std::size_t>(layout.columns.dims.back())];
  for (std::size_t i = 0; i < m.n_; ++i) {
    const int r = layout.rows.categoryAt(i, layout.rows.dims.size() - 1);
    const int c = layout.columns.categoryAt(i, layout.columns.dims.size() - 1);
    m.rowLabels_.push_back(rowDim.categories[static_cast<std::size_t>(r)].label.text);
    m.columnLabels_.push_back(columnDim.categories[static_cast<std::size_t>(c)].label.text);
  }
  if (m.n_ <= kHeatmapMaxItems) m.readValues(layout);
  return m;
}

// The matrix's format is that of its first number, in row order.
void ProximityMatrix::readValues(const TableLayout& layout) {
  values_.assign(n_ * n_, std::numeric_limits<double>::quiet_NaN());
  std::vector<const BodyCell*> row(n_);
  BodyRows rows(*table_, layout);
  bool formatKnown = false;
  for (std::size_t i = 0; i < n_; ++i) {
    const std::span<const BodyCell> cells = rows.next();
    for (std::size_t j = 0; j < n_; ++j) {
      const BodyCell& cell = cells[j];
      const Content& c = cell.content;
      const bool number = cell.present && c.kind == Content::Kind::Number;
      if (number && !formatKnown) {
        format_ = c.format;
        formatKnown = true;
      }
      if (number && !c.missing) values_[i * n_ + j] = c.value;
      const bool plain = number && !c.missing && !c.integer && c.format == format_;
      if (!plain) otherTexts_.emplace(i * n_ + j, cell.present ? c.text : std::string());
    }
  }
}

std::string ProximityMatrix::text(std::size_t i, std::size_t j) const {
  const auto other = otherTexts_.find(i * n_ + j);
  if (other != otherTexts_.end()) return other->second;
  return formatNumber(values_[i * n_ + j], format_);
}

bool ProximityMatrix::symmetric() const {
  for (std::size_t i = 0; i < n_; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const double a = value(i, j);
      const double b = value(j, i);
      if (std::bit_cast<std::uint64_t>(a) != std::bit_cast<std::uint64_t>(b) &&
          !(std::isnan(a) && std::isnan(b))) {
        return false;
      }
    }
  }
  return true;
}

MatrixScale scaleOf(const ProximityMatrix& m) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (std::size_t i = 0; i < m.size(); ++i) {
    for (std::size_t j = 0; j < m.size(); ++j) {
      const double v = m.value(i, j);
      if (!std::isfinite(v)) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  return MatrixScale(m.kind(), low, high);
}

// ---- the figure ----------------------------------------------------------------------------

void writeHeatmap(std::ostream& out, const ProximityMatrix& m, int id) {
  const std::size_t n = m.size();
  if (n > kHeatmapMaxItems) {
    out << "<p class=\"heatmap-none\" role=\"note\">No heatmap: the matrix has " << n
        << " items, more than the " << kHeatmapMaxItems << " a report shows.</p>\n";
    return;
  }
  const MatrixScale scale = scaleOf(m);
  bool anyMissing = false;
  for (std::size_t i = 0; i < n && !anyMissing; ++i) {
    for (std::size_t j = 0; j < n && !anyMissing; ++j) anyMissing = !std::isfinite(m.value(i, j));
  }
  const std::vector<Merge> merges =
      averageLinkage(n, clusteringDissimilarities(
                            n, [&](std::size_t i, std::size_t j) { return m.value(i, j); },
                            m.kind() == MatrixKind::Similarity));
  const std::vector<std::size_t> clustered = leafOrder(n, merges);
  const bool openClustered = n > kOpenClusteredAfter;
  std::vector<std::size_t> own(n);
  std::iota(own.begin(), own.end(), std::size_t{0});
  const bool small = n <= kHeatmapSvgMaxItems;
  out << "<figure class=\"heatmap" << (small ? "" : " heatmap-large") << "\" id=\"hm" << id
      << "\" data-n=\"" << n << "\" data-order=\"" << (openClustered ? "clustered" : "own") << "\"";
  if (small) out << " data-clustered=\"" << orderText(clustered, ' ') << "\"";
  out << ">\n<figcaption>Heatmap of " << escapeHtml(m.table().title()) << ", " << n
      << (n == 1 ? " item" : " items") << "; " << scaleDescription(m, scale)
      << "</figcaption>\n<div class=\"order-toggle\" hidden><span>Order:</span> "
      << "<label><input type=\"radio\" name=\"hm" << id << "-order\" value=\"own\""
      << (openClustered ? "" : " checked")
      << "> items' own</label> <label><input type=\"radio\" name=\"hm" << id
      << "-order\" value=\"clustered\"" << (openClustered ? " checked" : "")
      << "> clustered (average linkage)</label></div>\n<div class=\"heatmap-body\">";
  if (small) {
    writeSvgHeatmap(out, m, scale, id, placesOf(openClustered ? clustered : own), merges);
  } else {
    writeCanvasHeatmap(out, m, scale, clustered, merges);
  }
  out << "</div>\n";
  writeLegend(out, m, scale, anyMissing, id);
  out << "\n</figure>\n";
}

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace engine::output
