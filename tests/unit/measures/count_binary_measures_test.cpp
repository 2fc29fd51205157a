// Chi-square against Pearson's statistic computed independently, and the
// binary measures on 2 x 2 tables whose answers are known by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "host/host.h"
#include "measures/binary.h"
#include "measures/counts.h"
#include "tests/unit/support/test_host.h"

namespace {

class CountsAndBinary : public ::testing::Test {
 protected:
  void SetUp() override { testing_host::attach(); }
  static double missing() { return host::systemMissing(); }
};

// Pearson's chi-square of the 2 x F table with rows u and v, from expected counts.
double pearson(const std::vector<double>& u, const std::vector<double>& v) {
  double ru = 0.0, rv = 0.0;
  for (std::size_t k = 0; k < u.size(); ++k) {
    ru += u[k];
    rv += v[k];
  }
  const double total = ru + rv;
  double chi = 0.0;
  for (std::size_t k = 0; k < u.size(); ++k) {
    const double column = u[k] + v[k];
    if (column == 0.0) continue;
    const double eu = ru * column / total, ev = rv * column / total;
    chi += (u[k] - eu) * (u[k] - eu) / eu + (v[k] - ev) * (v[k] - ev) / ev;
  }
  return chi;
}

std::vector<double> chisqTriangle(const std::vector<std::vector<double>>& items, Word code) {
  const std::size_t n = items.size(), f = items[0].size();
  std::vector<double> t(n * (n - 1) / 2, 0.0), b(t.size(), 0.0), g(n, 0.0);
  for (std::size_t k = 0; k < f; ++k) {
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = items[i][k];
    proacc_chisq(x, t, b, g);
  }
  profinish_chisq(t, b, g, static_cast<Word>(f), code);
  for (const double total : g) EXPECT_EQ(total, 0.0);
  return t;
}

TEST_F(CountsAndBinary, ChiSquareIsRootOfPearsonStatistic) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> count(0, 30);
  std::vector<std::vector<double>> items(6, std::vector<double>(5));
  for (auto& item : items) {
    for (double& c : item) c = count(rng);
  }
  items[2][1] = 0.0;
  items[4][1] = 0.0;  // a column both items of a pair lack
  const auto chi = chisqTriangle(items, 8);
  const auto phi = chisqTriangle(items, 9);
  std::size_t pair = 0;
  for (std::size_t i = 1; i < items.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j, ++pair) {
      const double statistic = pearson(items[i], items[j]);
      double total = 0.0;
      for (std::size_t k = 0; k < 5; ++k) total += items[i][k] + items[j][k];
      EXPECT_NEAR(chi[pair], std::sqrt(statistic), 1e-12 * (1.0 + chi[pair]));
      EXPECT_NEAR(phi[pair], std::sqrt(statistic / total), 1e-12);
    }
  }
}

TEST_F(CountsAndBinary, ChiSquareOfProportionalOrEmptyItemsIsZero) {
  const auto t = chisqTriangle({{2, 4, 6}, {1, 2, 3}, {0, 0, 0}}, 8);
  EXPECT_NEAR(t[0], 0.0, 1e-7);  // proportional frequencies
  EXPECT_EQ(t[1], 0.0);          // the empty item against the others
  EXPECT_EQ(t[2], 0.0);
}

TEST_F(CountsAndBinary, IdenticalProfilesWithBothValues) {
  // a = 3, b = c = 0, d = 2, n = 5.
  const double a = 3, d = 2, n = 5;
  EXPECT_DOUBLE_EQ(probinary_measure(10, a, 0, 0, d), a / n);
  for (const Word one : {11, 12, 13, 14, 15, 16, 19, 20, 21, 22, 23, 24, 25, 27, 28}) {
    EXPECT_DOUBLE_EQ(probinary_measure(one, a, 0, 0, d), 1.0) << one;
    EXPECT_EQ(probinary_measure(one, a, 0, 0, d), probinary_self(one, a, 0, 0, d)) << one;
  }
  EXPECT_EQ(probinary_measure(17, a, 0, 0, d), missing());
  EXPECT_EQ(probinary_measure(18, a, 0, 0, d), missing());
  EXPECT_DOUBLE_EQ(probinary_measure(26, a, 0, 0, d), 2.0 / 5.0);  // min(a, d) / n
  for (const Word zero : {29, 30, 31, 32, 33, 35, 36}) {
    EXPECT_EQ(probinary_measure(zero, a, 0, 0, d), 0.0) << zero;
  }
  EXPECT_DOUBLE_EQ(probinary_measure(34, a, 0, 0, d), a * d / (n * n));
  EXPECT_DOUBLE_EQ(probinary_self(26, a, 0, 0, d), 2.0 / 5.0);
  EXPECT_DOUBLE_EQ(probinary_self(34, a, 0, 0, d), 6.0 / 25.0);
  EXPECT_EQ(probinary_self(17, a, 0, 0, d), missing());
}

TEST_F(CountsAndBinary, ItemsThatNeverHaveThePresentValue) {
  const double d = 4;  // a = b = c = 0
  for (const Word undefined : {12, 14, 16, 17, 18, 19, 20, 22, 23, 24, 25, 27, 28, 36}) {
    EXPECT_EQ(probinary_measure(undefined, 0, 0, 0, d), missing()) << undefined;
  }
  EXPECT_EQ(probinary_measure(10, 0, 0, 0, d), 0.0);
  EXPECT_EQ(probinary_measure(26, 0, 0, 0, d), 0.0);
  for (const Word one : {11, 13, 15, 21}) EXPECT_EQ(probinary_measure(one, 0, 0, 0, d), 1.0);
  for (const Word zero : {29, 30, 31, 32, 33, 34, 35}) {
    EXPECT_EQ(probinary_measure(zero, 0, 0, 0, d), 0.0) << zero;
  }
  // No feature at all: everything is missing, the diagonal too.
  EXPECT_EQ(probinary_measure(11, 0, 0, 0, 0), missing());
  EXPECT_EQ(probinary_self(11, 0, 0, 0, 0), missing());
}

TEST_F(CountsAndBinary, DisjointProfilesAndAGeneralTable) {
  // Disjoint: a = 0, b = 2, c = 3, d = 1.
  EXPECT_EQ(probinary_measure(12, 0, 2, 3, 1), 0.0);
  EXPECT_DOUBLE_EQ(probinary_measure(29, 0, 2, 3, 1), std::sqrt(5.0));
  EXPECT_EQ(probinary_measure(32, 0, 2, 3, 1), 5.0);
  EXPECT_DOUBLE_EQ(probinary_measure(28, 0, 2, 3, 1), -1.0);
  // a = 4, b = 1, c = 2, d = 3, n = 10, worked by hand.
  const double a = 4, b = 1, c = 2, d = 3;
  EXPECT_DOUBLE_EQ(probinary_measure(14, a, b, c, d), 8.0 / 11.0);
  EXPECT_DOUBLE_EQ(probinary_measure(15, a, b, c, d), 7.0 / 13.0);
  EXPECT_DOUBLE_EQ(probinary_measure(17, a, b, c, d), 4.0 / 3.0);
  EXPECT_DOUBLE_EQ(probinary_measure(19, a, b, c, d), (4.0 / 5.0 + 4.0 / 6.0) / 2.0);
  EXPECT_DOUBLE_EQ(probinary_measure(24, a, b, c, d), 10.0 / std::sqrt(5.0 * 6.0 * 4.0 * 5.0));
  EXPECT_DOUBLE_EQ(probinary_measure(25, a, b, c, d), (14.0 - 11.0) / (20.0 - 11.0));
  EXPECT_DOUBLE_EQ(probinary_measure(26, a, b, c, d), 3.0 / 20.0);
  EXPECT_DOUBLE_EQ(probinary_measure(30, a, b, c, d), 1.0 / 100.0);
  EXPECT_DOUBLE_EQ(probinary_measure(33, a, b, c, d), (30.0 - 1.0) / 100.0);
  EXPECT_DOUBLE_EQ(probinary_measure(35, a, b, c, d), 3.0 / 40.0);
  EXPECT_DOUBLE_EQ(probinary_measure(36, a, b, c, d), 3.0 / 11.0);
}

TEST_F(CountsAndBinary, KernelCountsWholePartOfValues) {
  // Present value 1: 1.7 counts as present (integer part 1), 0.5 as absent.
  const std::vector<std::vector<double>> features = {{1.0, 1.7, 0.5}, {1.0, 0.0, 1.0}};
  std::vector<double> t(3, 0.0), g(3, 0.0);
  std::vector<Logical> flags(3);
  for (const auto& x : features) proacc_binary(x, t, g, 1, flags);
  EXPECT_EQ(g, (std::vector<double>{2, 1, 1}));
  EXPECT_EQ(t, (std::vector<double>{1, 1, 0}));  // (2,1), (3,1), (3,2)
  profinish_binary(t, g, 2, 12);                 // Jaccard
  EXPECT_DOUBLE_EQ(t[0], 0.5);                   // a = 1, b = 0, c = 1
  EXPECT_DOUBLE_EQ(t[2], 0.0);                   // a = 0, b = 1, c = 1
  EXPECT_EQ(g[0], 1.0);
}

}  // namespace
