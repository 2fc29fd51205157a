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

// The power sums of every pair: sum over features of |x_i - x_j|^p.
void prosweep_power(const StoredFeatures& x, std::span<double> t, Word p, const Tick& tick);
// The largest absolute difference of every pair.
void prosweep_max(const StoredFeatures& x, std::span<double> t, const Tick& tick);
// Cross-products sum x_j * x_i of every pair, and sums of squares in g.
void prosweep_cross(const StoredFeatures& x, std::span<double> t, std::span<double> g,
                    const Tick& tick);
// The correlation's centred sums, exactly as the updating algorithm forms
// them feature after feature; u receives the means, g the centred sums of
// squares; returns the number of features.
double prosweep_centered(const StoredFeatures& x, std::span<double> t, std::span<double> u,
                         std::span<double> g, const Tick& tick);
// Present-value counts of the binary measures: g(i) features where item i
// has the present value, t(i, j) features where both have it.
void prosweep_binary(const StoredFeatures& x, std::span<double> t, std::span<double> g,
                     Word present, const Tick& tick);
