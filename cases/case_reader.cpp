// Counting the cases of every split-file group, then reading each group's
// valid cases into the column-major data matrix, with their case numbers and
// ID labels, standardized when asked.
#include "cases/case_reader.h"

#include <algorithm>

#include "cases/screening.h"
#include "cases/standardize_by_case.h"
#include "cases/validation.h"
#include "host/host.h"
#include "host/messages.h"
#include "measures/catalogue.h"
#include "output/summary.h"
#include "proc/options.h"
#include "proc/workspace_blocks.h"

namespace {

constexpr Word kNoMemoryStatus = 14701;
constexpr Word kNoCaseAccepted = 14707;

std::span<const Word> analysisVariables(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  return ws::integers(ws, o.blocks.varList, o.nvar);
}

std::span<Logical> screeningFlags(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  if (o.blocks.screenFlags == 0) return {};
  return ws::integers(ws, o.blocks.screenFlags, o.nvar);
}

// Whether the current case would be valid, judged as the counting pass does:
// missing values and screening, but not the weight.
bool countsAsValid(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  const HostCase& current = host::currentCase();
  const auto list = analysisVariables(ws);
  if (isTrue(QLMISS(current, list, o.includeMissing, ws))) return false;
  const auto flags = screeningFlags(ws);
  if (binaryScreeningApplies() && !isTrue(proscreen_binary(current.values, list, flags))) {
    return false;
  }
  return !negativeScreeningApplies() || isTrue(proscreen_negative(current.values, list, flags));
}

// The largest group, and with MATRIX=OUT the largest number of valid cases.
void countGroups(ProxWorkspace& ws) {
  ProxOptions& o = options();
  const bool matrixOut = isTrue(o.matrixOut);
  Word read = 0;
  Word valid = 0;
  const HostGlobal& g = host::global();
  for (;;) {
    OBSERV(ws);
    if (isTrue(g.endOfData) || host::errorFlagSet()) break;
    if (isTrue(g.endOfGroup)) {
      o.ncase = std::max(o.ncase, read);
      read = 0;
      if (matrixOut) o.ncaseOut = std::max(o.ncaseOut, valid);
      valid = 0;
      continue;
    }
    ATNJMP(ws);
    ++read;
    if (matrixOut && countsAsValid(ws)) ++valid;
  }
}

double bytes(Word count, Word sizeCode) { return static_cast<double>(MEMALU(count, sizeCode)); }

// What the workspace will hold, in bytes, as doubles so that a huge count
// cannot overflow before it is found too large.
double workspaceEstimate(double start) {
  const ProxOptions& o = options();
  const bool matrixIn = isTrue(o.matrixIn);
  const Word code = matrixIn ? -1 : o.measureCode;
  const Word v = o.nvar;
  const Word g = o.ncase;
  const Word n = isTrue(o.viewCases) ? g : v;
  const double nn = static_cast<double>(n);
  double t = start;
  const double triangle = bytes(1, 8) * 0.5 * nn * (nn - 1.0);
  t += isCountMeasure(code) ? 2 * triangle : triangle;
  t += bytes(n, 8);
  if (code == 7 || isBinaryMeasure(code)) t += bytes(n, 8);
  if (isTrue(o.viewCases)) t += o.idVariable != 0 ? bytes(labelWords(o) * g, 8) : bytes(0, 8);
  if (!matrixIn) t += static_cast<double>(v) * bytes(1, 8) * static_cast<double>(g);
  t += bytes(v, 8) + bytes(v, 8);
  if (!matrixIn && anyScreeningApplies()) t += bytes(v, 8);
  return t;
}

void showEstimate(double t) {
  BP_BEGIN_GROUP(1, "Resources", "Contents");
  BP_CELL_IN_CATEGORY(1, BP_LRVALUE(t, BP_N_FORMAT()), "Workspace Bytes");
  BP_END_GROUP(1, "Contents");
  constexpr double kWordRange = 9223372036854775808.0;  // 2^63
  if (t >= kWordRange) host::report(host::kNoMemory, 2, 3);
}

// Reads the cases of one group; a rejected case is counted and left out.
void proread_cases(ProxWorkspace& ws, Word rows, std::span<const Word> list,
                   std::span<double> caseValues, std::span<double> data,
                   std::span<Word> caseNumbers, std::span<Logical> flags) {
  ProxOptions& o = options();
  o.validCases = o.missingRejected = o.binaryRejected = o.negativeRejected = 0;
  IZERO(caseNumbers);
  std::fill(flags.begin(), flags.end(), kTrue);
  const bool byCase = o.standardizeMethod > 0 && isTrue(o.standardizeByCase);
  const Word labelLength = labelWords(o);
  const HostGlobal& g = host::global();
  for (;;) {
    OBSERV(ws);
    if (isTrue(g.endOfData) || isTrue(g.endOfGroup) || host::errorFlagSet()) break;
    const Acceptance acceptance = proaccept_case(ws, list, caseValues, flags);
    procount_acceptance(acceptance);
    if (acceptance != Acceptance::Valid) continue;
    const Word i = o.validCases;
    if (byCase) prostc(caseValues, o.standardizeMethod);
    for (std::size_t k = 0; k < list.size(); ++k) {
      data[k * static_cast<std::size_t>(rows) + static_cast<std::size_t>(i - 1)] = caseValues[k];
    }
    caseNumbers[static_cast<std::size_t>(i - 1)] = g.caseSequence;
    if (o.idVariable != 0) {
      const char* id = host::currentCase().strings[o.idVariable - 1];
      CHMVNN(std::string_view(id, static_cast<std::size_t>(o.idWidth)),
             ws::chars(ws, o.blocks.caseLabels + (i - 1) * labelLength, labelLength));
    }
  }
  if (o.standardizeMethod > 0 && !isTrue(o.standardizeByCase) && o.validCases >= 1) {
    for (std::size_t k = 0; k < list.size(); ++k) {
      prostc(
          data.subspan(k * static_cast<std::size_t>(rows), static_cast<std::size_t>(o.validCases)),
          o.standardizeMethod);
    }
  }
}

}  // namespace

void procount_cases(ProxWorkspace& ws, ProxWorkspace& /*ws2*/, Word& status) {
  ProxOptions& o = options();
  status = 0;
  double t = 0.0;
  if (isTrue(o.matrixIn)) {
    o.ncase = o.ncaseOut = o.validCases = o.nvar;
    t = bytes(o.nvar * o.nvar, 4) + bytes(o.nvar, 4) + bytes(host::matrix().recordLength, 4);
  } else {
    o.errorFlag = kFalse;
    o.ncase = 0;
    o.ncaseOut = 0;
    countGroups(ws);
    if (o.ncase < 1) {
      o.errorFlag = kTrue;
      status = kNoCaseAccepted;
    }
  }
  if (isTrue(o.errorFlag) || host::errorFlagSet()) return;
  if (!isTrue(o.matrixIn) && isTrue(o.matrixOut)) {
    const Word items = isTrue(o.viewCases) ? o.ncase : o.nvar;
    procheck_output_names(ws, items, analysisVariables(ws), status);
    if (status > 0) {
      o.errorFlag = kTrue;
      return;
    }
    if (host::errorFlagSet()) return;
  }
  showEstimate(workspaceEstimate(t));
}

void proload_group(ProxWorkspace& ws, ProxWorkspace& /*ws2*/) {
  ProxOptions& o = options();
  ProxBlocks& b = o.blocks;
  o.errorFlag = kFalse;
  if (b.dataMatrix == 0 && allocateWords(b.dataMatrix, o.nvar * o.ncase, ws)) o.errorFlag = kTrue;
  if (b.caseNumbers == 0 && !isTrue(o.errorFlag) && allocateWords(b.caseNumbers, o.ncase, ws)) {
    o.errorFlag = kTrue;
  }
  if (isTrue(o.errorFlag)) {
    proreport_error(kNoMemoryStatus, 1, 3);
    return;
  }
  if (host::errorFlagSet()) return;
  const auto list = analysisVariables(ws);
  proread_cases(ws, o.ncase, list, ws::reals(ws, b.caseValues, o.nvar),
                ws::reals(ws, b.dataMatrix, o.nvar * o.ncase),
                ws::integers(ws, b.caseNumbers, o.ncase), screeningFlags(ws));
  if (isTrue(host::global().endOfData) || host::errorFlagSet()) return;
  BP_SPLIT_CHANGE(ws);
  prosummary_table(ws, list, screeningFlags(ws));
}
