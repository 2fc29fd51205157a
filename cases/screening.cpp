#include "cases/screening.h"

#include <cmath>

#include "host/host.h"
#include "measures/catalogue.h"
#include "proc/options.h"

bool binaryScreeningApplies() {
  const ProxOptions& o = options();
  return isBinaryMeasure(o.measureCode) && o.measureParam2 != host::constants().unspecifiedInteger;
}

bool negativeScreeningApplies() { return isCountMeasure(options().measureCode); }

namespace {

bool isPresentOrAbsent(double x, double present, double absent) {
  if (x == present || x == absent) return true;
  if (!isTrue(QDINT(x))) return false;
  const double whole = std::trunc(x);
  return whole == present || whole == absent;
}

}  // namespace

Logical proscreen_binary(const double* values, std::span<const Word> varList,
                         std::span<Logical> flags) {
  const ProxOptions& o = options();
  const auto present = static_cast<double>(o.measureParam1);
  const auto absent = static_cast<double>(o.measureParam2);
  bool passes = true;
  for (std::size_t k = 0; k < varList.size(); ++k) {
    if (isPresentOrAbsent(values[varList[k] - 1], present, absent)) continue;
    flags[k] = kFalse;
    passes = false;
  }
  return logical(passes);
}

Logical proscreen_negative(const double* values, std::span<const Word> varList,
                           std::span<Logical> flags) {
  bool passes = true;
  for (std::size_t k = 0; k < varList.size(); ++k) {
    if (values[varList[k] - 1] >= 0.0) continue;
    flags[k] = kFalse;
    passes = false;
  }
  return logical(passes);
}

Acceptance proaccept_case(ProxWorkspace& ws, std::span<const Word> varList,
                          std::span<double> caseValues, std::span<Logical> flags) {
  ATNJMP(ws);
  const HostCase& current = host::currentCase();
  Word missing = 0;
  MSCOPY(current, caseValues, varList, options().includeMissing, missing, ws);
  if (missing > 0) return Acceptance::Missing;
  if (!(host::global().caseWeight > 0.0)) return Acceptance::Missing;
  if (binaryScreeningApplies() && !isTrue(proscreen_binary(current.values, varList, flags))) {
    return Acceptance::Binary;
  }
  if (negativeScreeningApplies() && !isTrue(proscreen_negative(current.values, varList, flags))) {
    return Acceptance::Negative;
  }
  return Acceptance::Valid;
}

void procount_acceptance(Acceptance acceptance) {
  ProxOptions& o = options();
  switch (acceptance) {
    case Acceptance::Valid:
      ++o.validCases;
      break;
    case Acceptance::Missing:
      ++o.missingRejected;
      break;
    case Acceptance::Binary:
      ++o.binaryRejected;
      break;
    case Acceptance::Negative:
      ++o.negativeRejected;
      break;
  }
}
