// The computation over stored features (VIEW=CASE): all features of all
// items are at hand, so instead of walking the whole triangle once per
// feature, each small tile of pairs is finished over every feature while it
// sits in registers. Every pair still adds its features in their order, with
// the same operations as the per-feature kernels, so the results are the same
// to the last bit.
#pragma once

#include <cstddef>
#include <functional>
#include <span>

#include "host/tavixwcom.h"

// The stored features: feature k of item i is values[k * stride + i].
struct StoredFeatures {
  std::span<const double> values;
  std::size_t stride;
  std::size_t items;
  std::size_t features;
  double at(std::size_t k, std::size_t i) const { return values[k * stride + i]; }
};

// Called as the sweep goes, once per feature in all, evenly spread.
using Tick = std::function<void()>;

// Each sweep also does the finishing step of its family, on each block of
// rows while it is still in the cache; the results are those of the
// per-feature kernels followed by the finishing step.

// The power distances: the r-th root of the sum over features of |x_i - x_j|^p.
void prosweep_power(const StoredFeatures& x, std::span<double> t, Word p, Word r, const Tick& tick);
// The largest absolute difference of every pair.
void prosweep_max(const StoredFeatures& x, std::span<double> t, const Tick& tick);
// Cosines: cross-products over the roots of the sums of squares, which g
// receives (g starts at zero).
void prosweep_cosine(const StoredFeatures& x, std::span<double> t, std::span<double> g,
                     const Tick& tick);
// Correlations from the centred sums, formed exactly as the updating
// algorithm forms them feature after feature; u receives the means, g the
// roots of the centred sums of squares (u and g start at zero); returns the
// number of features.
double prosweep_correlation(const StoredFeatures& x, std::span<double> t, std::span<double> u,
                            std::span<double> g, const Tick& tick);
// The binary measure `code` of every pair, counting the present value, and
// each item's proximity with itself in g.
void prosweep_binary(const StoredFeatures& x, std::span<double> t, std::span<double> g,
                     Word present, Word code, const Tick& tick);

// Features that arrive one at a time (VIEW=VARIABLE) are added in blocks:
// every pair adds the block's features to its running sum in their order,
// with the same operations as the per-feature kernels, in one pass over the
// triangle per block instead of one per feature. Feature k of item i is
// block.at(k, i).
void proadd_block_power(const StoredFeatures& block, std::span<double> t, Word p);
void proadd_block_max(const StoredFeatures& block, std::span<double> t);
// Cross-products x_j * x_i (the sums of squares are the caller's).
void proadd_block_cross(const StoredFeatures& block, std::span<double> t);
// The correlation's centred cross-products d_j * w_i, from each feature's
// deviations d and weighted deviations w.
void proadd_block_centered(const StoredFeatures& weighted, const StoredFeatures& deviations,
                           std::span<double> t);
