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

void FamilyPass::start() {
  std::fill(a_.t.begin(), a_.t.end(), 0.0);
  m_ = 0.0;
  if (family_ == Family::Correlation) {
    std::fill(a_.u.begin(), a_.u.end(), 0.0);
    scratch_.assign(a_.g.size(), 0.0);
  }
  if (family_ == Family::Counts) std::fill(a_.b.begin(), a_.b.end(), 0.0);
}

void FamilyPass::add(std::span<const double> x) {
  switch (family_) {
    case Family::Power:
      return proacc_power(x, a_.t, p_);
    case Family::Chebychev:
      return proacc_max(x, a_.t);
    case Family::Cosine:
      return proacc_cross(x, a_.t, a_.g);
    case Family::Correlation:
      return proacc_centered(x, a_.t, m_, a_.u, a_.g, scratch_);
    case Family::Counts:
      return proacc_chisq(x, a_.t, a_.b, a_.g);
    case Family::Binary:
      return proacc_binary(x, a_.t, a_.g, present_, a_.presentFlags);
    case Family::None:
      return;
  }
}

void FamilyPass::computeStored(const StoredFeatures& x, const Tick& tick) {
  // The sweeps write every pair once, so only the per-item sums start at zero.
  std::fill(a_.g.begin(), a_.g.end(), 0.0);
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
