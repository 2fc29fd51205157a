// The HTML renderer: one self-contained page (inline style sheet and script,
// nothing fetched), written item by item as the run goes on. Tables are real
// tables with captions and header cells, showing the same texts, footnotes and
// split-group headings as the text rendering; each proximity matrix gets a
// heatmap beside it (engine/report/heatmap.cpp).
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/output/body_rows.h"
#include "engine/output/renderer.h"
#include "engine/output/table_layout.h"
#include "engine/report/html_renderer.h"
#include "engine/report/html_report.h"

namespace engine::output {

namespace {

// Matrices up to this many items fit beside their heatmap on a screen.
constexpr std::size_t kHeatmapAfterItems = 10;

std::string markers(const std::vector<int>& footnotes) {
  if (footnotes.empty()) return {};
  std::string text = "<sup class=\"fn\">";
  for (std::size_t i = 0; i < footnotes.size(); ++i) {
    if (i > 0) text += ',';
    text += footnoteMarker(footnotes[i]);
  }
  return text + "</sup>";
}

std::string withMarkers(const std::string& text, const std::vector<int>& footnotes) {
  return escapeHtml(text) + markers(footnotes);
}

// One header or label cell before it is written: its HTML, the columns it
// covers (0 when covered from the left), and what it stands for.
struct Slot {
  std::string html;
  std::size_t span = 1;
  std::int64_t key = -1;
  bool group = false;
};

class HtmlTableWriter {
 public:
  HtmlTableWriter(const PivotTable& table, const TableLayout& layout, std::ostream& out)
      : table_(table), layout_(layout), out_(out) {
    rows_ = std::min(layout.rows.size, kHtmlTableMaxRows);
    columns_ = std::min(layout.columns.size, kHtmlTableMaxColumns);
  }

  bool shortened() const {
    return !layout_.tooLarge && (rows_ < layout_.rows.size || columns_ < layout_.columns.size);
  }

  // The note above a shortened table.
  void writeShortenedNote(bool heatmap) const {
    out_ << "<p class=\"shortened\" role=\"note\">This table shows the first " << rows_ << " of "
         << layout_.rows.size << " rows and the first " << columns_ << " of "
         << layout_.columns.size << " columns.";
    if (heatmap) out_ << " The heatmap shows every item.";
    out_ << " The full matrix belongs in a matrix file.</p>\n";
  }

  void write(int id) {
    out_ << "<table class=\"pivot\" id=\"t" << id << "\">\n<caption>"
         << withMarkers(table_.title(), table_.titleMarkers()) << "</caption>\n";
    if (layout_.tooLarge) {
      out_ << "<tbody><tr><td>(too many rows and columns to show: " << layout_.rows.size << " by "
           << layout_.columns.size << ")</td></tr></tbody></table>\n";
      return;
    }
    planLabelColumns();
    readShownCells();
    writeHeader();
    writeBody();
    out_ << "</table>\n";
  }

  void writeFootnotes() const {
    if (table_.footnotes().empty()) return;
    out_ << "<div class=\"footnotes\">";
    for (std::size_t i = 0; i < table_.footnotes().size(); ++i) {
      out_ << "<p><sup class=\"fn\">" << footnoteMarker(static_cast<int>(i)) << "</sup> "
           << escapeHtml(table_.footnotes()[i]) << "</p>";
    }
    out_ << "</div>\n";
  }

 private:
  const Dimension& dim(int index) const {
    return table_.dimensions()[static_cast<std::size_t>(index)];
  }

  void planLabelColumns() {
    for (const int d : layout_.rows.dims) {
      labelOffset_.push_back(labelColumns_);
      labelColumns_ += static_cast<std::size_t>(dim(d).depth());
    }
  }

  // The cells shown (at most kHtmlTableMaxRows by kHtmlTableMaxColumns), and
  // which of their columns hold numbers.
  void readShownCells() {
    numeric_.assign(columns_, false);
    BodyRows rows(table_, layout_);
    for (std::size_t r = 0; r < rows_; ++r) {
      const std::span<const BodyCell> row = rows.next();
      shown_.emplace_back(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(columns_));
      for (std::size_t j = 0; j < columns_; ++j) {
        if (row[j].present && row[j].content.kind == Content::Kind::Number) numeric_[j] = true;
      }
    }
  }

  Slot headerSlot(std::size_t k, int h, int depth, std::size_t column) const {
    const AxisLayout& cols = layout_.columns;
    const Dimension& d = dim(cols.dims[k]);
    const int category = cols.categoryAt(column, k);
    const std::vector<int> path = d.groupPath(category);
    const std::int64_t prefix = cols.outerIndex(column, k);
    Slot slot;
    if (static_cast<std::size_t>(h) < path.size()) {
      const int g = path[static_cast<std::size_t>(h)];
      slot.html = escapeHtml(d.groups[static_cast<std::size_t>(g)].label);
      slot.key = labelKey(prefix, cols.dims[k], true, g);
      slot.group = true;
    } else if (h == depth - 1) {
      const Category& c = d.categories[static_cast<std::size_t>(category)];
      slot.html = withMarkers(c.label.text, c.footnotes);
      slot.key = labelKey(prefix, cols.dims[k], false, category);
    }
    return slot;
  }

  void writeHeader() {
    const AxisLayout& cols = layout_.columns;
    std::size_t headerRows = 0;
    for (const int d : cols.dims) headerRows += static_cast<std::size_t>(dim(d).depth());
    if (headerRows == 0) return;
    out_ << "<thead>\n";
    bool first = true;
    for (std::size_t k = 0; k < cols.dims.size(); ++k) {
      const int depth = dim(cols.dims[k]).depth();
      for (int h = 0; h < depth; ++h) {
        out_ << "<tr>";
        if (first && labelColumns_ > 0) {
          out_ << "<td class=\"corner\" colspan=\"" << labelColumns_ << "\" rowspan=\""
               << headerRows << "\"></td>";
        }
        first = false;
        writeHeaderLine(k, h, depth);
        out_ << "</tr>\n";
      }
    }
    out_ << "</thead>\n";
  }

  // Neighbouring columns under the same label share one spanning header cell.
  void writeHeaderLine(std::size_t k, int h, int depth) {
    for (std::size_t j = 0; j < columns_;) {
      const Slot slot = headerSlot(k, h, depth, j);
      std::size_t end = j + 1;
      while (end < columns_ && slot.key >= 0 && headerSlot(k, h, depth, end).key == slot.key) {
        ++end;
      }
      const std::size_t span = end - j;
      if (slot.key < 0) {
        out_ << "<td" << (span > 1 ? " colspan=\"" + std::to_string(span) + "\"" : "") << "></td>";
      } else {
        const bool spans = span > 1;
        out_ << "<th scope=\"" << (spans ? "colgroup" : "col") << "\"";
        if (spans) out_ << " colspan=\"" << span << "\"";
        if (!spans && numeric_[j]) out_ << " class=\"num\"";
        out_ << ">" << slot.html << "</th>";
      }
      j = end;
    }
  }

  // The label slots of one body row, as the text rendering lays them out.
  std::vector<Slot> labelLine(std::size_t row) const {
    const AxisLayout& rows = layout_.rows;
    std::vector<Slot> line(labelColumns_);
    std::int64_t prefix = 0;
    for (std::size_t k = 0; k < rows.dims.size(); ++k) {
      const Dimension& d = dim(rows.dims[k]);
      const int category = rows.categoryAt(row, k);
      const std::vector<int> path = d.groupPath(category);
      const std::size_t offset = labelOffset_[k];
      for (std::size_t i = 0; i < path.size(); ++i) {
        Slot& s = line[offset + i];
        s.html = escapeHtml(d.groups[static_cast<std::size_t>(path[i])].label);
        s.key = labelKey(prefix, rows.dims[k], true, path[i]);
        s.group = true;
      }
      Slot& s = line[offset + path.size()];
      const Category& c = d.categories[static_cast<std::size_t>(category)];
      s.html = withMarkers(c.label.text, c.footnotes);
      s.key = labelKey(prefix, rows.dims[k], false, category);
      s.span = static_cast<std::size_t>(d.depth()) - path.size();
      for (std::size_t i = offset + path.size() + 1;
           i < offset + static_cast<std::size_t>(d.depth()); ++i) {
        line[i] = Slot{{}, 0, s.key, false};
      }
      prefix = prefix * static_cast<std::int64_t>(rows.counts[k]) + category;
    }
    return line;
  }

  // How many label columns, from the left, repeat the row above: those are
  // covered by the cells above (the text rendering leaves them blank).
  static std::size_t repeated(const std::vector<Slot>& line, const std::vector<Slot>& above) {
    std::size_t i = 0;
    while (i < line.size() && !above.empty() && line[i].key == above[i].key) ++i;
    return i;
  }

  void writeBody() {
    std::vector<std::vector<Slot>> lines;
    lines.reserve(rows_);
    for (std::size_t r = 0; r < rows_; ++r) lines.push_back(labelLine(r));
    std::vector<std::size_t> repeats(rows_, 0);
    for (std::size_t r = 1; r < rows_; ++r) repeats[r] = repeated(lines[r], lines[r - 1]);
    out_ << "<tbody>\n";
    for (std::size_t r = 0; r < rows_; ++r) {
      out_ << "<tr>";
      for (std::size_t i = repeats[r]; i < labelColumns_; ++i) {
        const Slot& s = lines[r][i];
        if (s.span == 0) continue;
        std::size_t rowSpan = 1;
        while (r + rowSpan < rows_ && repeats[r + rowSpan] > i) ++rowSpan;
        out_ << "<th scope=\"" << (rowSpan > 1 || s.group ? "rowgroup" : "row") << "\"";
        if (s.span > 1) out_ << " colspan=\"" << s.span << "\"";
        if (rowSpan > 1) out_ << " rowspan=\"" << rowSpan << "\"";
        out_ << ">" << s.html << "</th>";
      }
      for (std::size_t j = 0; j < columns_; ++j) writeCell(shown_[r][j], numeric_[j]);
      out_ << "</tr>\n";
    }
    out_ << "</tbody>\n";
  }

  void writeCell(const BodyCell& cell, bool numeric) {
    out_ << (numeric ? "<td class=\"num\">" : "<td>");
    if (cell.present) out_ << withMarkers(cell.content.text, cell.footnotes);
    out_ << "</td>";
  }

  const PivotTable& table_;
  const TableLayout& layout_;
  std::ostream& out_;
  std::size_t rows_ = 0;
  std::size_t columns_ = 0;
  std::size_t labelColumns_ = 0;
  std::vector<std::size_t> labelOffset_;
  std::vector<bool> numeric_;
  std::vector<std::vector<BodyCell>> shown_;
};

void writeCommand(std::ostream& out, const CommandInfo& command) {
  out << "<p class=\"command\"><code>" << escapeHtml(command.text) << "</code>";
  if (!command.location.empty()) {
    out << " <span class=\"location\">at " << escapeHtml(command.location) << "</span>";
  }
  out << "</p>\n";
}

class HtmlRenderer : public Renderer {
 public:
  explicit HtmlRenderer(std::ostream& out) : out_(out) {
    out_ << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<meta name=\"generator\" content=\"proximities\">\n"
            "<title>Proximities report</title>\n<style>\n"
         << reportStyle() << "</style>\n<script>\n"
         << reportScript() << "</script>\n</head>\n<body>\n<main>\n"
         << "<h1>Proximities report</h1>\n";
  }

  void beginProcedure(const std::string& title, const CommandInfo* command) override {
    out_ << "<section class=\"procedure\">\n<h2>" << escapeHtml(title) << "</h2>\n";
    if (command != nullptr) writeCommand(out_, *command);
    ++open_;
  }
  void endProcedure() override { closeSection(); }
  void beginHeading(const std::string& title) override {
    out_ << "<section class=\"heading\">\n<h3>" << escapeHtml(title) << "</h3>\n";
    ++open_;
  }
  void endHeading() override { closeSection(); }

  void notes(const NotesGroup& group) override {
    out_ << "<div class=\"table-block\"><table class=\"notes\">\n<caption>"
         << escapeHtml(group.title) << "</caption>\n<tbody>\n";
    for (const auto& [label, value] : group.entries) {
      out_ << "<tr><th scope=\"row\">" << escapeHtml(label) << "</th><td"
           << (value.kind == Content::Kind::Number ? " class=\"num\"" : "") << ">"
           << escapeHtml(value.text) << "</td></tr>\n";
    }
    out_ << "</tbody>\n</table></div>\n";
  }

  void table(const PivotTable& table) override {
    const TableLayout layout = layoutTable(table);
    const std::optional<ProximityMatrix> matrix = ProximityMatrix::of(table, layout);
    const int id = ++tables_;
    HtmlTableWriter writer(table, layout, out_);
    out_ << "<div class=\"" << (matrix ? "table-block matrix-block" : "table-block") << "\">\n";
    if (writer.shortened()) writer.writeShortenedNote(matrix && matrix->size() <= kHeatmapMaxItems);
    // A small matrix has its heatmap to its right; a wide one has it first,
    // where it is seen without scrolling past the table.
    const bool heatmapFirst = matrix && matrix->size() > kHeatmapAfterItems;
    out_ << "<div class=\"matrix-pair\">\n";
    if (heatmapFirst) writeHeatmap(out_, *matrix, id);
    out_ << "<div class=\"table-scroll\">\n";
    writer.write(id);
    out_ << "</div>\n";
    if (matrix && !heatmapFirst) writeHeatmap(out_, *matrix, id);
    out_ << "</div>\n";
    writer.writeFootnotes();
    out_ << "</div>\n";
  }

  void message(const Message& m) override {
    const std::string word = severityWord(m.severity, false);
    out_ << "<div class=\"message " << word << "\"><p><strong>" << severityWord(m.severity, true)
         << ":</strong> " << escapeHtml(m.text) << "</p>";
    if (m.command) {
      out_ << "<p class=\"in-command\">in <code>" << escapeHtml(m.command->text) << "</code>";
      if (!m.command->location.empty()) {
        out_ << " at <span class=\"location\">" << escapeHtml(m.command->location) << "</span>";
      }
      out_ << "</p>";
    }
    out_ << "</div>\n";
  }

  void finish() override {
    if (finished_) return;
    while (open_ > 0) closeSection();
    out_ << "</main>\n</body>\n</html>\n";
    out_.flush();
    finished_ = true;
  }

 private:
  void closeSection() {
    if (open_ == 0) return;
    out_ << "</section>\n";
    --open_;
  }

  std::ostream& out_;
  int open_ = 0;  // procedure and heading sections not yet closed
  int tables_ = 0;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<Renderer> makeHtmlRenderer(std::ostream& out) {
  return std::make_unique<HtmlRenderer>(out);
}

}  // namespace engine::output
