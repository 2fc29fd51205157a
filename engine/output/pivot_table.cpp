#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>

#include "engine/output/document.h"
#include "engine/output/table_layout.h"

namespace engine::output {

namespace {

std::size_t spoolMemoryBudget = CellSpool::kDefaultMemoryBudget;
bool spoolingAllowed = true;

// The kind (2 bits), format (3 bits) and these flags share a byte.
constexpr std::uint8_t kIntegerFlag = 0x20;
constexpr std::uint8_t kMissingFlag = 0x40;
constexpr std::uint8_t kFootnotesFlag = 0x80;
constexpr std::uint8_t kKindMask = 0x03;
constexpr int kFormatShift = 2;
constexpr std::uint8_t kFormatMask = 0x07;
// The column of a cell is given as the step from the previous cell's column
// (from -1 for the first), in one byte when below this, else in five.
constexpr std::uint8_t kLongStep = 255;
constexpr std::uint8_t kLongText = 255;  // a text length that follows as 4 bytes
constexpr std::size_t kRowHeaderBytes = 4 + 4 + 8;

template <typename T>
void put(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

void putText(std::string& out, std::string_view text) {
  if (text.size() < kLongText) {
    put(out, static_cast<std::uint8_t>(text.size()));
  } else {
    put(out, kLongText);
    put(out, static_cast<std::uint32_t>(text.size()));
  }
  out += text;
}

template <typename T>
T take(CellSpool::Reader& in) {
  char bytes[sizeof(T)];
  T value{};
  if (in.read(bytes)) std::memcpy(&value, bytes, sizeof(T));
  return value;
}

// Reads the records of a row from memory; past the end it gives zeros and
// empty texts rather than reading beyond the row.
class RecordParser {
 public:
  explicit RecordParser(std::string_view bytes) : bytes_(bytes) {}
  template <typename T>
  T take() {
    T value{};
    if (bytes_.size() - at_ >= sizeof(T)) std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    at_ = std::min(bytes_.size(), at_ + sizeof(T));
    return value;
  }
  void takeText(std::string& text) {
    std::size_t length = take<std::uint8_t>();
    if (length == kLongText) length = take<std::uint32_t>();
    length = std::min(length, bytes_.size() - at_);
    text.assign(bytes_.data() + at_, length);
    at_ += length;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

}  // namespace

CategoryName::CategoryName(const Content& label, std::string_view text)
    : label_(label),
      text_(text),
      byCount_(label.kind == Content::Kind::Number && label.integer &&
               label.format == NumberFormat::Count) {}

// A count made into a category has its digits as its text, so equal values
// are equal texts and different values different texts.
bool CategoryName::matches(const Content& category) const {
  if (byCount_ && category.kind == Content::Kind::Number && category.integer &&
      category.format == NumberFormat::Count) {
    return category.whole == label_.whole;
  }
  return category.text == text();
}

std::string_view CategoryName::text() const {
  if (!byCount_ || !text_.empty()) return text_;
  if (!digitsMade_) {
    // The digits formatInteger gives a count, made without a string.
    const auto end = std::to_chars(digits_.data(), digits_.data() + digits_.size(), label_.whole);
    text_ = std::string_view(digits_.data(), static_cast<std::size_t>(end.ptr - digits_.data()));
    digitsMade_ = true;
  }
  return text_;
}

Content CategoryName::content() const {
  Content c = label_;
  c.text = std::string(text());
  return c;
}

std::size_t markedWidth(std::string_view text, std::span<const int> footnotes) {
  std::size_t width = displayWidth(text);
  if (footnotes.empty()) return width;
  width += 3 + (footnotes.size() - 1);  // " [", the commas, "]"
  for (const int f : footnotes) width += footnoteMarker(f).size();
  return width;
}

void PivotTable::setSpoolMemoryBudget(std::size_t bytes) { spoolMemoryBudget = bytes; }
void PivotTable::allowSpooling(bool allowed) { spoolingAllowed = allowed; }

std::vector<int> Dimension::groupPath(int category) const {
  std::vector<int> path;
  for (int g = categories[static_cast<std::size_t>(category)].group; g >= 0;
       g = groups[static_cast<std::size_t>(g)].parent) {
    path.push_back(g);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

int Dimension::depth() const {
  int deepest = 0;
  for (const CategoryGroup& g : groups) {
    int d = 1;
    for (int p = g.parent; p >= 0; p = groups[static_cast<std::size_t>(p)].parent) ++d;
    deepest = std::max(deepest, d);
  }
  return deepest + 1;
}

PivotTable::PivotTable(std::string name, std::string title)
    : name_(std::move(name)), title_(std::move(title)) {}

int PivotTable::dimension(std::string_view name) {
  for (std::size_t i = 0; i < dimensions_.size(); ++i) {
    if (dimensions_[i].name == name) return static_cast<int>(i);
  }
  if (dimensions_.size() == kMaxDimensions) return -1;
  if (spool_) leaveSpool();
  Dimension d;
  d.name = std::string(name);
  dimensions_.push_back(std::move(d));
  return static_cast<int>(dimensions_.size() - 1);
}

void PivotTable::setCellDimension(int dim) {
  if (spool_ && dim != cellDimension_) leaveSpool();
  cellDimension_ = dim;
}

void PivotTable::place(int dim, Axis axis, int level) {
  if (spool_) leaveSpool();
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  d.axis = axis;
  d.level = level;
  d.positioned = true;
}

int PivotTable::addCategory(int dim, Content label) {
  if (spool_ && dim != spoolRowDim_) leaveSpool();
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  Category c;
  c.group = d.openGroups_.empty() ? -1 : d.openGroups_.back();
  const int index = static_cast<int>(d.categories.size());
  if (!d.byLabel_.try_emplace(label.text, index).second) d.labelsUnique_ = false;
  c.label = std::move(label);
  d.categories.push_back(std::move(c));
  return index;
}

// Declaring a label a second time in the same group makes the existing
// category current again instead of adding a duplicate row or column.
void PivotTable::declareCategory(int dim, Content label) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  const int group = d.openGroups_.empty() ? -1 : d.openGroups_.back();
  const auto found = d.byLabel_.find(label.text);
  int index = -1;
  if (found != d.byLabel_.end() &&
      d.categories[static_cast<std::size_t>(found->second)].group == group) {
    index = found->second;
  } else {
    index = addCategory(dim, std::move(label));
  }
  d.current = index;
  lastCategoryDim_ = dim;
  lastCategory_ = index;
}

void PivotTable::beginGroup(int dim, std::string label) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  CategoryGroup g;
  g.label = std::move(label);
  g.parent = d.openGroups_.empty() ? -1 : d.openGroups_.back();
  d.groups.push_back(std::move(g));
  d.openGroups_.push_back(static_cast<int>(d.groups.size() - 1));
}

void PivotTable::endGroup(int dim) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  if (!d.openGroups_.empty()) d.openGroups_.pop_back();
}

// The current category wins over an earlier one with the same text, so that a
// label repeated in two groups finds the one just declared.
int PivotTable::categoryForCell(int dim, const CategoryName& label) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  if (d.current >= 0 && label.matches(d.categories[static_cast<std::size_t>(d.current)].label)) {
    return d.current;
  }
  // Cells mostly come in the order of the categories: try the one after the
  // last found before looking the label up (when no label text repeats, that
  // is the category the lookup would find).
  const std::size_t next = static_cast<std::size_t>(d.lastFound_ + 1);
  if (d.labelsUnique_ && next < d.categories.size() && label.matches(d.categories[next].label)) {
    d.lastFound_ = static_cast<int>(next);
    return d.lastFound_;
  }
  const auto found = d.byLabel_.find(std::string(label.text()));
  d.lastFound_ = found != d.byLabel_.end() ? found->second : addCategory(dim, label.content());
  return d.lastFound_;
}

void PivotTable::placeCell(const Content& cell, const CategoryName& category) {
  if (cellDimension_ < 0) {
    // Without a declared cell dimension the cells go across the columns.
    cellDimension_ = dimension("Statistics");
    if (cellDimension_ < 0) return;
    if (!dimensions_[static_cast<std::size_t>(cellDimension_)].positioned) {
      place(cellDimension_, Axis::Columns, 1);
    }
  }
  Cell c;
  c.position.fill(-1);
  for (std::size_t d = 0; d < dimensions_.size(); ++d) {
    c.position[d] = static_cast<int>(d) == cellDimension_
                        ? categoryForCell(cellDimension_, category)
                        : dimensions_[d].current;
  }
  c.kind = cell.kind;
  c.format = cell.format;
  c.integer = cell.integer;
  c.missing = cell.missing;
  c.value = cell.value;
  c.whole = cell.whole;
  if (spool_) {
    if (rowOf(c) < pendingRow_ ||
        std::find(c.position.begin(),
                  c.position.begin() + static_cast<std::ptrdiff_t>(dimensions_.size()),
                  -1) != c.position.begin() + static_cast<std::ptrdiff_t>(dimensions_.size())) {
      leaveSpool();
    } else if (rowOf(c) > pendingRow_) {
      spoolPendingRow();
      pendingRow_ = rowOf(c);
    }
  } else if (!spoolDecided_ && !cells_.empty()) {
    for (std::size_t d = 0; d < dimensions_.size(); ++d) {
      if (static_cast<int>(d) != cellDimension_ && c.position[d] != cells_.front().position[d]) {
        startSpool(c);
        break;
      }
    }
  }
  // A number given with its shown text keeps it while the table may still be
  // spooled, so that it is not made again when the row is written; one given
  // without (the builder's) is formatted once, when it is written or shown.
  if (cell.kind != Content::Kind::Number) {
    c.textIndex = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(cell);
  } else if (!cell.text.empty() && (spool_ || !spoolDecided_)) {
    c.textIndex = static_cast<std::uint32_t>(numberTexts_.size());
    c.textKept = true;
    numberTexts_.push_back(cell.text);
  }
  cells_.push_back(c);
}

// ---- spooling ------------------------------------------------------------------

// One dimension down the rows, every other across the columns with its
// categories declared.
bool PivotTable::rowsInOrderShape() const {
  if (cellDimension_ < 0) return false;
  int rows = 0;
  for (std::size_t d = 0; d < dimensions_.size(); ++d) {
    if (axisOf(*this, static_cast<int>(d)) == Axis::Rows) {
      ++rows;
    } else if (dimensions_[d].categories.empty()) {
      return false;
    }
  }
  return rows == 1 && axisOf(*this, cellDimension_) == Axis::Columns;
}

int PivotTable::rowOf(const Cell& cell) const {
  return cell.position[static_cast<std::size_t>(spoolRowDim_)];
}

// Called once, when the first cell of a second row comes: the cells so far
// make one row, and the table is spooled when its shape allows.
void PivotTable::startSpool(const Cell& next) {
  spoolDecided_ = true;
  if (!spoolingAllowed || !rowsInOrderShape()) return;
  const AxisLayout columns = layoutAxis(*this, Axis::Columns);
  int rowDim = -1;
  for (std::size_t d = 0; d < dimensions_.size(); ++d) {
    if (axisOf(*this, static_cast<int>(d)) == Axis::Rows) rowDim = static_cast<int>(d);
  }
  const auto complete = [&](const Cell& c) {
    for (std::size_t d = 0; d < dimensions_.size(); ++d) {
      if (c.position[d] < 0) return false;
    }
    return true;
  };
  const std::size_t row = static_cast<std::size_t>(rowDim);
  if (!complete(next) || next.position[row] <= cells_.front().position[row]) return;
  if (!std::all_of(cells_.begin(), cells_.end(), complete)) return;
  spoolRowDim_ = rowDim;
  spoolColumnDims_ = columns.dims;
  spoolColumnCounts_.clear();
  for (const std::size_t count : columns.counts) {
    spoolColumnCounts_.push_back(static_cast<std::uint32_t>(count));
  }
  spool_ = std::make_unique<CellSpool>(spoolMemoryBudget);
  spooledColumns_.assign(columns.size, SpooledColumn{});
  pendingRow_ = rowOf(cells_.front());
  spoolPendingRow();
  pendingRow_ = rowOf(next);
}

std::uint32_t PivotTable::columnEntry(const Cell& cell) const {
  std::uint32_t entry = 0;
  for (std::size_t k = 0; k < spoolColumnDims_.size(); ++k) {
    entry =
        entry * spoolColumnCounts_[k] +
        static_cast<std::uint32_t>(cell.position[static_cast<std::size_t>(spoolColumnDims_[k])]);
  }
  return entry;
}

// Record of one cell: the step to its column, kind, format and flags in one
// byte, value, shown text, then the variable label and the footnotes when it
// has them. A matrix cell takes 16 bytes with a text of 5 characters. Gives
// the width of the cell's shown text, its markers included.
std::size_t PivotTable::writeCellRecord(std::string& out, const Cell& cell, std::size_t index,
                                        std::uint32_t step) const {
  const std::vector<int>& footnotes = cellFootnotes(index);
  auto packed = static_cast<std::uint8_t>(static_cast<unsigned>(cell.kind) |
                                          static_cast<unsigned>(cell.format) << kFormatShift);
  if (cell.integer) packed |= kIntegerFlag;
  if (cell.missing) packed |= kMissingFlag;
  if (!footnotes.empty()) packed |= kFootnotesFlag;
  if (step < kLongStep) {
    put(out, static_cast<std::uint8_t>(step));
  } else {
    put(out, kLongStep);
    put(out, step);
  }
  put(out, packed);
  put(out, cell.value);
  std::size_t width = 0;
  if (cell.kind != Content::Kind::Number) {
    const Content& content = texts_[cell.textIndex];
    putText(out, content.text);
    width = markedWidth(content.text, footnotes);
    if (cell.kind == Content::Kind::Variable) putText(out, content.variableLabel);
  } else if (cell.textKept) {
    putText(out, numberTexts_[cell.textIndex]);
    width = markedWidth(numberTexts_[cell.textIndex], footnotes);
  } else {
    const std::string text = numberText(cell);
    putText(out, text);
    width = markedWidth(text, footnotes);
  }
  if (!footnotes.empty()) {
    put(out, static_cast<std::uint32_t>(footnotes.size()));
    for (const int f : footnotes) put(out, static_cast<std::int32_t>(f));
  }
  return width;
}

// The row in memory goes to the spool in column order, a later cell at a
// place replacing an earlier one.
void PivotTable::spoolPendingRow() {
  std::vector<std::uint32_t>& entries = rowEntries_;
  entries.resize(cells_.size());
  for (std::size_t i = 0; i < cells_.size(); ++i) entries[i] = columnEntry(cells_[i]);
  std::vector<std::size_t>& order = rowOrder_;
  order.resize(cells_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (!std::is_sorted(entries.begin(), entries.end())) {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return entries[a] < entries[b]; });
  }
  std::vector<std::size_t>& kept = rowKept_;
  kept.clear();
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k + 1 < order.size() && entries[order[k + 1]] == entries[order[k]]) continue;
    kept.push_back(order[k]);
  }
  // Row header: its category, its number of cells and the bytes they take.
  record_.assign(kRowHeaderBytes, '\0');
  std::uint32_t previous = 0;  // entry + 1 of the previous cell: steps are at least 1
  for (const std::size_t i : kept) {
    const std::size_t width = writeCellRecord(record_, cells_[i], i, entries[i] + 1 - previous);
    previous = entries[i] + 1;
    SpooledColumn& column = spooledColumns_[entries[i]];
    column.widest = std::max(column.widest, width);
    if (cells_[i].kind == Content::Kind::Number) column.numeric = true;
  }
  const auto row = static_cast<std::int32_t>(pendingRow_);
  const auto count = static_cast<std::uint32_t>(kept.size());
  const auto bytes = static_cast<std::uint64_t>(record_.size() - kRowHeaderBytes);
  std::memcpy(record_.data(), &row, sizeof row);
  std::memcpy(record_.data() + sizeof row, &count, sizeof count);
  std::memcpy(record_.data() + sizeof row + sizeof count, &bytes, sizeof bytes);
  spool_->append(record_);
  cells_.clear();
  texts_.clear();
  numberTexts_.clear();
  cellFootnotes_.clear();
}

// The rows put aside come back into memory, before the row being filled, and
// the table is kept whole from now on.
void PivotTable::leaveSpool() {
  std::unique_ptr<CellSpool> spool = std::move(spool_);
  std::vector<Cell> cells;
  std::vector<Content> texts;
  std::vector<std::string> numberTexts;
  std::map<std::size_t, std::vector<int>> footnotes;
  std::uint32_t columns = 1;
  for (const std::uint32_t count : spoolColumnCounts_) columns *= count;
  std::vector<BodyCell> row(columns);
  spool_ = std::move(spool);  // the reader reads through this table
  SpooledRows rows(*this);
  while (rows.nextRow() >= 0) {
    for (BodyCell& b : row) b.present = false;
    rows.read(row);
    for (const BodyCell& b : row) {
      if (!b.present) continue;
      Cell c;
      c.position = b.position;
      c.kind = b.content.kind;
      c.format = b.content.format;
      c.integer = b.content.integer;
      c.missing = b.content.missing;
      c.value = b.content.value;
      // A count's exact value lies in its kept text; this one is for readers.
      if (c.integer && std::fabs(c.value) < 9e18) c.whole = static_cast<std::int64_t>(c.value);
      if (c.kind == Content::Kind::Number) {
        c.textKept = true;
        c.textIndex = static_cast<std::uint32_t>(numberTexts.size());
        numberTexts.push_back(b.content.text);
      } else {
        c.textIndex = static_cast<std::uint32_t>(texts.size());
        texts.push_back(b.content);
      }
      if (!b.footnotes.empty()) footnotes[cells.size()] = b.footnotes;
      cells.push_back(c);
    }
  }
  const std::size_t base = cells.size();
  for (Cell c : cells_) {
    if (c.kind != Content::Kind::Number) {
      texts.push_back(texts_[c.textIndex]);
      c.textIndex = static_cast<std::uint32_t>(texts.size() - 1);
    } else if (c.textKept) {
      numberTexts.push_back(numberTexts_[c.textIndex]);
      c.textIndex = static_cast<std::uint32_t>(numberTexts.size() - 1);
    }
    cells.push_back(c);
  }
  for (auto& [index, list] : cellFootnotes_) footnotes[base + index] = std::move(list);
  cells_ = std::move(cells);
  texts_ = std::move(texts);
  numberTexts_ = std::move(numberTexts);
  cellFootnotes_ = std::move(footnotes);
  spool_.reset();
  spooledColumns_ = {};
}

PivotTable::SpooledRows::SpooledRows(const PivotTable& table)
    : table_(table), reader_(*table.spool_) {
  readHeader();
}

void PivotTable::SpooledRows::readHeader() {
  next_ = -1;
  if (reader_.atEnd()) return;
  next_ = take<std::int32_t>(reader_);
  count_ = take<std::uint32_t>(reader_);
  const auto bytes = take<std::uint64_t>(reader_);
  scratch_.resize(static_cast<std::size_t>(bytes));
  if (!reader_.read(scratch_)) {
    next_ = -1;  // a spool cut short ends the rows rather than showing garbage
    count_ = 0;
  }
}

void PivotTable::SpooledRows::skip() { readHeader(); }

void PivotTable::SpooledRows::read(std::span<BodyCell> row) {
  const std::vector<int>& dims = table_.spoolColumnDims_;
  const std::vector<std::uint32_t>& counts = table_.spoolColumnCounts_;
  RecordParser in(scratch_);
  BodyCell outside;  // for a cell beyond `row` (when skipping a row)
  std::uint32_t entry = 0;
  for (std::uint32_t k = 0; k < count_; ++k) {
    std::uint32_t step = in.take<std::uint8_t>();
    if (step == kLongStep) step = in.take<std::uint32_t>();
    entry = k == 0 ? step - 1 : entry + step;
    BodyCell& cell = entry < row.size() ? row[entry] : outside;
    cell.present = true;
    cell.position.fill(-1);
    cell.position[static_cast<std::size_t>(table_.spoolRowDim_)] = next_;
    std::uint32_t rest = entry;
    for (std::size_t d = dims.size(); d-- > 0;) {
      // Mostly only the inner dimension varies: no division is needed then.
      const std::uint32_t category = rest < counts[d] ? rest : rest % counts[d];
      cell.position[static_cast<std::size_t>(dims[d])] = static_cast<std::int32_t>(category);
      rest = rest < counts[d] ? 0 : rest / counts[d];
    }
    Content& c = cell.content;
    const auto flags = in.take<std::uint8_t>();
    c.kind = static_cast<Content::Kind>(flags & kKindMask);
    c.format = static_cast<NumberFormat>(flags >> kFormatShift & kFormatMask);
    c.integer = (flags & kIntegerFlag) != 0;
    c.missing = (flags & kMissingFlag) != 0;
    c.value = in.take<double>();
    in.takeText(c.text);
    c.variableLabel.clear();
    if (c.kind == Content::Kind::Variable) in.takeText(c.variableLabel);
    cell.footnotes.clear();
    if ((flags & kFootnotesFlag) != 0) {
      const auto n = in.take<std::uint32_t>();
      for (std::uint32_t f = 0; f < n; ++f) cell.footnotes.push_back(in.take<std::int32_t>());
    }
  }
  readHeader();
}

Content PivotTable::cellContent(std::size_t index) const {
  const Cell& c = cells_[index];
  if (c.kind != Content::Kind::Number) return texts_[c.textIndex];
  if (c.textKept) {
    Content content;
    content.kind = Content::Kind::Number;
    content.format = c.format;
    content.integer = c.integer;
    content.missing = c.missing;
    content.value = c.value;
    content.whole = c.whole;
    content.text = numberTexts_[c.textIndex];
    return content;
  }
  if (c.integer) return Content::integerNumber(c.whole, c.format);
  return Content::number(c.value, c.format, c.missing);
}

std::string PivotTable::numberText(const Cell& cell) {
  return cell.integer ? formatInteger(cell.whole, cell.format)
                      : formatNumber(cell.value, cell.format, cell.missing);
}

int PivotTable::findOrAddFootnote(std::string_view text) {
  for (std::size_t i = 0; i < footnotes_.size(); ++i) {
    if (footnotes_[i] == text) return static_cast<int>(i);
  }
  footnotes_.emplace_back(text);
  return static_cast<int>(footnotes_.size() - 1);
}

namespace {
void addMarker(std::vector<int>& markers, int footnote) {
  if (std::find(markers.begin(), markers.end(), footnote) == markers.end()) {
    markers.push_back(footnote);
  }
}
}  // namespace

void PivotTable::annotate(Target target, std::string_view footnote) {
  const int index = findOrAddFootnote(footnote);
  if (target == Target::LastCategory && lastCategory_ >= 0) {
    Dimension& d = dimensions_[static_cast<std::size_t>(lastCategoryDim_)];
    addMarker(d.categories[static_cast<std::size_t>(lastCategory_)].footnotes, index);
  } else if (target == Target::LastCell && !cells_.empty()) {
    addMarker(cellFootnotes_[cells_.size() - 1], index);
  } else if (target == Target::Title) {
    addMarker(titleFootnotes_, index);
  } else {
    addMarker(tableFootnotes_, index);
  }
}

const std::vector<int>& PivotTable::cellFootnotes(std::size_t index) const {
  static const std::vector<int> kNone;
  const auto found = cellFootnotes_.find(index);
  return found == cellFootnotes_.end() ? kNone : found->second;
}

std::string footnoteMarker(int index) {
  std::string marker;
  for (int n = index + 1; n > 0; n = (n - 1) / 26) {
    marker.insert(marker.begin(), static_cast<char>('a' + (n - 1) % 26));
  }
  return marker;
}

std::vector<int> PivotTable::titleMarkers() const {
  std::vector<int> markers = titleFootnotes_;
  for (const int f : tableFootnotes_) {
    if (std::find(markers.begin(), markers.end(), f) == markers.end()) markers.push_back(f);
  }
  return markers;
}

}  // namespace engine::output
