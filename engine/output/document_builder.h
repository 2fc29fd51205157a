// The state behind the BP_* calls: handles, composite strings being filled,
// the open pivot tables and notes listing, headings and the procedure. Each
// item goes to the renderer the moment it is complete and is then dropped.
//
// Handles made while a pivot table is open (mostly the table's cells and
// labels) live until the last open table is closed, within a window of recent
// handles; the others live until the procedure ends. Format handles never
// change: they are the numbers 1 to 6.
//
// The window is a ring of reused entries: making a handle writes into the
// entry it replaces, whose strings keep their room, so the several handles a
// table cell takes cost no allocation. A number's text is made only when
// something asks for it; a number placed in a table is formatted by the
// table, once, as it is written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/output/composite.h"
#include "engine/output/content.h"
#include "engine/output/document.h"
#include "engine/output/renderer.h"

namespace engine::output {

using Handle = std::int64_t;

// A split-file variable's name and its value in the current group.
struct SplitValue {
  std::string variable;
  std::string value;
};
using SplitSource = std::function<std::vector<SplitValue>()>;

Severity severityOf(std::int64_t severity);  // 1 or less note, 2 warning, 3 or more error

class DocumentBuilder {
 public:
  explicit DocumentBuilder(std::unique_ptr<Renderer> renderer);
  ~DocumentBuilder();
  DocumentBuilder(const DocumentBuilder&) = delete;
  DocumentBuilder& operator=(const DocumentBuilder&) = delete;

  // ---- the engine's side
  void beginCommand(std::string_view text, std::string_view location);
  // Abandons what the command left open (a table under construction is
  // dropped) and closes its headings and procedure.
  void endCommand();
  void finish();
  void message(Severity severity, std::string_view text,
               std::optional<std::int64_t> messageClass = std::nullopt);
  void setSplitSource(SplitSource source) { splitSource_ = std::move(source); }

  // ---- handles
  Handle text(std::string_view text, bool translateIt);
  Handle number(double value, Handle format, bool missing);
  Handle integer(std::int64_t value, Handle format);
  Handle variable(std::string_view name, std::string_view label);
  static Handle formatHandle(NumberFormat format);
  static NumberFormat formatOf(Handle format);  // unknown handles: General
  // The content as shown (texts trimmed); nullopt for an unknown handle.
  std::optional<Content> resolve(Handle handle) const;
  // The content as made, texts untrimmed, without a copy; nullptr for an
  // unknown handle. Valid until the next handle is made.
  const Content* find(Handle handle) const;
  // A handle's content whose text is still to be made, for the tests:
  // nullptr for an unknown handle.
  const Content* peek(Handle handle) const;

  // ---- composite strings
  void beginComposite(std::string_view templ);
  void addParameter(Handle handle);
  Handle endComposite();  // 0 when no composite is open
  void beginRepeatList();
  void addSplitList();
  void endRepeatList();

  // ---- procedure, headings, split groups
  void beginProcedure(std::string_view title);
  void endProcedure();
  void beginHeading(std::string_view title);
  void endHeading();
  void splitChange();

  // ---- tables and notes
  void beginTable(std::int64_t table, std::string title, std::string_view name);
  void cellDimension(std::int64_t table, std::string_view dimension);
  void positionDimension(std::int64_t table, std::string_view dimension, std::int64_t a,
                         std::int64_t b, std::int64_t c, std::int64_t d);
  void categoryDimension(std::int64_t table, Content label, std::string_view dimension);
  void cellInCategory(std::int64_t table, Handle cell, const Content& category);
  // The same with the category given by its handle: an item number is
  // matched to its column without its text made.
  void cellInCategory(std::int64_t table, Handle cell, Handle category);
  void annotate(Handle footnote, std::int64_t kind);
  void endTable(std::int64_t table);
  void beginGroup(std::int64_t table, std::string_view name, std::string_view dimension);
  void endGroup(std::int64_t table, std::string_view dimension);
  // Shows the message and returns its text as shown.
  std::string reportError(Handle text, std::int64_t messageClass, std::int64_t severity);

  // Columns of the innermost open pivot table (the categories of its cell
  // dimension), -1 when none is open: the progress of printing takes them as
  // the rows a square table will have.
  std::int64_t openTableColumns() const;

  // Counts for the tests: how many handles are kept.
  std::size_t liveHandles() const { return lasting_.size() + recent_.size(); }

  // Handles made while a table is open stay valid for this many handles made
  // after them (or until the last open table closes): a table of n items makes
  // several handles per cell, and keeping them all would cost far more than
  // the table itself.
  static constexpr Handle kTableHandleWindow = Handle{1} << 16;

 private:
  // Parameters are kept for reuse: only the first `used` are this string's.
  struct OpenComposite {
    std::string given;  // the template as the procedure gave it
    std::string templ;  // its translation
    std::vector<CompositeParameter> parameters;
    bool translated = false;
    std::size_t used = 0;
    std::optional<CompositeParameter> list;
  };
  struct Entry {
    Content content;
    bool textPending = false;  // a number whose text is not made yet
  };

  // The entry of a new handle, of the given kind with every other field
  // cleared (strings keep their room).
  Content& fresh(Handle& handle, Content::Kind kind, bool textPending = false);
  Entry* entry(Handle handle) const;
  OpenComposite* openComposite();  // the innermost open one, nullptr when none
  static CompositeParameter& nextParameter(OpenComposite& open);
  std::optional<Content> lookup(Handle handle) const;
  PivotTable* openTable(std::int64_t table);
  void emitNotes();
  void closeHeadings();
  void dropTableHandles();

  std::unique_ptr<Renderer> renderer_;
  bool finished_ = false;
  std::optional<CommandInfo> command_;
  SplitSource splitSource_;
  std::optional<std::vector<SplitValue>> splitGroup_;  // as of the last BP_SPLIT_CHANGE

  Handle next_;
  // Both mutable: a number's text is made when first asked for.
  mutable std::unordered_map<Handle, Entry> lasting_;  // made outside tables
  Handle tableBase_ = 0;                               // first handle made since a table was opened
  // Ring of the table handles: handle h at (h - tableBase_) % window.
  mutable std::vector<Entry> recent_;

  std::vector<OpenComposite> composites_;  // the first `openComposites_` are open
  std::size_t openComposites_ = 0;
  std::vector<std::pair<std::int64_t, std::unique_ptr<PivotTable>>> tables_;
  std::optional<std::pair<std::int64_t, NotesGroup>> notes_;
  bool procedureOpen_ = false;
  int headings_ = 0;
};

}  // namespace engine::output
