// The text renderer: titles underlined, tables in aligned columns (numbers to
// the right, text to the left, labels of outer dimensions and groups spanning
// what they cover), footnote markers in brackets and the footnotes under the
// table, messages with the command they came from. A table wider than the
// page is shown in blocks of columns, each under the row labels (TableWriter).
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/output/body_rows.h"
#include "engine/output/renderer.h"
#include "engine/output/table_layout.h"

namespace engine::output {

namespace {

constexpr std::string_view kColumnGap = "  ";

std::string withMarkers(std::string text, const std::vector<int>& footnotes) {
  if (footnotes.empty()) return text;
  text += " [";
  for (std::size_t i = 0; i < footnotes.size(); ++i) {
    if (i > 0) text += ',';
    text += footnoteMarker(footnotes[i]);
  }
  text += ']';
  return text;
}

enum class Align { Left, Right, Center };

// One entry of a line of the table: its text, how many columns it covers
// (0 for a column covered by an entry to its left) and its alignment.
struct Slot {
  std::string text;
  std::size_t span = 1;
  Align align = Align::Left;
  std::int64_t key = -1;  // identity, for blanking labels repeated from the line above
};

using Line = std::vector<Slot>;

// Appends the text padded to `width` characters.
void appendPadded(std::string& out, std::string_view text, std::size_t width, Align align) {
  const std::size_t used = displayWidth(text);
  const std::size_t room = used >= width ? 0 : width - used;
  const std::size_t before = align == Align::Right ? room : align == Align::Center ? room / 2 : 0;
  out.append(before, ' ');
  out += text;
  out.append(room - before, ' ');
}

std::string pad(const std::string& text, std::size_t width, Align align) {
  std::string out;
  appendPadded(out, text, width, align);
  return out;
}

// The shown text of a body cell, its footnote markers included.
std::string_view shownText(const BodyCell& cell, std::string& scratch) {
  if (cell.footnotes.empty()) return cell.content.text;
  scratch = withMarkers(cell.content.text, cell.footnotes);
  return scratch;
}

// A label that spans columns, and the room it needs over them.
struct SpanNeed {
  std::size_t column;
  std::size_t span;
  std::size_t width;
};

// What one block of columns needs to be written: its columns, its header
// lines, and the widths of the label columns and of its data columns (a
// label spanning columns widens only the block it is shown in).
struct BlockPlan {
  ColumnBlock columns;
  std::vector<Line> header;
  std::vector<std::size_t> widths;  // label columns first, then the block's data columns
  std::size_t lineWidth = 0;        // of its longest possible line
};

class TableWriter {
 public:
  TableWriter(const PivotTable& table, std::ostream& out, const TextOptions& options)
      : table_(table), out_(out), options_(options), layout_(layoutTable(table)) {}

  void write() {
    out_ << withMarkers(table_.title(), table_.titleMarkers()) << '\n';
    if (layout_.tooLarge) {
      out_ << "(too many rows and columns to show: " << layout_.rows.size << " by "
           << layout_.columns.size << ")\n";
    } else {
      planLabelColumns();
      measure();
      planBlocks();
      writeBlocks();
    }
    for (std::size_t i = 0; i < table_.footnotes().size(); ++i) {
      out_ << '[' << footnoteMarker(static_cast<int>(i)) << "] " << table_.footnotes()[i] << '\n';
    }
  }

 private:
  const Dimension& dim(int index) const {
    return table_.dimensions()[static_cast<std::size_t>(index)];
  }

  // Each row dimension takes one label column per group level plus one.
  void planLabelColumns() {
    labelColumns_ = 0;
    for (const int d : layout_.rows.dims) {
      labelOffset_.push_back(labelColumns_);
      labelColumns_ += static_cast<std::size_t>(dim(d).depth());
    }
    dataColumns_ = layout_.columns.size;
    numeric_.assign(dataColumns_, false);
  }

  // The blocks of columns that fit the page, and what each needs.
  void planBlocks() {
    const std::vector<ColumnBlock> blocks = splitIntoBlocks(
        dataColumns_, options_.pageWidth, [this](std::size_t first, std::size_t end) {
          return fittedBlock({first, end}).lineWidth;
        });
    for (const ColumnBlock& block : blocks) plans_.push_back(fittedBlock(block));
  }

  // A block too wide for the page because an outer label is longer than the
  // columns under it (the measure's label over one narrow column) lets that
  // label reach left over the blank room above the row labels instead.
  BlockPlan fittedBlock(ColumnBlock block) const {
    BlockPlan plan = planBlock(block, false);
    if (options_.pageWidth == 0 || plan.lineWidth <= options_.pageWidth) return plan;
    BlockPlan overhanging = planBlock(block, true);
    return overhanging.lineWidth < plan.lineWidth ? overhanging : plan;
  }

  // The header lines of a block: per column dimension, outer first, its group
  // levels and then its categories; equal neighbours merge into one spanning
  // label. Its widths: the table's, widened for the block's header labels.
  BlockPlan planBlock(ColumnBlock block, bool overhang) const {
    BlockPlan plan;
    plan.columns = block;
    plan.widths.assign(widths_.begin(),
                       widths_.begin() + static_cast<std::ptrdiff_t>(labelColumns_));
    for (std::size_t j = block.first; j < block.end; ++j) {
      plan.widths.push_back(widths_[labelColumns_ + j]);
    }
    std::vector<SpanNeed> spans;
    std::vector<std::size_t> hanging;  // header lines whose first label may overhang
    const AxisLayout& cols = layout_.columns;
    for (std::size_t k = 0; k < cols.dims.size(); ++k) {
      const int depth = dim(cols.dims[k]).depth();
      for (int h = 0; h < depth; ++h) {
        Line line(labelColumns_);
        for (std::size_t j = block.first; j < block.end; ++j) {
          line.push_back(headerSlot(k, h, depth, j));
        }
        mergeSpans(line);
        // The column labels proper (the innermost line) stay over their columns.
        const bool innermost = k + 1 == cols.dims.size() && h + 1 == depth;
        const std::size_t first = firstLabel(line);
        const bool hangs = overhang && !innermost && first < line.size();
        for (std::size_t i = 0; i < line.size(); ++i) {
          if (i >= labelColumns_ && line[i].span == 1) {
            line[i].align = numeric_[block.first + i - labelColumns_] ? Align::Right : Align::Left;
          }
          if (!hangs || i != first) widen(line[i], i, plan.widths, spans);
        }
        if (hangs) hanging.push_back(plan.header.size());
        plan.header.push_back(std::move(line));
      }
    }
    spread(spans, plan.widths);
    std::vector<SpanNeed> unhung;
    for (const std::size_t n : hanging) hangLeft(plan.header[n], plan.widths, unhung);
    spread(unhung, plan.widths);
    for (const std::size_t w : plan.widths) plan.lineWidth += w;
    if (!plan.widths.empty()) plan.lineWidth += (plan.widths.size() - 1) * kColumnGap.size();
    return plan;
  }

  static std::size_t firstLabel(const Line& line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i].span > 0 && !line[i].text.empty()) return i;
    }
    return line.size();
  }

  // The first label of a header line, when longer than the columns under it,
  // reaches left over the blank slots before it, ending where its columns
  // end. When even that is too short, it widens its columns after all.
  static void hangLeft(Line& line, const std::vector<std::size_t>& widths,
                       std::vector<SpanNeed>& spans) {
    const std::size_t first = firstLabel(line);
    const std::size_t end = first + line[first].span;
    const std::size_t need = displayWidth(line[first].text);
    std::size_t under = (line[first].span - 1) * kColumnGap.size();
    for (std::size_t c = first; c < end; ++c) under += widths[c];
    if (need <= under) return;
    std::size_t reach = (end - 1) * kColumnGap.size();
    for (std::size_t c = 0; c < end; ++c) reach += widths[c];
    if (need > reach) {
      spans.push_back({first, line[first].span, need});
      return;
    }
    Slot hung = line[first];
    hung.span = end;
    hung.align = Align::Right;
    for (std::size_t c = 0; c < end; ++c) line[c] = Slot{{}, 0, Align::Left, hung.key};
    line[0] = std::move(hung);
  }

  Slot headerSlot(std::size_t k, int h, int depth, std::size_t column) const {
    const AxisLayout& cols = layout_.columns;
    const Dimension& d = dim(cols.dims[k]);
    const int category = cols.categoryAt(column, k);
    const std::vector<int> path = d.groupPath(category);
    const std::int64_t prefix = cols.outerIndex(column, k);
    Slot slot;
    slot.align = Align::Right;
    if (static_cast<std::size_t>(h) < path.size()) {
      const int g = path[static_cast<std::size_t>(h)];
      slot.text = d.groups[static_cast<std::size_t>(g)].label;
      slot.key = labelKey(prefix, cols.dims[k], true, g);
    } else if (h == depth - 1) {
      const Category& c = d.categories[static_cast<std::size_t>(category)];
      slot.text = withMarkers(c.label.text, c.footnotes);
      slot.key = labelKey(prefix, cols.dims[k], false, category);
    }
    return slot;
  }

  // Neighbouring data slots with the same label become one centred span.
  void mergeSpans(Line& line) const {
    for (std::size_t j = labelColumns_; j < line.size();) {
      std::size_t end = j + 1;
      while (end < line.size() && line[j].key >= 0 && line[end].key == line[j].key) ++end;
      if (end - j > 1) {
        line[j].span = end - j;
        line[j].align = Align::Center;
        for (std::size_t i = j + 1; i < end; ++i) line[i] = Slot{{}, 0, Align::Left, line[j].key};
      }
      j = end;
    }
  }

  // The label slots of one body row, blanking labels that repeat the row above.
  Line labelLine(std::size_t row, const Line& previous) const {
    const AxisLayout& rows = layout_.rows;
    Line line(labelColumns_);
    std::int64_t prefix = 0;
    for (std::size_t k = 0; k < rows.dims.size(); ++k) {
      const Dimension& d = dim(rows.dims[k]);
      const int category = rows.categoryAt(row, k);
      const std::vector<int> path = d.groupPath(category);
      const std::size_t offset = labelOffset_[k];
      for (std::size_t i = 0; i < path.size(); ++i) {
        Slot& s = line[offset + i];
        s.text = d.groups[static_cast<std::size_t>(path[i])].label;
        s.key = labelKey(prefix, rows.dims[k], true, path[i]);
      }
      Slot& s = line[offset + path.size()];
      const Category& c = d.categories[static_cast<std::size_t>(category)];
      s.text = withMarkers(c.label.text, c.footnotes);
      s.key = labelKey(prefix, rows.dims[k], false, category);
      s.span = static_cast<std::size_t>(d.depth()) - path.size();
      for (std::size_t i = offset + path.size() + 1;
           i < offset + static_cast<std::size_t>(d.depth()); ++i) {
        line[i] = Slot{{}, 0, Align::Left, s.key};
      }
      prefix = prefix * static_cast<std::int64_t>(rows.counts[k]) + category;
    }
    for (std::size_t i = 0; i < labelColumns_ && !previous.empty(); ++i) {
      if (line[i].key != previous[i].key) break;
      if (line[i].span > 0) line[i].text.clear();
    }
    return line;
  }

  static void widen(const Slot& slot, std::size_t column, std::vector<std::size_t>& widths,
                    std::vector<SpanNeed>& spans) {
    if (slot.span == 1) {
      widths[column] = std::max(widths[column], displayWidth(slot.text));
    } else if (slot.span > 1) {
      spans.push_back({column, slot.span, displayWidth(slot.text)});
    }
  }

  // A spanning label wider than the columns it covers widens them: the
  // shortfall is spread over them, the later ones taking the remainder, so
  // that they stay about equally wide.
  static void spread(const std::vector<SpanNeed>& spans, std::vector<std::size_t>& widths) {
    for (const SpanNeed& s : spans) {
      std::size_t room = (s.span - 1) * kColumnGap.size();
      for (std::size_t i = s.column; i < s.column + s.span; ++i) room += widths[i];
      if (s.width <= room) continue;
      const std::size_t extra = s.width - room;
      for (std::size_t i = 0; i < s.span; ++i) {
        widths[s.column + i] += extra / s.span + (i >= s.span - extra % s.span ? 1 : 0);
      }
    }
  }

  // Column widths from every row label and cell. The column labels are
  // measured block by block (planBlock).
  void measure() {
    widths_.assign(labelColumns_ + dataColumns_, 0);
    std::vector<SpanNeed> spans;
    for (std::size_t k = 0; k < layout_.rows.dims.size(); ++k) {
      const Dimension& d = dim(layout_.rows.dims[k]);
      for (std::size_t c = 0; c < d.categories.size(); ++c) {
        const Line line = labelSlotsOf(d, static_cast<int>(c), labelOffset_[k]);
        for (std::size_t i = 0; i < line.size(); ++i) widen(line[i], i, widths_, spans);
      }
    }
    if (table_.spooled()) {
      measureSpooledBody();
    } else {
      measureBody();
    }
    spread(spans, widths_);
  }

  void widenColumn(std::size_t j, std::size_t width, bool numeric) {
    if (numeric) numeric_[j] = true;
    widths_[labelColumns_ + j] = std::max(widths_[labelColumns_ + j], width);
  }

  void measureBody() {
    BodyRows rows(table_, layout_);
    for (std::size_t r = 0; r < layout_.rows.size; ++r) {
      const std::span<const BodyCell> cells = rows.next();
      for (std::size_t j = 0; j < dataColumns_; ++j) {
        if (!cells[j].present) continue;
        widenColumn(j, markedWidth(cells[j].content.text, cells[j].footnotes),
                    cells[j].content.kind == Content::Kind::Number);
      }
    }
  }

  // The rows put aside were measured as they were written; only the row
  // still in memory is measured here, its last cell at a column counting.
  void measureSpooledBody() {
    const std::vector<SpooledColumn>& spooled = table_.spooledColumns();
    for (std::size_t j = 0; j < dataColumns_ && j < spooled.size(); ++j) {
      widenColumn(j, spooled[j].widest, spooled[j].numeric);
    }
    std::vector<std::ptrdiff_t> last(dataColumns_, -1);
    const std::vector<Cell>& pending = table_.cells();
    for (std::size_t i = 0; i < pending.size(); ++i) {
      const std::ptrdiff_t column = columnOf(layout_.columns, pending[i]);
      if (column >= 0) last[static_cast<std::size_t>(column)] = static_cast<std::ptrdiff_t>(i);
    }
    for (std::size_t j = 0; j < dataColumns_; ++j) {
      if (last[j] < 0) continue;
      const auto index = static_cast<std::size_t>(last[j]);
      const Content content = table_.cellContent(index);
      widenColumn(j, markedWidth(content.text, table_.cellFootnotes(index)),
                  content.kind == Content::Kind::Number);
    }
  }

  // The label slots a category needs, at the columns of its dimension.
  Line labelSlotsOf(const Dimension& d, int category, std::size_t offset) const {
    Line line(offset + static_cast<std::size_t>(d.depth()));
    const std::vector<int> path = d.groupPath(category);
    for (std::size_t i = 0; i < path.size(); ++i) {
      line[offset + i].text = d.groups[static_cast<std::size_t>(path[i])].label;
    }
    Slot& s = line[offset + path.size()];
    const Category& c = d.categories[static_cast<std::size_t>(category)];
    s.text = withMarkers(c.label.text, c.footnotes);
    s.span = static_cast<std::size_t>(d.depth()) - path.size();
    for (std::size_t i = 0; i < offset; ++i) line[i].span = 0;
    for (std::size_t i = offset + path.size() + 1; i < line.size(); ++i) line[i].span = 0;
    return line;
  }

  // The blocks, a blank line apart. The body is read once for as many blocks
  // as the memory for held lines allows: the first of them is written as its
  // rows come, the lines of the others kept until it is done.
  void writeBlocks() {
    for (std::size_t first = 0; first < plans_.size();) {
      std::size_t end = first + 1;
      std::size_t held = 0;
      while (end < plans_.size()) {
        const std::size_t need = layout_.rows.size * (plans_[end].lineWidth + 1);
        if (held + need > options_.heldBlockBytes) break;
        held += need;
        ++end;
      }
      if (!writeBlocksInOnePass(first, end)) return;
      first = end;
    }
  }

  // False when the output can no longer be written (the reader of a pipe
  // went away): nothing more is made.
  bool writeBlocksInOnePass(std::size_t first, std::size_t end) {
    writeHeader(plans_[first], first);
    std::vector<std::string> later(end - first - 1);
    BodyRows rows(table_, layout_);
    Line previous;
    for (std::size_t r = 0; r < layout_.rows.size && out_; ++r) {
      Line labels = labelLine(r, previous);
      const std::span<const BodyCell> cells = rows.next();
      lineBuffer_.clear();
      appendLine(plans_[first], labels, cells, lineBuffer_);
      out_.write(lineBuffer_.data(), static_cast<std::streamsize>(lineBuffer_.size()));
      for (std::size_t b = first + 1; b < end; ++b) {
        appendLine(plans_[b], labels, cells, later[b - first - 1]);
      }
      previous = std::move(labels);
    }
    out_.flush();
    for (std::size_t b = first + 1; b < end && out_; ++b) {
      writeHeader(plans_[b], b);
      std::string& lines = later[b - first - 1];
      out_.write(lines.data(), static_cast<std::streamsize>(lines.size()));
      std::string().swap(lines);
      out_.flush();
    }
    return static_cast<bool>(out_);
  }

  void writeHeader(const BlockPlan& plan, std::size_t index) {
    if (index > 0) out_ << '\n';
    lineBuffer_.clear();
    for (const Line& line : plan.header) appendLine(plan, line, {}, lineBuffer_);
    out_.write(lineBuffer_.data(), static_cast<std::streamsize>(lineBuffer_.size()));
  }

  // Appends a line of slots (a header line, or the labels of a body row)
  // followed by the block's cells of a body row, if any.
  void appendLine(const BlockPlan& plan, const Line& line, std::span<const BodyCell> row,
                  std::string& text) const {
    const std::size_t start = text.size();
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i].span == 0) continue;
      std::size_t width = (line[i].span - 1) * kColumnGap.size();
      for (std::size_t c = i; c < i + line[i].span; ++c) width += plan.widths[c];
      if (i > 0) text += kColumnGap;
      appendPadded(text, line[i].text, width, line[i].align);
    }
    if (!row.empty()) {
      std::string scratch;
      for (std::size_t j = plan.columns.first; j < plan.columns.end; ++j) {
        const std::size_t column = labelColumns_ + j - plan.columns.first;
        if (column > 0) text += kColumnGap;
        const std::string_view shown = row[j].present ? shownText(row[j], scratch) : "";
        appendPadded(text, shown, plan.widths[column], numeric_[j] ? Align::Right : Align::Left);
      }
    }
    while (text.size() > start && text.back() == ' ') text.pop_back();
    text += '\n';
  }

  const PivotTable& table_;
  std::ostream& out_;
  TextOptions options_;
  TableLayout layout_;
  std::size_t labelColumns_ = 0;
  std::size_t dataColumns_ = 0;
  std::vector<std::size_t> labelOffset_;
  std::vector<bool> numeric_;
  std::vector<std::size_t> widths_;  // of the label columns, then of every data column
  std::vector<BlockPlan> plans_;
  std::string lineBuffer_;  // reused: a line is built whole, then written
};

std::string underline(const std::string& title, char c) {
  return std::string(std::max<std::size_t>(displayWidth(title), 1), c);
}

class TextRenderer : public Renderer {
 public:
  TextRenderer(std::ostream& out, const TextOptions& options) : out_(out), options_(options) {}

  // Every item is flushed as soon as it is written: a reader of a pipe sees
  // the output as it comes, and a closed pipe is found at once.
  void beginProcedure(const std::string& title, const CommandInfo*) override {
    separate();
    out_ << title << '\n' << underline(title, '=') << '\n';
    out_.flush();
  }
  void endProcedure() override {}
  void beginHeading(const std::string& title) override {
    separate();
    out_ << title << '\n' << underline(title, '-') << '\n';
    out_.flush();
  }
  void endHeading() override {}

  void notes(const NotesGroup& group) override {
    separate();
    out_ << group.title << '\n';
    std::size_t width = 0;
    for (const auto& [label, value] : group.entries) width = std::max(width, displayWidth(label));
    for (const auto& [label, value] : group.entries) {
      std::string line = "  " + pad(label, width, Align::Left) + "  " + value.text;
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out_ << line << '\n';
    }
    out_.flush();
  }

  void table(const PivotTable& table) override {
    separate();
    TableWriter(table, out_, options_).write();
    out_.flush();
  }

  void message(const Message& message) override {
    separate();
    out_ << severityWord(message.severity, true) << ": " << message.text << '\n';
    if (message.command) {
      out_ << "  (in: " << message.command->text;
      if (!message.command->location.empty()) out_ << " at " << message.command->location;
      out_ << ")\n";
    }
    out_.flush();
  }

  void finish() override { out_.flush(); }

 private:
  // Items are separated by one blank line.
  void separate() {
    if (started_) out_ << '\n';
    started_ = true;
  }

  std::ostream& out_;
  TextOptions options_;
  bool started_ = false;
};

}  // namespace

std::string severityWord(Severity severity, bool capitalized) {
  switch (severity) {
    case Severity::Error:
      return capitalized ? "Error" : "error";
    case Severity::Warning:
      return capitalized ? "Warning" : "warning";
    case Severity::Note:
      return capitalized ? "Note" : "note";
  }
  return capitalized ? "Note" : "note";
}

std::unique_ptr<Renderer> makeTextRenderer(std::ostream& out) {
  return makeTextRenderer(out, TextOptions{});
}

std::unique_ptr<Renderer> makeTextRenderer(std::ostream& out, const TextOptions& options) {
  return std::make_unique<TextRenderer>(out, options);
}

}  // namespace engine::output
