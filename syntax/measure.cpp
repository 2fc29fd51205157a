// The MEASURE subcommand: the measure, its integer parameters and the
// transformation keywords, with the measure text kept as typed for the
// matrix file.
#include <string_view>

#include "host/host.h"
#include "host/messages.h"
#include "measures/catalogue.h"
#include "proc/options.h"
#include "syntax/parser.h"
#include "syntax/scan.h"

namespace {

// Builds measureText: the keyword's first four characters, then each token of
// the parameter list at the next free column (a parenthesis advances the
// column by 2, a number by its length plus 1). Columns past 120 are dropped.
class MeasureText {
 public:
  // Every measure keyword starts the text again from column 1: only the last
  // measure of the subcommand is described.
  void start(const Keyword& keyword) {
    text_ = {};
    column_ = 1;
    put(keyword.view().substr(0, 4));
    column_ = 5;
  }
  void append(std::string_view token, Word advance) {
    put(token);
    column_ += advance;
  }
  void appendParenthesis() { append(host::tokenText(), 2); }
  void appendNumber() {
    const std::string_view text = host::tokenText();
    append(text, static_cast<Word>(text.size()) + 1);
  }
  const FixedText<120>& text() const { return text_; }

 private:
  void put(std::string_view token) {
    for (std::size_t i = 0; i < token.size(); ++i) {
      const Word column = column_ + static_cast<Word>(i);
      if (column >= 1 && column <= 120)
        text_.chars[static_cast<std::size_t>(column - 1)] = token[i];
    }
  }
  FixedText<120> text_;
  Word column_ = 1;
};

enum class Next { Keyword, ThisToken, Done };

void failMeasure(std::string_view templ) {
  ProxOptions& o = options();
  host::reportWithToken(templ, 3, 3);
  o.errorFlag = kTrue;
  scan::skipSubcommand(o.scanner);
}

void failBinary(const Keyword& keyword) {
  ProxOptions& o = options();
  BP_BEGIN_COMPSTRING("The optional integer MEASURE for ^1 found ^2 ...");
  BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE(keyword.trimmed()));
  BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE(host::tokenText()));
  BP_ERROR(BP_END_COMPSTRING(), 3, 3);
  o.errorFlag = kTrue;
  scan::skipSubcommand(o.scanner);
}

// After a keyword without a list: '/' or the end finishes the subcommand, '='
// is read over, anything else is the next keyword.
Next afterKeyword() {
  if (scan::atSubcommandEnd()) return Next::Done;
  return host::tokenIs(kDelimEquals) ? Next::Keyword : Next::ThisToken;
}

// POWER and MINKOWSKI: "(p)" or "(p, r)", both positive after truncation.
Next parsePowerList(MeasureText& text) {
  ProxOptions& o = options();
  o.measureParam1 = 2;
  o.measureParam2 = 2;
  if (!host::tokenIs(kDelimOpen)) return afterKeyword();
  const auto powerError = [] {
    failMeasure("The POWER specification is invalid. ^1");
    return Next::Done;
  };
  text.appendParenthesis();
  scan::next(o.scanner);
  if (!scan::isNumber()) return powerError();
  o.measureParam1 = scan::truncated(host::token().number);
  text.appendNumber();
  if (o.measureParam1 <= 0) return powerError();
  scan::next(o.scanner);
  if (host::tokenIs(kDelimClose)) {
    text.appendParenthesis();
    o.measureParam2 = o.measureParam1;
    return Next::Keyword;
  }
  if (!scan::isNumber()) return powerError();
  o.measureParam2 = scan::truncated(host::token().number);
  if (o.measureParam2 <= 0) return powerError();
  text.appendNumber();
  scan::next(o.scanner);
  if (!host::tokenIs(kDelimClose)) return powerError();
  text.appendParenthesis();
  return Next::Keyword;
}

// The binary measures: "(present)" or "(present, absent)", any whole numbers.
Next parseBinaryList(MeasureText& text, const Keyword& keyword) {
  ProxOptions& o = options();
  o.measureParam1 = 1;
  o.measureParam2 = 0;
  if (!host::tokenIs(kDelimOpen)) return afterKeyword();
  const auto binaryError = [&keyword] {
    failBinary(keyword);
    return Next::Done;
  };
  text.appendParenthesis();
  scan::next(o.scanner);
  if (!scan::isNumber()) return binaryError();
  o.measureParam1 = scan::truncated(host::token().number);
  text.appendNumber();
  scan::next(o.scanner);
  if (host::tokenIs(kDelimClose)) {
    o.measureParam2 = host::constants().unspecifiedInteger;
    text.appendParenthesis();
    return Next::Keyword;
  }
  if (!scan::isNumber()) return binaryError();
  o.measureParam2 = scan::truncated(host::token().number);
  text.appendNumber();
  scan::next(o.scanner);
  if (!host::tokenIs(kDelimClose)) return binaryError();
  text.appendParenthesis();
  return Next::Keyword;
}

// Acts on one matched keyword; the current token is the keyword.
Next applyKeyword(Word index, MeasureText& text) {
  ProxOptions& o = options();
  const MeasureKeyword& entry = kMeasureKeywords[static_cast<std::size_t>(index - 1)];
  if (index <= kLastMeasureKeyword) {
    text.start(entry.word);
    o.measureText = text.text();
  }
  switch (entry.form) {
    case ParamForm::Rescale:
      o.rescale = kTrue;
      return Next::Keyword;
    case ParamForm::Reverse:
      o.reverse = kTrue;
      return Next::Keyword;
    case ParamForm::Absolute:
      o.absolute = kTrue;
      return Next::Keyword;
    case ParamForm::None:
      o.measureCode = entry.code;
      if (entry.setsParams) {
        o.measureParam1 = entry.param1;
        o.measureParam2 = entry.param2;
      }
      return Next::Keyword;
    case ParamForm::Power:
    case ParamForm::Binary:
      break;
  }
  o.measureCode = entry.code;
  scan::next(o.scanner);
  const Next next =
      entry.form == ParamForm::Power ? parsePowerList(text) : parseBinaryList(text, entry.word);
  o.measureText = text.text();
  return next;
}

}  // namespace

void proparse_measure(ProxWorkspace& /*ws*/) {
  ProxOptions& o = options();
  o.rescale = kFalse;
  o.reverse = kFalse;
  o.absolute = kFalse;
  MeasureText text;
  Next next = Next::Keyword;
  for (;;) {
    if (next == Next::Keyword) {
      scan::next(o.scanner);
      while (host::tokenIs(kDelimEquals)) scan::next(o.scanner);
    }
    if (next == Next::Done || scan::atSubcommandEnd()) return;
    const Word index = QABMCH(host::tokenText(), kMeasureKeywordTable);
    if (index == 0) return failMeasure("The MEASURE specification is invalid. ^1");
    next = applyKeyword(index, text);
  }
}
