// The interval kernels against a plain per-pair computation of the same
// formulas. Where the formula fixes the order of operations (the power sums,
// the root, cosine, Chebychev) the results must agree to the last bit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "measures/interval.h"
#include "measures/triangle.h"

namespace {

// items x features, stored feature by feature (one vector per feature).
using Features = std::vector<std::vector<double>>;

Features randomFeatures(std::size_t items, std::size_t features, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(0.0, 3.0);
  Features f(features, std::vector<double>(items));
  for (auto& feature : f) {
    for (double& v : feature) v = normal(rng);
  }
  return f;
}

double powerReference(const Features& f, std::size_t i, std::size_t j, Word p, Word r) {
  double s = 0.0;
  for (const auto& x : f) s += prointeger_power(x[i] - x[j], p);
  if (r <= 1) return s;
  return s > 0.0 ? portable::exp2(portable::log2(s) / static_cast<double>(r)) : 0.0;
}

std::vector<double> runPower(const Features& f, Word p, Word r) {
  const Word n = static_cast<Word>(f[0].size());
  std::vector<double> t(static_cast<std::size_t>(triangle::size(n)), 0.0);
  for (const auto& x : f) proacc_power(x, t, p);
  proroot(t, r);
  return t;
}

TEST(PowerDistances, MatchPerPairSumsBitForBit) {
  const Features f = randomFeatures(23, 17, 1);
  const std::pair<Word, Word> cases[] = {{2, 2}, {2, 1}, {1, 1},   {3, 3},   {4, 2},
                                         {5, 5}, {7, 3}, {12, 12}, {13, 13}, {3, 1}};
  for (const auto& [p, r] : cases) {
    const auto t = runPower(f, p, r);
    for (std::size_t i = 1; i < f[0].size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        const double got = triangle::at(std::span<const double>(t), Word(i + 1), Word(j + 1));
        ASSERT_EQ(got, powerReference(f, i, j, p, r)) << "p=" << p << " r=" << r;
      }
    }
  }
}

TEST(PowerDistances, IntegerPowerAgreesWithPowAndKeepsSign) {
  for (Word p = 1; p <= 14; ++p) {
    for (const double d : {-2.5, -1.0, 0.0, 0.3, 1.7, 3.0}) {
      const double expected = std::pow(std::fabs(d), static_cast<double>(p));
      EXPECT_NEAR(prointeger_power(d, p), expected, 1e-14 * (1.0 + expected)) << p << " " << d;
      EXPECT_GE(prointeger_power(d, p), 0.0);
    }
  }
}

TEST(PowerDistances, EuclideanThreeFourFive) {
  const Features f = {{0.0, 3.0}, {0.0, 4.0}};
  const auto t = runPower(f, 2, 2);
  EXPECT_NEAR(t[0], 5.0, 1e-15);
  // Identical items: distance exactly 0 under the root.
  const auto same = runPower({{1.5, 1.5}, {-2.0, -2.0}}, 2, 2);
  EXPECT_EQ(same[0], 0.0);
  // City block (p = r = 1) and power with r = 1 are plain sums.
  EXPECT_EQ(runPower(f, 1, 1)[0], 7.0);
  EXPECT_EQ(runPower(f, 2, 1)[0], 25.0);
}

TEST(Chebychev, LargestAbsoluteDifference) {
  const Features f = randomFeatures(15, 9, 2);
  std::vector<double> t(triangle::size(15), 0.0);
  for (const auto& x : f) proacc_max(x, t);
  for (std::size_t i = 1; i < 15; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      double expected = 0.0;
      for (const auto& x : f) expected = std::max(expected, std::fabs(x[i] - x[j]));
      EXPECT_EQ(triangle::at(std::span<const double>(t), Word(i + 1), Word(j + 1)), expected);
    }
  }
}

TEST(Cosine, MatchesNormalisedCrossProducts) {
  const Features f = randomFeatures(12, 8, 3);
  std::vector<double> t(triangle::size(12), 0.0), g(12, 0.0);
  for (const auto& x : f) proacc_cross(x, t, g);
  pronormalize(t, g);
  for (std::size_t i = 1; i < 12; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      double cross = 0.0, si = 0.0, sj = 0.0;
      for (const auto& x : f) {
        cross += x[j] * x[i];
        si += x[i] * x[i];
        sj += x[j] * x[j];
      }
      const double expected = cross / std::sqrt(si) / std::sqrt(sj);
      EXPECT_EQ(triangle::at(std::span<const double>(t), Word(i + 1), Word(j + 1)), expected);
    }
  }
}

TEST(Correlation, UpdatingAlgorithmGivesPearson) {
  const Features f = randomFeatures(10, 40, 4);
  const std::size_t n = 10;
  std::vector<double> t(triangle::size(10), 0.0), g(n, 0.0), u(n, 0.0), scratch(n);
  double m = 0.0;
  for (const auto& x : f) proacc_centered(x, t, m, u, g, scratch);
  EXPECT_EQ(m, 40.0);
  // The running means are the means of the features seen.
  double mean0 = 0.0;
  for (const auto& x : f) mean0 += x[0];
  EXPECT_NEAR(u[0], mean0 / 40.0, 1e-12);
  pronormalize(t, g);
  for (std::size_t i = 1; i < n; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      double mi = 0.0, mj = 0.0;
      for (const auto& x : f) {
        mi += x[i];
        mj += x[j];
      }
      mi /= 40.0;
      mj /= 40.0;
      double sij = 0.0, sii = 0.0, sjj = 0.0;
      for (const auto& x : f) {
        sij += (x[i] - mi) * (x[j] - mj);
        sii += (x[i] - mi) * (x[i] - mi);
        sjj += (x[j] - mj) * (x[j] - mj);
      }
      EXPECT_NEAR(triangle::at(std::span<const double>(t), Word(i + 1), Word(j + 1)),
                  sij / std::sqrt(sii * sjj), 1e-12);
    }
  }
}

TEST(Correlation, ConstantItemCorrelatesZeroWithEveryone) {
  const Features f = {{1.0, 5.0, 2.0}, {2.0, 5.0, 4.0}, {3.0, 5.0, 6.0}};
  std::vector<double> t(3, 0.0), g(3, 0.0), u(3, 0.0), scratch(3);
  double m = 0.0;
  for (const auto& x : f) proacc_centered(x, t, m, u, g, scratch);
  pronormalize(t, g);
  EXPECT_EQ(t[0], 0.0);           // items 2 and 1: item 2 is constant
  EXPECT_NEAR(t[1], 1.0, 1e-15);  // items 3 and 1: proportional
  EXPECT_EQ(t[2], 0.0);           // items 3 and 2
  EXPECT_EQ(g[1], 0.0);           // a zero sum is left as it is
}

TEST(Cosine, ZeroVectorGivesZeroNotMissing) {
  std::vector<double> t(1, 0.0), g(2, 0.0);
  proacc_cross(std::vector<double>{0.0, 2.0}, t, g);
  pronormalize(t, g);
  EXPECT_EQ(t[0], 0.0);
}

TEST(Root, NonPositiveSumsBecomeZero) {
  std::vector<double> t = {0.0, -1.0, 16.0, std::nan("")};
  proroot(t, 2);
  EXPECT_EQ(t[0], 0.0);
  EXPECT_EQ(t[1], 0.0);
  EXPECT_EQ(t[2], 4.0);
  EXPECT_EQ(t[3], 0.0);
  std::vector<double> unchanged = {-3.0};
  proroot(unchanged, 1);
  EXPECT_EQ(unchanged[0], -3.0);
}

}  // namespace
