#include "engine/data/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>

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

// The digits from p on, added to `whole`; returns the end of the digits.
const char* takeDigits(const char* p, const char* end, std::uint64_t& whole) {
  for (; p != end && isDigit(*p); ++p) whole = whole * 10 + static_cast<unsigned>(*p - '0');
  return p;
}

// Reads the everyday shape of a number, [-]digits[.digits][e[+-]dd], when
// its at most 15 digits make a whole number a double holds exactly and its
// scale is an exact power of ten: then one multiplication or division,
// rounded as IEEE arithmetic rounds, gives the correctly rounded value, the
// very double from_chars gives, only faster. Anything else: false, and the
// caller parses the text in full.
bool readEverydayDecimal(std::string_view text, double& value) {
  const char* p = text.data();
  const char* end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  std::uint64_t whole = 0;
  const char* firstDigit = p;
  p = takeDigits(p, end, whole);
  std::ptrdiff_t digits = p - firstDigit;
  int scale = 0;
  if (digits == 0) return false;
  if (p != end && *p == '.') {
    const char* firstDecimal = ++p;
    p = takeDigits(p, end, whole);
    if (p == firstDecimal) return false;
    digits += p - firstDecimal;
    scale = -static_cast<int>(p - firstDecimal);
  }
  if (digits > kMostExactDigits) return false;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negativeExponent = p != end && *p == '-';
    if (p != end && (*p == '+' || *p == '-')) ++p;
    std::uint64_t exponent = 0;
    const char* firstExponentDigit = p;
    p = takeDigits(p, p + std::min<std::ptrdiff_t>(end - p, 2), exponent);
    if (p == firstExponentDigit) return false;
    scale += negativeExponent ? -static_cast<int>(exponent) : static_cast<int>(exponent);
  }
  if (p != end || scale < -kLargestExactPower || scale > kLargestExactPower) return false;
  value = static_cast<double>(whole);
  if (scale < 0) value /= kExactPowersOfTen[-scale];
  if (scale > 0) value *= kExactPowersOfTen[scale];
  if (negative) value = -value;
  return true;
}

// -digits.digits, the sign and the fraction optional, in at most 300
// characters: such a text always reads as a finite double (between 1e-300
// and 1e300, or zero), so its shape alone says it is a number.
bool isPlainDecimal(std::string_view text) {
  if (text.size() > 300) return false;
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  const std::size_t firstDigit = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  if (i == firstDigit) return false;
  if (i < text.size() && text[i] == '.') {
    const std::size_t firstDecimal = ++i;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i == firstDecimal) return false;
  }
  return i == text.size();
}

}  // namespace

bool readNumber(std::string_view text, double& value) {
  text = trimBlanks(text);
  // from_chars rejects a leading '+', which people do write; "+-1" stays bad.
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  if (text.empty()) return false;
  if (readEverydayDecimal(text, value)) return true;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

bool isNumber(std::string_view text) {
  double value = 0.0;
  return isPlainDecimal(trimBlanks(text)) || readNumber(text, value);
}

std::optional<double> parseNumber(std::string_view text) {
  double value = 0.0;
  if (!readNumber(text, value)) return std::nullopt;
  return value;
}

std::string formatNumber(double value) {
  char buffer[32];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "?";  // cannot happen: 32 characters hold any double
  return std::string(buffer, ptr);
}

std::string countOf(std::int64_t count, std::string_view singular, std::string_view plural) {
  std::string text = std::to_string(count);
  text += ' ';
  text += count == 1 ? singular : plural;
  return text;
}

}  // namespace engine::data
