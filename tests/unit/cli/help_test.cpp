// The program's help and manual page against the tables they describe: the
// measure keywords of the catalogue and the engine's command table. The help
// is built from those tables; these tests catch a keyword left out or spelled
// so that MEASURE would not take it, and a manual page that fell behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "host/tavixwlib.h"
#include "measures/catalogue.h"

namespace {

std::string programHelp() {
  const std::string command = std::string("'") + PROX_PROGRAM_PATH + "' --help";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string text;
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) text += buffer;
  return text;
}

// The part of `text` from the line that starts with `heading` to the next
// line that starts in the first column.
std::string section(const std::string& text, const std::string& heading) {
  const auto start = text.find("\n" + heading);
  if (start == std::string::npos) return "";
  const auto body = text.find('\n', start + 1);
  std::size_t end = body;
  while (end != std::string::npos && end + 1 < text.size() && text[end + 1] == ' ') {
    end = text.find('\n', end + 1);
  }
  return text.substr(body, end == std::string::npos ? std::string::npos : end - body);
}

// The upper-case words a section offers as keywords: words of two or more
// capitals or digits, or a lone capital, standing alone or before "(".
// (Scanned by hand: std::regex draws a false maybe-uninitialized warning
// from GCC 12 in the sanitizer build.)
bool isCapitalWord(std::string_view token) {
  return !token.empty() && std::isupper(static_cast<unsigned char>(token[0])) &&
         std::all_of(token.begin(), token.end(), [](char c) {
           return std::isupper(static_cast<unsigned char>(c)) ||
                  std::isdigit(static_cast<unsigned char>(c));
         });
}

std::set<std::string> keywordsIn(const std::string& text) {
  const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  std::set<std::string> found;
  std::size_t k = 0;
  while (k < text.size()) {
    const bool afterSeparator =
        k == 0 || isSpace(text[k - 1]) || text[k - 1] == ',' || text[k - 1] == ':';
    std::size_t end = k;
    while (end < text.size() &&
           (std::isupper(static_cast<unsigned char>(text[end])) ||
            (end > k && std::isdigit(static_cast<unsigned char>(text[end]))))) {
      ++end;
    }
    const bool beforeSeparator =
        end == text.size() || isSpace(text[end]) || text[end] == ',' || text[end] == '(';
    if (end > k && afterSeparator && beforeSeparator) found.insert(text.substr(k, end - k));
    k = end > k ? end : k + 1;
  }
  return found;
}

std::set<std::string> catalogueWords() {
  std::set<std::string> words;
  for (const MeasureKeyword& k : kMeasureKeywords) {
    words.emplace(engine::spelledKeyword(k.word.trimmed()));
  }
  return words;
}

TEST(Help, ListsEveryMeasureKeywordSpelledSoThatMeasureTakesIt) {
  const std::string measures = section(programHelp(), "Measures");
  ASSERT_FALSE(measures.empty()) << "no Measures section in --help";
  const std::set<std::string> listed = keywordsIn(measures);
  for (std::size_t at = 0; at < kMeasureKeywords.size(); ++at) {
    const std::string spelled(engine::spelledKeyword(kMeasureKeywords[at].word.trimmed()));
    EXPECT_TRUE(listed.count(spelled)) << spelled << " is not in the help";
    // The word shown must match its own table entry, not another or none.
    EXPECT_EQ(QABMCH(spelled, kMeasureKeywordTable), static_cast<Word>(at + 1)) << spelled;
  }
  const std::set<std::string> catalogue = catalogueWords();
  for (const std::string& word : listed) {
    EXPECT_TRUE(catalogue.count(word)) << "the help lists " << word << ", which no entry makes";
  }
}

TEST(Help, ListsEveryEngineCommandWithItsForm) {
  const std::string commands = section(programHelp(), "Commands");
  ASSERT_FALSE(commands.empty()) << "no Commands section in --help";
  // The tests register procedures of their own, without a form; the
  // engine's commands all have one.
  for (const engine::CommandSynopsis& c : engine::commandSynopses()) {
    if (c.synopsis.empty()) continue;
    EXPECT_TRUE(c.synopsis.starts_with(c.word)) << c.word << ": " << c.synopsis;
    EXPECT_NE(commands.find("\n  " + c.word), std::string::npos) << c.word << " not in the help";
  }
  for (const char* word : {"LOAD", "INLINE", "DECLARE", "LABEL", "GROUP", "CASE", "EXPORT"}) {
    EXPECT_NE(commands.find(std::string("\n  ") + word + " "), std::string::npos) << word;
  }
  EXPECT_NE(commands.find("\n  PROXIMITIES varlist"), std::string::npos);
  EXPECT_NE(commands.find("(shortest form PROX)"), std::string::npos);
}

TEST(ManualPage, NamesEveryMeasureKeywordAndNoOther) {
  std::ifstream in(std::string(PROX_SOURCE_DIR) + "/docs/proximities.1");
  ASSERT_TRUE(in) << "docs/proximities.1 missing";
  std::stringstream page;
  page << in.rdbuf();
  const std::string text = page.str();
  const auto start = text.find("\n.SH MEASURES");
  const auto end = text.find("\n.SH ", start + 1);
  ASSERT_NE(start, std::string::npos);
  // The keywords stand in bold: ".B WORD", ".BR WORD , WORD", ".BI WORD( p )".
  std::set<std::string> bold;
  std::istringstream lines(text.substr(start, end - start));
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with(".B ") && !line.starts_with(".BR ") && !line.starts_with(".BI "))
      continue;
    std::istringstream tokens(line.substr(line.find(' ')));
    for (std::string token; tokens >> token;) {
      const auto cut = token.find_first_of("\",.()");
      if (cut != std::string::npos) token.erase(cut);
      if (isCapitalWord(token)) bold.insert(token);
    }
  }
  const std::set<std::string> catalogue = catalogueWords();
  for (const std::string& word : catalogue) {
    EXPECT_TRUE(bold.count(word)) << word << " is not in the manual page";
  }
  for (const std::string& word : bold) {
    EXPECT_TRUE(catalogue.count(word)) << "the manual page lists " << word << ", not a keyword";
  }
}

}  // namespace
