#include "engine/data/number_text.h"

#include <charconv>
#include <cmath>

namespace engine::data {

namespace {

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<double> parseNumber(std::string_view text) {
  text = trimBlanks(text);
  // from_chars rejects a leading '+', which people do write; "+-1" stays bad.
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
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
