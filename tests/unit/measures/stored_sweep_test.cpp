// The tiled sweep over stored features against the per-feature kernels it
// replaces: the same triangle and diagonal to the last bit, for every
// family, for item counts that do and do not fill whole tiles.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "measures/binary.h"
#include "measures/family.h"
#include "measures/interval.h"
#include "measures/stored_sweep.h"
#include "measures/triangle.h"
#include "tests/unit/support/test_host.h"

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

// Sizes that fill no tile, part of one, whole blocks of rows and more than
// one chunk of panels.
const std::size_t kItemCounts[] = {1, 2, 5, 8, 9, 31, 66, 300};
const Tick kNoTick = [] {};

TEST(StoredSweep, PowerAndChebychevMatchPerFeatureKernels) {
  for (const std::size_t n : kItemCounts) {
    const Data d = randomData(n, 13, static_cast<unsigned>(n), false);
    for (const auto& [p, r] :
         {std::pair<Word, Word>{1, 1}, {2, 2}, {2, 1}, {3, 3}, {4, 2}, {7, 1}, {13, 2}}) {
      std::vector<double> slow(triangle::size(Word(n)), 0.0), fast(slow.size(), -1.0);
      for (std::size_t k = 0; k < d.features; ++k) proacc_power(d.feature(k), slow, p);
      proroot(slow, r);
      prosweep_power(d.view(), fast, p, r, kNoTick);
      EXPECT_EQ(fast, slow) << "n=" << n << " p=" << p << " r=" << r;
    }
    std::vector<double> slow(triangle::size(Word(n)), 0.0), fast(slow.size(), -1.0);
    for (std::size_t k = 0; k < d.features; ++k) proacc_max(d.feature(k), slow);
    prosweep_max(d.view(), fast, kNoTick);
    EXPECT_EQ(fast, slow) << "n=" << n;
  }
}

TEST(StoredSweep, CosineAndCorrelationMatchPerFeatureKernels) {
  for (const std::size_t n : kItemCounts) {
    Data d = randomData(n, 11, static_cast<unsigned>(n + 100), false);
    // An item of zeros has no norm and no variance: 0 with everyone.
    if (n > 3) {
      for (std::size_t k = 0; k < d.features; ++k) d.values[k * d.stride + 2] = 0.0;
    }
    std::vector<double> slowT(triangle::size(Word(n)), 0.0), fastT(slowT.size(), -1.0);
    std::vector<double> slowG(n, 0.0), fastG(n, 0.0);
    for (std::size_t k = 0; k < d.features; ++k) proacc_cross(d.feature(k), slowT, slowG);
    pronormalize(slowT, slowG);
    prosweep_cosine(d.view(), fastT, fastG, kNoTick);
    EXPECT_EQ(fastT, slowT) << n;
    EXPECT_EQ(fastG, slowG) << n;

    std::fill(slowT.begin(), slowT.end(), 0.0);
    std::fill(fastT.begin(), fastT.end(), -1.0);
    std::vector<double> slowU(n, 0.0), fastU(n, 0.0), scratch(n);
    std::fill(slowG.begin(), slowG.end(), 0.0);
    std::fill(fastG.begin(), fastG.end(), 0.0);
    double m = 0.0;
    for (std::size_t k = 0; k < d.features; ++k) {
      proacc_centered(d.feature(k), slowT, m, slowU, slowG, scratch);
    }
    pronormalize(slowT, slowG);
    EXPECT_EQ(prosweep_correlation(d.view(), fastT, fastU, fastG, kNoTick), m);
    EXPECT_EQ(fastT, slowT) << n;
    EXPECT_EQ(fastG, slowG) << n;
    EXPECT_EQ(fastU, slowU) << n;
  }
}

// Compares element by element so that system-missing and NaN-free values
// are both checked bit for bit.
void expectSameBits(const std::vector<double>& fast, const std::vector<double>& slow,
                    const std::string& what) {
  ASSERT_EQ(fast.size(), slow.size()) << what;
  for (std::size_t k = 0; k < fast.size(); ++k) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(fast[k]), std::bit_cast<std::uint64_t>(slow[k]))
        << what << " at " << k << ": " << fast[k] << " vs " << slow[k];
  }
}

TEST(StoredSweep, BinaryMeasuresMatchCountingThenFinishing) {
  testing_host::attach();  // the finishing step asks the host for system-missing
  // 200 features take the path without a table of measures.
  for (const std::size_t features : {3, 64, 65, 130, 200}) {
    const std::size_t n = features == 64 ? 70 : 21;
    const Data d = randomData(n, features, static_cast<unsigned>(features), true);
    for (Word code = 10; code <= 36; ++code) {
      std::vector<double> slowT(triangle::size(Word(n)), 0.0), fastT(slowT.size(), -1.0);
      std::vector<double> slowG(n, 0.0), fastG(n, -1.0);
      std::vector<Logical> flags(n);
      for (std::size_t k = 0; k < features; ++k) {
        proacc_binary(d.feature(k), slowT, slowG, 1, flags);
      }
      profinish_binary(slowT, slowG, static_cast<Word>(features), code);
      prosweep_binary(d.view(), fastT, fastG, 1, code, kNoTick);
      const std::string what = "F=" + std::to_string(features) + " code=" + std::to_string(code);
      expectSameBits(fastT, slowT, what);
      expectSameBits(fastG, slowG, what);
    }
  }
}

// Features handed over one at a time (VIEW=VARIABLE) are added to the pairs
// in blocks; every interval family must still give the per-feature kernels'
// results, for feature counts below, at and across a block's size.
TEST(StoredSweep, FeaturesAddedInBlocksMatchPerFeatureKernels) {
  for (const std::size_t n : {1, 2, 9, 23}) {
    for (const std::size_t features : {1, 15, 16, 17, 40}) {
      const Data d = randomData(n, features, static_cast<unsigned>(n * 100 + features), false);
      for (Word code = 1; code <= 7; ++code) {
        const Word p = code == 3 ? 3 : 0;  // Minkowski(3); the others have fixed parameters
        const Word r = code == 3 ? 3 : 0;
        std::vector<double> fastT(triangle::size(Word(n)), -1.0), fastG(n, 0.0), fastU(n, -1.0);
        FamilyPass pass(code, p, r, FamilyArrays{fastT, fastG, fastU, {}, {}});
        pass.start();
        for (std::size_t k = 0; k < features; ++k) pass.add(d.feature(k));
        pass.finish(static_cast<Word>(features));

        std::vector<double> slowT(fastT.size(), 0.0), slowG(n, 0.0), slowU(n, 0.0), scratch(n);
        double m = 0.0;
        const auto [power, root] = FamilyPass::powerParameters(code, p, r);
        for (std::size_t k = 0; k < features; ++k) {
          switch (pass.family()) {
            case Family::Power:
              proacc_power(d.feature(k), slowT, power);
              break;
            case Family::Chebychev:
              proacc_max(d.feature(k), slowT);
              break;
            case Family::Cosine:
              proacc_cross(d.feature(k), slowT, slowG);
              break;
            default:
              proacc_centered(d.feature(k), slowT, m, slowU, slowG, scratch);
          }
        }
        if (pass.family() == Family::Power) proroot(slowT, root);
        if (pass.family() == Family::Cosine || pass.family() == Family::Correlation) {
          pronormalize(slowT, slowG);
        }
        const std::string what = "n=" + std::to_string(n) + " F=" + std::to_string(features) +
                                 " code=" + std::to_string(code);
        expectSameBits(fastT, slowT, what);
        expectSameBits(fastG, slowG, what);
        if (pass.family() == Family::Correlation) {
          expectSameBits(fastU, slowU, what);
          EXPECT_EQ(pass.featuresSeen(), m) << what;
        }
      }
    }
  }
}

TEST(StoredSweep, TicksOncePerFeature) {
  testing_host::attach();
  const Data d = randomData(140, 17, 3, false);
  int ticks = 0;
  std::vector<double> t(triangle::size(140), 0.0);
  prosweep_power(d.view(), t, 2, 2, [&ticks] { ++ticks; });
  EXPECT_EQ(ticks, 17);
  ticks = 0;
  std::vector<double> g(140, 0.0);
  prosweep_binary(d.view(), t, g, 1, 12, [&ticks] { ++ticks; });
  EXPECT_EQ(ticks, 17);
}

}  // namespace
