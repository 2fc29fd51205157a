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

TEST(KeywordMatch, AbbreviationRuleOnTheMeasureTable) {
  EXPECT_EQ(measure("EUCLID"), at("EUC"));
  EXPECT_EQ(measure("euc"), at("EUC"));
  EXPECT_EQ(measure("DISPER"), at("DIS"));  // not "D": the longer shared part wins
  EXPECT_EQ(measure("D"), at("D"));
  EXPECT_EQ(measure("DICE"), at("DICE"));
  EXPECT_EQ(measure("DEFAULT"), at("DEF"));
  EXPECT_EQ(measure("JACCARD"), at("JAC"));
  EXPECT_EQ(measure("MINKOWSKI"), at("MIN"));
  EXPECT_EQ(measure("K1"), at("K1"));
  EXPECT_EQ(measure("Yule"), at("Y"));  // a one-letter entry is whole in "YULE"
  EXPECT_EQ(measure("BSEUCLID"), at("BSE"));
  EXPECT_EQ(measure("ph2"), at("PH2"));
  EXPECT_EQ(measure("PHI"), at("PHI"));
  EXPECT_EQ(measure("RESCALE"), at("RES"));
  EXPECT_EQ(measure("REVERSE"), at("REV"));
}

TEST(KeywordMatch, ShortOrForeignTokensMatchNothing) {
  EXPECT_EQ(measure("SS"), 0);  // two letters of SS1..SS5: neither three nor whole
  EXPECT_EQ(measure("CH"), 0);  // CHE or CHI: too short to tell
  EXPECT_EQ(measure("K"), 0);   // part of K1 only
  EXPECT_EQ(measure("PH"), 0);
  EXPECT_EQ(measure("EUX"), 0);  // no prefix relation
  EXPECT_EQ(measure("XEUC"), 0);
  EXPECT_EQ(measure(""), 0);  // the empty 43rd entry never matches
  EXPECT_EQ(measure("   "), 0);
}

TEST(KeywordMatch, LongEntriesAcceptThreeLetterAbbreviations) {
  const std::array<Keyword, 10> subcommands = {"MISSING", "READ", "MEASURE",  "PRINT",   "WRITE",
                                               "ID",      "VIEW", "STANDARD", "OUTFILE", "MATRIX"};
  EXPECT_EQ(QABMCH("STANDARDIZE", subcommands), 8);  // longer than the entry
  EXPECT_EQ(QABMCH("STAN", subcommands), 8);
  EXPECT_EQ(QABMCH("sta", subcommands), 8);
  EXPECT_EQ(QABMCH("ST", subcommands), 0);
  EXPECT_EQ(QABMCH("MEA", subcommands), 3);
  EXPECT_EQ(QABMCH("MIS", subcommands), 1);
  EXPECT_EQ(QABMCH("M", subcommands), 0);
  EXPECT_EQ(QABMCH("id", subcommands), 6);
  EXPECT_EQ(QABMCH("I", subcommands), 0);
  EXPECT_EQ(QABMCH("MISSINGS", subcommands), 1);
  EXPECT_EQ(QABMCH("MISSXNG", subcommands), 0);  // an abbreviation must be a prefix
}

TEST(KeywordMatch, TiesGoToTheEarlierEntry) {
  const std::array<Keyword, 3> table = {"ABCX", "ABCY", "ABC"};
  EXPECT_EQ(QABMCH("ABC", table), 1);  // all three share "ABC"
  EXPECT_EQ(QABMCH("ABCY", table), 2);
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
