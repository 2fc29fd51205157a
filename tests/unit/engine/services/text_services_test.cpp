// Keyword matching and the character services.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "host/tavixwlib.h"

namespace {

// The measure keywords in the order the procedure's table has them, plus the
// empty 43rd entry it matches with.
const std::vector<Keyword> kMeasures = {
    "EUC", "COS", "POW", "MIN", "DEF",  "SEU", "BLO", "CHE", "COR", "CHI", "PH2",
    "RR",  "SM",  "JAC", "SS1", "DICE", "RT",  "SS2", "K1",  "SS3", "K2",  "SS4",
    "HAM", "OCH", "SS5", "PHI", "LAM",  "D",   "Y",   "Q",   "BEU", "SIZ", "PAT",
    "BSE", "BSH", "DIS", "VAR", "BLW",  "NON", "RES", "REV", "ABS", ""};

Word measure(std::string_view token) { return QABMCH(token, kMeasures); }

// 1-based position of a keyword in the measure table.
Word at(std::string_view entry) {
  for (std::size_t k = 0; k < kMeasures.size(); ++k) {
    if (kMeasures[k].trimmed() == entry) return static_cast<Word>(k + 1);
  }
  return -1;
}

TEST(KeywordMatch, WholeWordsAndPrefixesOfThreeOrMoreLetters) {
  EXPECT_EQ(measure("EUCLID"), at("EUC"));
  EXPECT_EQ(measure("euc"), at("EUC"));
  EXPECT_EQ(measure("Eucl"), at("EUC"));
  EXPECT_EQ(measure("DISPER"), at("DIS"));
  EXPECT_EQ(measure("DIS"), at("DIS"));
  EXPECT_EQ(measure("DICE"), at("DICE"));
  EXPECT_EQ(measure("DEFAULT"), at("DEF"));
  EXPECT_EQ(measure("JACCARD"), at("JAC"));
  EXPECT_EQ(measure("MINKOWSKI"), at("MIN"));
  EXPECT_EQ(measure("SEUCLID"), at("SEU"));
  EXPECT_EQ(measure("BSEUCLID"), at("BSE"));
  EXPECT_EQ(measure("ph2"), at("PH2"));
  EXPECT_EQ(measure("PHI"), at("PHI"));
  EXPECT_EQ(measure("RESCALE"), at("RES"));
  EXPECT_EQ(measure("REVERSE"), at("REV"));
  EXPECT_EQ(measure("NONE"), at("NON"));
}

TEST(KeywordMatch, ShortKeywordsMatchOnlyWhole) {
  for (const char* word : {"RR", "SM", "RT", "K1", "K2", "D", "Y", "Q"}) {
    EXPECT_EQ(measure(word), at(word)) << word;
  }
  EXPECT_EQ(measure("d"), at("D"));
  EXPECT_EQ(measure("K"), 0);   // part of K1 and K2, and too short to abbreviate
  EXPECT_EQ(measure("DI"), 0);  // DICE or DISPER: two letters say neither
  EXPECT_EQ(measure("SS"), 0);
  EXPECT_EQ(measure("CH"), 0);
  EXPECT_EQ(measure("PH"), 0);
}

TEST(KeywordMatch, LongerWordsAndMisspellingsMatchNothing) {
  EXPECT_EQ(measure("euclideansquared"), 0);  // not EUCLID with something after it
  EXPECT_EQ(measure("seuclidean"), 0);
  EXPECT_EQ(measure("jacard"), 0);  // not a prefix of JACCARD
  EXPECT_EQ(measure("Yule"), 0);    // Y is a whole keyword; YULE is none
  EXPECT_EQ(measure("DEFAULTS"), 0);
  EXPECT_EQ(measure("manhattan"), 0);
  EXPECT_EQ(measure("EUX"), 0);
  EXPECT_EQ(measure("XEUC"), 0);
  EXPECT_EQ(measure(""), 0);  // the empty 43rd entry never matches
  EXPECT_EQ(measure("   "), 0);
}

TEST(KeywordMatch, EntriesStandForTheirWholeWords) {
  const std::array<Keyword, 10> subcommands = {"MISSING", "READ", "MEASURE",  "PRINT",   "WRITE",
                                               "ID",      "VIEW", "STANDARD", "OUTFILE", "MATRIX"};
  EXPECT_EQ(QABMCH("STANDARDIZE", subcommands), 8);  // the entry is shortened, the word is not
  EXPECT_EQ(QABMCH("STAN", subcommands), 8);
  EXPECT_EQ(QABMCH("sta", subcommands), 8);
  EXPECT_EQ(QABMCH("ST", subcommands), 0);
  EXPECT_EQ(QABMCH("STANDARDISE", subcommands), 0);
  EXPECT_EQ(QABMCH("MEA", subcommands), 3);
  EXPECT_EQ(QABMCH("MIS", subcommands), 1);
  EXPECT_EQ(QABMCH("M", subcommands), 0);
  EXPECT_EQ(QABMCH("id", subcommands), 6);
  EXPECT_EQ(QABMCH("I", subcommands), 0);
  EXPECT_EQ(QABMCH("MISSINGS", subcommands), 0);
  EXPECT_EQ(QABMCH("MISSXNG", subcommands), 0);
}

TEST(KeywordMatch, AnAmbiguousPrefixMatchesNothingButAWholeWordDoes) {
  const std::array<Keyword, 3> table = {"ABCX", "ABCY", "ABC"};
  EXPECT_EQ(QABMCH("ABC", table), 3);  // the whole of the third, a prefix of the others
  EXPECT_EQ(QABMCH("ABCY", table), 2);
  const std::array<Keyword, 2> two = {"INCLUDE", "INCOME"};
  EXPECT_EQ(QABMCH("INC", two), 0);  // both begin so
  EXPECT_EQ(QABMCH("INCL", two), 1);
  const std::array<Keyword, 2> padded = {"  IN ", "INCLUDE"};  // entries are trimmed
  EXPECT_EQ(QABMCH("IN", padded), 1);
  EXPECT_EQ(QABMCH("INC", padded), 2);
}

TEST(CharacterServices, PrefixComparisonAndExactIndex) {
  EXPECT_TRUE(QEQUAL("VARIABLE", "VAR"));
  EXPECT_TRUE(QEQUAL("cas", "CAS"));
  EXPECT_TRUE(QEQUAL("Proximities", "PRO"));
  EXPECT_FALSE(QEQUAL("VA", "VAR"));
  EXPECT_FALSE(QEQUAL("XVAR", "VAR"));
  EXPECT_FALSE(QEQUAL("VAR", ""));

  const std::array<Keyword, 2> rowTypes = {"DISSIMIL", "SIMILARI"};
  EXPECT_EQ(IABNDX("SIMILARI", rowTypes), 2);
  EXPECT_EQ(IABNDX("DISSIMIL", rowTypes), 1);
  EXPECT_EQ(IABNDX("similari", rowTypes), 0);  // exact: case counts
  EXPECT_EQ(IABNDX("SIMILAR", rowTypes), 0);

  EXPECT_TRUE(QCMPNC("PROX", "PROX    "));  // blanks pad the shorter text
  EXPECT_FALSE(QCMPNC("PROX", "PROXY"));
  EXPECT_FALSE(QCMPNC("prox", "PROX"));
  EXPECT_TRUE(QCMPNC("", "   "));

  std::string text = "var_1 é";
  CHUPRC(text);
  EXPECT_EQ(text, "VAR_1 é");  // letters beyond ASCII are left alone
}

}  // namespace
