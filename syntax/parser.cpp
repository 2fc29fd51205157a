// The subcommand loop: MISSING, MEASURE, PRINT, ID, VIEW, STANDARDIZE and
// MATRIX, with READ, WRITE and OUTFILE rejected; then the matrix file
// specifications, the cross-checks and the notes.
#include "syntax/parser.h"

#include <array>

#include "host/host.h"
#include "host/messages.h"
#include "measures/catalogue.h"
#include "proc/options.h"
#include "syntax/scan.h"

namespace {

enum Subcommand : Word {
  kMissing = 1,
  kRead,
  kMeasure,
  kPrint,
  kWrite,
  kId,
  kView,
  kStandardize,
  kOutfile,
  kMatrix,
  kInvalid
};

// Scanner positions of the MATRIX IN and OUT file specifications.
struct MatrixPositions {
  Word in = 0;
  Word out = 0;
};

void fail(std::string_view templ) {
  options().errorFlag = kTrue;
  host::reportWithToken(templ, 3, 3);
  scan::skipSubcommand(options().scanner);
}

void proparse_missing() {
  ProxOptions& o = options();
  o.includeMissing = kFalse;
  scan::nextSkippingEquals(o.scanner);
  bool excludeGiven = false;
  bool includeGiven = false;
  while (!scan::atSubcommandEnd()) {
    const Word keyword = QABMCH(host::tokenText(), keywords::kMissing);
    bool contradiction = false;
    if (keyword == 0) return fail("Invalid Missing ^1");
    if (keyword == 2) {
      contradiction = includeGiven;
      excludeGiven = true;
    } else if (keyword == 3) {
      contradiction = excludeGiven;
      includeGiven = true;
      o.includeMissing = kTrue;
    }
    if (contradiction) {
      scan::next(o.scanner);
      return fail("Contradicting Missing keywords ...");
    }
    scan::next(o.scanner);
  }
}

void proparse_print() {
  ProxOptions& o = options();
  scan::nextSkippingEquals(o.scanner);
  while (!scan::atSubcommandEnd()) {
    const std::string_view word = host::tokenText();
    if (QEQUAL(word, keywords::kPrint[0])) {
      o.printMatrix = kFalse;
    } else if (QEQUAL(word, keywords::kPrint[1]) || QEQUAL(word, keywords::kPrint[2]) ||
               QEQUAL(word, keywords::kPrint[3])) {
      o.printMatrix = kTrue;
    } else {
      return fail("Error on Print ^1");
    }
    scan::next(o.scanner);
  }
}

void proparse_view() {
  ProxOptions& o = options();
  o.viewCases = kFalse;
  scan::nextSkippingEquals(o.scanner);
  const std::string_view word = host::tokenText();
  const bool isKeyword = !scan::atSubcommandEnd();
  if (isKeyword && QEQUAL(word, keywords::kView[0])) {
    o.viewCases = kTrue;
  } else if (isKeyword && QEQUAL(word, keywords::kView[1])) {
    o.viewCases = kFalse;
  } else {
    return fail("The VIEW specification is invalid. ^1");
  }
  scan::next(o.scanner);
  if (!scan::atSubcommandEnd()) fail("The VIEW specification ending error. ^1");
}

void proparse_standardize() {
  ProxOptions& o = options();
  o.standardizeByCase = kFalse;
  o.standardizeMethod = 1;
  bool methodGiven = false;
  scan::next(o.scanner);
  while (!scan::atSubcommandEnd()) {
    if (host::tokenIs(kDelimEquals)) {
      scan::next(o.scanner);
      continue;
    }
    const Word keyword = QABMCH(host::tokenText(), keywords::kStandardize);
    if (keyword == 0) return fail("The Standardize phrase ending error. ^1");
    if (keyword == 1) {
      o.standardizeByCase = kTrue;
    } else if (keyword == 2) {
      o.standardizeByCase = kFalse;
    } else {
      if (methodGiven) return fail("The Standardize specification is invalid. ^1");
      methodGiven = true;
      o.standardizeMethod = keyword == 9 ? 0 : keyword - 2;  // Z is entry 3, method 1
    }
    scan::next(o.scanner);
  }
}

// Reads "( file )" after IN or OUT and records the position of the file
// specification. Returns false when the '(' is missing (the subcommand is
// then given up).
bool parseFileSpec(Word& position) {
  ProxOptions& o = options();
  scan::next(o.scanner);
  if (!host::tokenIs(kDelimOpen)) {
    host::reportWithToken("Missing or badly specified file on a MATRIX ^1", 3, 3);
    scan::skipSubcommand(o.scanner);
    return false;
  }
  scan::next(o.scanner);
  position = host::token().position;
  scan::next(o.scanner);
  if (!host::tokenIs(kDelimClose)) {
    host::reportWithToken("Missing closing parenthesis ^1", 3, 2);
    SSETPT(o.scanner, host::token().position - 1);  // read this token again
  }
  return true;
}

void proparse_matrix(MatrixPositions& positions) {
  ProxOptions& o = options();
  scan::nextSkippingEquals(o.scanner);
  while (!scan::atSubcommandEnd()) {
    const Word keyword = QABMCH(host::tokenText(), keywords::kMatrix);
    if (keyword == 1) {
      if (isTrue(o.matrixIn) || isTrue(o.matrixOut)) {
        host::reportWithToken("Redundant/conflicting keywords on the MATRIX ^1", 3, 2);
        positions = {};
      }
      o.matrixIn = kFalse;
      o.matrixOut = kFalse;
    } else if (keyword == 2) {
      if (isTrue(o.matrixIn)) {
        host::reportWithToken("Redundant/conflicting keywords on the MATRIX ^1", 3, 2);
      }
      if (!parseFileSpec(positions.in)) return;
      o.matrixIn = kTrue;
    } else if (keyword == 3) {
      if (isTrue(o.matrixOut)) {
        host::reportWithToken("Redundant/conflicting keywords on the MATRIX ^1", 3, 2);
      }
      positions.out = 0;
      if (!parseFileSpec(positions.out)) return;
      o.matrixOut = kTrue;
    } else {
      host::reportWithToken("An unrecognized keyword on the MATRIX ^1", 3, 3);
      scan::skipSubcommand(o.scanner);
      return;
    }
    scan::next(o.scanner);
  }
}

// Hands the recorded file specifications to the host and keeps the file
// names for the notes.
void proopen_matrix_files(ProxWorkspace& ws, const MatrixPositions& positions) {
  ProxOptions& o = options();
  const MatrixFileState& state = host::matrix();
  if (positions.in != 0) {
    SSETPT(o.scanner, positions.in - 1);
    scan::next(o.scanner);
    Logical failed = kFalse;
    MTDFRI(ws, 3, -1, -1, failed);
    if (!isTrue(failed) && !isTrue(state.inputIsWorkingData)) {
      o.inFileName = FixedText<255>(std::string_view(state.fileName, sizeof state.fileName));
    }
  }
  if (positions.out != 0) {
    SSETPT(o.scanner, positions.out - 1);
    scan::next(o.scanner);
    Logical failed = kFalse;
    MTDFRO(ws, failed);
    if (!isTrue(failed) && !isTrue(state.outputIsWorkingData)) {
      o.outFileName = FixedText<255>(std::string_view(state.fileName, sizeof state.fileName));
    }
  }
}

// The settings that cannot go together: the standardization is dropped.
void crossCheck() {
  ProxOptions& o = options();
  if (isBinaryMeasure(o.measureCode) && o.standardizeMethod >= 1 && o.standardizeMethod <= 6) {
    o.standardizeMethod = 0;
    host::report("STANDARDIZE cannot be used with a binary measure", 1, 2);
  }
  if (isCountMeasure(o.measureCode) && o.standardizeMethod == 1) {
    o.standardizeMethod = 0;
    host::report("Z scores cannot be used with a frequency measure", 1, 2);
  }
  if (isTrue(o.matrixIn) && o.standardizeMethod >= 1) {
    host::report("STANDARDIZE cannot be used with matrix input.", 2, 2);
    o.standardizeMethod = 0;
  }
}

void noteGroup(std::string_view name, std::string_view category, Word cell) {
  BP_BEGIN_GROUP(1, name, "Contents");
  BP_CELL_IN_CATEGORY(1, cell, category);
  BP_END_GROUP(1, "Contents");
}

void notes() {
  const ProxOptions& o = options();
  BP_BEGIN_GROUP(1, "Missing Value Handling", "Contents");
  BP_CELL_IN_CATEGORY(
      1, BP_CSTRING(isTrue(o.includeMissing) ? "MISSING=INCLUDE..." : "MISSING=EXCLUDE..."),
      "Definition of Missing");
  BP_CELL_IN_CATEGORY(1, BP_CSTRING("MISSING=LISTWISE..."), "Cases Used");
  BP_END_GROUP(1, "Contents");

  if (isTrue(o.matrixIn)) {
    noteGroup("Input", "Matrix Input",
              isTrue(host::matrix().inputIsWorkingData)
                  ? BP_CSTRING("working data file")
                  : BP_CSTRING_NO_TRANSLATE(o.inFileName.trimmed()));
  }
  if (isTrue(o.matrixOut)) {
    noteGroup("Files Saved", "Matrix File",
              isTrue(host::matrix().outputIsWorkingData)
                  ? BP_CSTRING("working data file")
                  : BP_CSTRING_NO_TRANSLATE(o.outFileName.trimmed()));
  }
}

// Subcommands whose second occurrence is an error.
bool mayNotRecur(Word subcommand) {
  return subcommand == kMissing || subcommand == kMeasure || subcommand == kId ||
         subcommand == kView || subcommand == kStandardize;
}

void dispatch(ProxWorkspace& ws, Word subcommand, MatrixPositions& positions) {
  ProxOptions& o = options();
  switch (subcommand) {
    case kMissing:
      return proparse_missing();
    case kRead:
      o.errorFlag = kTrue;
      BP_BEGIN_COMPSTRING("Matrix input/output was specified on a READ ^1");
      BP_ERROR(BP_END_COMPSTRING(), 3, 3);
      return scan::skipSubcommand(o.scanner);
    case kMeasure:
      return proparse_measure(ws);
    case kPrint:
      return proparse_print();
    case kWrite:
      return fail("Matrix input/output was specified on a WRITE ^1");
    case kId:
      o.idPos = host::token().position;
      return scan::skipSubcommand(o.scanner);
    case kView:
      return proparse_view();
    case kStandardize:
      return proparse_standardize();
    case kOutfile:
      o.errorFlag = kTrue;
      host::reportWithToken("Matrix input/output was specified on a OUTFILE ^1", 3, 3);
      return;
    case kMatrix:
      return proparse_matrix(positions);
    default:
      return fail("Invalid Subcommand ^1");
  }
}

}  // namespace

void proparse(ProxWorkspace& ws) {
  ProxOptions& o = options();
  std::array<Word, 11> seen{};
  MatrixPositions positions;

  if (host::global().weightVar != 0) {
    host::report("Proximities ignores the case weight variable.", 2, 2);
  }
  while (!host::atEndOfCommand()) {
    if (isTrue(o.errorFlag)) break;
    while (host::tokenIs(kDelimSlash)) scan::next(o.scanner);
    if (host::atEndOfCommand()) break;

    Word subcommand = QABMCH(host::tokenText(), keywords::kSubcommands);
    if (subcommand == 0) subcommand = kInvalid;
    const bool recurred = seen[static_cast<std::size_t>(subcommand - 1)]++ > 0;
    if (recurred && mayNotRecur(subcommand)) {
      if (subcommand == kId) o.idPos = host::token().position;
      fail("Subcommand ^1 has recurred.");
      continue;
    }
    dispatch(ws, subcommand, positions);
  }

  if (positions.in != 0 || positions.out != 0) proopen_matrix_files(ws, positions);
  if (host::errorFlagSet() || isTrue(o.errorFlag)) return;
  crossCheck();
  notes();
}
