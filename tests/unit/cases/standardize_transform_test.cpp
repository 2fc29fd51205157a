// Standardization of one vector (each method and its degenerate cases), the
// factors of standardization by variable, and the transformations of a
// finished triangle with their effect on direction and footnote state.
#include <gtest/gtest.h>

#include <vector>

#include "cases/standardize_by_case.h"
#include "cases/standardize_by_variable.h"
#include "host/host.h"
#include "measures/transform.h"
#include "proc/options.h"
#include "tests/unit/support/test_host.h"

namespace {

class Standardize : public ::testing::Test {
 protected:
  void SetUp() override { testing_host::attach(); }
  static std::vector<double> run(std::vector<double> x, Word method) {
    prostc(x, method);
    return x;
  }
};

void expectNear(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-15) << i;
}

TEST_F(Standardize, ZScores) {
  expectNear(run({1, 2, 3}, 1), {-1, 0, 1});
  expectNear(run({5}, 1), {5});  // a single value is left alone
  expectNear(run({4, 4, 4}, 1), {0, 0, 0});
}

TEST_F(Standardize, StandardDeviationRangeMaximum) {
  expectNear(run({2, 4, 6}, 2), {1, 2, 3});
  expectNear(run({7}, 2), {7});
  expectNear(run({3, 3}, 2), {3, 3});
  expectNear(run({2, 4, 6}, 3), {0.5, 1, 1.5});
  expectNear(run({3, 3}, 3), {3, 3});
  expectNear(run({1, 2, 4}, 4), {0.25, 0.5, 1});
  expectNear(run({-4, -2, 0}, 4), {0, 0.5, 1});
  expectNear(run({-4, -2}, 4), {2, 1});
  expectNear(run({0, 0}, 4), {0, 0});
}

TEST_F(Standardize, MeanRescaleAndOtherMethods) {
  expectNear(run({1, 3}, 5), {0.5, 1.5});
  expectNear(run({-1, 1}, 5), {0, 2});
  expectNear(run({2, 4, 6}, 6), {0, 0.5, 1});
  expectNear(run({7, 7}, 6), {0.5, 0.5});
  expectNear(run({1, 9}, 0), {1, 9});
  expectNear(run({1, 9}, 7), {1, 9});
}

TEST_F(Standardize, EmptyVectorIsReportedAndUnchanged) {
  std::vector<double> none;
  prostc(none, 1);  // reaches the host's assertion; must not crash
  EXPECT_TRUE(none.empty());
}

TEST_F(Standardize, ApplyingFactorsOfAVariable) {
  std::vector<double> x = {1, 2, 3};
  const std::vector<double> location = {2, 0, 0.5};
  const std::vector<double> scale = {1, 2, 0};
  proapply_std(x, location, scale, 1);  // Z: (x - L) * S
  expectNear(x, {-1, 4, 0});
  x = {1, 2, 3};
  proapply_std(x, location, scale, 6);  // others: x * S + L
  expectNear(x, {3, 4, 0.5});
}

class Transform : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_host::attach();
    ProxOptions& o = options();
    o.absolute = o.reverse = o.rescale = o.matrixIn = o.inputReversed = kFalse;
    o.absoluteValues = kFalse;
    o.direction = 1;
  }
  static double missing() { return host::systemMissing(); }
};

TEST_F(Transform, AbsoluteOfMixedSignsMarksAbsoluteValues) {
  ProxOptions& o = options();
  o.absolute = kTrue;
  o.direction = -1;
  std::vector<double> t = {-0.5, 0.25, missing()};
  protransform(t);
  EXPECT_EQ(t, (std::vector<double>{0.5, 0.25, missing()}));
  EXPECT_TRUE(isTrue(o.absoluteValues));
  EXPECT_EQ(o.direction, -1);
}

TEST_F(Transform, AbsoluteOfAllNegativeFlipsDirection) {
  ProxOptions& o = options();
  o.absolute = kTrue;
  o.direction = -1;
  std::vector<double> t = {-0.5, -0.25};
  protransform(t);
  EXPECT_FALSE(isTrue(o.absoluteValues));
  EXPECT_EQ(o.direction, 1);
  // An empty triangle finds no negative entry and keeps the direction.
  std::vector<double> empty;
  protransform(empty);
  EXPECT_EQ(o.direction, 1);
}

TEST_F(Transform, ReverseAndRescale) {
  ProxOptions& o = options();
  o.reverse = kTrue;
  o.rescale = kTrue;
  std::vector<double> t = {2, 4, 6, missing()};
  protransform(t);
  // Reversed: -2, -4, -6; rescaled from the smallest (-6) to the largest (-2).
  expectNear({t[0], t[1], t[2]}, {1, 0.5, 0});
  EXPECT_EQ(t[3], missing());
  EXPECT_EQ(o.direction, -1);
}

TEST_F(Transform, RescaleOfEqualEntriesGivesZeros) {
  options().rescale = kTrue;
  std::vector<double> t = {3, 3, 3};
  protransform(t);
  EXPECT_EQ(t, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(options().direction, 1);
}

TEST_F(Transform, ReversedInputMatrix) {
  ProxOptions& o = options();
  o.matrixIn = kTrue;
  o.inputReversed = kTrue;
  std::vector<double> t = {1.5};
  protransform(t);  // values kept, direction negated once
  EXPECT_EQ(t[0], 1.5);
  EXPECT_EQ(o.direction, -1);
  o.direction = 1;
  o.reverse = kTrue;
  protransform(t);  // reversing a reversed input: values negated, direction kept
  EXPECT_EQ(t[0], -1.5);
  EXPECT_EQ(o.direction, 1);
}

}  // namespace
