#include "measures/stored_sweep.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "measures/binary.h"
#include "measures/interval.h"
#include "measures/lanes.h"
#include "measures/triangle.h"
#include "measures/vector_clones.h"

namespace {

// Rows of a tile: kRows later items against one panel of kLanes earlier
// items, kRows x kLanes sums held in registers across all features.
constexpr std::size_t kRows = 4;
// Blocks for the cache: the rows of a block meet the panels of a chunk while
// the chunk's features stay in the second-level cache.
constexpr std::size_t kBlockRows = 64;
constexpr std::size_t kChunkPanels = 32;
static_assert(kLanes % kRows == 0 && kBlockRows % kLanes == 0);

// What one feature adds to a pair: acc := step(acc, a, b), with a the later
// item's value and b the earlier item's, each a double or a group of lanes.
// Always inlined, since they take groups (measures/lanes.h).
template <Word P>
struct PowerStep {
  template <typename S, typename A, typename B>
  [[gnu::always_inline]] S operator()(S s, A a, B b) const {
    return s + prointeger_power(a - b, P);
  }
};
struct AnyPowerStep {
  Word p;
  template <typename S, typename A, typename B>
  [[gnu::always_inline]] S operator()(S s, A a, B b) const {
    return s + prointeger_power(a - b, p);
  }
};
struct MaxStep {
  template <typename S, typename A, typename B>
  [[gnu::always_inline]] S operator()(S s, A a, B b) const {
    const auto d = magnitude(a - b);
    return d > s ? d : s;
  }
};
// Cross-products, and the correlation's weighted deviation of the later item
// times the deviation of the earlier.
struct CrossStep {
  template <typename S, typename A, typename B>
  [[gnu::always_inline]] S operator()(S s, A a, B b) const {
    return s + b * a;
  }
};

// Runs run(step) with the power step of exponent p: the common exponents
// are constants, so the power folds into straight-line multiplications.
template <typename Run>
[[gnu::always_inline]] inline void withPowerStep(Word p, Run run) {
  switch (p) {
    case 1:
      return run(PowerStep<1>{});
    case 2:
      return run(PowerStep<2>{});
    case 3:
      return run(PowerStep<3>{});
    case 4:
      return run(PowerStep<4>{});
    default:
      return run(AnyPowerStep{p});
  }
}

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

// The features regrouped by panels of kLanes items: the kLanes values of one
// feature are adjacent and a panel's features follow each other, so a tile
// reads its panel as one stream. Items past the end are zeros.
class Panels {
 public:
  Panels(std::size_t items, std::size_t features)
      : items_(items),
        features_(features),
        values_((items + kLanes - 1) / kLanes * kLanes * features, 0.0) {}
  explicit Panels(const StoredFeatures& x) : Panels(x.items, x.features) {
    for (std::size_t k = 0; k < x.features; ++k) {
      for (std::size_t i = 0; i < x.items; ++i) at(k, i) = x.at(k, i);
    }
  }
  // Feature k of item i.
  double& at(std::size_t k, std::size_t i) { return values_[start(i / kLanes, k) + i % kLanes]; }
  // The kLanes values of feature k in a panel.
  const double* feature(std::size_t panel, std::size_t k) const {
    return &values_[start(panel, k)];
  }
  std::size_t items() const { return items_; }
  std::size_t features() const { return features_; }

 private:
  std::size_t start(std::size_t panel, std::size_t k) const {
    return (panel * features_ + k) * kLanes;
  }
  std::size_t items_;
  std::size_t features_;
  std::vector<double> values_;
};

// The sums of one tile: rows i0.. of a against the panel of b, feature after
// feature, acc := step(acc, a_ik, b_jk).
template <typename Step>
[[gnu::always_inline]] inline void sumTile(const Panels& a, const Panels& b, std::size_t i0,
                                           std::size_t panel, Lanes (&acc)[kRows], Step step) {
  const std::size_t lane = i0 % kLanes;
  for (Lanes& s : acc) s = Lanes{};
  for (std::size_t k = 0; k < a.features(); ++k) {
    const double* ak = a.feature(i0 / kLanes, k) + lane;
    const Lanes bk = loadLanes(b.feature(panel, k));
    // The row's value stays a scalar: the operations with the group spread
    // it over the lanes, which the processor does as part of the load.
    for (std::size_t r = 0; r < kRows; ++r) acc[r] = step(acc[r], ak[r], bk);
  }
}

// Writes a tile's pairs i > j into the triangle.
inline void writeTile(std::span<double> t, std::size_t items, std::size_t i0, std::size_t panel,
                      const Lanes (&acc)[kRows]) {
  const std::size_t j0 = panel * kLanes;
  for (std::size_t r = 0; r < kRows && i0 + r < items; ++r) {
    const std::size_t i = i0 + r;
    double* row = &t[triangle::rowStart(static_cast<Word>(i + 1))];
    if (j0 + kLanes <= i) {
      storeLanes(row + j0, acc[r]);
    } else {
      for (std::size_t l = 0; j0 + l < i; ++l) row[j0 + l] = acc[r][l];
    }
  }
}

// acc := step(acc, a_ik, b_jk) for k = 1..F for every pair i > j, where a
// holds the later item's feature values and b the earlier item's; each
// pair's sum is written once, and finishRows(first, last) is called on each
// block of complete rows while it is still in the cache.
template <typename Step, typename FinishRows>
[[gnu::always_inline]] inline void sweepPairs(const Panels& a, const Panels& b, std::span<double> t,
                                              const Tick& tick, Step step, FinishRows finishRows) {
  const std::size_t n = a.items();
  TickPacer pacer(tick, n, a.features());
  for (std::size_t block = 0; block < n; block += kBlockRows) {
    const std::size_t end = std::min(n, block + kBlockRows);
    const std::size_t panels = (end - 1 + kLanes - 1) / kLanes;  // those holding some j < i
    for (std::size_t chunk = 0; chunk < panels; chunk += kChunkPanels) {
      const std::size_t chunkEnd = std::min(panels, chunk + kChunkPanels);
      for (std::size_t i0 = block; i0 < end; i0 += kRows) {
        const std::size_t last = std::min(chunkEnd, (i0 + kRows - 1 + kLanes - 1) / kLanes);
        for (std::size_t panel = chunk; panel < last; ++panel) {
          Lanes acc[kRows];
          sumTile(a, b, i0, panel, acc, step);
          writeTile(t, n, i0, panel, acc);
        }
      }
    }
    finishRows(block, end);
    pacer.rowsDone(end);
  }
  pacer.finish();
}

// The stretch of the triangle that holds rows first..last-1 (0-based items).
std::span<double> rowsOf(std::span<double> t, std::size_t first, std::size_t last) {
  const std::size_t begin = first == 0 ? 0 : triangle::rowStart(static_cast<Word>(first + 1));
  const std::size_t end = last < 2 ? 0 : triangle::rowStart(static_cast<Word>(last + 1));
  return t.subspan(begin, end - begin);
}

// The finishing step of the power distances, on a block of complete rows.
auto rootRows(std::span<double> t, Word r) {
  return [t, r](std::size_t first, std::size_t last) { proroot(rowsOf(t, first, last), r); };
}

// Cross-products over the roots of the sums of squares, as the normalizing
// step forms them; g already holds the roots of the positive sums.
void normalizeRows(std::span<double> t, std::span<const double> g, std::size_t first,
                   std::size_t last) {
  for (std::size_t i = std::max<std::size_t>(first, 1); i < last; ++i) {
    double* row = &t[triangle::rowStart(static_cast<Word>(i + 1))];
    const double gi = g[i];
    const bool positive = gi > 0.0;
    for (std::size_t j = 0; j < i; ++j) {
      const double value = row[j] / gi / g[j];
      row[j] = positive && g[j] > 0.0 ? value : 0.0;
    }
  }
}

// G(i) := sqrt(G(i)) where positive, as the normalizing step leaves it.
void rootsOfPositive(std::span<double> g) {
  for (double& v : g) v = v > 0.0 ? std::sqrt(v) : v;
}

// Adds the features of a block to the running sums of every pair i > j:
// acc := step(acc, a_ik, b_jk) for the block's k in order, kLanes pairs of
// a row at a time.
template <typename Step>
[[gnu::always_inline]] inline void addBlock(const StoredFeatures& a, const StoredFeatures& b,
                                            std::span<double> t, Step step) {
  for (std::size_t i = 1; i < a.items; ++i) {
    double* row = &t[triangle::rowStart(static_cast<Word>(i + 1))];
    std::size_t j = 0;
    for (; j + kLanes <= i; j += kLanes) {
      Lanes acc = loadLanes(row + j);
      for (std::size_t k = 0; k < a.features; ++k) {
        acc = step(acc, a.at(k, i), loadLanes(&b.values[k * b.stride + j]));
      }
      storeLanes(row + j, acc);
    }
    for (; j < i; ++j) {
      double acc = row[j];
      for (std::size_t k = 0; k < a.features; ++k) acc = step(acc, a.at(k, i), b.at(k, j));
      row[j] = acc;
    }
  }
}

}  // namespace

PROX_VECTOR_CLONES void proadd_block_power(const StoredFeatures& block, std::span<double> t,
                                           Word p) {
  withPowerStep(
      p, [&](auto step) __attribute__((always_inline)) { addBlock(block, block, t, step); });
}

PROX_VECTOR_CLONES void proadd_block_max(const StoredFeatures& block, std::span<double> t) {
  addBlock(block, block, t, MaxStep{});
}

PROX_VECTOR_CLONES void proadd_block_cross(const StoredFeatures& block, std::span<double> t) {
  addBlock(block, block, t, CrossStep{});
}

PROX_VECTOR_CLONES void proadd_block_centered(const StoredFeatures& weighted,
                                              const StoredFeatures& deviations,
                                              std::span<double> t) {
  addBlock(weighted, deviations, t, CrossStep{});
}

PROX_VECTOR_CLONES void prosweep_power(const StoredFeatures& x, std::span<double> t, Word p, Word r,
                                       const Tick& tick) {
  const Panels panels(x);
  withPowerStep(
      p, [&](auto step) __attribute__((always_inline)) {
        sweepPairs(panels, panels, t, tick, step, rootRows(t, r));
      });
}

PROX_VECTOR_CLONES void prosweep_max(const StoredFeatures& x, std::span<double> t,
                                     const Tick& tick) {
  const Panels panels(x);
  sweepPairs(panels, panels, t, tick, MaxStep{}, [](std::size_t, std::size_t) {});
}

PROX_VECTOR_CLONES void prosweep_cosine(const StoredFeatures& x, std::span<double> t,
                                        std::span<double> g, const Tick& tick) {
  for (std::size_t k = 0; k < x.features; ++k) {
    for (std::size_t i = 0; i < x.items; ++i) g[i] += x.at(k, i) * x.at(k, i);
  }
  rootsOfPositive(g);
  const Panels panels(x);
  sweepPairs(panels, panels, t, tick, CrossStep{},
             [&](std::size_t first, std::size_t last) { normalizeRows(t, g, first, last); });
}

PROX_VECTOR_CLONES double prosweep_correlation(const StoredFeatures& x, std::span<double> t,
                                               std::span<double> u, std::span<double> g,
                                               const Tick& tick) {
  // Each feature's deviations and weighted deviations, formed exactly as the
  // updating algorithm forms them, feature after feature.
  Panels deviations(x.items, x.features);
  Panels weighted(x.items, x.features);
  double m = 0.0;
  for (std::size_t k = 0; k < x.features; ++k) {
    procentre_feature(x.values.subspan(k * x.stride, x.items), m, u, g,
                      [&](std::size_t i, double d, double w) {
                        deviations.at(k, i) = d;
                        weighted.at(k, i) = w;
                      });
  }
  rootsOfPositive(g);
  sweepPairs(weighted, deviations, t, tick, CrossStep{},
             [&](std::size_t first, std::size_t last) { normalizeRows(t, g, first, last); });
  return m;
}

PROX_POPCOUNT_CLONES void prosweep_binary(const StoredFeatures& x, std::span<double> t,
                                          std::span<double> g, Word present, Word code,
                                          const Tick& tick) {
  // The counts are whole numbers: counting 64 features at a time with bit
  // operations gives exactly the sums of adding 1 feature by feature.
  const std::size_t n = x.items;
  const std::size_t f = x.features;
  const std::size_t words = (f + 63) / 64;
  std::vector<std::uint64_t> bits(n * words, 0);
  const auto wanted = static_cast<double>(present);
  for (std::size_t k = 0; k < f; ++k) {
    for (std::size_t i = 0; i < n; ++i) {
      if (std::trunc(x.at(k, i)) == wanted)
        bits[i * words + k / 64] |= std::uint64_t{1} << (k % 64);
    }
  }
  std::vector<std::uint32_t> own(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t w = 0; w < words; ++w) own[i] += std::popcount(bits[i * words + w]);
  }

  TickPacer pacer(tick, n, f);
  const auto jointCount = [&](std::size_t i, std::size_t j) {
    std::uint32_t both = 0;
    for (std::size_t w = 0; w < words; ++w)
      both += std::popcount(bits[i * words + w] & bits[j * words + w]);
    return both;
  };
  if (!BinaryMeasureTable::fits(f)) {
    // Very many features: the joint counts, then the finishing step.
    for (std::size_t i = 0, pair = 0; i < n; ++i) {
      g[i] = own[i];
      for (std::size_t j = 0; j < i; ++j, ++pair) t[pair] = jointCount(i, j);
      pacer.rowsDone(i + 1);
    }
    pacer.finish();
    return profinish_binary(t, g, static_cast<Word>(f), code);
  }
  // A pair's measure depends only on its joint count and the two items'
  // counts, all whole numbers up to F: it is looked up in a table filled by
  // the finishing formula, so each pair is written once, already finished.
  const BinaryMeasureTable table(code, f, own);
  for (std::size_t i = 1, pair = 0; i < n; ++i) {
    const double* values = table.forItem(own[i]);
    double* row = &t[pair];
    if (words == 1) {
      // Up to 64 features, the usual case: one word per item.
      const std::uint64_t bi = bits[i];
      for (std::size_t j = 0; j < i; ++j) {
        const auto both = static_cast<std::uint32_t>(std::popcount(bi & bits[j]));
        row[j] = values[table.index(both, own[j])];
      }
    } else {
      for (std::size_t j = 0; j < i; ++j) row[j] = values[table.index(jointCount(i, j), own[j])];
    }
    pair += i;
    pacer.rowsDone(i + 1);
  }
  pacer.finish();
  const auto features = static_cast<double>(f);
  for (std::size_t i = 0; i < n; ++i) {
    const auto count = static_cast<double>(own[i]);
    g[i] = probinary_self(code, count, 0.0, 0.0, features - count);
  }
}
