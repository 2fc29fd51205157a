// The host's shared areas: state that the engine and the procedure both read
// and write between calls. The engine owns every area; the procedure library
// fetches their addresses once, when it is loaded (see host/attach.cpp).
#pragma once

#include <cstdint>

using Word = std::int64_t;     // one eight-byte word of the workspace
using Logical = std::int64_t;  // true is all bits set; tested on the lowest bit

inline constexpr Logical kTrue = -1;
inline constexpr Logical kFalse = 0;
constexpr bool isTrue(Logical value) { return (value & 1) != 0; }
constexpr Logical logical(bool value) { return value ? kTrue : kFalse; }

// Global state of the engine while a command runs.
struct HostGlobal {
  Logical errorFlag = kFalse;     // set when a message of severity 3 is shown
  Logical endOfData = kFalse;     // set by OBSERV when the pass has no case left
  Logical endOfGroup = kFalse;    // set by OBSERV once after the last case of a group
  Logical multiplePass = kFalse;  // the procedure will read the data more than once
  Word multiplePassWord = 0;      // companion of multiplePass: passes started so far
  Word splitCount = 0;            // number of split-file variables
  Word splitVars[8] = {};         // their dictionary indices, in split order
  Logical layeredSplit = kFalse;  // split groups share one table instead of headings
  Word weightVar = 0;             // dictionary index of the case-weight variable, 0: none
  double caseWeight = 1.0;        // weight of the current case (0 when missing)
  Word caseSequence = 0;          // 1-based sequence number of the current case
  Word caseBufferStart = 0;       // cases read in the current pass; 0 before the first
  Word outputCaseCounter = 0;     // rows written to a matrix file that replaces the data
};

// Numbers of the machine as the engine uses them.
struct MachineConstants {
  double systemMissing;     // the value of a missing number: the lowest finite double
  double largest;           // the largest finite double
  double mostNegative;      // the most negative finite double
  double tolerance;         // relative tolerance of the whole-number test
  Word unspecifiedInteger;  // marks an integer parameter that was not given
};

// Token classes and delimiter codes of the current token.
enum TokenClass : Word { kTokenDelimiter = 1, kTokenName = 2, kTokenNumber = 3, kTokenString = 4 };
enum DelimiterCode : Word {
  kDelimNone = 0,
  kDelimStar = 7,
  kDelimEquals = 3,
  kDelimSlash = 11,
  kDelimOpen = 13,
  kDelimClose = 14
};

// The current token of the command scanner, set by SSNXT1.
struct HostToken {
  Logical endOfCommand = kTrue;  // no more tokens in the command
  Word tokenClass = 0;           // TokenClass, 0 at the end of the command
  Word delimiter = kDelimNone;   // DelimiterCode when tokenClass is kTokenDelimiter
  double number = 0.0;           // value of a number token
  Word position = 0;             // 1-based position of the token in the command
  Word length = 0;               // characters in text
  const char* text = "";         // the token as typed (string tokens: without quotes);
                                 // characters past length count as blanks
};

// The dictionary entry made current by DICGET.
struct HostDictEntry {
  Word index = 0;      // dictionary index, 0 when no entry is current
  char name[64] = {};  // blank-padded
  Word nameLength = 0;
  Word width = 0;  // string width, 0 for a numeric variable
  Logical hasUserMissing = kFalse;
  Word labelCount = 0;   // 1 when the variable has a label, else 0
  Word printFormat = 0;  // format code as DIFENC makes it
  Word writeFormat = 0;
  Word attribute = 0;    // 3: a proximity variable of a matrix file (see DICPUT)
  Word labelHandle = 0;  // a label made by VRLBLD for DICPUT to store; 0 keeps the entry's own
};

// State of the matrix data files of the current command.
struct MatrixFileState {
  Logical inputIsWorkingData = kFalse;   // MATRIX=IN(*)
  Logical outputIsWorkingData = kFalse;  // MATRIX=OUT(*)
  Logical endOfMatrixInput = kFalse;     // the matrix input has no group left
  Word rowtypeIndex = 0;                 // position of ROWTYPE_ in the matrix dictionary
  Word firstItemVar = 0;                 // first and last proximity variables
  Word lastItemVar = 0;
  Word inputVarCount = 0;   // variables in the matrix input dictionary
  Word inputDictWord = 0;   // dictionary setting that selects the input file's
  Word outputDictWord = 0;  // dictionary setting that selects the output file's
  Word recordLength = 0;    // words of one matrix input record
  char fileName[255] = {};  // file name of the last specification, blank-padded
};

// Which dictionary the dictionary services act on.
struct HostDictionaryState {
  Word selected = 1;       // 1: the working data; 2: the matrix input's; 3: the matrix output's
  Word variableCount = 0;  // variables in the working data's dictionary
};

// The current case, delivered by OBSERV. Values are indexed by dictionary
// index (values[index - 1]); a string variable's characters are in strings.
struct HostCase {
  const double* values = nullptr;
  const char* const* strings = nullptr;  // strings[index - 1], blank-padded to the width
};

// Everything the engine shares, as the attach routine receives it.
struct HostSharedAreas {
  HostGlobal* global;
  MachineConstants* constants;
  HostToken* token;
  HostDictEntry* entry;
  HostDictionaryState* dictionary;
  MatrixFileState* matrix;
  HostCase* currentCase;
};

// Exported by the engine: the addresses of its shared areas.
const HostSharedAreas& TAVIXWCOM();
