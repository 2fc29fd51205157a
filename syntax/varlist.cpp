// The variable list after the command name, the ID subcommand, and with
// matrix input the matrix file's dictionary: which variables hold the
// proximities, the row type, variable name and case number variables, and the
// variable that labels the cases.
#include "syntax/varlist.h"

#include <algorithm>
#include <array>

#include "host/host.h"
#include "host/messages.h"
#include "measures/catalogue.h"
#include "proc/options.h"
#include "proc/workspace_blocks.h"
#include "syntax/scan.h"

namespace {

constexpr Word kMaxIdWidth = 64;

bool isMatrixInput() { return isTrue(options().matrixIn); }
bool isViewCase() { return isTrue(options().viewCases); }

// ID with VIEW=VARIABLE is ignored with a warning.
void parseIdSubcommand(ProxWorkspace& ws) {
  ProxOptions& o = options();
  SSETPT(o.scanner, o.idPos);
  proparse_id(ws);
  if (!isViewCase() && o.idVariable > 0) {
    o.idVariable = 0;
    host::report("The ID subcommand cannot be applied if VIEW=VAR.", 1, 2);
  }
  o.haveCaseLabels = logical(o.idVariable > 0);
}

// Makes the matrix file's dictionary current for the run and its leading
// variables the split-file variables; the run restores both at its end.
void swapInMatrixDictionary() {
  ProxOptions& o = options();
  const MatrixFileState& m = host::matrix();
  HostDictionaryState& dictionary = host::dictionaryState();
  o.savedDictWord = dictionary.selected;
  dictionary.selected = m.inputDictWord;

  HostGlobal& g = host::global();
  o.savedSplitCount = g.splitCount;
  for (std::size_t k = 0; k < 8; ++k) {
    o.savedSplitVars[k] = static_cast<Word>(k) < g.splitCount ? g.splitVars[k] : 0;
  }
  g.splitCount = m.rowtypeIndex - 1;
  const Word leading = std::min<Word>(g.splitCount, 8);
  for (Word k = 0; k < 8; ++k) g.splitVars[k] = k < leading ? k + 1 : 0;
}

// The direction and the absolute flag from the proximity label on ROWTYPE_.
void readProximityLabel() {
  ProxOptions& o = options();
  DICGET(host::matrix().rowtypeIndex);
  if (!VLBGDE()) return;
  std::array<char, 8> first8{};
  std::array<char, 120> text{};
  Word length = 0;
  VLBGNN(first8, text, length);
  // The kind word is matched as keywords are: in any case.
  Keyword kind(std::string_view(text.data(), 8));
  CHUPRC(kind.chars);
  const Word row = IABNDX(kind, keywords::kRowTypes);
  if (row == 1) o.direction = 1;
  if (row == 2) o.direction = -1;
  if (text[14] == 'A') o.absoluteValues = kTrue;
}

// Steps that depend on the matrix file's dictionary; false ends the parse.
bool adaptToMatrixFile(ProxWorkspace& ws, Word& capacity) {
  ProxOptions& o = options();
  const MatrixFileState& m = host::matrix();
  if (!isTrue(m.inputIsWorkingData)) {
    swapInMatrixDictionary();
    capacity = m.inputVarCount;
  }
  o.rowtypeIndex = m.rowtypeIndex;
  readProximityLabel();

  o.varnameIndex = DICSCH("VARNAME_");
  if (o.varnameIndex == 0) {
    host::report("The matrix input file does not contain sufficient", 2, 3);
    return false;
  }
  if (isViewCase()) {
    o.casenoIndex = DICSCH("CASENO_");
    if (o.casenoIndex != 0) {
      if (o.casenoIndex <= o.rowtypeIndex || o.casenoIndex >= o.varnameIndex) {
        host::report("Variable CASENO_ must appear between ...", 2, 3);
        return false;
      }
      DICGET(o.casenoIndex);
      if (host::entry().width > 0) {
        host::report("Variable CASENO_ not valid ...", 2, 2);
        o.casenoIndex = 0;
      } else {
        o.copyCaseNumbers = o.matrixOut;
      }
    }
  }
  if (o.idPos != 0) {
    parseIdSubcommand(ws);
  } else if (isViewCase()) {
    const Word id = DICSCH("ID");
    if (id != 0) {
      DICGET(id);
      if (host::entry().width > 0) {
        o.idVariable = id;
        o.idWidth = std::min(host::entry().width, kMaxIdWidth);
        o.haveCaseLabels = kTrue;
      } else {
        host::report("The case labeling variable on the matrix input", 2, 2);
        o.idVariable = 0;
      }
    }
  }
  return true;
}

// With matrix input and no list: every proximity variable, in file order.
void takeAllItemVariables(ProxWorkspace& ws) {
  ProxOptions& o = options();
  const MatrixFileState& m = host::matrix();
  o.nvar = m.lastItemVar - m.firstItemVar + 1;
  if (allocateWords(o.blocks.varList, o.nvar, ws)) {
    host::report(host::kNoMemory, 2, 3);
    return;
  }
  auto list = ws::integers(ws, o.blocks.varList, o.nvar);
  for (Word k = 0; k < o.nvar; ++k) list[static_cast<std::size_t>(k)] = m.firstItemVar + k;
}

// Whether the values are screened per variable (and so need flags).
bool screeningApplies() {
  const ProxOptions& o = options();
  if (isCountMeasure(o.measureCode)) return true;
  return isBinaryMeasure(o.measureCode) && o.measureParam2 != host::constants().unspecifiedInteger;
}

// Keeps the parsed list in its own blocks; false when the workspace is full.
bool keepList(ProxWorkspace& ws, std::span<const Word> parsed) {
  ProxOptions& o = options();
  if (allocateWords(o.blocks.varList, o.nvar, ws)) return false;
  IMOVE(parsed, ws::integers(ws, o.blocks.varList, o.nvar));
  if (allocateWords(o.blocks.caseValues, o.nvar, ws)) return false;
  if (!isMatrixInput() && screeningApplies() && allocateWords(o.blocks.screenFlags, o.nvar, ws)) {
    return false;
  }
  return true;
}

void parseList(ProxWorkspace& ws, Word capacity) {
  ProxOptions& o = options();
  SSETPT(o.scanner, o.varListPos);
  scan::next(o.scanner);
  Word temporary = 0;
  if (allocateWords(temporary, capacity, ws)) {
    host::report(host::kNoMemory, 2, 3);
    return;
  }
  auto parsed = ws::integers(ws, temporary, capacity);
  PRVRLT(ws, o.scanner, 0, 1, 11, 1, parsed, o.nvar, o.errorFlag);
  if (!isTrue(o.errorFlag)) {
    const auto listed = parsed.first(static_cast<std::size_t>(o.nvar));
    const Word caseno = DICSCH("CASENO_");
    if (isMatrixInput() && isViewCase() && caseno != 0 && QSIMTC(caseno, listed)) {
      host::report("Variable CASENO_ cannot be specified ...", 2, 3);
    } else if (!keepList(ws, listed)) {
      host::report(host::kNoMemory, 2, 3);
    }
  }
  releaseWords(temporary, capacity, ws);
}

}  // namespace

void proparse_varlist(ProxWorkspace& ws) {
  ProxOptions& o = options();
  Word capacity = host::dictionaryState().variableCount;
  if (!isMatrixInput()) {
    if (isTrue(o.emptyVarList)) {
      host::report("An empty variable list was provided where input", 2, 3);
      return;
    }
    if (o.idPos != 0) parseIdSubcommand(ws);
  } else {
    if (!adaptToMatrixFile(ws, capacity)) return;
    if (isTrue(o.emptyVarList)) return takeAllItemVariables(ws);
  }
  parseList(ws, capacity);
}

void proparse_id(ProxWorkspace& /*ws*/) {
  ProxOptions& o = options();
  scan::nextSkippingEquals(o.scanner);
  const auto fail = [&o](std::string_view templ) {
    host::reportWithToken(templ, 3, 3);
    scan::skipSubcommand(o.scanner);
  };
  if (scan::atSubcommandEnd()) return fail("ID subcommand empty ^1");
  if (host::token().tokenClass != kTokenName) return fail("Invalid ID variable ^1");
  if (host::token().length > kMaxIdWidth) {
    host::reportWithToken("ID variable truncated ^1", 3, 2);
    return;
  }
  const Word index = DICSCH(host::tokenText());
  if (index == 0) return fail("Invalid ID variable ^1");
  o.idVariable = index;
  DICGET(index);
  o.idWidth = std::min(host::entry().width, kMaxIdWidth);
  if (host::entry().width == 0) {
    host::reportWithToken("ID variable numeric ^1", 3, 2);
    o.idVariable = 0;
  }
  scan::next(o.scanner);
  if (!scan::atSubcommandEnd()) fail("Invalid ID subcommand ^1");
}
