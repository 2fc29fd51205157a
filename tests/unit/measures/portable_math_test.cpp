// The portable log2, exp2 and integer power against long double references:
// within one unit in the last place, exact where the exact value is a
// double, and the root step built on them keeps its rules for zero, NaN and
// infinity.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "measures/interval.h"
#include "measures/portable_math.h"

namespace {

// |got - want| in units of the last place of the double nearest want.
double ulpsOff(double got, long double want) {
  const double nearest = static_cast<double>(want);
  const double ulp = std::nextafter(std::fabs(nearest), std::numeric_limits<double>::infinity()) -
                     std::fabs(nearest);
  return static_cast<double>(std::fabs(static_cast<long double>(got) - want)) / ulp;
}

TEST(PortableMath, Log2WithinOneUlpOverTheWholeRange) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> exponent(-1074.0, 1023.0);
  std::uniform_real_distribution<double> nearOne(0.5, 2.0);
  double worst = 0.0;
  for (int k = 0; k < 200000; ++k) {
    // Subnormals, huge values and the hard region around 1, where log2 is small.
    for (const double s : {std::exp2(exponent(rng)), nearOne(rng)}) {
      if (!(s > 0.0) || std::isinf(s) || s == 1.0) continue;
      worst = std::max(worst, ulpsOff(portable::log2(s), std::log2(static_cast<long double>(s))));
    }
  }
  EXPECT_LT(worst, 1.0);
  EXPECT_EQ(portable::log2(std::numeric_limits<double>::denorm_min()), -1074.0);
  EXPECT_EQ(portable::log2(std::numeric_limits<double>::max()), 1024.0);
}

TEST(PortableMath, Exp2WithinOneUlpAndExactOnWholeNumbers) {
  std::mt19937_64 rng(12);
  std::uniform_real_distribution<double> y(-999.0, 999.0);
  std::uniform_real_distribution<double> small(-1.0, 1.0);
  double worst = 0.0;
  for (int k = 0; k < 200000; ++k) {
    for (const double v : {y(rng), small(rng)}) {
      worst = std::max(worst, ulpsOff(portable::exp2(v), std::exp2(static_cast<long double>(v))));
    }
  }
  EXPECT_LT(worst, 1.0);
  for (int n = -1000; n <= 999; ++n) {
    EXPECT_EQ(portable::exp2(n), std::ldexp(1.0, n)) << n;
    EXPECT_EQ(portable::log2(std::ldexp(1.0, n)), n) << n;
  }
}

TEST(PortableMath, IntegerPowerAboveTwelveIsCloseToTheExactPower) {
  for (const Word p : {13, 17, 31, 64, 100}) {
    for (const double a : {0.0, 0.5, 1.0, 1.1, 2.0, 3.7}) {
      const long double exact = std::pow(static_cast<long double>(a), static_cast<long double>(p));
      const double got = portable::integer_power(a, p);
      if (exact == 0.0L) {
        EXPECT_EQ(got, 0.0);
        continue;
      }
      // Each squaring doubles the relative error so far and adds half an
      // ulp: p - 1 half-ulps at most.
      EXPECT_LT(ulpsOff(got, exact), static_cast<double>(p)) << a << "^" << p;
    }
  }
  EXPECT_EQ(portable::integer_power(2.0, 40), std::ldexp(1.0, 40));
}

TEST(PortableMath, RootStepRules) {
  std::vector<double> t = {0.0,
                           -4.0,
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           25.0,
                           16.0,
                           1e-320};
  proroot(t, 2);
  EXPECT_EQ(t[0], 0.0);  // zero and negative sums give 0
  EXPECT_EQ(t[1], 0.0);
  EXPECT_EQ(t[2], 0.0);  // so does a sum that is not a number
  EXPECT_EQ(t[3], std::numeric_limits<double>::infinity());
  EXPECT_NEAR(t[4], 5.0, 5.0 * 4e-16);
  EXPECT_EQ(t[5], 4.0);  // 2^(4/2): exact through the power of two
  // log2 of a subnormal is about -1063, whose last place is 2^-42: the
  // root through 2^(log2(s)/2) is only as close as that allows.
  EXPECT_NEAR(t[6], std::sqrt(1e-320), 1e-13 * std::sqrt(1e-320));
}

}  // namespace
