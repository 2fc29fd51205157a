#include "proc/options.h"

#include "host/host.h"
#include "host/messages.h"

ProxOptions& options() {
  static ProxOptions instance;
  return instance;
}

namespace {

// Reads the command up to its first '/' (or its end), noting whether the
// command name is followed directly by a '/' or the end: an empty variable
// list. The subcommand loop starts from there.
void lookAheadForEmptyList(ProxOptions& o) {
  SSNXT1(o.scanner);  // the command name
  o.varListPos = host::token().position;
  SSNXT1(o.scanner);
  if (host::atEndOfCommand() || host::tokenIs(kDelimSlash)) {
    o.emptyVarList = kTrue;
    return;
  }
  while (!host::atEndOfCommand() && !host::tokenIs(kDelimSlash)) SSNXT1(o.scanner);
}

}  // namespace

void proinit(ProxWorkspace& ws) {
  ProxOptions& o = options();
  o.direction = 1;
  o.measureCode = 1;
  o.measureParam1 = 2;
  o.measureParam2 = 1;
  o.idVariable = 0;
  o.idWidth = 0;
  o.standardizeMethod = 0;
  o.nvar = 0;
  o.ncase = 0;
  o.ncaseOut = 0;
  o.validCases = 0;
  o.missingRejected = 0;
  o.negativeRejected = 0;
  o.blocks = ProxBlocks{};

  MTDINI(ws);

  o.measureDocText = {};
  o.inFileName = {};
  o.outFileName = {};

  o.copyCaseNumbers = kFalse;
  o.emptyVarList = kFalse;
  o.haveCaseLabels = kFalse;
  o.makeCaseLabels = kFalse;
  o.varListPos = 0;
  o.idPos = 0;
  o.savedDictWord = 0;
  host::global().caseBufferStart = 0;

  Word status = 0;
  SSTACK(ws, o.scanner, -1, status);
  const char unused[8] = {};
  STATOP(unused, unused, 0, 0, ws);
  if (status > 0) {
    host::report(host::kNoMemory, 2, 3);
    return;
  }

  o.errorFlag = kFalse;
  host::matrix().endOfMatrixInput = kFalse;
  o.matrixOut = kFalse;
  o.matrixIn = kFalse;
  o.includeMissing = kFalse;
  o.rescale = kFalse;
  o.reverse = kFalse;
  o.absolute = kFalse;
  o.standardizeByCase = kFalse;
  o.absoluteValues = kFalse;
  o.inputReversed = kFalse;
  o.viewCases = kTrue;
  o.printMatrix = kTrue;
  o.measureText = {};

  lookAheadForEmptyList(o);
}
