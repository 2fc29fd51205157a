// ProxOptions: the one settings record of a run. The parsers fill it, the case
// reader and the drivers add counts, and every array the run places in the
// workspace is known here by its offset (0 while not allocated).
#pragma once

#include <array>

#include "host/fixed_text.h"
#include "host/tavixwcom.h"
#include "host/workspace.h"

// Offsets (and, where the size cannot be derived, sizes) of the workspace
// blocks of a run.
struct ProxBlocks {
  Word varList = 0;      // nvar dictionary indices
  Word caseValues = 0;   // nvar reals: the current case
  Word screenFlags = 0;  // nvar logicals
  Word dataMatrix = 0;   // nvar x ncase reals, column-major
  Word caseNumbers = 0;  // ncase integers
  Word caseLabels = 0;   // L x ncase words
  Word triangle = 0;     // n(n-1)/2 reals: the proximity triangle
  Word triangle2 = 0;    // n(n-1)/2 reals: second triangle of the count measures
  Word itemVector = 0;   // n reals: the diagonal
  Word itemVectorSize = 0;
  Word corrVector = 0;    // n reals: running means of CORRELATION
  Word binaryVector = 0;  // n logicals: present flags of the binary measures
  Word matrixRecord = 0;  // one matrix-file record
  Word matrixRecordSize = 0;
  Word matrixSquare = 0;  // nvar x nvar logicals
  Word matrixSquareSize = 0;
  Word matrixMap = 0;  // the host's map of the matrix file's variables
  Word matrixMapSize = 0;
  Word outCaseNumbers = 0;  // ncase integers carried to the matrix output
  Word stdHead = 0;         // first node of the standardization chain
  Word stdCursor = 0;       // current node of the chain
};

struct ProxOptions {
  // Settings from the subcommands.
  Logical errorFlag = kFalse;
  Logical viewCases = kTrue;
  Logical printMatrix = kTrue;
  Logical includeMissing = kFalse;
  Logical matrixIn = kFalse;
  Logical matrixOut = kFalse;
  FixedText<255> inFileName;
  FixedText<255> outFileName;
  Word measureCode = 1;
  Word measureParam1 = 2;
  Word measureParam2 = 1;
  Logical rescale = kFalse;
  Logical reverse = kFalse;
  Logical absolute = kFalse;
  FixedText<120> measureText;
  FixedText<120> measureDocText;
  Word standardizeMethod = 0;  // 0 none, 1 Z, 2 SD, 3 RANGE, 4 MAX, 5 MEAN, 6 RESCALE
  Logical standardizeByCase = kFalse;
  Word direction = 1;  // +1 dissimilarities, -1 similarities
  Logical absoluteValues = kFalse;
  Logical inputReversed = kFalse;
  Word idVariable = 0;
  Word idWidth = 0;
  Logical haveCaseLabels = kFalse;
  Logical copyCaseNumbers = kFalse;
  Logical makeCaseLabels = kFalse;

  // Positions and dimensions.
  Word scanner = 0;
  Word varListPos = 0;
  Word idPos = 0;
  Logical emptyVarList = kFalse;
  Word rowtypeIndex = 0;
  Word varnameIndex = 0;
  Word casenoIndex = 0;
  Word nvar = 0;
  Word ncase = 0;
  Word ncaseOut = 0;
  Word itemCount = 0;
  Word validCases = 0;
  Word missingRejected = 0;
  Word binaryRejected = 0;
  Word negativeRejected = 0;
  Word rowsRead = 0;
  Word savedDictWord = 0;
  Word savedSplitCount = 0;
  std::array<Word, 8> savedSplitVars{};

  ProxBlocks blocks;
};

// The one instance; it lives for the whole process and proinit resets it at
// the start of every call.
ProxOptions& options();

// Words of one case label: (idWidth - 1) div 8 + 1.
inline Word labelWords(const ProxOptions& o) { return (o.idWidth - 1) / 8 + 1; }

// The keyword tables the parsers match against.
namespace keywords {
inline constexpr std::array<Keyword, 10> kSubcommands = {
    "MISSING", "READ", "MEASURE", "PRINT", "WRITE", "ID", "VIEW", "STANDARD", "OUTFILE", "MATRIX"};
inline constexpr std::array<Keyword, 4> kMissing = {"LISTWISE", "EXCLUDE", "INCLUDE", "DEFAULT"};
inline constexpr std::array<Keyword, 9> kStandardize = {
    "CASE", "VARIABLE", "Z", "SD", "RANGE", "MAX", "MEAN", "RESCALE", "NONE"};
inline constexpr std::array<Keyword, 3> kMatrix = {"NONE", "IN", "OUT"};
// PRINT and VIEW keywords are compared on their first three characters.
inline constexpr std::array<std::string_view, 4> kPrint = {"NON", "PRO", "DIS", "DEF"};
inline constexpr std::array<std::string_view, 2> kView = {"CAS", "VAR"};
inline constexpr std::array<Keyword, 2> kRowTypes = {"DISSIMIL", "SIMILARI"};
// The MEASURE keywords live in the measure catalogue (measures/catalogue.h).
}  // namespace keywords

// Resets the settings and prepares the scanner; the first step of every run.
void proinit(ProxWorkspace& ws);
