#include "cli/size_option.h"

#include <cctype>
#include <charconv>
#include <limits>

std::optional<std::int64_t> parseSize(std::string_view text) {
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || number <= 0) return std::nullopt;
  const std::string_view suffix = text.substr(static_cast<std::size_t>(end - text.data()));
  int shift = 0;
  if (suffix.size() > 1) return std::nullopt;
  if (!suffix.empty()) {
    switch (std::toupper(static_cast<unsigned char>(suffix[0]))) {
      case 'K':
        shift = 10;
        break;
      case 'M':
        shift = 20;
        break;
      case 'G':
        shift = 30;
        break;
      case 'T':
        shift = 40;
        break;
      default:
        return std::nullopt;
    }
  }
  if (number > (std::numeric_limits<std::int64_t>::max() >> shift)) return std::nullopt;
  return number << shift;
}
