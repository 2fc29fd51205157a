#include "engine/data/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "engine/core/shortest_number.h"

namespace engine::data {

namespace {

bool isBlankChar(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;
// 15 digits make a whole number below 2^53, which a double holds exactly.
constexpr std::ptrdiff_t kMostExactDigits = 15;
constexpr std::uint64_t kWholePowersOfTen[] = {1,      10,      100,      1000,     10000,
                                               100000, 1000000, 10000000, 100000000};

// Runs of digits are read eight bytes at a time, as one word whose lowest
// byte is the first character: a loop with a branch per digit mispredicts
// where each run ends, and on data files that costs more than all the
// arithmetic of reading the number.
std::uint64_t loadWord(const char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The eight bytes from p on, zero for those at or past the end. Reads only
// within [first, end): near the end of a text of eight bytes or more it reads
// its last eight and shifts the bytes before p out.
std::uint64_t wordAt(const char* p, const char* first, const char* end) {
  const std::ptrdiff_t left = end - p;
  if (left >= 8) return loadWord(p);
  if (left <= 0) return 0;
  if (end - first >= 8) return loadWord(end - 8) >> (8 * (8 - left));
  std::uint64_t word = 0;
  for (std::ptrdiff_t k = left - 1; k >= 0; --k) {
    word = (word << 8) | static_cast<unsigned char>(p[k]);
  }
  return word;
}

// How many bytes of the word, from the lowest on, are the digits 0 to 9. A
// byte is a digit when its high nibble is 3 and stays 3 once 6 is added
// (0x30 to 0x39, not 0x3A to 0x3F). A carry out of a byte only disturbs the
// bytes above it, which come after the first byte that is not a digit.
int leadingDigitCount(std::uint64_t word) {
  constexpr std::uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0;
  constexpr std::uint64_t kSixes = 0x0606060606060606;
  constexpr std::uint64_t kThrees = 0x3333333333333333;
  const std::uint64_t notDigits =
      ((word & kHighNibbles) | (((word + kSixes) & kHighNibbles) >> 4)) ^ kThrees;
  return std::countr_zero(notDigits) / 8;
}

// The whole number the first n (1 to 8) digit bytes of the word spell.
std::uint64_t digitsValue(std::uint64_t word, int n) {
  // Digit values in every byte; the bytes after the digits are shifted out,
  // leaving zero bytes in front, which read as leading zeros.
  word = (word - 0x3030303030303030) << (8 * (8 - n));
  // Pairs of digits, then groups of four, then all eight, each step
  // multiplying the higher part by its power of ten.
  word = word * 10 + (word >> 8);
  constexpr std::uint64_t kPairs = 0x000000FF000000FF;
  constexpr std::uint64_t kTimes100And1000000 = 100 + (1000000ULL << 32);
  constexpr std::uint64_t kTimes1And10000 = 1 + (10000ULL << 32);
  word = ((word & kPairs) * kTimes100And1000000 + ((word >> 16) & kPairs) * kTimes1And10000) >> 32;
  return word & 0xFFFFFFFF;
}

// The end of the run of digits at p.
const char* skipDigits(const char* p, const char* first, const char* end) {
  for (;;) {
    const int n = leadingDigitCount(wordAt(p, first, end));
    p += n;
    if (n < 8) return p;
  }
}

// The run of digits at p added to `whole` (which is meaningless once the
// run holds more than 19 digits); returns the end of the run. Inlined, as
// it runs for every number of a data file.
[[gnu::always_inline]] inline const char* takeDigits(const char* p, const char* first,
                                                     const char* end, std::uint64_t& whole) {
  for (;;) {
    const std::uint64_t word = wordAt(p, first, end);
    const int n = leadingDigitCount(word);
    if (n == 0) return p;
    whole = whole * kWholePowersOfTen[n] + digitsValue(word, n);
    p += n;
    if (n < 8) return p;
  }
}

// An exponent of one or two digits after 'e' and its sign; false for none.
bool takeShortExponent(const char*& p, const char* end, int& exponent) {
  const bool negative = p != end && *p == '-';
  if (p != end && (*p == '+' || *p == '-')) ++p;
  if (p == end || !isDigit(*p)) return false;
  exponent = *p++ - '0';
  if (p != end && isDigit(*p)) exponent = exponent * 10 + (*p++ - '0');
  if (negative) exponent = -exponent;
  return true;
}

// The readers below for a decimal point or a decimal comma: Point is the
// character that starts the fraction.
template <char Point>
std::size_t readDecimalPrefixWith(std::string_view text, double& value) {
  const char* first = text.data();
  const char* end = first + text.size();
  const char* p = first;
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  std::uint64_t whole = 0;
  const char* firstDigit = p;
  p = takeDigits(p, first, end, whole);
  std::ptrdiff_t digits = p - firstDigit;
  int scale = 0;
  if (digits == 0) return 0;
  if (p != end && *p == Point) {
    const char* firstDecimal = ++p;
    p = takeDigits(p, first, end, whole);
    if (p == firstDecimal) return 0;
    digits += p - firstDecimal;
    scale = -static_cast<int>(p - firstDecimal);
  }
  if (digits > kMostExactDigits) return 0;
  if (p != end && (*p == 'e' || *p == 'E')) {
    int exponent = 0;
    if (!takeShortExponent(++p, end, exponent)) return 0;
    scale += exponent;
  }
  if (scale < -kLargestExactPower || scale > kLargestExactPower) return 0;
  // The whole number (below 2^53) and the power of ten are exact, so one
  // multiplication or division, rounded as IEEE arithmetic rounds, gives the
  // correctly rounded value: the very double from_chars gives, only faster.
  double result = static_cast<double>(static_cast<std::int64_t>(whole));
  if (scale < 0) result /= kExactPowersOfTen[-scale];
  if (scale > 0) result *= kExactPowersOfTen[scale];
  value = negative ? -result : result;
  return static_cast<std::size_t>(p - first);
}

template <char Point>
std::size_t numberShapePrefixWith(std::string_view text) {
  const char* first = text.data();
  const char* end = first + text.size();
  const char* p = first;
  if (p != end && (*p == '-' || *p == '+')) ++p;
  const char* firstDigit = p;
  p = skipDigits(p, first, end);
  if (p == firstDigit) return 0;
  if (p != end && *p == Point) {
    const char* firstDecimal = ++p;
    p = skipDigits(p, first, end);
    if (p == firstDecimal) return 0;
  }
  if (p != end && (*p == 'e' || *p == 'E')) {
    int exponent = 0;
    if (!takeShortExponent(++p, end, exponent)) return 0;
  }
  // Within 200 characters the digits and the exponent bound the value to
  // zero or 1e-299 to 1e299, far from overflow and underflow.
  const auto length = static_cast<std::size_t>(p - first);
  return length <= 200 ? length : 0;
}

// The number text with its decimal comma made a point, in `copy`; false when
// the text holds a point (which a decimal comma leaves no place for) or more
// than one comma.
bool withDecimalPoint(std::string_view text, std::string& copy) {
  if (text.find('.') != std::string_view::npos) return false;
  const std::size_t comma = text.find(',');
  if (comma != std::string_view::npos && text.find(',', comma + 1) != std::string_view::npos) {
    return false;
  }
  copy.assign(text);
  if (comma != std::string_view::npos) copy[comma] = '.';
  return true;
}

}  // namespace

std::size_t readDecimalPrefix(std::string_view text, double& value) {
  return readDecimalPrefixWith<'.'>(text, value);
}
std::size_t readDecimalCommaPrefix(std::string_view text, double& value) {
  return readDecimalPrefixWith<','>(text, value);
}
std::size_t numberShapePrefix(std::string_view text) { return numberShapePrefixWith<'.'>(text); }
std::size_t decimalCommaShapePrefix(std::string_view text) {
  return numberShapePrefixWith<','>(text);
}

bool readNumber(std::string_view text, double& value) {
  text = trimBlanks(text);
  // from_chars rejects a leading '+', which people do write; "+-1" stays bad.
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  if (text.empty()) return false;
  // from_chars alone: exact for any number of digits. Trying the 15-digit
  // path of readDecimalPrefix first gained a tenth on short numbers and
  // lost half on long ones, which it scans only to give up on
  // (bench/number_bench.cpp).
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool isNumber(std::string_view text) {
  double value = 0.0;
  text = trimBlanks(text);
  return (!text.empty() && numberShapePrefix(text) == text.size()) || readNumber(text, value);
}

bool readDecimalCommaNumber(std::string_view text, double& value) {
  std::string copy;
  return withDecimalPoint(text, copy) && readNumber(copy, value);
}

bool isDecimalCommaNumber(std::string_view text) {
  double value = 0.0;
  return readDecimalCommaNumber(text, value);
}

std::optional<double> parseNumber(std::string_view text) {
  double value = 0.0;
  if (!readNumber(text, value)) return std::nullopt;
  return value;
}

std::string formatNumber(double value) { return shortestNumber(value); }

std::string countOf(std::int64_t count, std::string_view singular, std::string_view plural) {
  std::string text = std::to_string(count);
  text += ' ';
  text += count == 1 ? singular : plural;
  return text;
}

}  // namespace engine::data
