// Number text both ways: the values that texts read as and the texts that
// values are written as, checked against Python's float() and repr() (their
// bit patterns taken with struct.pack), and a round trip over random bit
// patterns, subnormals included.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "engine/core/shortest_number.h"
#include "engine/data/number_text.h"

namespace {

using engine::data::formatNumber;
using engine::data::isNumber;
using engine::data::parseNumber;

std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }

TEST(NumberText, ReadsTextsAsPythonsFloatDoes) {
  const struct {
    const char* text;
    std::uint64_t bits;
  } cases[] = {
      {"0.1", 0x3fb999999999999a},
      {"1e5", 0x40f86a0000000000},
      {".5", 0x3fe0000000000000},
      {"5.", 0x4014000000000000},
      {"1e+05", 0x40f86a0000000000},
      {"-.5", 0xbfe0000000000000},
      {"+2.5", 0x4004000000000000},
      {" 7 ", 0x401c000000000000},
      {"12345678901234567", 0x4345ee2a2eb5a5c4},
      {"0.12345678901234567", 0x3fbf9add3746f65e},
      {"9007199254740993", 0x4340000000000000},  // halfway: rounds to even
      {"2.2250738585072011e-308", 0x000fffffffffffff},
      {"4.9406564584124654e-324", 0x0000000000000001},
      {"1.7976931348623157e308", 0x7fefffffffffffff},
      {"123456789012345678901234567890", 0x45f8ee90ff6c373e},
      {"1e-5", 0x3ee4f8b588e368f1},
  };
  for (const auto& c : cases) {
    const auto value = parseNumber(c.text);
    ASSERT_TRUE(value.has_value()) << c.text;
    EXPECT_EQ(bitsOf(*value), c.bits) << c.text;
    EXPECT_TRUE(isNumber(c.text)) << c.text;
  }
}

TEST(NumberText, RejectsWhatIsNoFiniteNumber) {
  for (const char* text : {"", " ", "+", "-", ".", "e5", "1e", "1e+", "+-1", "12abc", "1d5", "0x10",
                           "inf", "-inf", "nan", "1e400", "1,5", "1 2", "--1"}) {
    EXPECT_FALSE(parseNumber(text).has_value()) << text;
    EXPECT_FALSE(isNumber(text)) << text;
  }
}

TEST(NumberText, WritesTheShortestTextAsPythonsReprDoes) {
  const struct {
    std::uint64_t bits;
    const char* text;
  } cases[] = {
      {0x0000000000000001, "5e-324"},
      {0x000fffffffffffff, "2.225073858507201e-308"},
      {0x8010000000000000, "-2.2250738585072014e-308"},  // the longest text
      {0x7fefffffffffffff, "1.7976931348623157e+308"},
      {0x3fb999999999999a, "0.1"},
      {0x44b52d02c7e14af6, "1e+23"},
      {0x4341c37937e08000, "1e+16"},
      {0xbfe0000000000000, "-0.5"},
  };
  for (const auto& c : cases) {
    const double value = std::bit_cast<double>(c.bits);
    EXPECT_EQ(formatNumber(value), c.text);
    std::string text = "x";
    engine::appendShortestNumber(text, value);
    EXPECT_EQ(text, std::string("x") + c.text);
  }
}

TEST(NumberText, EveryFiniteDoubleReadsBackFromItsText) {
  std::mt19937_64 random(20261207);
  for (int k = 0; k < 200000; ++k) {
    std::uint64_t bits = random();
    if (k % 4 == 0) bits &= 0x800fffffffffffff;  // subnormal (or zero)
    const double value = std::bit_cast<double>(bits);
    if (!std::isfinite(value)) continue;
    const std::string text = formatNumber(value);
    ASSERT_LE(text.size(), engine::kShortestNumberChars);
    const auto back = parseNumber(text);
    ASSERT_TRUE(back.has_value()) << text;
    ASSERT_EQ(bitsOf(*back), bits) << text;
  }
}

}  // namespace
