// The run of one PROXIMITIES command. Every stage is followed by a check of
// the host's error flag (and, where the stage can set it, the procedure's own
// errorFlag); a set flag jumps to the closing steps, which always run, exactly
// once per call.
#include "proc/prox.h"

#include <algorithm>

#include "cases/case_reader.h"
#include "cases/standardize_by_variable.h"
#include "cases/validation.h"
#include "host/host.h"
#include "host/messages.h"
#include "measures/drivers.h"
#include "output/matrix_input.h"
#include "output/summary.h"
#include "proc/options.h"
#include "proc/workspace_blocks.h"
#include "syntax/parser.h"
#include "syntax/varlist.h"

namespace {

constexpr Word kNoCaseAccepted = 14707;

bool hostError() { return host::errorFlagSet(); }
bool anyError() { return hostError() || isTrue(options().errorFlag); }

// Where the matrix input comes from.
bool externalMatrixInput() {
  return isTrue(options().matrixIn) && !isTrue(host::matrix().inputIsWorkingData);
}
bool matrixOutToWorkingData() {
  return isTrue(options().matrixOut) && isTrue(host::matrix().outputIsWorkingData);
}

void clearOutputCaseCounter() {
  if (matrixOutToWorkingData()) host::global().outputCaseCounter = 0;
}

std::span<const Word> varList(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  if (o.blocks.varList == 0) return {};
  return ws::integers(ws, o.blocks.varList, o.nvar);
}

// Step 6: the counting pass (VIEW=CASE), or the matrix dimensions (MATRIX=IN).
bool firstPass(ProxWorkspace& ws) {
  ProxOptions& o = options();
  const bool matrixIn = isTrue(o.matrixIn);
  if (!externalMatrixInput()) {
    OBINIT(ws);
    if (hostError()) return false;
  }
  host::global().multiplePass = logical(!matrixIn);
  host::global().multiplePassWord = 0;
  if (!matrixIn) {
    OBPINI(ws);
    if (hostError()) return false;
  }
  Word status = 0;
  procount_cases(ws, ws, status);
  if (!matrixIn && !hostError()) OBPEND(ws);
  if (status > 0) proreport_error(status, 1, 3);
  if (anyError()) return false;
  o.itemCount = isTrue(o.viewCases) ? o.ncase : o.nvar;
  return true;
}

// Step 7: read a matrix per split-file group instead of computing one.
void matrixInputPath(ProxWorkspace& ws, Logical& firstGroup) {
  ProxOptions& o = options();
  Logical openFailed = kFalse;
  MTDOPN(ws, openFailed);
  if (isTrue(openFailed)) host::report("Matrix input open error...", 2, 3);
  if (hostError()) return;

  QMXSSF(ws);
  MTXMAP(ws, o.blocks.varList, o.nvar, o.blocks.matrixMap, o.blocks.matrixMapSize, 14742, 14743);
  if (hostError()) return;

  proalloc(ws);
  if (anyError()) return;

  o.rowsRead = 0;
  clearOutputCaseCounter();
  Word readerState = 0;
  for (;;) {
    proreset_results(ws);
    if (isTrue(host::matrix().endOfMatrixInput)) return;
    Logical skipGroup = kFalse;
    proread_matrix(ws, o.blocks.matrixRecord, o.blocks.matrixMap, o.blocks.matrixSquare, o.nvar,
                   readerState, skipGroup);
    if (anyError()) return;
    if (isTrue(skipGroup)) continue;
    if (!isTrue(o.errorFlag)) prorun_group(ws, ws, firstGroup);
    if (hostError()) return;
    o.rowsRead += o.validCases + o.missingRejected;
  }
}

// Step 8: the cases of each group held in memory.
void casesPath(ProxWorkspace& ws, Logical& firstGroup) {
  ProxOptions& o = options();
  proalloc(ws);
  if (isTrue(o.errorFlag)) return;
  OBPINI(ws);
  if (hostError()) return;
  o.rowsRead = 0;
  clearOutputCaseCounter();
  for (;;) {
    proreset_results(ws);
    proload_group(ws, ws);
    if (isTrue(host::global().endOfData)) {
      OBPEND(ws);
      return;
    }
    if (!isTrue(o.errorFlag)) prorun_group(ws, ws, firstGroup);
    if (hostError()) return;
  }
}

// Reads the cases and calls groupRoutine at the first case of every group;
// the routine consumes the rest of the group. Returns the status code.
template <typename GroupRoutine>
Word passOverGroups(ProxWorkspace& ws, GroupRoutine groupRoutine) {
  bool noGroupYet = true;
  Word status = 0;
  HostGlobal& g = host::global();
  while (!hostError() && status == 0) {
    OBSERV(ws);
    if (isTrue(g.endOfData)) break;
    if (isTrue(g.endOfGroup)) continue;
    noGroupYet = false;
    BP_SPLIT_CHANGE(ws);
    groupRoutine(status);
  }
  if (noGroupYet && status == 0 && !hostError()) status = kNoCaseAccepted;
  return status;
}

// Step 9: proximities between variables, the cases read in passes.
void variablesPath(ProxWorkspace& ws, Logical& firstGroup) {
  ProxOptions& o = options();
  if (isTrue(o.matrixOut) && !hostError()) {
    Word status = 0;
    procheck_output_names(ws, o.nvar, varList(ws), status);
    if (status > 0) proreport_error(status, 1, 3);
  }
  if (hostError()) return;
  proresource_table();
  if (hostError()) return;

  OBINIT(ws);
  host::global().multiplePass = kFalse;
  host::global().multiplePassWord = 0;

  if (o.standardizeMethod > 0 && !isTrue(o.standardizeByCase)) {
    host::global().multiplePass = kTrue;
    OBPINI(ws);
    clearOutputCaseCounter();
    const Word status = passOverGroups(ws, [&](Word& s) { prostd_group_pass(ws, ws, s); });
    OBPEND(ws);
    if (status > 0) proreport_error(status, 1, 3);
  }

  o.itemCount = o.nvar;
  proalloc(ws);
  if (hostError()) return;
  OBPINI(ws);
  clearOutputCaseCounter();

  o.blocks.stdCursor = o.blocks.stdHead;
  const Word status =
      passOverGroups(ws, [&](Word&) { prorun_group_streaming(ws, ws, firstGroup); });
  if (!hostError()) {
    OBPEND(ws);
    if (status > 0) proreport_error(status, 1, 3);
  }
}

// Step 11: always run, whichever way the run ended.
void closingSteps(ProxWorkspace& ws) {
  ProxOptions& o = options();
  if (externalMatrixInput() && o.savedDictWord != 0) {
    host::dictionaryState().selected = o.savedDictWord;
    HostGlobal& g = host::global();
    g.splitCount = o.savedSplitCount;
    const Word kept = std::min<Word>(o.savedSplitCount, 8);
    for (Word k = 0; k < 8; ++k) g.splitVars[k] = k < kept ? o.savedSplitVars[k] : 0;
  }
  MTDCLI(ws);
  if (isTrue(o.matrixOut) && !hostError() && matrixOutToWorkingData()) MTDNDI(ws);
  MTDCLS(ws);
  profree(ws, ws);
  BP_END_PROCEDURE();
}

void runSequence(ProxWorkspace& ws) {
  ProxOptions& o = options();
  proinit(ws);
  if (anyError()) return;
  proparse(ws);
  if (anyError()) return;
  proparse_varlist(ws);
  if (hostError()) return;
  if (!isTrue(o.includeMissing)) {
    procheck_user_missing(ws, varList(ws), o.includeMissing);
  }

  const bool matrixIn = isTrue(o.matrixIn);
  if (matrixIn || isTrue(o.viewCases)) {
    if (!firstPass(ws)) return;
  }
  Logical firstGroup = kTrue;
  if (matrixIn) {
    matrixInputPath(ws, firstGroup);
  } else if (isTrue(o.viewCases)) {
    casesPath(ws, firstGroup);
  } else {
    variablesPath(ws, firstGroup);
  }
}

}  // namespace

void procheck_user_missing(ProxWorkspace& /*ws*/, std::span<const Word> list, Logical& include) {
  include = kTrue;
  for (const Word index : list) {
    DICGET(index);
    if (isTrue(host::entry().hasUserMissing)) {
      include = kFalse;
      return;
    }
  }
}

extern "C" void PROX(ProxWorkspace& ws) {
  BP_PROCEDURE("Proximities", 11, 1, ws);
  runSequence(ws);
  closingSteps(ws);
}
