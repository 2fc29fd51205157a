// The output-builder calls of host/tavixwlib.h, plus BP_ERROR and GETTXT:
// each passes its arguments on to the running engine's output builder.
#include <algorithm>
#include <iostream>
#include "engine/core/timing.h"

#include "engine/core/session.h"
#include "engine/output/builder.h"
#include "engine/output/catalogue.h"
#include "engine/output/document_builder.h"
#include "engine/output/renderer.h"
#include "engine/services/case_reader.h"
#include "engine/services/keyword_hints.h"
#include "host/tavixwlib.h"

namespace {

using engine::Session;
using engine::output::Content;
using engine::output::DocumentBuilder;
using engine::output::NumberFormat;

// The running engine's builder. Without one (a procedure called outside an
// engine) the output goes to the standard error stream rather than nowhere.
DocumentBuilder& builder() {
  Session& s = Session::current();
  if (s.output() != nullptr) return s.output()->document();
  static const std::unique_ptr<engine::OutputBuilder> fallback = engine::OutputBuilder::create(
      engine::output::makeTextRenderer(std::cerr), engine::workingDataSplitTitles);
  return fallback->document();
}

// A label given as text: translated, shown without surrounding blanks.
Content label(std::string_view text) {
  return Content::plain(std::string(engine::output::trimBlanks(engine::output::translate(text))));
}

Word variableHandle(Word dictionary, Word index) {
  Session& s = Session::current();
  const engine::Dictionary& dict =
      (dictionary == s.dictionaryHandles.matrix && s.matrixDictionary != nullptr)
          ? *s.matrixDictionary
          : s.dictionary();
  if (index < 1 || static_cast<std::size_t>(index) > dict.size()) {
    return builder().variable("(variable " + std::to_string(index) + ")", {});
  }
  const engine::Variable& v = dict.at(index);
  return builder().variable(v.name, v.label);
}

}  // namespace

// ---- Messages ------------------------------------------------------------

void BP_ERROR(Word text, Word messageClass, Word severity) {
  const std::string shown = builder().reportError(text, messageClass, severity);
  if (severity >= 3) Session::current().global.errorFlag = kTrue;
  // The procedure's message stands as it is; what the engine knows of the
  // cause (the valid keywords, the workspace needed) follows as a note.
  const std::string hint = engine::hintAfterMessage(shown, severity);
  if (!hint.empty()) builder().message(engine::output::Severity::Note, hint, std::nullopt);
}

Word GETTXT(Word number, std::span<char> buffer) {
  const std::string_view text = engine::output::catalogueText(number);
  const std::size_t length = std::min(text.size(), buffer.size());
  std::copy_n(text.begin(), length, buffer.begin());
  return static_cast<Word>(length);
}

// ---- Procedure -----------------------------------------------------------

void BP_PROCEDURE(std::string_view title, Word length, Word /*value*/, ProxWorkspace& /*ws*/) {
  const std::size_t n =
      length >= 0 ? std::min(title.size(), static_cast<std::size_t>(length)) : title.size();
  builder().beginProcedure(title.substr(0, n));
}

void BP_END_PROCEDURE() { builder().endProcedure(); }

// ---- Strings, values, formats --------------------------------------------------

Word BP_CSTRING(std::string_view text) { return builder().text(text, true); }
Word BP_CSTRING_NO_TRANSLATE(std::string_view text) { return builder().text(text, false); }
Word BP_NSTRING_NO_TRANSLATE(std::string_view text) { return builder().text(text, false); }

Word BP_IVALUE(Word value, Word format) { return builder().integer(value, format); }

Word BP_LRVALUE(double value, Word format) {
  const bool missing = value == Session::current().constants.systemMissing;
  return builder().number(value, format, missing);
}

Word BP_VARINDEX(Word dictionary, Word index) { return variableHandle(dictionary, index); }

// The variable is shown by its name whatever the mode; the JSON output also
// carries its label.
Word BP_VARIABLE(Word dictionary, Word index, Word /*mode*/) {
  return variableHandle(dictionary, index);
}

Word BP_N_FORMAT() { return DocumentBuilder::formatHandle(NumberFormat::Count); }
Word BP_PERCENT_FORMAT() { return DocumentBuilder::formatHandle(NumberFormat::Percent); }
Word BP_COEFFICIENT_FORMAT() { return DocumentBuilder::formatHandle(NumberFormat::Coefficient); }
Word BP_CORRELATION_FORMAT() { return DocumentBuilder::formatHandle(NumberFormat::Correlation); }
Word BP_GENSTAT_FORMAT() { return DocumentBuilder::formatHandle(NumberFormat::General); }
Word BP_SIGNIFICANCE_FORMAT() { return DocumentBuilder::formatHandle(NumberFormat::Significance); }

// ---- Composite strings -----------------------------------------------------------

void BP_BEGIN_COMPSTRING(std::string_view templ) { builder().beginComposite(templ); }
void BP_ADD_PARAMETER(Word handle) { builder().addParameter(handle); }
Word BP_END_COMPSTRING() { return builder().endComposite(); }
void BP_BEGIN_REPEAT_LIST() { builder().beginRepeatList(); }
void BP_SPLIT_LIST(ProxWorkspace& /*ws*/) { builder().addSplitList(); }
void BP_END_REPEAT_LIST() { builder().endRepeatList(); }

// ---- Tables ----------------------------------------------------------------------

void BP_BEGIN_PIVOT_TABLE(Word table, std::string_view title, std::string_view name) {
  engine::commandTiming().mark(engine::TimedPhase::Printing);
  builder().beginTable(table, label(title).text, name);
}

void BP_BEGIN_PIVOT_TABLE_NS(Word table, Word title, std::string_view name) {
  engine::commandTiming().mark(engine::TimedPhase::Printing);
  const std::optional<Content> c = builder().resolve(title);
  builder().beginTable(table, c ? c->text : std::string(name), name);
}

void BP_CELL_DIMENSION(Word table, std::string_view dimension) {
  builder().cellDimension(table, dimension);
}

void BP_POSITION_DIMENSION(Word table, std::string_view dimension, Word a, Word b, Word c, Word d) {
  builder().positionDimension(table, dimension, a, b, c, d);
}

void BP_CATEGORY_DIMENSION(Word table, Word labelHandle, std::string_view dimension) {
  std::optional<Content> c = builder().resolve(labelHandle);
  builder().categoryDimension(table, c ? std::move(*c) : Content::plain(""), dimension);
}

void BP_CATEGORY_DIMENSION(Word table, std::string_view labelText, std::string_view dimension) {
  builder().categoryDimension(table, label(labelText), dimension);
}

void BP_CELL_IN_CATEGORY(Word table, Word cell, Word category) {
  builder().cellInCategory(table, cell, category);
}

void BP_CELL_IN_CATEGORY(Word table, Word cell, std::string_view category) {
  builder().cellInCategory(table, cell, label(category));
}

void BP_ANNOTATE(Word footnote, Word kind) { builder().annotate(footnote, kind); }

void BP_END_PIVOT_TABLE(Word table) {
  builder().endTable(table);
  engine::commandTiming().close(engine::TimedPhase::Printing);
}

// ---- Groups and headings --------------------------------------------------------

void BP_BEGIN_GROUP(Word table, std::string_view name, std::string_view dimension) {
  builder().beginGroup(table, name, dimension);
}

void BP_END_GROUP(Word table, std::string_view dimension) { builder().endGroup(table, dimension); }

void BP_BEGIN_HEADING(std::string_view title) { builder().beginHeading(title); }

void BP_END_HEADING() { builder().endHeading(); }

void BP_SPLIT_CHANGE(ProxWorkspace& /*ws*/) { builder().splitChange(); }
