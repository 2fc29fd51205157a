// Text services of the host interface: keyword matching and character
// comparisons. The keyword rule is the one users see everywhere in the
// command language (docs/command-language.md, "Keywords").
#include <algorithm>
#include <cctype>

#include "host/tavixwlib.h"

namespace {

char upperChar(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Does text begin with prefix, ignoring case?
bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) { return upperChar(a) == upperChar(b); });
}

// Length of the part that token and entry share under the abbreviation rule,
// or 0 when they do not match: one must be a prefix of the other, and the
// shared part must be at least three characters long or the whole entry.
std::size_t sharedLength(std::string_view token, std::string_view entry) {
  if (token.empty() || entry.empty()) return 0;
  const std::size_t shared = std::min(token.size(), entry.size());
  const bool prefix = token.size() <= entry.size() ? startsWithNoCase(entry, token)
                                                   : startsWithNoCase(token, entry);
  if (!prefix) return 0;
  return shared >= 3 || shared == entry.size() ? shared : 0;
}

}  // namespace

Word QABMCH(std::string_view token, std::span<const Keyword> table) {
  token = trimBlanks(token);
  Word best = 0;
  std::size_t bestLength = 0;
  for (std::size_t k = 0; k < table.size(); ++k) {
    const std::size_t length = sharedLength(token, trimBlanks(table[k].view()));
    if (length > bestLength) {  // strictly longer: the earlier entry wins a tie
      best = static_cast<Word>(k + 1);
      bestLength = length;
    }
  }
  return best;
}

bool QEQUAL(std::string_view token, std::string_view word) {
  word = trimBlanks(word);
  return !word.empty() && startsWithNoCase(trimBlanks(token), word);
}

Word IABNDX(const Keyword& word, std::span<const Keyword> table) {
  const auto found = std::find(table.begin(), table.end(), word);
  return found == table.end() ? 0 : static_cast<Word>(found - table.begin() + 1);
}

bool QCMPNC(std::string_view a, std::string_view b) {
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t k = 0; k < n; ++k) {
    const char ca = k < a.size() ? a[k] : ' ';
    const char cb = k < b.size() ? b[k] : ' ';
    if (ca != cb) return false;
  }
  return true;
}

void CHUPRC(std::span<char> text) {
  std::transform(text.begin(), text.end(), text.begin(), upperChar);
}
