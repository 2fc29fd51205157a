// The tiled sweep over stored features against the per-feature kernels it
// replaces: the same triangle and diagonal to the last bit, for every
// family, for item counts that do and do not fill whole tiles.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "measures/binary.h"
#include "measures/interval.h"
#include "measures/stored_sweep.h"
#include "measures/triangle.h"

namespace {

struct Data {
  std::vector<double> values;  // feature-major with a stride larger than the items
  std::size_t stride, items, features;
  StoredFeatures view() const { return {values, stride, items, features}; }
  std::span<const double> feature(std::size_t k) const {
    return std::span<const double>(values).subspan(k * stride, items);
  }
};

Data randomData(std::size_t items, std::size_t features, unsigned seed, bool binary) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(0.0, 4.0);
  std::bernoulli_distribution coin(0.3);
  Data d{std::vector<double>((items + 3) * features), items + 3, items, features};
  for (double& v : d.values) v = binary ? (coin(rng) ? 1.0 : 0.0) : normal(rng);
  return d;
}

const std::size_t kItemCounts[] = {1, 2, 5, 8, 9, 31, 66};
const Tick kNoTick = [] {};

TEST(StoredSweep, PowerAndChebychevMatchPerFeatureKernels) {
  for (const std::size_t n : kItemCounts) {
    const Data d = randomData(n, 13, static_cast<unsigned>(n), false);
    for (const Word p : {1, 2, 3, 4, 7, 13}) {
      std::vector<double> slow(triangle::size(Word(n)), 0.0), fast(slow.size(), 0.0);
      for (std::size_t k = 0; k < d.features; ++k) proacc_power(d.feature(k), slow, p);
      prosweep_power(d.view(), fast, p, kNoTick);
      EXPECT_EQ(fast, slow) << "n=" << n << " p=" << p;
    }
    std::vector<double> slow(triangle::size(Word(n)), 0.0), fast(slow.size(), 0.0);
    for (std::size_t k = 0; k < d.features; ++k) proacc_max(d.feature(k), slow);
    prosweep_max(d.view(), fast, kNoTick);
    EXPECT_EQ(fast, slow) << "n=" << n;
  }
}

TEST(StoredSweep, CosineAndCorrelationMatchPerFeatureKernels) {
  for (const std::size_t n : kItemCounts) {
    const Data d = randomData(n, 11, static_cast<unsigned>(n + 100), false);
    std::vector<double> slowT(triangle::size(Word(n)), 0.0), fastT(slowT.size(), 0.0);
    std::vector<double> slowG(n, 0.0), fastG(n, 0.0);
    for (std::size_t k = 0; k < d.features; ++k) proacc_cross(d.feature(k), slowT, slowG);
    prosweep_cross(d.view(), fastT, fastG, kNoTick);
    EXPECT_EQ(fastT, slowT) << n;
    EXPECT_EQ(fastG, slowG) << n;

    std::fill(slowT.begin(), slowT.end(), 0.0);
    std::fill(fastT.begin(), fastT.end(), 0.0);
    std::vector<double> slowU(n, 0.0), fastU(n, 0.0), scratch(n);
    std::fill(slowG.begin(), slowG.end(), 0.0);
    std::fill(fastG.begin(), fastG.end(), 0.0);
    double m = 0.0;
    for (std::size_t k = 0; k < d.features; ++k) {
      proacc_centered(d.feature(k), slowT, m, slowU, slowG, scratch);
    }
    EXPECT_EQ(prosweep_centered(d.view(), fastT, fastU, fastG, kNoTick), m);
    EXPECT_EQ(fastT, slowT) << n;
    EXPECT_EQ(fastG, slowG) << n;
    EXPECT_EQ(fastU, slowU) << n;
  }
}

TEST(StoredSweep, BinaryCountsMatchPerFeatureKernel) {
  for (const std::size_t features : {3, 64, 65, 130}) {
    const Data d = randomData(21, features, static_cast<unsigned>(features), true);
    std::vector<double> slowT(triangle::size(21), 0.0), fastT(slowT.size(), 0.0);
    std::vector<double> slowG(21, 0.0), fastG(21, 0.0);
    std::vector<Logical> flags(21);
    for (std::size_t k = 0; k < features; ++k) proacc_binary(d.feature(k), slowT, slowG, 1, flags);
    prosweep_binary(d.view(), fastT, fastG, 1, kNoTick);
    EXPECT_EQ(fastT, slowT) << features;
    EXPECT_EQ(fastG, slowG) << features;
  }
}

TEST(StoredSweep, TicksOncePerFeature) {
  const Data d = randomData(40, 17, 3, false);
  int ticks = 0;
  std::vector<double> t(triangle::size(40), 0.0);
  prosweep_power(d.view(), t, 2, [&ticks] { ++ticks; });
  EXPECT_EQ(ticks, 17);
  ticks = 0;
  std::vector<double> g(40, 0.0);
  prosweep_binary(d.view(), t, g, 1, [&ticks] { ++ticks; });
  EXPECT_EQ(ticks, 17);
}

}  // namespace
