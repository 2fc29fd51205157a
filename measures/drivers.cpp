// The two group drivers. With VIEW=CASE the group's cases are already in the
// data matrix and each variable is one feature; with VIEW=VARIABLE each case
// is one feature, added to the sums as it is read and then forgotten.
#include "measures/drivers.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "cases/screening.h"
#include "cases/standardize_by_case.h"
#include "cases/standardize_by_variable.h"
#include "host/host.h"
#include "measures/family.h"
#include "measures/transform.h"
#include "measures/triangle.h"
#include "output/matrix_input.h"
#include "output/matrix_output.h"
#include "output/matrix_table.h"
#include "output/summary.h"
#include "proc/options.h"

namespace {

std::span<double> triangleOf(ProxWorkspace& ws, Word items) {
  return ws::reals(ws, options().blocks.triangle, triangle::size(items));
}

std::span<double> itemVector(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  return ws::reals(ws, o.blocks.itemVector, o.blocks.itemVectorSize);
}

// The arrays of a pass over n items.
FamilyArrays familyArrays(ProxWorkspace& ws, Word n) {
  const ProxOptions& o = options();
  const ProxBlocks& b = o.blocks;
  const auto count = static_cast<std::size_t>(n);
  FamilyArrays a;
  a.t = triangleOf(ws, n);
  a.g = itemVector(ws).first(count);
  if (b.corrVector != 0) a.u = ws::reals(ws, b.corrVector, n);
  if (b.triangle2 != 0) a.b = ws::reals(ws, b.triangle2, triangle::size(n));
  if (b.binaryVector != 0) a.presentFlags = ws::integers(ws, b.binaryVector, n);
  return a;
}

void setDirection(Word code) {
  const auto info = measureInfo(code);
  if (info && info->kind != Kind::None) options().direction = static_cast<Word>(info->kind);
}

// Cosine and correlation have 1 on the diagonal, set over the whole vector.
void setUnitDiagonal(Family family, std::span<double> g) {
  if (family == Family::Cosine || family == Family::Correlation) DLOAD(g, 1.0);
}

void procompute_stored(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  const Word n = o.validCases;
  LRZERO(itemVector(ws));
  const auto info = measureInfo(o.measureCode);
  if (!info || info->family == Family::None) return;
  setDirection(o.measureCode);

  FamilyPass pass(o.measureCode, o.measureParam1, o.measureParam2, familyArrays(ws, n));
  const StoredFeatures features{ws::reals(ws, o.blocks.dataMatrix, o.nvar * o.ncase),
                                static_cast<std::size_t>(o.ncase), static_cast<std::size_t>(n),
                                static_cast<std::size_t>(o.nvar)};
  pass.computeStored(features, [&ws] { ATNJMP(ws); });
  setUnitDiagonal(info->family, itemVector(ws));
}

// Finishes a group whose matrix is in T: transform, dictionary, print, write.
void present(ProxWorkspace& ws, Word items, Logical& firstGroup,
             std::span<const Word> caseNumbers) {
  const ProxOptions& o = options();
  const auto t = triangleOf(ws, items);
  protransform(t);
  // Every group fills the file's items, a smaller group with padding.
  const Word fileItems = isTrue(o.viewCases) ? o.ncaseOut : o.nvar;
  if (isTrue(o.matrixOut) && isTrue(firstGroup)) {
    prowrite_dictionary(fileItems, ws, ws);
    firstGroup = kFalse;
  }
  if (host::errorFlagSet()) return;
  const auto g = itemVector(ws).first(static_cast<std::size_t>(items));
  if (isTrue(o.printMatrix)) proprint_matrix(t, g, ws, caseNumbers);
  if (isTrue(o.matrixOut)) prowrite_rows(t, g, fileItems, caseNumbers, ws, ws);
}

std::span<const Word> caseNumbersOf(ProxWorkspace& ws, Word items) {
  const ProxOptions& o = options();
  if (o.blocks.caseNumbers == 0) return {};
  return ws::integers(ws, o.blocks.caseNumbers, items);
}

// The next group's standardization factors: location and scale halves.
void pronext_std_block(ProxWorkspace& ws, std::span<const double>& location,
                       std::span<const double>& scale) {
  ProxOptions& o = options();
  if (o.blocks.stdCursor == 0) return;  // no statistics were gathered for this group
  const auto node = ws::integers(ws, o.blocks.stdCursor, 2);
  location = ws::reals(ws, node[1], o.nvar);
  scale = ws::reals(ws, node[1] + o.nvar, o.nvar);
  o.blocks.stdCursor = node[0];
}

void proreset_streaming(ProxWorkspace& ws) {
  ProxOptions& o = options();
  o.validCases = o.missingRejected = o.binaryRejected = o.negativeRejected = 0;
  LRZERO(itemVector(ws).first(static_cast<std::size_t>(o.nvar)));
  LRZERO(triangleOf(ws, o.nvar));
}

// One pass over the group's cases, the first of which is current.
void procompute_streaming(ProxWorkspace& ws, std::span<const double> location,
                          std::span<const double> scale) {
  ProxOptions& o = options();
  const auto info = measureInfo(o.measureCode);
  if (!info || info->family == Family::None) return;
  setDirection(o.measureCode);
  if (info->family == Family::Power) {
    std::tie(o.measureParam1, o.measureParam2) =
        FamilyPass::powerParameters(o.measureCode, o.measureParam1, o.measureParam2);
  }

  const Word v = o.nvar;
  const auto list = ws::integers(ws, o.blocks.varList, v);
  const auto buffer = ws::reals(ws, o.blocks.caseValues, v);
  std::span<Logical> flags;
  if (o.blocks.screenFlags != 0) flags = ws::integers(ws, o.blocks.screenFlags, v);
  std::fill(flags.begin(), flags.end(), kTrue);

  FamilyPass pass(o.measureCode, o.measureParam1, o.measureParam2, familyArrays(ws, v));
  pass.start();
  const bool standardize = o.standardizeMethod > 0 && info->family != Family::Binary;
  const HostGlobal& g = host::global();
  while (!isTrue(g.endOfGroup) && !isTrue(g.endOfData) && !host::errorFlagSet()) {
    const Acceptance acceptance = proaccept_case(ws, list, buffer, flags);
    procount_acceptance(acceptance);
    if (acceptance == Acceptance::Valid) {
      if (standardize && isTrue(o.standardizeByCase)) prostc(buffer, o.standardizeMethod);
      if (standardize && !isTrue(o.standardizeByCase) && !location.empty()) {
        proapply_std(buffer, location, scale, o.standardizeMethod);
      }
      pass.add(buffer);
    }
    OBSERV(ws);
  }
  if (info->family == Family::Correlation) o.validCases = static_cast<Word>(pass.featuresSeen());
  if (o.validCases > 0) pass.finish(o.validCases);
  setUnitDiagonal(info->family, itemVector(ws).first(static_cast<std::size_t>(v)));
}

}  // namespace

void prorun_group(ProxWorkspace& ws, ProxWorkspace& /*ws2*/, Logical& firstGroup) {
  const ProxOptions& o = options();
  if (isTrue(o.matrixIn)) {
    proread_label(ws);
  } else {
    promeasure_text();
    procompute_stored(ws);
  }
  present(ws, o.validCases, firstGroup, caseNumbersOf(ws, o.validCases));
}

void prorun_group_streaming(ProxWorkspace& ws, ProxWorkspace& /*ws2*/, Logical& firstGroup) {
  ProxOptions& o = options();
  promeasure_text();
  proreset_streaming(ws);
  std::span<const double> location;
  std::span<const double> scale;
  if (o.standardizeMethod > 0 && !isTrue(o.standardizeByCase)) {
    pronext_std_block(ws, location, scale);
  }
  procompute_streaming(ws, location, scale);
  if (host::errorFlagSet()) return;
  const auto list = ws::integers(ws, o.blocks.varList, o.nvar);
  std::span<const Logical> flags;
  if (o.blocks.screenFlags != 0) flags = ws::integers(ws, o.blocks.screenFlags, o.nvar);
  prosummary_table(ws, list, flags);
  if (isTrue(o.errorFlag)) return;
  present(ws, o.nvar, firstGroup, {});
}
