#include "engine/core/dictionary.h"

#include <algorithm>
#include <cctype>

namespace engine {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

std::string_view withoutTrailingBlanks(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

}  // namespace

bool MissingValues::isMissing(double value) const {
  if (std::find(values.begin(), values.end(), value) != values.end()) return true;
  return range && value >= range->first && value <= range->second;
}

bool MissingValues::isMissing(std::string_view value) const {
  const std::string_view v = withoutTrailingBlanks(value);
  return std::any_of(strings.begin(), strings.end(),
                     [v](const std::string& s) { return withoutTrailingBlanks(s) == v; });
}

std::int64_t Dictionary::find(std::string_view name) const {
  name = withoutTrailingBlanks(name);
  for (std::size_t k = 0; k < vars_.size(); ++k) {
    if (equalNoCase(vars_[k].name, name)) return static_cast<std::int64_t>(k + 1);
  }
  return 0;
}

}  // namespace engine
