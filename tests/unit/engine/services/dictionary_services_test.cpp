// The dictionary and its services: lookups, entries, labels, variable lists
// (PRVRLT), the root and number of a name (SPLIT).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <sstream>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/core/scanner.h"
#include "engine/core/session.h"
#include "host/tavixwlib.h"
#include "tests/unit/support/fresh_session.h"

namespace {

using engine::Session;
using engine::Variable;
using ::testing::ElementsAre;

// Dictionary only: these tests never read cases.
class DictionaryOnly : public engine::Dataset {
 public:
  std::unique_ptr<engine::CaseCursor> open() const override { return nullptr; }
  std::string source() const override { return "test data"; }
};

Variable numeric(std::string name) {
  Variable v;
  v.name = std::move(name);
  return v;
}

Variable text(std::string name, int width) {
  Variable v = numeric(std::move(name));
  v.width = width;
  return v;
}

TEST(Dictionary, FindIgnoresCaseAndTrailingBlanks) {
  engine::Dictionary d;
  d.add(numeric("Height"));
  d.add(numeric("weight"));
  EXPECT_EQ(d.find("height"), 1);
  EXPECT_EQ(d.find("WEIGHT  "), 2);
  EXPECT_EQ(d.find("weigh"), 0);
  EXPECT_EQ(d.find(""), 0);
  // Every ASCII letter folds, at the start, inside and at the end; other
  // characters match only themselves.
  d.add(numeric("abcdefghijklmnopqrstuvwxyz"));
  d.add(numeric("z_1@z"));
  d.add(numeric("größe"));
  EXPECT_EQ(d.find("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), 3);
  EXPECT_EQ(d.find("Z_1@Z"), 4);
  EXPECT_EQ(d.find("z_1@y"), 0);
  EXPECT_EQ(d.find("GRößE"), 5);
  EXPECT_EQ(d.find("GRÖSSE"), 0);
}

TEST(Dictionary, UserMissingValues) {
  engine::MissingValues m;
  EXPECT_TRUE(m.empty());
  m.values = {-9, 99};
  m.range = {{1000, 2000}};
  EXPECT_TRUE(m.isMissing(-9.0));
  EXPECT_TRUE(m.isMissing(1000.0));
  EXPECT_TRUE(m.isMissing(2000.0));  // the range includes its ends
  EXPECT_FALSE(m.isMissing(2000.5));
  EXPECT_FALSE(m.isMissing(0.0));
  m.strings = {"NA", "n/a  "};
  EXPECT_TRUE(m.isMissing(std::string_view("NA    ")));
  EXPECT_TRUE(m.isMissing(std::string_view("n/a")));
  EXPECT_FALSE(m.isMissing(std::string_view(" NA")));
  EXPECT_FALSE(m.isMissing(std::string_view("na")));
}

class DictionaryServices : public FreshSession {
 protected:
  void SetUp() override {
    FreshSession::SetUp();
    Session& s = Session::current();
    auto data = std::make_shared<DictionaryOnly>();
    for (const char* name : {"a", "b", "c", "d", "e"}) data->dictionary.add(numeric(name));
    Variable labelled = text("Name", 12);
    labelled.label = "ABCDEFGH IJKLMNOPQRSTUVWXYZ0123";
    labelled.missing.strings = {"?"};
    labelled.print = engine::Format{1, 12, 0};
    data->dictionary.add(labelled);  // 6
    s.dataset = data;
    s.publishSettings();
  }
  // Runs PRVRLT over the list that follows the command name.
  // stringsAllowed and repeatsCountOnce as PRVRLT takes them.
  std::vector<Word> list(std::string_view command, std::size_t capacity = 6,
                         Word stringsAllowed = 0, Word repeatsCountOnce = 1) {
    Session& s = Session::current();
    s.commandTokens = engine::splitCommands(command).at(0).tokens;
    Word stack = 0;
    Word status = 0;
    SSTACK(s.workspace.view(), stack, -1, status);
    SSNXT1(stack);  // the command name
    SSNXT1(stack);  // the first token of the list
    std::vector<Word> indices(capacity, -1);
    Word count = -1;
    errorFlag = kFalse;
    PRVRLT(s.workspace.view(), stack, stringsAllowed, 1, 11, repeatsCountOnce, indices, count,
           errorFlag);
    endsAtSlash = !isTrue(s.token.endOfCommand) && s.token.delimiter == kDelimSlash;
    SSDELS(s.workspace.view(), stack);
    indices.resize(static_cast<std::size_t>(count));
    return indices;
  }

  Logical errorFlag = kFalse;
  bool endsAtSlash = false;
};

TEST_F(DictionaryServices, VariableListsOfNamesRangesAndAll) {
  EXPECT_THAT(list("PROX c A / VIEW=CASE."), ElementsAre(3, 1));
  EXPECT_TRUE(endsAtSlash);
  EXPECT_FALSE(isTrue(errorFlag));
  EXPECT_THAT(list("PROX b TO d e."), ElementsAre(2, 3, 4, 5));
  EXPECT_THAT(list("PROX e to E."), ElementsAre(5));
  // A variable named again keeps its first place; the list is not sorted.
  EXPECT_THAT(list("PROX b a b."), ElementsAre(2, 1));
  EXPECT_THAT(list("PROX c TO e a TO d."), ElementsAre(3, 4, 5, 1, 2));
  EXPECT_THAT(list("PROX b a b.", 6, 0, 0), ElementsAre(2, 1, 2));
  EXPECT_THAT(list("PROX b TO d name.", 6, 1), ElementsAre(2, 3, 4, 6));
  EXPECT_THAT(list("PROX all / MEASURE=JACCARD.", 6, 1), ElementsAre(1, 2, 3, 4, 5, 6));
  // Where only numeric variables may be listed, ALL leaves the string out.
  EXPECT_THAT(list("PROX all / MEASURE=JACCARD."), ElementsAre(1, 2, 3, 4, 5));
  EXPECT_TRUE(endsAtSlash);
  EXPECT_FALSE(isTrue(Session::current().global.errorFlag));
}

TEST_F(DictionaryServices, BadVariableListsAreErrors) {
  const auto fails = [this](std::string_view command) {
    Session::current().global.errorFlag = kFalse;
    const std::vector<Word> found = list(command);
    const bool flagged = isTrue(errorFlag) && isTrue(Session::current().global.errorFlag);
    return flagged && found.empty() && endsAtSlash;
  };
  EXPECT_TRUE(fails("PROX a nosuch b / VIEW=CASE."));  // unknown name
  EXPECT_TRUE(fails("PROX d TO b / X."));              // reversed range
  EXPECT_TRUE(fails("PROX a TO / X."));                // TO without an end
  EXPECT_TRUE(fails("PROX TO b / X."));                // TO without a start
  EXPECT_TRUE(fails("PROX a TO nosuch / X."));
  EXPECT_TRUE(fails("PROX a 5 / X."));        // not a name
  EXPECT_TRUE(fails("PROX / X."));            // nothing at all
  EXPECT_TRUE(fails("PROX a name / X."));     // a string variable
  EXPECT_TRUE(fails("PROX c TO name / X."));  // a range that takes in a string
  // More variables than the list can hold.
  Session::current().global.errorFlag = kFalse;
  EXPECT_TRUE(list("PROX a TO d.", 3).empty());
  EXPECT_TRUE(isTrue(errorFlag));
}

TEST_F(DictionaryServices, SearchAndCurrentEntry) {
  EXPECT_EQ(DICSCH("NAME"), 6);
  EXPECT_EQ(DICSCH("c       "), 3);
  EXPECT_EQ(DICSCH("ROWTYPE_"), 0);

  DICGET(6);
  const HostDictEntry& e = Session::current().entry;
  EXPECT_EQ(e.index, 6);
  EXPECT_EQ(std::string(e.name, 6), "Name  ");  // blank-padded
  EXPECT_EQ(e.nameLength, 4);
  EXPECT_EQ(e.width, 12);
  EXPECT_TRUE(isTrue(e.hasUserMissing));
  EXPECT_EQ(e.labelCount, 1);
  EXPECT_EQ(e.printFormat, (engine::Format{1, 12, 0}.encode()));
  EXPECT_TRUE(VLBGDE());

  std::array<char, 8> first8{};
  std::array<char, 20> rest{};
  Word length = 0;
  VLBGNN(first8, rest, length);
  EXPECT_EQ(std::string(first8.data(), 8), "ABCDEFGH");
  // From column 10 on (column 9 only separates the parts), cut to the field.
  EXPECT_EQ(std::string(rest.data(), 20), "IJKLMNOPQRSTUVWXYZ01");
  EXPECT_EQ(length, 20);
  std::array<char, 40> wide{};
  VLBGNN(first8, wide, length);
  EXPECT_EQ(length, 22);
  EXPECT_EQ(std::string(wide.data(), 24), "IJKLMNOPQRSTUVWXYZ0123  ");  // blank-padded

  DICGET(1);
  EXPECT_EQ(e.width, 0);
  EXPECT_FALSE(isTrue(e.hasUserMissing));
  EXPECT_FALSE(VLBGDE());
  VLBGNN(first8, rest, length);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(std::string(first8.data(), 8), "        ");

  DICGET(7);  // no such variable: no current entry
  EXPECT_EQ(e.index, 0);
  EXPECT_FALSE(VLBGDE());
}

TEST_F(DictionaryServices, MatchNamesInAListAndMembership) {
  const std::array<Word, 3> items = {4, 2, 6};
  EXPECT_EQ(MTXMCH("B", items), 2);
  EXPECT_EQ(MTXMCH("name    ", items), 3);
  EXPECT_EQ(MTXMCH("A", items), 0);  // a variable, but not in the list
  EXPECT_TRUE(QSIMTC(6, items));
  EXPECT_FALSE(QSIMTC(5, items));
  EXPECT_FALSE(QSIMTC(1, std::span<const Word>{}));
}

TEST_F(DictionaryServices, TheSelectedDictionaryDecides) {
  engine::Dictionary matrixFile;
  matrixFile.add(numeric("ROWTYPE_"));
  matrixFile.add(numeric("VARNAME_"));
  Session& s = Session::current();
  s.dictionaryState.selected = 2;
  EXPECT_EQ(DICSCH("VARNAME_"), 0);  // no matrix file is open
  s.matrixDictionary = &matrixFile;
  EXPECT_EQ(DICSCH("VARNAME_"), 2);
  EXPECT_EQ(DICSCH("a"), 0);
  s.dictionaryState.selected = 1;
  EXPECT_EQ(DICSCH("a"), 1);
  s.matrixDictionary = nullptr;
}

struct SplitResult {
  std::string root;
  Word number;
  Word numberStart;
};

SplitResult split(std::string_view name) {
  FixedText<8> root("garbage");
  Word number = -1;
  Word start = -1;
  SPLIT(name, root, number, start);
  return {std::string(root.trimmed()), number, start};
}

TEST(SplitName, RootAndTrailingNumber) {
  auto r = split("VAR12");
  EXPECT_EQ(r.root, "VAR");
  EXPECT_EQ(r.number, 12);
  EXPECT_EQ(r.numberStart, 4);
  r = split("var3     ");  // trailing blanks of a fixed field; root in upper case
  EXPECT_EQ(r.root, "VAR");
  EXPECT_EQ(r.number, 3);
  EXPECT_EQ(r.numberStart, 4);
  r = split("ABCDEFGH7");
  EXPECT_EQ(r.root, "ABCDEFGH");
  EXPECT_EQ(r.numberStart, 9);
  r = split("X0");
  EXPECT_EQ(r.number, 0);
  EXPECT_EQ(r.numberStart, 2);
}

TEST(SplitName, OtherNamesHaveNoNumber) {
  for (const char* name :
       {"VAR", "12", "VAR1X", "V_1", "VAR01", "ABCDEFGHI1", "A1B2", "", "VAR1234567890123456789"}) {
    const SplitResult r = split(name);
    EXPECT_EQ(r.numberStart, 0) << name;
    EXPECT_EQ(r.number, 0) << name;
    EXPECT_EQ(r.root, "") << name;
  }
}

}  // namespace
