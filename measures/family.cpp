#include "measures/family.h"

#include <algorithm>
#include <tuple>

#include "measures/binary.h"
#include "measures/counts.h"
#include "measures/interval.h"

std::pair<Word, Word> FamilyPass::powerParameters(Word code, Word param1, Word param2) {
  switch (code) {
    case 1:
      return {2, 2};
    case 4:
      return {2, 1};
    case 5:
      return {1, 1};
    default:
      return {param1, param2};
  }
}

FamilyPass::FamilyPass(Word code, Word param1, Word param2, FamilyArrays arrays)
    : code_(code), a_(arrays) {
  const auto info = measureInfo(code);
  family_ = info ? info->family : Family::None;
  std::tie(p_, r_) = powerParameters(code, param1, param2);
  present_ = param1;
}

namespace {

// Features kept before they are added to the pairs in one pass.
constexpr std::size_t kBlockFeatures = 16;

bool addsInBlocks(Family family) {
  return family == Family::Power || family == Family::Chebychev || family == Family::Cosine ||
         family == Family::Correlation;
}

}  // namespace

void FamilyPass::start() {
  std::fill(a_.t.begin(), a_.t.end(), 0.0);
  m_ = 0.0;
  if (family_ == Family::Correlation) std::fill(a_.u.begin(), a_.u.end(), 0.0);
  if (family_ == Family::Counts) std::fill(a_.b.begin(), a_.b.end(), 0.0);
  blocked_ = 0;
  if (addsInBlocks(family_)) block_.assign(kBlockFeatures * a_.g.size(), 0.0);
  if (family_ == Family::Correlation) weights_.assign(kBlockFeatures * a_.g.size(), 0.0);
}

void FamilyPass::add(std::span<const double> x) {
  switch (family_) {
    case Family::Power:
    case Family::Chebychev:
    case Family::Cosine:
    case Family::Correlation:
      return addToBlock(x);
    case Family::Counts:
      return proacc_chisq(x, a_.t, a_.b, a_.g);
    case Family::Binary:
      return proacc_binary(x, a_.t, a_.g, present_, a_.presentFlags);
    case Family::None:
      return;
  }
}

// Keeps the feature in the block; its per-item sums are taken at once, in
// the order the features come, exactly as the per-feature kernels take them.
void FamilyPass::addToBlock(std::span<const double> x) {
  const std::size_t n = x.size();
  double* kept = &block_[blocked_ * n];
  if (family_ == Family::Correlation) {
    double* weighted = &weights_[blocked_ * n];
    procentre_feature(x, m_, a_.u, a_.g, [&](std::size_t i, double d, double w) {
      kept[i] = d;
      weighted[i] = w;
    });
  } else {
    if (family_ == Family::Cosine) {
      for (std::size_t i = 0; i < n; ++i) a_.g[i] += x[i] * x[i];
    }
    std::copy(x.begin(), x.end(), kept);
  }
  if (++blocked_ == kBlockFeatures) addBlock();
}

// Adds the kept features to every pair, in one pass over the triangle.
void FamilyPass::addBlock() {
  if (blocked_ == 0) return;
  const std::size_t n = a_.g.size();
  const StoredFeatures block{block_, n, n, blocked_};
  switch (family_) {
    case Family::Power:
      proadd_block_power(block, a_.t, p_);
      break;
    case Family::Chebychev:
      proadd_block_max(block, a_.t);
      break;
    case Family::Cosine:
      proadd_block_cross(block, a_.t);
      break;
    case Family::Correlation:
      proadd_block_centered({weights_, n, n, blocked_}, block, a_.t);
      break;
    default:
      break;
  }
  blocked_ = 0;
}

void FamilyPass::computeStored(const StoredFeatures& x, const Tick& tick) {
  // The sweeps write every pair once, so the triangle is not cleared; the
  // item vector G arrives zeroed, as for add().
  switch (family_) {
    case Family::Power:
      return prosweep_power(x, a_.t, p_, r_, tick);
    case Family::Chebychev:
      return prosweep_max(x, a_.t, tick);
    case Family::Cosine:
      return prosweep_cosine(x, a_.t, a_.g, tick);
    case Family::Correlation:
      std::fill(a_.u.begin(), a_.u.end(), 0.0);
      m_ = prosweep_correlation(x, a_.t, a_.u, a_.g, tick);
      return;
    case Family::Binary:
      return prosweep_binary(x, a_.t, a_.g, present_, code_, tick);
    case Family::Counts:
    case Family::None:
      break;
  }
  start();
  for (std::size_t k = 0; k < x.features; ++k) {
    tick();
    add(x.values.subspan(k * x.stride, x.items));
  }
  finish(static_cast<Word>(x.features));
}

void FamilyPass::finish(Word features) {
  addBlock();
  switch (family_) {
    case Family::Power:
      return proroot(a_.t, r_);
    case Family::Cosine:
    case Family::Correlation:
      return pronormalize(a_.t, a_.g);
    case Family::Counts:
      return profinish_chisq(a_.t, a_.b, a_.g, features, code_);
    case Family::Binary:
      return profinish_binary(a_.t, a_.g, features, code_);
    case Family::Chebychev:
    case Family::None:
      return;
  }
}
