#include "engine/core/dictionary.h"

#include <algorithm>

namespace engine {
namespace {

// Names fold only ASCII letters, whatever the process's locale (Python sets
// one from the environment; the program keeps "C"). Inline, not the C
// library's toupper: a matrix file of n items adds n variables, each looked
// up among those before it.
char foldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalNoCase(std::string_view a, std::string_view b) {
  // Generated names (VAR1, VAR2 ...) differ at their end: look there first.
  if (a.size() != b.size()) return false;
  if (!a.empty() && foldCase(a.back()) != foldCase(b.back())) return false;
  return std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return foldCase(x) == foldCase(y); });
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
