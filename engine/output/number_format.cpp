// The builder's number formats. Fixed formats round the exact binary value of
// the number, with ties going away from zero, so that a count of 2.5 shows as
// 3 and 0.0625 at three decimals as 0.063 (printf would give 2 and 0.062).
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/output/content.h"

namespace engine::output {

namespace {

// Beyond this magnitude every format switches to scientific notation, so that
// a runaway value cannot produce a cell hundreds of digits wide.
constexpr double kScientificAbove = 1e15;
// Below this magnitude the general format switches to scientific notation.
constexpr double kScientificBelow = 1e-4;
constexpr int kGeneralDigits = 6;

std::string printf1(const char* pattern, int precision, double value) {
  const int size = std::snprintf(nullptr, 0, pattern, precision, value);
  std::string out(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(out.data(), out.size(), pattern, precision, value);
  out.resize(static_cast<std::size_t>(size));
  return out;
}

// Adds one unit in the last place of a string of decimal digits (with an
// optional '.'), growing it on the left when the carry runs off the front.
void incrementDigits(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] == '.') continue;
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// "1.50000e-05" -> "1.5e-05": six significant digits without trailing zeros.
std::string scientific(double value) {
  std::string text = printf1("%.*e", kGeneralDigits - 1, value);
  const std::size_t e = text.find('e');
  std::string mantissa = text.substr(0, e);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + text.substr(e);
}

std::string general(double value) {
  if (value == 0.0) return "0";
  const double magnitude = std::fabs(value);
  if (magnitude < kScientificBelow) return scientific(value);
  // The decimal exponent after rounding to six significant digits decides how
  // many decimals remain; printf's exponent already accounts for a carry.
  const std::string sci = printf1("%.*e", kGeneralDigits - 1, magnitude);
  const int exponent = std::stoi(sci.substr(sci.find('e') + 1));
  const int decimals = exponent >= kGeneralDigits - 1 ? 0 : kGeneralDigits - 1 - exponent;
  std::string text = roundFixed(value, decimals);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

}  // namespace

namespace {

// Fixed notation by std::to_chars, which rounds the exact binary value
// correctly (ties to even); fast, unlike printing forty extra digits.
std::string fixedText(double value, int decimals) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return printf1("%.*f", decimals, value);
  return std::string(buffer.data(), result.ptr);
}

// True when the value might lie exactly halfway between two results, where
// ties-to-even and ties-away-from-zero differ. Below 1e9 after scaling, the
// scaled value is within 2.2e-7 of the exact one, so a fraction further than
// 1e-6 from one half cannot be a tie.
// The most decimals the fast rounding below makes.
constexpr int kMostPlainDecimals = 20;

double scaledBy(double magnitude, int decimals) {
  // Powers of ten up to 1e22 are exact doubles; a table spares a call of pow
  // per number shown.
  static constexpr std::array<double, 23> kPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double scale = decimals >= 0 && decimals < static_cast<int>(kPowers.size())
                           ? kPowers[static_cast<std::size_t>(decimals)]
                           : std::pow(10.0, decimals);
  return magnitude * scale;
}

bool mayBeTie(double magnitude, int decimals) {
  const double scaled = scaledBy(magnitude, decimals);
  if (scaled >= 1e9) return true;
  return std::fabs(scaled - std::floor(scaled) - 0.5) <= 1e-6;
}

// The value rounded to `decimals` places when it is no tie (so below 1e9
// after scaling): the nearest whole number of the scaled value is the exact
// rounding, and its digits with a point put in are the text.
std::string roundedNoTie(double value, int decimals) {
  const auto units = static_cast<std::uint64_t>(std::llround(scaledBy(std::fabs(value), decimals)));
  std::array<char, 40> buffer{};
  char* const digits = buffer.data() + 2;  // room for a sign and a leading "0."
  char* end = std::to_chars(digits, buffer.data() + buffer.size(), units).ptr;
  const auto places = static_cast<std::size_t>(decimals);
  std::size_t count = static_cast<std::size_t>(end - digits);
  if (places > 0) {
    // Leading zeros up to one digit before the point, then the point.
    if (count <= places) {
      const std::size_t zeros = places + 1 - count;
      std::memmove(digits + zeros, digits, count);
      std::fill_n(digits, zeros, '0');
      count += zeros;
      end += zeros;
    }
    char* const point = end - places;
    std::memmove(point + 1, point, places);
    *point = '.';
    ++end;
  }
  char* begin = digits;
  if (std::signbit(value) && units != 0) *--begin = '-';
  return std::string(begin, end);
}

}  // namespace

std::string roundFixed(double value, int decimals) {
  const double magnitude = std::fabs(value);
  const bool usual = std::isfinite(value) && decimals >= 0 && decimals <= kMostPlainDecimals;
  if (usual && !mayBeTie(magnitude, decimals)) return roundedNoTie(value, decimals);
  if (!std::isfinite(value)) return fixedText(value, decimals);
  // Forty extra digits show the exact binary value far enough to decide the
  // rounding digit for every double formatted here (at most 11 decimals).
  const std::string exact = printf1("%.*f", decimals + 40, magnitude);
  const std::size_t point = exact.find('.');
  std::string digits = exact.substr(0, point + (decimals > 0 ? 1 + decimals : 0));
  if (exact[point + 1 + decimals] >= '5') incrementDigits(digits);
  const bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return (std::signbit(value) && !zero) ? "-" + digits : digits;
}

std::string_view formatName(NumberFormat format) {
  switch (format) {
    case NumberFormat::Count:
      return "count";
    case NumberFormat::Percent:
      return "percent";
    case NumberFormat::Coefficient:
      return "coefficient";
    case NumberFormat::Correlation:
      return "correlation";
    case NumberFormat::Significance:
      return "significance";
    case NumberFormat::General:
      return "general";
  }
  return "general";
}

std::string formatNumber(double value, NumberFormat format, bool missing) {
  if (missing) return ".";
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  if (std::fabs(value) >= kScientificAbove) {
    return format == NumberFormat::Percent ? scientific(value) + "%" : scientific(value);
  }
  switch (format) {
    case NumberFormat::Count:
      return roundFixed(value, 0);
    case NumberFormat::Percent:
      return roundFixed(value, 1) + "%";
    case NumberFormat::Coefficient:
    case NumberFormat::Correlation:
    case NumberFormat::Significance:
      return roundFixed(value, 3);
    case NumberFormat::General:
      return general(value);
  }
  return general(value);
}

std::string formatInteger(std::int64_t value, NumberFormat format) {
  if (format == NumberFormat::Count) return std::to_string(value);
  return formatNumber(static_cast<double>(value), format);
}

std::string_view trimBlanks(std::string_view text) {
  // Fixed-length texts of the procedure may be padded with NULs as well.
  constexpr std::string_view kBlanks(" \0", 2);
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

Content Content::plain(std::string text) {
  Content c;
  c.text = std::move(text);
  return c;
}

Content Content::number(double value, NumberFormat format, bool missing) {
  Content c;
  c.kind = Kind::Number;
  c.format = format;
  c.missing = missing;
  c.value = value;
  c.text = formatNumber(value, format, missing);
  return c;
}

Content Content::integerNumber(std::int64_t value, NumberFormat format) {
  Content c;
  c.kind = Kind::Number;
  c.format = format;
  c.integer = true;
  c.value = static_cast<double>(value);
  c.whole = value;
  c.text = formatInteger(value, format);
  return c;
}

std::string Content::numberText() const {
  return integer ? formatInteger(whole, format) : formatNumber(value, format, missing);
}

Content Content::variable(std::string name, std::string label) {
  Content c;
  c.kind = Kind::Variable;
  c.text = std::move(name);
  c.variableLabel = std::move(label);
  return c;
}

}  // namespace engine::output
