#include "measures/stored_sweep.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "measures/interval.h"
#include "measures/triangle.h"

namespace {

// Each sweep is also compiled for processors with 256-bit vectors and picked
// at run time. No clone uses fused multiply-add (contraction is off for the
// whole library), so every clone rounds exactly as the default one does.
#define PROX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))

// Pairs of a row block of kRows items against kWidth items are finished in
// registers: kRows x kWidth accumulators.
constexpr std::size_t kRows = 4;
constexpr std::size_t kWidth = 4;

// Spreads the features' ticks over the sweep, by the pairs done.
class TickPacer {
 public:
  TickPacer(const Tick& tick, std::size_t items, std::size_t features)
      : tick_(tick),
        features_(features),
        pairs_(static_cast<double>(items) * static_cast<double>(items)) {}
  void rowsDone(std::size_t rows) {
    const double share = static_cast<double>(rows) * static_cast<double>(rows) / pairs_;
    const auto due =
        std::min(features_, static_cast<std::size_t>(share * static_cast<double>(features_)));
    for (; given_ < due; ++given_) tick_();
  }
  void finish() {
    for (; given_ < features_; ++given_) tick_();
  }

 private:
  const Tick& tick_;
  std::size_t features_;
  double pairs_;
  std::size_t given_ = 0;
};

// acc := step(acc, a_ik, b_jk) for k = 1..F for every pair i > j, where a
// holds the later item's feature values and b the earlier item's. The pairs
// are written to the triangle once, when finished.
template <typename Step>
[[gnu::always_inline]] inline void sweepPairs(const StoredFeatures& a, const StoredFeatures& b,
                                              std::span<double> t, const Tick& tick, Step step) {
  const std::size_t n = a.items;
  const std::size_t f = a.features;
  TickPacer pacer(tick, n, f);
  for (std::size_t i0 = 1; i0 < n; i0 += kRows) {
    const std::size_t rows = std::min(kRows, n - i0);
    std::size_t j = 0;
    // Columns below i0 belong to every row of the block.
    for (; j + kWidth <= i0; j += kWidth) {
      double acc[kRows][kWidth] = {};
      for (std::size_t k = 0; k < f; ++k) {
        const double* ak = &a.values[k * a.stride + i0];
        const double* bk = &b.values[k * b.stride + j];
        for (std::size_t r = 0; r < kRows; ++r) {
          const double ai = r < rows ? ak[r] : 0.0;
          for (std::size_t w = 0; w < kWidth; ++w) acc[r][w] = step(acc[r][w], ai, bk[w]);
        }
      }
      for (std::size_t r = 0; r < rows; ++r) {
        double* out = &t[triangle::rowStart(static_cast<Word>(i0 + r + 1)) + j];
        for (std::size_t w = 0; w < kWidth; ++w) out[w] = acc[r][w];
      }
    }
    // The rest of each row, pair by pair.
    for (std::size_t r = 0; r < rows; ++r) {
      const std::size_t i = i0 + r;
      for (std::size_t jj = j; jj < i; ++jj) {
        double acc = 0.0;
        for (std::size_t k = 0; k < f; ++k) acc = step(acc, a.at(k, i), b.at(k, jj));
        t[triangle::rowStart(static_cast<Word>(i + 1)) + jj] = acc;
      }
    }
    pacer.rowsDone(i0 + rows);
  }
  pacer.finish();
}

template <Word P>
[[gnu::always_inline]] inline void sweepPower(const StoredFeatures& x, std::span<double> t,
                                              const Tick& tick) {
  sweepPairs(x, x, t, tick,
             [](double s, double xi, double xj) { return s + prointeger_power(xi - xj, P); });
}

}  // namespace

PROX_VECTOR_CLONES void prosweep_power(const StoredFeatures& x, std::span<double> t, Word p,
                                       const Tick& tick) {
  switch (p) {
    case 1:
      return sweepPower<1>(x, t, tick);
    case 2:
      return sweepPower<2>(x, t, tick);
    case 3:
      return sweepPower<3>(x, t, tick);
    case 4:
      return sweepPower<4>(x, t, tick);
    default:
      sweepPairs(x, x, t, tick,
                 [p](double s, double xi, double xj) { return s + prointeger_power(xi - xj, p); });
  }
}

PROX_VECTOR_CLONES void prosweep_max(const StoredFeatures& x, std::span<double> t,
                                     const Tick& tick) {
  sweepPairs(x, x, t, tick, [](double s, double xi, double xj) {
    const double d = std::fabs(xi - xj);
    return d > s ? d : s;
  });
}

PROX_VECTOR_CLONES void prosweep_cross(const StoredFeatures& x, std::span<double> t,
                                       std::span<double> g, const Tick& tick) {
  for (std::size_t k = 0; k < x.features; ++k) {
    for (std::size_t i = 0; i < x.items; ++i) g[i] += x.at(k, i) * x.at(k, i);
  }
  sweepPairs(x, x, t, tick, [](double s, double xi, double xj) { return s + xj * xi; });
}

PROX_VECTOR_CLONES double prosweep_centered(const StoredFeatures& x, std::span<double> t,
                                            std::span<double> u, std::span<double> g,
                                            const Tick& tick) {
  // Each feature's deviations d and weighted deviations f*d, formed exactly as
  // the updating algorithm forms them, feature after feature.
  const std::size_t n = x.items;
  std::vector<double> deviations(x.features * n);
  std::vector<double> weighted(x.features * n);
  double m = 0.0;
  for (std::size_t k = 0; k < x.features; ++k) {
    const double f = m / (1.0 + m);
    for (std::size_t i = 0; i < n; ++i) {
      const double d = x.at(k, i) - u[i];
      const double wd = f * d;
      deviations[k * n + i] = d;
      weighted[k * n + i] = wd;
      g[i] += d * wd;
    }
    for (std::size_t i = 0; i < n; ++i) u[i] = x.at(k, i) - deviations[k * n + i] * f;
    m += 1.0;
  }
  const StoredFeatures d{deviations, n, n, x.features};
  const StoredFeatures wd{weighted, n, n, x.features};
  sweepPairs(wd, d, t, tick, [](double s, double gi, double dj) { return s + dj * gi; });
  return m;
}

__attribute__((target_clones("popcnt", "default"))) void prosweep_binary(const StoredFeatures& x,
                                                                         std::span<double> t,
                                                                         std::span<double> g,
                                                                         Word present,
                                                                         const Tick& tick) {
  // The counts are whole numbers: counting 64 features at a time with bit
  // operations gives exactly the sums of adding 1 feature by feature.
  const std::size_t n = x.items;
  const std::size_t words = (x.features + 63) / 64;
  std::vector<std::uint64_t> bits(n * words, 0);
  const auto wanted = static_cast<double>(present);
  for (std::size_t k = 0; k < x.features; ++k) {
    for (std::size_t i = 0; i < n; ++i) {
      if (std::trunc(x.at(k, i)) == wanted)
        bits[i * words + k / 64] |= std::uint64_t{1} << (k % 64);
    }
  }
  TickPacer pacer(tick, n, x.features);
  std::size_t pair = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t* bi = &bits[i * words];
    int own = 0;
    for (std::size_t w = 0; w < words; ++w) own += std::popcount(bi[w]);
    g[i] += own;
    for (std::size_t j = 0; j < i; ++j, ++pair) {
      const std::uint64_t* bj = &bits[j * words];
      int both = 0;
      for (std::size_t w = 0; w < words; ++w) both += std::popcount(bi[w] & bj[w]);
      t[pair] += both;
    }
    pacer.rowsDone(i + 1);
  }
  pacer.finish();
}
