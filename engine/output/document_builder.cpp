#include "engine/output/document_builder.h"

#include <algorithm>

#include "engine/output/catalogue.h"

namespace engine::output {

namespace {

// Format handles are fixed; made handles start above them.
constexpr Handle kFirstFormatHandle = 1;
constexpr Handle kFirstHandle = 16;

// Kinds of BP_ANNOTATE.
constexpr std::int64_t kAnnotateTitle = 1;
constexpr std::int64_t kAnnotateCategory = 4;
constexpr std::int64_t kAnnotateCell = 5;

std::string collapseWhiteSpace(std::string_view text) {
  std::string out;
  bool blank = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      blank = !out.empty();
    } else {
      if (blank) out += ' ';
      out += c;
      blank = false;
    }
  }
  return out;
}

}  // namespace

Severity severityOf(std::int64_t severity) {
  if (severity >= 3) return Severity::Error;
  return severity == 2 ? Severity::Warning : Severity::Note;
}

DocumentBuilder::DocumentBuilder(std::unique_ptr<Renderer> renderer)
    : renderer_(std::move(renderer)), next_(kFirstHandle) {}

DocumentBuilder::~DocumentBuilder() { finish(); }

// ---- the engine's side -----------------------------------------------------

void DocumentBuilder::beginCommand(std::string_view text, std::string_view location) {
  endCommand();
  command_ = CommandInfo{collapseWhiteSpace(text), std::string(location)};
}

void DocumentBuilder::endCommand() {
  tables_.clear();
  notes_.reset();
  dropTableHandles();
  openComposites_ = 0;
  if (procedureOpen_) endProcedure();
  closeHeadings();
  lasting_.clear();
  splitGroup_.reset();
  command_.reset();
}

void DocumentBuilder::finish() {
  if (finished_) return;
  endCommand();
  renderer_->finish();
  finished_ = true;
}

void DocumentBuilder::message(Severity severity, std::string_view text,
                              std::optional<std::int64_t> messageClass) {
  if (finished_) return;
  Message m;
  m.severity = severity;
  m.messageClass = messageClass;
  m.text = std::string(trimBlanks(text));
  m.command = command_;
  renderer_->message(m);
}

// ---- handles -----------------------------------------------------------------

Content& DocumentBuilder::fresh(Handle& handle, Content::Kind kind, bool textPending) {
  handle = next_++;
  Entry* e = nullptr;
  if (tables_.empty()) {
    e = &lasting_[handle];
  } else {
    const auto slot = static_cast<std::size_t>((handle - tableBase_) % kTableHandleWindow);
    if (slot == recent_.size()) recent_.emplace_back();
    e = &recent_[slot];
  }
  e->textPending = textPending;
  Content& c = e->content;
  c.kind = kind;
  c.format = NumberFormat::General;
  c.integer = false;
  c.missing = false;
  c.value = 0.0;
  c.whole = 0;
  c.text.clear();
  c.variableLabel.clear();
  return c;
}

DocumentBuilder::Entry* DocumentBuilder::entry(Handle handle) const {
  if (!recent_.empty() && handle >= tableBase_) {
    if (handle >= next_ || handle < next_ - kTableHandleWindow) return nullptr;
    return &recent_[static_cast<std::size_t>((handle - tableBase_) % kTableHandleWindow)];
  }
  const auto found = lasting_.find(handle);
  return found == lasting_.end() ? nullptr : &found->second;
}

const Content* DocumentBuilder::peek(Handle handle) const {
  const Entry* e = entry(handle);
  return e == nullptr ? nullptr : &e->content;
}

const Content* DocumentBuilder::find(Handle handle) const {
  Entry* e = entry(handle);
  if (e == nullptr) return nullptr;
  if (e->textPending) {
    e->content.text = e->content.numberText();
    e->textPending = false;
  }
  return &e->content;
}

// The content with its text as given (blanks kept), for composite parameters.
std::optional<Content> DocumentBuilder::lookup(Handle handle) const {
  const Content* c = find(handle);
  if (c == nullptr) return std::nullopt;
  return *c;
}

std::optional<Content> DocumentBuilder::resolve(Handle handle) const {
  std::optional<Content> c = lookup(handle);
  if (c && c->kind != Content::Kind::Number) c->text = std::string(trimBlanks(c->text));
  return c;
}

Handle DocumentBuilder::text(std::string_view text, bool translateIt) {
  Handle handle = 0;
  Content& c = fresh(handle, Content::Kind::Text);
  if (translateIt) {
    c.text = translate(text);
  } else {
    c.text.assign(text);
  }
  return handle;
}

Handle DocumentBuilder::number(double value, Handle format, bool missing) {
  Handle handle = 0;
  Content& c = fresh(handle, Content::Kind::Number, true);
  c.format = formatOf(format);
  c.missing = missing;
  c.value = value;
  return handle;
}

Handle DocumentBuilder::integer(std::int64_t value, Handle format) {
  Handle handle = 0;
  Content& c = fresh(handle, Content::Kind::Number, true);
  c.format = formatOf(format);
  c.integer = true;
  c.value = static_cast<double>(value);
  c.whole = value;
  return handle;
}

Handle DocumentBuilder::variable(std::string_view name, std::string_view label) {
  Handle handle = 0;
  Content& c = fresh(handle, Content::Kind::Variable);
  c.text.assign(name);
  c.variableLabel.assign(label);
  return handle;
}

Handle DocumentBuilder::formatHandle(NumberFormat format) {
  return kFirstFormatHandle + static_cast<Handle>(format);
}

NumberFormat DocumentBuilder::formatOf(Handle format) {
  const Handle index = format - kFirstFormatHandle;
  if (index < 0 || index >= kNumberFormatCount) return NumberFormat::General;
  return static_cast<NumberFormat>(index);
}

// ---- composite strings -------------------------------------------------------

DocumentBuilder::OpenComposite* DocumentBuilder::openComposite() {
  return openComposites_ == 0 ? nullptr : &composites_[openComposites_ - 1];
}

// The template is translated again only when it changes: a table's labels
// come from the same template time after time.
void DocumentBuilder::beginComposite(std::string_view templ) {
  if (openComposites_ == composites_.size()) composites_.emplace_back();
  OpenComposite& open = composites_[openComposites_++];
  if (!open.translated || open.given != templ) {
    open.given.assign(templ);
    open.templ = translate(templ);
    open.translated = true;
  }
  open.used = 0;
  open.list.reset();
}

CompositeParameter& DocumentBuilder::nextParameter(OpenComposite& open) {
  if (open.used == open.parameters.size()) open.parameters.emplace_back();
  return open.parameters[open.used++];
}

void DocumentBuilder::addParameter(Handle handle) {
  OpenComposite* open = openComposite();
  if (open == nullptr) return;
  const Content* c = find(handle);
  const std::string_view text = c != nullptr ? std::string_view(c->text) : std::string_view();
  if (open->list) {
    open->list->elements.push_back({std::string(text)});
    return;
  }
  CompositeParameter& p = nextParameter(*open);
  p.isList = false;
  p.elements.resize(1);
  p.elements.front().resize(1);
  p.elements.front().front().assign(text);
}

Handle DocumentBuilder::endComposite() {
  if (openComposite() == nullptr) return 0;
  endRepeatList();
  const OpenComposite& open = composites_[--openComposites_];
  Handle handle = 0;
  Content& c = fresh(handle, Content::Kind::Text);
  fillTemplate(open.templ, std::span(open.parameters.data(), open.used), c.text);
  return handle;
}

void DocumentBuilder::beginRepeatList() {
  if (OpenComposite* open = openComposite()) open->list = CompositeParameter{{}, true};
}

void DocumentBuilder::addSplitList() {
  OpenComposite* open = openComposite();
  if (open == nullptr) return;
  if (!open->list) open->list = CompositeParameter{{}, true};
  const std::vector<SplitValue> values =
      splitGroup_ ? *splitGroup_ : (splitSource_ ? splitSource_() : std::vector<SplitValue>{});
  for (const SplitValue& v : values) {
    open->list->elements.push_back(
        {std::string(trimBlanks(v.variable)), std::string(trimBlanks(v.value))});
  }
}

void DocumentBuilder::endRepeatList() {
  OpenComposite* open = openComposite();
  if (open == nullptr || !open->list) return;
  nextParameter(*open) = std::move(*open->list);
  open->list.reset();
}

// ---- procedure, headings, split groups ------------------------------------------

void DocumentBuilder::beginProcedure(std::string_view title) {
  if (finished_) return;
  if (procedureOpen_) endProcedure();
  lasting_.clear();
  splitGroup_.reset();
  procedureOpen_ = true;
  renderer_->beginProcedure(std::string(trimBlanks(translate(title))),
                            command_ ? &*command_ : nullptr);
}

// What the procedure left open is completed and shown, in the order opened.
void DocumentBuilder::endProcedure() {
  if (!procedureOpen_) return;
  while (!tables_.empty()) endTable(tables_.front().first);
  emitNotes();
  openComposites_ = 0;
  closeHeadings();
  renderer_->endProcedure();
  procedureOpen_ = false;
  lasting_.clear();
  splitGroup_.reset();
}

void DocumentBuilder::beginHeading(std::string_view title) {
  if (finished_) return;
  renderer_->beginHeading(std::string(trimBlanks(translate(title))));
  ++headings_;
}

void DocumentBuilder::endHeading() {
  if (headings_ == 0) return;
  renderer_->endHeading();
  --headings_;
}

void DocumentBuilder::closeHeadings() {
  while (headings_ > 0) endHeading();
}

void DocumentBuilder::splitChange() {
  splitGroup_ = splitSource_ ? splitSource_() : std::vector<SplitValue>{};
}

// ---- tables and notes ------------------------------------------------------------

PivotTable* DocumentBuilder::openTable(std::int64_t table) {
  for (auto& [number, t] : tables_) {
    if (number == table) return t.get();
  }
  return nullptr;
}

void DocumentBuilder::dropTableHandles() {
  recent_ = {};
  tableBase_ = next_;
}

void DocumentBuilder::beginTable(std::int64_t table, std::string title, std::string_view name) {
  if (finished_) return;
  if (openTable(table) != nullptr) endTable(table);
  if (tables_.empty()) dropTableHandles();
  auto made = std::make_unique<PivotTable>(std::string(name), std::move(title));
  const std::vector<SplitValue> group =
      splitGroup_ ? *splitGroup_ : (splitSource_ ? splitSource_() : std::vector<SplitValue>{});
  PivotTable::GroupValues values;
  for (const SplitValue& v : group) {
    values.emplace_back(trimBlanks(v.variable), trimBlanks(v.value));
  }
  made->setGroup(std::move(values));
  tables_.emplace_back(table, std::move(made));
}

void DocumentBuilder::cellDimension(std::int64_t table, std::string_view dimension) {
  PivotTable* t = openTable(table);
  if (t == nullptr) return;
  const int d = t->dimension(dimension);
  if (d >= 0) t->setCellDimension(d);
}

// a: the level, 1 next to the cells and larger numbers further out; b and c
// both 1: across the columns, otherwise down the rows; d: not used.
void DocumentBuilder::positionDimension(std::int64_t table, std::string_view dimension,
                                        std::int64_t a, std::int64_t b, std::int64_t c,
                                        std::int64_t /*d*/) {
  PivotTable* t = openTable(table);
  if (t == nullptr) return;
  const int dim = t->dimension(dimension);
  if (dim < 0) return;
  const Axis axis = (b == 1 && c == 1) ? Axis::Columns : Axis::Rows;
  t->place(dim, axis, static_cast<int>(std::clamp<std::int64_t>(a, 1, 1000)));
}

void DocumentBuilder::categoryDimension(std::int64_t table, Content label,
                                        std::string_view dimension) {
  PivotTable* t = openTable(table);
  if (t == nullptr) return;
  const int dim = t->dimension(dimension);
  if (dim >= 0) t->declareCategory(dim, std::move(label));
}

void DocumentBuilder::cellInCategory(std::int64_t table, Handle cell, const Content& category) {
  // A number is placed as it was made, without a copy (there is one per cell
  // of a matrix); other contents are trimmed first.
  std::optional<Content> trimmed;
  const Content* content = find(cell);
  if (content == nullptr) return;
  if (content->kind != Content::Kind::Number) {
    trimmed = resolve(cell);
    content = &*trimmed;
  }
  if (PivotTable* t = openTable(table)) {
    t->placeCell(*content, category);
  } else if (notes_ && notes_->first == table) {
    notes_->second.entries.emplace_back(category.text, *content);
  }
}

// The per-cell path of a large table: the cell's number goes to the table
// as it was made, its text unmade, and a count label (an item number) finds
// its column by value. Texts are trimmed as views, without copies.
void DocumentBuilder::cellInCategory(std::int64_t table, Handle cell, Handle category) {
  PivotTable* t = openTable(table);
  if (t == nullptr) {
    if (const std::optional<Content> c = resolve(category)) cellInCategory(table, cell, *c);
    return;
  }
  const Entry* label = entry(category);
  const Entry* value = entry(cell);
  if (label == nullptr || value == nullptr) return;
  const Content& l = label->content;
  const bool count =
      l.kind == Content::Kind::Number && l.integer && l.format == NumberFormat::Count;
  if (l.kind == Content::Kind::Number && !count) find(category);  // other numbers match by text
  const std::string_view shown = l.kind == Content::Kind::Number ? l.text : trimBlanks(l.text);
  const CategoryName name(l, shown);
  if (value->content.kind == Content::Kind::Number) {
    t->placeCell(value->content, name);
    return;
  }
  Content trimmed = value->content;
  trimmed.text = std::string(trimBlanks(trimmed.text));
  t->placeCell(trimmed, name);
}

void DocumentBuilder::annotate(Handle footnote, std::int64_t kind) {
  if (tables_.empty()) return;
  const std::optional<Content> text = resolve(footnote);
  if (!text || text->text.empty()) return;
  PivotTable::Target target = PivotTable::Target::Table;
  if (kind == kAnnotateTitle) target = PivotTable::Target::Title;
  if (kind == kAnnotateCategory) target = PivotTable::Target::LastCategory;
  if (kind == kAnnotateCell) target = PivotTable::Target::LastCell;
  tables_.back().second->annotate(target, text->text);
}

void DocumentBuilder::endTable(std::int64_t table) {
  const auto it = std::find_if(tables_.begin(), tables_.end(),
                               [&](const auto& entry) { return entry.first == table; });
  if (it == tables_.end()) return;
  std::unique_ptr<PivotTable> finished = std::move(it->second);
  tables_.erase(it);
  if (!finished_) renderer_->table(*finished);
  if (tables_.empty()) dropTableHandles();
}

std::int64_t DocumentBuilder::openTableColumns() const {
  if (tables_.empty()) return -1;
  const PivotTable& t = *tables_.back().second;
  if (t.cellDimension() < 0) return 0;
  return static_cast<std::int64_t>(
      t.dimensions()[static_cast<std::size_t>(t.cellDimension())].categories.size());
}

// Inside an open pivot table a group gathers the categories declared next;
// otherwise it opens a notes listing under the table number.
void DocumentBuilder::beginGroup(std::int64_t table, std::string_view name,
                                 std::string_view dimension) {
  if (PivotTable* t = openTable(table)) {
    const int dim = t->dimension(dimension);
    if (dim >= 0) t->beginGroup(dim, std::string(trimBlanks(translate(name))));
    return;
  }
  emitNotes();
  NotesGroup group;
  group.title = std::string(trimBlanks(translate(name)));
  notes_.emplace(table, std::move(group));
}

void DocumentBuilder::endGroup(std::int64_t table, std::string_view dimension) {
  if (PivotTable* t = openTable(table)) {
    const int dim = t->dimension(dimension);
    if (dim >= 0) t->endGroup(dim);
  } else if (notes_ && notes_->first == table) {
    emitNotes();
  }
}

void DocumentBuilder::emitNotes() {
  if (!notes_) return;
  if (!finished_) renderer_->notes(notes_->second);
  notes_.reset();
}

std::string DocumentBuilder::reportError(Handle text, std::int64_t messageClass,
                                         std::int64_t severity) {
  const std::optional<Content> c = resolve(text);
  std::string shown = c ? c->text : std::string("(message text not available)");
  message(severityOf(severity), shown, messageClass);
  return shown;
}

}  // namespace engine::output
