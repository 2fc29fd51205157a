// Text services of the host interface: keyword matching and character
// comparisons. The keyword rule is the one users see everywhere in the
// command language (docs/command-language.md, "Keywords").
#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/services/keyword_hints.h"
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

// A token stands for a keyword when it is the whole word or its first three
// or more letters. Anything longer or different is not taken for it: with
// "EUCLIDEANSQUARED" or "JACARD" a guess would compute a measure nobody
// asked for.
bool abbreviates(std::string_view token, std::string_view word) {
  if (token.size() > word.size() || !startsWithNoCase(word, token)) return false;
  return token.size() == word.size() || token.size() >= 3;
}

}  // namespace

Word QABMCH(std::string_view token, std::span<const Keyword> table) {
  token = trimBlanks(token);
  Word found = 0;
  bool ambiguous = false;
  if (!token.empty()) {
    for (std::size_t k = 0; k < table.size(); ++k) {
      const std::string_view word = engine::fullKeyword(trimBlanks(table[k].view()));
      if (word.empty() || !abbreviates(token, word)) continue;
      if (token.size() == word.size()) {  // the whole word beats any abbreviation
        found = static_cast<Word>(k + 1);
        ambiguous = false;
        break;
      }
      if (found != 0) ambiguous = true;
      found = static_cast<Word>(k + 1);
    }
  }
  if (ambiguous) found = 0;
  if (found == 0) {
    engine::recordKeywordMiss(token, table);
  } else {
    engine::clearKeywordMiss();
  }
  return found;
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
