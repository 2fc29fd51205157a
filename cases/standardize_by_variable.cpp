// Standardization within variables when the cases are read in passes
// (VIEW=VARIABLE): a statistics pass gathers each group's means, spreads or
// extremes with updating formulas, one block per group in a chain, and the
// computation pass applies the factors to every accepted case.
#include "cases/standardize_by_variable.h"

#include <cmath>

#include "cases/screening.h"
#include "host/host.h"
#include "proc/options.h"
#include "proc/workspace_blocks.h"

namespace {

constexpr Word kNoMemoryStatus = 14701;

enum Method : Word { kZ = 1, kSD, kRange, kMax, kMean, kRescale };

// Appends a node to the chain and gives it a block of 2 x nvar reals.
void proalloc_std_block(ProxWorkspace& ws, Word& realsOffset, Word& status) {
  ProxOptions& o = options();
  ProxBlocks& b = o.blocks;
  Word node = 0;
  if (allocateWords(node, 2, ws)) {
    status = kNoMemoryStatus;
    return;
  }
  if (b.stdCursor == 0) {
    b.stdHead = node;
  } else {
    ws::integers(ws, b.stdCursor, 2)[0] = node;
  }
  b.stdCursor = node;
  auto words = ws::integers(ws, node, 2);
  words[0] = 0;
  words[1] = 0;
  if (allocateWords(realsOffset, 2 * o.nvar, ws)) {
    status = kNoMemoryStatus;
    return;
  }
  ws::integers(ws, node, 2)[1] = realsOffset;
}

void proclear_std_block(std::span<double> block) {
  ProxOptions& o = options();
  std::fill(block.begin(), block.end(), 0.0);
  o.validCases = o.missingRejected = o.binaryRejected = o.negativeRejected = 0;
}

void proacc_meanss(std::span<const double> x, std::span<double> l, std::span<double> s, double& w) {
  const double share = w / (w + 1.0);
  for (std::size_t k = 0; k < x.size(); ++k) {
    const double d = x[k] - l[k];
    l[k] = x[k] / (w + 1.0) + l[k] * w / (w + 1.0);
    s[k] = s[k] + share * (d * d);
  }
  w += 1.0;
}

void proacc_mean(std::span<const double> x, std::span<double> l, double& w) {
  for (std::size_t k = 0; k < x.size(); ++k) l[k] = x[k] / (w + 1.0) + l[k] * w / (w + 1.0);
  w += 1.0;
}

void proacc_minmax(std::span<const double> x, std::span<double> l, std::span<double> s) {
  const bool first = options().validCases == 1;
  for (std::size_t k = 0; k < x.size(); ++k) {
    if (first || x[k] < l[k]) l[k] = x[k];
    if (first || x[k] > s[k]) s[k] = x[k];
  }
}

// Turns the accumulators into the location (or shift) and scale factors.
void prostd_factors(std::span<double> l, std::span<double> s, Word method, Word validCases) {
  const auto n = static_cast<double>(validCases);
  for (std::size_t k = 0; k < l.size(); ++k) {
    switch (method) {
      case kZ:
      case kSD: {
        const double sd = n > 1.0 ? std::sqrt(s[k] / (n - 1.0)) : 0.0;
        if (method == kSD) l[k] = 0.0;
        s[k] = sd > 0.0 ? 1.0 / sd : 1.0;
        break;
      }
      case kRange: {
        const double range = s[k] - l[k];
        l[k] = 0.0;
        s[k] = range > 0.0 ? 1.0 / range : 1.0;
        break;
      }
      case kMax: {
        const double max = s[k];
        const double min = l[k];
        if (std::fabs(max) > 0.0) {
          l[k] = 0.0;
          s[k] = 1.0 / max;
        } else if (std::fabs(min) > 0.0) {
          l[k] = 1.0;
          s[k] = 1.0 / std::fabs(min);
        } else {
          l[k] = 0.0;
          s[k] = 0.0;
        }
        break;
      }
      case kMean: {
        const double mean = l[k];
        l[k] = std::fabs(mean) > 0.0 ? 0.0 : 1.0;
        s[k] = std::fabs(mean) > 0.0 ? 1.0 / mean : 1.0;
        break;
      }
      case kRescale: {
        const double range = s[k] - l[k];
        if (range > 0.0) {
          s[k] = 1.0 / range;
          l[k] = -l[k] / range;
        } else {
          l[k] = 0.5;
          s[k] = 0.0;
        }
        break;
      }
      default:
        break;
    }
  }
}

// The case loop of the statistics pass over one group.
void prostd_stats(ProxWorkspace& ws, std::span<double> l, std::span<double> s) {
  ProxOptions& o = options();
  const auto list = ws::integers(ws, o.blocks.varList, o.nvar);
  const auto values = ws::reals(ws, o.blocks.caseValues, o.nvar);
  std::span<Logical> flags;
  if (o.blocks.screenFlags != 0) flags = ws::integers(ws, o.blocks.screenFlags, o.nvar);
  double w = 0.0;
  const HostGlobal& g = host::global();
  while (!isTrue(g.endOfGroup) && !isTrue(g.endOfData) && !host::errorFlagSet()) {
    ATNJMP(ws);
    Word missing = 0;
    MSCOPY(host::currentCase(), values, list, o.includeMissing, missing, ws);
    const bool used = missing == 0 && g.caseWeight > 0.0 &&
                      (!negativeScreeningApplies() ||
                       isTrue(proscreen_negative(host::currentCase().values, list, flags)));
    if (used) {
      ++o.validCases;
      switch (o.standardizeMethod) {
        case kZ:
        case kSD:
          proacc_meanss(values, l, s, w);
          break;
        case kMean:
          proacc_mean(values, l, w);
          break;
        default:
          proacc_minmax(values, l, s);
          break;
      }
    }
    OBSERV(ws);
  }
  if (o.validCases >= 1) prostd_factors(l, s, o.standardizeMethod, o.validCases);
}

}  // namespace

void prostd_group_pass(ProxWorkspace& ws, ProxWorkspace& /*ws2*/, Word& status) {
  const ProxOptions& o = options();
  Word offset = 0;
  proalloc_std_block(ws, offset, status);
  if (status != 0) return;
  const auto block = ws::reals(ws, offset, 2 * o.nvar);
  proclear_std_block(block);
  const auto half = static_cast<std::size_t>(o.nvar);
  prostd_stats(ws, block.first(half), block.subspan(half));
}

void proapply_std(std::span<double> values, std::span<const double> location,
                  std::span<const double> scale, Word method) {
  if (method == kZ) {
    for (std::size_t k = 0; k < values.size(); ++k)
      values[k] = (values[k] - location[k]) * scale[k];
  } else {
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = values[k] * scale[k] + location[k];
  }
}
