// The interval measures, each split into a kernel that adds one feature to
// every pair of items and a finishing step that runs once after the last
// feature. The drivers own the loop over features; x holds the N items'
// values in one feature, T is the packed triangle, G the per-item vector.
#pragma once

#include <cmath>
#include <span>

#include "host/tavixwcom.h"
#include "measures/lanes.h"
#include "measures/portable_math.h"

// |d|^p for a whole p >= 1: fixed chains of multiplications up to 12, binary
// powering above, so that results are the same on every run and machine.
// Inline so that the kernels fold a constant exponent into straight-line
// code; written once for a double and for a group of lanes.
template <typename T>
[[gnu::always_inline]] inline T prointeger_power(T d, Word p) {
  const T a = magnitude(d);
  // Even powers start from d (its sign vanishes in the first square), odd
  // powers from |d|; the chains below are fixed so results never vary.
  switch (p) {
    case 1:
      return a;
    case 2:
      return d * d;
    case 3:
      return a * a * a;
    case 4: {
      const T d2 = d * d;
      return d2 * d2;
    }
    case 5: {
      const T a2 = a * a;
      const T a4 = a2 * a2;
      return a4 * a;
    }
    case 6: {
      const T d2 = d * d;
      const T d4 = d2 * d2;
      return d4 * d2;
    }
    case 7: {
      const T a2 = a * a;
      const T a4 = a2 * a2;
      return a4 * a2 * a;
    }
    case 8: {
      const T d2 = d * d;
      const T d4 = d2 * d2;
      return d4 * d4;
    }
    case 9: {
      const T a2 = a * a;
      const T a4 = a2 * a2;
      return a4 * a4 * a;
    }
    case 10: {
      const T d2 = d * d;
      const T d4 = d2 * d2;
      return d4 * d4 * d2;
    }
    case 11: {
      const T a2 = a * a;
      const T a4 = a2 * a2;
      return a4 * a4 * a2 * a;
    }
    case 12: {
      const T d2 = d * d;
      const T d4 = d2 * d2;
      return d4 * d4 * d4;
    }
    default:
      return portable::integer_power(a, p);
  }
}

void proacc_power(std::span<const double> x, std::span<double> t, Word p);
void proacc_max(std::span<const double> x, std::span<double> t);
void proacc_cross(std::span<const double> x, std::span<double> t, std::span<double> g);

// One updating step of the correlation: means U, centred sums of squares G
// and cross-products T; m counts the features so far. scratch holds N values.
void proacc_centered(std::span<const double> x, std::span<double> t, double& m, std::span<double> u,
                     std::span<double> g, std::span<double> scratch);

// The per-item half of that step, for kernels that add the cross-products
// later: item i's deviation d from its running mean and weighted deviation
// w = d m/(1+m) go to keep(i, d, w), G(i) grows by d w, and the mean moves
// on, each formed exactly as proacc_centered forms it.
template <typename Keep>
inline void procentre_feature(std::span<const double> x, double& m, std::span<double> u,
                              std::span<double> g, Keep keep) {
  const double f = m / (1.0 + m);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double d = x[i] - u[i];
    const double w = f * d;
    keep(i, d, w);
    g[i] += d * w;
    u[i] = x[i] - d * f;
  }
  m += 1.0;
}

// The r-th root of every positive sum, as 2^(log2(s)/r) with the portable
// log2 and exp2; r <= 1 leaves T.
void proroot(std::span<double> t, Word r);
// Cosine and correlation: cross-products over the roots of G; G becomes the
// roots (items with a zero sum give 0 with everyone).
void pronormalize(std::span<double> t, std::span<double> g);
