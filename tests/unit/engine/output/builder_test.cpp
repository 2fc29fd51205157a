// The output-table builder: handles, composite strings with repeat lists, the
// number formats, and tables built through the BP_* calls in the order the
// procedure makes them, rendered as text and as JSON.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/session.h"
#include "engine/engine.h"
#include "engine/output/builder.h"
#include "engine/output/content.h"
#include "engine/output/document_builder.h"
#include "host/tavixwlib.h"

namespace {

using engine::OutputBuilder;
using engine::OutputFormat;
using engine::Session;
using engine::output::formatNumber;
using engine::output::NumberFormat;
using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

// A working dataset with two labelled variables, for BP_VARIABLE.
class DictionaryOnly : public engine::Dataset {
 public:
  std::unique_ptr<engine::CaseCursor> open() const override { return nullptr; }
  std::string source() const override { return "test dictionary"; }
};

// Runs BP_* calls against a builder of its own, under one command, and gives
// back everything it rendered. The session's builder, dataset and error flag
// are put back afterwards: other tests share the session.
class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Session& s = Session::current();
    savedOutput_ = s.output();
    savedDataset_ = s.dataset;
    savedFlag_ = s.global.errorFlag;
    auto data = std::make_shared<DictionaryOnly>();
    engine::Variable war;
    war.name = "war";
    war.label = "Country at war";
    engine::Variable fly;
    fly.name = "fly";
    data->dictionary.add(war);
    data->dictionary.add(fly);
    s.dataset = data;
  }
  void TearDown() override {
    Session& s = Session::current();
    s.setOutput(savedOutput_);
    s.dataset = savedDataset_;
    s.global.errorFlag = savedFlag_;
  }

  // Starts a builder writing to `out`; finishBuilder() ends it.
  void startBuilder(OutputFormat format, std::ostream& out) {
    builder_ = engine::makeOutputBuilder(format, out);
    builder_->setSplitSource([] {
      return OutputBuilder::SplitValues{{"sex", "Male"}, {"hair", "Black "}};
    });
    Session::current().setOutput(builder_.get());
    builder_->beginCommand("PROXIMITIES x y\n   /MEASURE=FOO.", "file.prox:3");
  }
  void finishBuilder() {
    builder_->endCommand();
    builder_->finish();
    Session::current().setOutput(savedOutput_);
    builder_.reset();
  }

  std::string render(OutputFormat format, const std::function<void()>& calls) {
    std::ostringstream out;
    startBuilder(format, out);
    calls();
    finishBuilder();
    return out.str();
  }

  // The text a handle resolves to in the running builder.
  static std::string shown(Word handle) {
    const auto c = Session::current().output()->document().resolve(handle);
    return c ? c->text : "<no handle>";
  }

  std::unique_ptr<OutputBuilder> builder_;
  ProxWorkspace ws_{};

 private:
  engine::OutputBuilder* savedOutput_ = nullptr;
  std::shared_ptr<engine::Dataset> savedDataset_;
  Logical savedFlag_ = kFalse;
};

// ---- what the procedure does, call for call -------------------------------------

// A prefix parameter of the measure label: the catalogue text and one blank.
Word prefix(bool set, Word number) {
  if (!set) return BP_CSTRING_NO_TRANSLATE("");
  std::string buffer(41, ' ');
  const Word length = GETTXT(number, std::span<char>(buffer.data(), 40));
  return BP_CSTRING_NO_TRANSLATE(std::string_view(buffer).substr(0, length + 1));
}

Word measureLabel(std::string_view templ, bool rescaled, bool absolute, bool suffix) {
  const Word p1 = prefix(rescaled, 14701);
  const Word p2 = prefix(false, 14702);
  const Word p3 = prefix(absolute, 14703);
  BP_BEGIN_COMPSTRING(templ);
  BP_ADD_PARAMETER(p1);
  BP_ADD_PARAMETER(p2);
  BP_ADD_PARAMETER(p3);
  std::string buffer(41, ' ');
  const Word length = suffix ? GETTXT(14704, std::span<char>(buffer.data(), 40)) : 0;
  BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE(std::string_view(buffer).substr(0, length)));
  return BP_END_COMPSTRING();
}

struct Item {
  Word caseNumber;
  std::string id;  // blank-padded, as stored
};

Word itemLabel(const Item& item) {
  BP_BEGIN_COMPSTRING("^1\\:^2");
  BP_ADD_PARAMETER(BP_IVALUE(item.caseNumber, BP_N_FORMAT()));
  BP_ADD_PARAMETER(BP_NSTRING_NO_TRANSLATE(item.id));
  return BP_END_COMPSTRING();
}

// The "Proximity Matrix" of one group, VIEW=CASE with an ID variable.
void printMatrix(ProxWorkspace& ws, const std::vector<Item>& items,
                 const std::vector<std::vector<double>>& values, bool split) {
  const Word label = measureLabel("^1^2^3 Euclidean Distance ^4", false, false, false);
  const Word format = BP_COEFFICIENT_FORMAT();
  if (split) {
    BP_BEGIN_HEADING("Proximity Matrix");
    BP_BEGIN_COMPSTRING("[%1 = %2:, ^1 = ^2:]1");
    BP_BEGIN_REPEAT_LIST();
    BP_SPLIT_LIST(ws);
    BP_END_REPEAT_LIST();
    BP_BEGIN_PIVOT_TABLE_NS(3, BP_END_COMPSTRING(), "Proximity Matrix");
  } else {
    BP_BEGIN_PIVOT_TABLE(3, "Proximity Matrix", "Proximity Matrix");
  }
  BP_CELL_DIMENSION(3, "Case2");
  BP_POSITION_DIMENSION(3, "Case2", 1, 1, 1, 0);
  BP_POSITION_DIMENSION(3, "Measure", 2, 1, 1, 0);
  BP_POSITION_DIMENSION(3, "Case", 1, 0, 1, 0);
  BP_CATEGORY_DIMENSION(3, label, "Measure");
  BP_ANNOTATE(BP_CSTRING("This is a dissimilarity matrix"), 6);
  for (const Item& item : items) BP_CATEGORY_DIMENSION(3, itemLabel(item), "Case2");
  for (std::size_t i = 0; i < items.size(); ++i) {
    BP_CATEGORY_DIMENSION(3, itemLabel(items[i]), "Case");
    for (std::size_t j = 0; j < items.size(); ++j) {
      const Word cell = BP_LRVALUE(values[i][j], format);
      BP_CELL_IN_CATEGORY(3, cell, itemLabel(items[j]));
    }
  }
  BP_END_PIVOT_TABLE(3);
  if (split) BP_END_HEADING();
}

void countCells(Word count, double percent) {
  BP_CELL_IN_CATEGORY(4, BP_IVALUE(count, BP_N_FORMAT()), "N");
  BP_CELL_IN_CATEGORY(4, BP_LRVALUE(percent, BP_PERCENT_FORMAT()), "Percent");
}

// "Case Processing Summary" for JACCARD(1,0) with PRINT=NONE: 10 valid cases,
// 2 with missing values, 3 with values other than 1 and 0 (in war and fly).
void printSummary() {
  const double total = 15.0;
  BP_BEGIN_PIVOT_TABLE(4, "Case Processing Summary", "Case Processing Summary");
  BP_POSITION_DIMENSION(4, "Statistics", 1, 1, 1, 0);
  BP_POSITION_DIMENSION(4, "Cases", 2, 1, 0, 0);
  BP_CELL_DIMENSION(4, "Statistics");
  BP_CATEGORY_DIMENSION(4, "Valid", "Cases");
  countCells(10, 100.0 * 10 / total);
  BP_BEGIN_GROUP(4, "Rejected", "Cases");
  BP_CATEGORY_DIMENSION(4, "Missing Value", "Cases");
  countCells(2, 100.0 * 2 / total);
  BP_CATEGORY_DIMENSION(4, "Out of Range Binary Value", "Cases");
  BP_BEGIN_COMPSTRING("Value different from ^1 ^2 ...");
  BP_ADD_PARAMETER(BP_IVALUE(1, BP_N_FORMAT()));
  BP_ADD_PARAMETER(BP_IVALUE(0, BP_N_FORMAT()));
  BP_ANNOTATE(BP_END_COMPSTRING(), 4);
  BP_CELL_IN_CATEGORY(4, BP_IVALUE(3, BP_N_FORMAT()), "N");
  BP_BEGIN_COMPSTRING("Variable(s) containing binary [%1:, ^1:]1 ...");
  BP_BEGIN_REPEAT_LIST();
  BP_ADD_PARAMETER(BP_VARIABLE(TAVIXWDAT().working, 1, 2));
  BP_ADD_PARAMETER(BP_VARIABLE(TAVIXWDAT().working, 2, 2));
  BP_END_REPEAT_LIST();
  BP_ANNOTATE(BP_END_COMPSTRING(), 5);
  BP_CELL_IN_CATEGORY(4, BP_LRVALUE(100.0 * 3 / total, BP_PERCENT_FORMAT()), "Percent");
  BP_END_GROUP(4, "Cases");
  BP_CATEGORY_DIMENSION(4, "Total", "Cases");
  countCells(15, 100.0);
  BP_ANNOTATE(measureLabel("^1^2^3 Jaccard Measure ^4", false, false, true), 1);
  BP_END_PIVOT_TABLE(4);
}

const std::vector<Item> kItems = {{1, "ann   "}, {2, "bob   "}, {3, "cy    "}};
const double kRoot2 = 1.4142135623730951;
const double kRoot8 = 2.8284271247461903;
const std::vector<std::vector<double>> kDistances = {
    {0.0, kRoot2, kRoot8}, {kRoot2, 0.0, kRoot2}, {kRoot8, kRoot2, 0.0}};

// Every table item of a JSON document, however deep.
void collectTables(const json& items, std::vector<json>& tables) {
  for (const json& item : items) {
    if (item["type"] == "table") tables.push_back(item);
    if (item.contains("items")) collectTables(item["items"], tables);
  }
}

std::vector<json> tablesOf(const std::string& document) {
  const json parsed = json::parse(document);
  EXPECT_EQ(parsed["version"], 1);
  std::vector<json> tables;
  collectTables(parsed["items"], tables);
  return tables;
}

int dimensionIndex(const json& table, const std::string& name) {
  for (std::size_t d = 0; d < table["dimensions"].size(); ++d) {
    if (table["dimensions"][d]["name"] == name) return static_cast<int>(d);
  }
  return -1;
}

std::vector<std::string> categoryTexts(const json& table, const std::string& dimension) {
  std::vector<std::string> texts;
  for (const json& c : table["dimensions"][dimensionIndex(table, dimension)]["categories"]) {
    texts.push_back(c["text"]);
  }
  return texts;
}

// ---- number formats ---------------------------------------------------------------

TEST(NumberFormats, CountsRoundHalfAwayFromZero) {
  EXPECT_EQ(formatNumber(2.5, NumberFormat::Count), "3");
  EXPECT_EQ(formatNumber(-2.5, NumberFormat::Count), "-3");
  EXPECT_EQ(formatNumber(2.4999, NumberFormat::Count), "2");
  EXPECT_EQ(formatNumber(-0.4, NumberFormat::Count), "0");  // no "-0"
  EXPECT_EQ(formatNumber(1234567.0, NumberFormat::Count), "1234567");
  EXPECT_EQ(engine::output::formatInteger(9007199254740993, NumberFormat::Count),
            "9007199254740993");  // exact beyond the doubles' integers
}

TEST(NumberFormats, FixedDecimalsRoundTheExactValue) {
  EXPECT_EQ(formatNumber(100.0 * 10 / 12, NumberFormat::Percent), "83.3%");
  EXPECT_EQ(formatNumber(100.0 * 2 / 12, NumberFormat::Percent), "16.7%");
  EXPECT_EQ(formatNumber(100.0, NumberFormat::Percent), "100.0%");
  EXPECT_EQ(formatNumber(0.25, NumberFormat::Percent), "0.3%");  // an exact tie goes up
  EXPECT_EQ(formatNumber(-5.0, NumberFormat::Percent), "-5.0%");
  EXPECT_EQ(formatNumber(kRoot2, NumberFormat::Coefficient), "1.414");
  EXPECT_EQ(formatNumber(0.0625, NumberFormat::Correlation), "0.063");  // exact tie
  EXPECT_EQ(formatNumber(-0.0625, NumberFormat::Correlation), "-0.063");
  EXPECT_EQ(formatNumber(1.0005, NumberFormat::Coefficient), "1.000");  // just below the tie
  EXPECT_EQ(formatNumber(0.9996, NumberFormat::Significance), "1.000");
  EXPECT_EQ(formatNumber(999.9996, NumberFormat::Coefficient), "1000.000");
  EXPECT_EQ(formatNumber(-0.0004, NumberFormat::Coefficient), "0.000");
  EXPECT_EQ(formatNumber(-1.23456, NumberFormat::Coefficient), "-1.235");
}

// The plain definition: the exact decimal expansion, cut after `decimals`
// places and rounded up when the next digit is 5 or more.
std::string exactRounding(double value, int decimals) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals + 60, std::fabs(value));
  std::string digits(buffer);
  const std::size_t point = digits.find('.');
  const bool up = digits[point + 1 + decimals] >= '5';
  digits.resize(decimals > 0 ? point + 1 + decimals : point);
  for (std::size_t i = digits.size(); up && i-- > 0;) {
    if (digits[i] == '.') continue;
    if (digits[i] != '9') {
      ++digits[i];
      break;
    }
    digits[i] = '0';
    if (i == 0) digits.insert(digits.begin(), '1');
  }
  const bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return (value < 0 && !zero) ? "-" + digits : digits;
}

TEST(NumberFormats, RoundingAgreesWithTheExactExpansion) {
  std::mt19937_64 random(20240601);
  std::uniform_real_distribution<double> spread(-2000.0, 2000.0);
  for (int i = 0; i < 20000; ++i) {
    // Half of the values sit on or next to a tie at three decimals.
    double value = spread(random);
    if (i % 2 == 0) {
      value = std::nextafter(std::round(value * 8) / 8, (i % 4 == 0) ? 1e9 : -1e9);
      if (i % 8 == 0) value = std::round(value * 8) / 8;
    }
    for (int decimals = 0; decimals <= 3; ++decimals) {
      ASSERT_EQ(engine::output::roundFixed(value, decimals), exactRounding(value, decimals))
          << std::hexfloat << value << " at " << decimals;
    }
  }
}

// The same over the decimals the general format uses and magnitudes from
// tiny to large, where a leading zero, a carry or a sign may go wrong.
TEST(NumberFormats, RoundingAgreesWithTheExactExpansionAtEveryScale) {
  std::mt19937_64 random(20261206);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> power(-7, 6);
  for (int i = 0; i < 20000; ++i) {
    const double value = mantissa(random) * std::pow(10.0, power(random));
    for (int decimals = 0; decimals <= 9; ++decimals) {
      ASSERT_EQ(engine::output::roundFixed(value, decimals), exactRounding(value, decimals))
          << std::hexfloat << value << " at " << decimals;
    }
  }
  EXPECT_EQ(engine::output::roundFixed(-0.0000004, 6), "0.000000");
  EXPECT_EQ(engine::output::roundFixed(0.0000006, 6), "0.000001");
  EXPECT_EQ(engine::output::roundFixed(-9.9996, 3), "-10.000");
  EXPECT_EQ(engine::output::roundFixed(123456.7, 0), "123457");
}

TEST(NumberFormats, GeneralShowsSixSignificantDigits) {
  EXPECT_EQ(formatNumber(0.0, NumberFormat::General), "0");
  EXPECT_EQ(formatNumber(2.5, NumberFormat::General), "2.5");
  EXPECT_EQ(formatNumber(100.0, NumberFormat::General), "100");
  EXPECT_EQ(formatNumber(1234.5678, NumberFormat::General), "1234.57");
  EXPECT_EQ(formatNumber(-1234.5678, NumberFormat::General), "-1234.57");
  EXPECT_EQ(formatNumber(1234567.8, NumberFormat::General), "1234568");
  EXPECT_EQ(formatNumber(99.999996, NumberFormat::General), "100");
  EXPECT_EQ(formatNumber(0.000123456789, NumberFormat::General), "0.000123457");
  EXPECT_EQ(formatNumber(0.00001, NumberFormat::General), "1e-05");
  EXPECT_EQ(formatNumber(1.5e20, NumberFormat::General), "1.5e+20");
  EXPECT_EQ(formatNumber(1e16, NumberFormat::Count), "1e+16");  // no 17-digit cells
}

TEST_F(OutputTest, SystemMissingShowsAsADot) {
  EXPECT_EQ(formatNumber(-DBL_MAX, NumberFormat::Coefficient, true), ".");
  std::ostringstream out;
  startBuilder(OutputFormat::Text, out);
  const double missing = Session::current().constants.systemMissing;
  EXPECT_EQ(shown(BP_LRVALUE(missing, BP_COEFFICIENT_FORMAT())), ".");
  EXPECT_EQ(shown(BP_LRVALUE(missing, BP_N_FORMAT())), ".");
  EXPECT_EQ(shown(BP_LRVALUE(-1.5, BP_N_FORMAT())), "-2");
  EXPECT_EQ(shown(BP_IVALUE(1360, BP_N_FORMAT())), "1360");
  EXPECT_EQ(shown(BP_IVALUE(3, BP_PERCENT_FORMAT())), "3.0%");
  finishBuilder();
}

// ---- strings and composites ---------------------------------------------------------

TEST_F(OutputTest, CompositeParametersFillInOrderAndBlanksDoNotDouble) {
  std::ostringstream out;
  startBuilder(OutputFormat::Text, out);
  EXPECT_EQ(shown(measureLabel("^1^2^3 Euclidean Distance ^4", false, false, false)),
            "Euclidean Distance");
  EXPECT_EQ(shown(measureLabel("^1^2^3 Euclidean Distance ^4", true, true, true)),
            "Rescaled Absolute Euclidean Distance (matrix not printed)");
  BP_BEGIN_COMPSTRING("^1^2^3 Power (^4,^5) Distance ^6");
  for (int i = 0; i < 3; ++i) BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE(""));
  BP_ADD_PARAMETER(BP_IVALUE(3, BP_N_FORMAT()));
  BP_ADD_PARAMETER(BP_IVALUE(2, BP_N_FORMAT()));
  BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE(""));
  EXPECT_EQ(shown(BP_END_COMPSTRING()), "Power (3,2) Distance");
  // An escaped colon, and data keeping its inner blanks.
  EXPECT_EQ(shown(itemLabel({12, "a  b    "})), "12:a  b");
  // A parameter the procedure does not give shows as nothing.
  BP_BEGIN_COMPSTRING("Matrix input/output was specified on a READ ^1");
  EXPECT_EQ(shown(BP_END_COMPSTRING()), "Matrix input/output was specified on a READ");
  EXPECT_EQ(BP_END_COMPSTRING(), 0);  // none open: no handle
  finishBuilder();
}

TEST_F(OutputTest, RepeatListsUseTheFirstAndLaterPatterns) {
  std::ostringstream out;
  startBuilder(OutputFormat::Text, out);
  BP_BEGIN_COMPSTRING("[%1 = %2:, ^1 = ^2:]1");
  BP_BEGIN_REPEAT_LIST();
  BP_SPLIT_LIST(ws_);
  BP_END_REPEAT_LIST();
  EXPECT_EQ(shown(BP_END_COMPSTRING()), "sex = Male, hair = Black");

  BP_BEGIN_COMPSTRING("Variable(s) containing binary [%1:, ^1:]1 ...");
  BP_BEGIN_REPEAT_LIST();
  BP_ADD_PARAMETER(BP_VARIABLE(TAVIXWDAT().working, 1, 2));
  BP_ADD_PARAMETER(BP_VARIABLE(TAVIXWDAT().working, 2, 2));
  BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE("..."));
  BP_END_REPEAT_LIST();
  EXPECT_EQ(shown(BP_END_COMPSTRING()), "Variable(s) containing binary war, fly, ... ...");

  // One element: only the first pattern; a list parameter after a plain one.
  BP_BEGIN_COMPSTRING("^1 in [(%1):; ^1:]2!");
  BP_ADD_PARAMETER(BP_CSTRING("Gap"));
  BP_BEGIN_REPEAT_LIST();
  BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE("x"));
  BP_END_REPEAT_LIST();
  EXPECT_EQ(shown(BP_END_COMPSTRING()), "Gap in (x)!");

  // A bracket that is no repeat list is shown as it is.
  BP_BEGIN_COMPSTRING("range [0, 1] ^1");
  BP_ADD_PARAMETER(BP_CSTRING("ok"));
  EXPECT_EQ(shown(BP_END_COMPSTRING()), "range [0, 1] ok");
  finishBuilder();
}

TEST_F(OutputTest, CatalogueTranslatesCodedMessagesAndNumberedTexts) {
  std::ostringstream out;
  startBuilder(OutputFormat::Text, out);
  const std::string plain = shown(BP_CSTRING("E14730"));
  EXPECT_THAT(plain, HasSubstr("Too few valid cases or variables"));
  EXPECT_THAT(plain, Not(HasSubstr("E14730")));
  EXPECT_EQ(shown(BP_CSTRING_NO_TRANSLATE("E14730")), "E14730");
  EXPECT_EQ(shown(BP_CSTRING("Invalid Subcommand")), "Invalid Subcommand");

  for (const char* code : {"E14730", "E14756"}) {
    BP_BEGIN_COMPSTRING(std::string(code) + " split [%1 = %2:, ^1 = ^2:]1...");
    BP_BEGIN_REPEAT_LIST();
    BP_SPLIT_LIST(ws_);
    BP_END_REPEAT_LIST();
    const std::string text = shown(BP_END_COMPSTRING());
    EXPECT_THAT(text, HasSubstr("in the group sex = Male, hair = Black")) << code;
    EXPECT_THAT(text, Not(HasSubstr(code)));
  }

  std::string buffer(41, ' ');
  for (Word number = 14701; number <= 14704; ++number) {
    const Word length = GETTXT(number, std::span<char>(buffer.data(), 40));
    EXPECT_GT(length, 0) << number;
    EXPECT_LE(length, 40) << number;
  }
  std::array<char, 4> small{};
  EXPECT_EQ(GETTXT(14701, small), 4);  // cut to the buffer
  EXPECT_EQ(std::string(small.data(), 4), "Resc");
  EXPECT_EQ(GETTXT(99999, small), 0);
  finishBuilder();
}

// ---- tables ---------------------------------------------------------------------------

TEST_F(OutputTest, ProximityMatrixAsTextAndJson) {
  const auto calls = [&] { printMatrix(ws_, kItems, kDistances, false); };
  const std::string text = render(OutputFormat::Text, calls);
  // Items down the rows and across the columns, the measure label spanning
  // the three item columns (19 characters wide: centred, one blank spare).
  EXPECT_EQ(text,
            "Proximity Matrix [a]\n"
            "       Euclidean Distance\n"
            "       1:ann  2:bob   3:cy\n"
            "1:ann  0.000  1.414  2.828\n"
            "2:bob  1.414  0.000  1.414\n"
            "3:cy   2.828  1.414  0.000\n"
            "[a] This is a dissimilarity matrix\n");

  const std::vector<json> tables = tablesOf(render(OutputFormat::Json, calls));
  ASSERT_EQ(tables.size(), 1u);
  const json& t = tables[0];
  EXPECT_EQ(t["title"], "Proximity Matrix");
  EXPECT_EQ(t["table_footnotes"], json::array({"a"}));
  EXPECT_EQ(t["footnotes"][0]["text"], "This is a dissimilarity matrix");
  EXPECT_THAT(categoryTexts(t, "Measure"), ::testing::ElementsAre("Euclidean Distance"));
  EXPECT_THAT(categoryTexts(t, "Case"), ::testing::ElementsAre("1:ann", "2:bob", "3:cy"));
  EXPECT_THAT(categoryTexts(t, "Case2"), ::testing::ElementsAre("1:ann", "2:bob", "3:cy"));
  const int row = dimensionIndex(t, "Case");
  const int column = dimensionIndex(t, "Case2");
  EXPECT_EQ(t["dimensions"][row]["axis"], "rows");
  EXPECT_EQ(t["dimensions"][column]["axis"], "columns");
  EXPECT_EQ(t["layout"]["columns"],
            json::array({dimensionIndex(t, "Measure"), column}));  // measure outside
  ASSERT_EQ(t["cells"].size(), 9u);
  const std::vector<std::vector<std::string>> shownTexts = {
      {"0.000", "1.414", "2.828"}, {"1.414", "0.000", "1.414"}, {"2.828", "1.414", "0.000"}};
  for (const json& cell : t["cells"]) {
    const int i = cell["position"][row];
    const int j = cell["position"][column];
    EXPECT_EQ(cell["text"], shownTexts[i][j]);
    EXPECT_EQ(cell["value"].get<double>(), kDistances[i][j]);  // reads back exactly
    EXPECT_EQ(cell["format"], "coefficient");
  }
}

TEST_F(OutputTest, SplitGroupTableSitsUnderItsHeading) {
  const auto calls = [&] {
    BP_PROCEDURE("Proximities", 11, 1, ws_);
    BP_SPLIT_CHANGE(ws_);
    printMatrix(ws_, {kItems[0], kItems[1]}, {{0.0, 0.5}, {0.5, 0.0}}, true);
    BP_END_PROCEDURE();
  };
  const std::string text = render(OutputFormat::Text, calls);
  EXPECT_THAT(text, HasSubstr("Proximities\n===========\n\n"
                              "Proximity Matrix\n----------------\n\n"
                              "sex = Male, hair = Black [a]\n"));

  const json document = json::parse(render(OutputFormat::Json, calls));
  const json& procedure = document["items"][0];
  EXPECT_EQ(procedure["type"], "procedure");
  EXPECT_EQ(procedure["title"], "Proximities");
  EXPECT_EQ(procedure["command"]["text"], "PROXIMITIES x y /MEASURE=FOO.");
  const json& heading = procedure["items"][0];
  EXPECT_EQ(heading["type"], "heading");
  EXPECT_EQ(heading["title"], "Proximity Matrix");
  EXPECT_EQ(heading["items"][0]["title"], "sex = Male, hair = Black");
}

TEST_F(OutputTest, EmptyMatrixStillShowsItsMeasureAndFootnote) {
  const auto calls = [&] { printMatrix(ws_, {}, {}, false); };
  EXPECT_EQ(render(OutputFormat::Text, calls),
            "Proximity Matrix [a]\n"
            "Euclidean Distance\n"
            "[a] This is a dissimilarity matrix\n");
  const std::vector<json> tables = tablesOf(render(OutputFormat::Json, calls));
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_TRUE(tables[0]["cells"].empty());
  EXPECT_THAT(categoryTexts(tables[0], "Measure"), ::testing::ElementsAre("Euclidean Distance"));
}

TEST_F(OutputTest, CaseProcessingSummaryAsTextAndJson) {
  const std::string text = render(OutputFormat::Text, printSummary);
  // Label columns: "Rejected" (8) and the longest category with its marker
  // (29); "Valid" and "Total" span both. N is 5 wide ("3 [b]"), Percent 7.
  std::vector<std::string> lines = {
      "Case Processing Summary [c]",
      std::string(8 + 2 + 29 + 2 + 4, ' ') + "N  Percent",
      std::string("Valid") + std::string(34 + 2 + 3, ' ') + "10" + std::string(4, ' ') + "66.7%",
      std::string("Rejected  Missing Value") + std::string(16 + 2 + 4, ' ') + "2" +
          std::string(4, ' ') + "13.3%",
      std::string(8 + 2, ' ') + "Out of Range Binary Value [a]  3 [b]" + std::string(4, ' ') +
          "20.0%",
      std::string("Total") + std::string(34 + 2 + 3, ' ') + "15" + std::string(3, ' ') + "100.0%",
      "[a] Value different from 1 0 ...",
      "[b] Variable(s) containing binary war, fly ...",
      "[c] Jaccard Measure (matrix not printed)"};
  std::string expected;
  for (const std::string& line : lines) expected.append(line).append("\n");
  EXPECT_EQ(text, expected);

  const std::vector<json> tables = tablesOf(render(OutputFormat::Json, printSummary));
  ASSERT_EQ(tables.size(), 1u);
  const json& t = tables[0];
  EXPECT_EQ(t["title_footnotes"], json::array({"c"}));
  EXPECT_THAT(categoryTexts(t, "Statistics"), ::testing::ElementsAre("N", "Percent"));
  EXPECT_THAT(
      categoryTexts(t, "Cases"),
      ::testing::ElementsAre("Valid", "Missing Value", "Out of Range Binary Value", "Total"));
  const json& cases = t["dimensions"][dimensionIndex(t, "Cases")];
  EXPECT_EQ(cases["groups"][0]["label"], "Rejected");
  EXPECT_FALSE(cases["categories"][0].contains("group"));
  EXPECT_EQ(cases["categories"][1]["group"], 0);
  EXPECT_EQ(cases["categories"][2]["group"], 0);
  EXPECT_EQ(cases["categories"][2]["footnotes"], json::array({"a"}));
  EXPECT_EQ(cases["axis"], "rows");
  // Cells in row order: N then Percent for each of the four rows.
  const std::vector<std::string> texts = {"10", "66.7%", "2",  "13.3%",
                                          "3",  "20.0%", "15", "100.0%"};
  ASSERT_EQ(t["cells"].size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(t["cells"][i]["text"], texts[i]);
  EXPECT_EQ(t["cells"][4]["footnotes"], json::array({"b"}));
  EXPECT_EQ(t["cells"][4]["value"], 3);
  EXPECT_EQ(t["footnotes"][1]["text"], "Variable(s) containing binary war, fly ...");
}

TEST_F(OutputTest, NotesListingsAndVariableLabels) {
  const auto calls = [&] {
    BP_BEGIN_GROUP(1, "Missing Value Handling", "Contents");
    BP_CELL_IN_CATEGORY(1, BP_CSTRING("MISSING=EXCLUDE..."), "Definition of Missing");
    BP_CELL_IN_CATEGORY(1, BP_CSTRING("MISSING=LISTWISE..."), "Cases Used");
    BP_END_GROUP(1, "Contents");
    BP_BEGIN_GROUP(1, "Resources", "Contents");
    BP_CELL_IN_CATEGORY(1, BP_IVALUE(1360, BP_N_FORMAT()), "Workspace Bytes");
    BP_END_GROUP(1, "Contents");
    BP_BEGIN_PIVOT_TABLE(3, "Proximity Matrix", "Proximity Matrix");
    BP_CATEGORY_DIMENSION(3, BP_VARINDEX(TAVIXWDAT().working, 1), "Variables1");
    BP_CELL_IN_CATEGORY(3, BP_LRVALUE(0.5, BP_CORRELATION_FORMAT()), "x");
    BP_END_PIVOT_TABLE(3);
  };
  const std::string text = render(OutputFormat::Text, calls);
  EXPECT_THAT(text, HasSubstr("Missing Value Handling\n"
                              "  Definition of Missing  MISSING=EXCLUDE...\n"
                              "  Cases Used             MISSING=LISTWISE...\n\n"
                              "Resources\n"
                              "  Workspace Bytes  1360\n"));
  EXPECT_THAT(text, HasSubstr("war  0.500\n"));  // the variable by its name

  const json document = json::parse(render(OutputFormat::Json, calls));
  const json& resources = document["items"][1];
  EXPECT_EQ(resources["type"], "notes");
  EXPECT_EQ(resources["title"], "Resources");
  EXPECT_EQ(resources["entries"][0]["category"], "Workspace Bytes");
  EXPECT_EQ(resources["entries"][0]["value"], 1360);
  const json& variable = document["items"][2]["dimensions"][0]["categories"][0];
  EXPECT_EQ(variable["kind"], "variable");
  EXPECT_EQ(variable["text"], "war");
  EXPECT_EQ(variable["variable_label"], "Country at war");
}

// ---- messages ---------------------------------------------------------------------------

TEST_F(OutputTest, ErrorsSetTheHostFlagAndCarryTheirCommand) {
  Session& s = Session::current();
  std::ostringstream textOut;
  startBuilder(OutputFormat::Text, textOut);
  s.global.errorFlag = kFalse;
  BP_ERROR(BP_CSTRING("STANDARDIZE cannot be used with a binary measure"), 1, 2);
  EXPECT_FALSE(isTrue(s.global.errorFlag));
  BP_ERROR(BP_CSTRING("Invalid Subcommand FOO"), 3, 3);
  EXPECT_TRUE(isTrue(s.global.errorFlag));
  s.global.errorFlag = kFalse;
  builder_->message(1, "The engine's own note.");
  EXPECT_FALSE(isTrue(s.global.errorFlag));
  builder_->message(3, "The engine's own error.");
  EXPECT_TRUE(isTrue(s.global.errorFlag));
  finishBuilder();
  EXPECT_EQ(textOut.str(),
            "Warning: STANDARDIZE cannot be used with a binary measure\n"
            "  (in: PROXIMITIES x y /MEASURE=FOO. at file.prox:3)\n\n"
            "Error: Invalid Subcommand FOO\n"
            "  (in: PROXIMITIES x y /MEASURE=FOO. at file.prox:3)\n\n"
            "Note: The engine's own note.\n"
            "  (in: PROXIMITIES x y /MEASURE=FOO. at file.prox:3)\n\n"
            "Error: The engine's own error.\n"
            "  (in: PROXIMITIES x y /MEASURE=FOO. at file.prox:3)\n");

  const json document = json::parse(
      render(OutputFormat::Json, [] { BP_ERROR(BP_CSTRING("Invalid Subcommand FOO"), 3, 3); }));
  const json& m = document["items"][0];
  EXPECT_EQ(m["type"], "message");
  EXPECT_EQ(m["severity"], "error");
  EXPECT_EQ(m["class"], 3);
  EXPECT_EQ(m["text"], "Invalid Subcommand FOO");
  EXPECT_EQ(m["command"]["location"], "file.prox:3");
}

// ---- streaming ---------------------------------------------------------------------------

TEST_F(OutputTest, TablesAreRenderedWhenClosedAndTheirHandlesReleased) {
  std::ostringstream out;
  startBuilder(OutputFormat::Json, out);
  const auto& document = builder_->document();
  BP_PROCEDURE("Proximities", 11, 1, ws_);
  const Word label = BP_CSTRING("kept");
  const std::size_t before = document.liveHandles();
  BP_BEGIN_PIVOT_TABLE(3, "Proximity Matrix", "Proximity Matrix");
  BP_CATEGORY_DIMENSION(3, "row", "Case");
  for (int j = 0; j < 50; ++j) {
    BP_CELL_IN_CATEGORY(3, BP_LRVALUE(j, BP_GENSTAT_FORMAT()), std::to_string(j));
  }
  const std::string whileOpen = out.str();
  EXPECT_THAT(whileOpen, Not(HasSubstr("\"table\"")));
  EXPECT_GE(document.liveHandles(), before + 50);
  BP_END_PIVOT_TABLE(3);
  EXPECT_THAT(out.str(), HasSubstr("\"table\""));
  EXPECT_EQ(document.liveHandles(), before);
  EXPECT_EQ(shown(label), "kept");  // made outside the table: still there

  // However many cells a table gets, only a window of recent handles is kept.
  using engine::output::DocumentBuilder;
  BP_BEGIN_PIVOT_TABLE(3, "Big", "Big");
  const Word first = BP_LRVALUE(0.0, BP_GENSTAT_FORMAT());
  for (Word j = 1; j <= DocumentBuilder::kTableHandleWindow + 10; ++j) {
    BP_CELL_IN_CATEGORY(3, BP_LRVALUE(static_cast<double>(j), BP_GENSTAT_FORMAT()), "N");
  }
  EXPECT_LE(document.liveHandles(), before + DocumentBuilder::kTableHandleWindow);
  EXPECT_EQ(shown(first), "<no handle>");
  BP_END_PIVOT_TABLE(3);

  // A table the command leaves open is dropped; the document stays valid.
  BP_BEGIN_PIVOT_TABLE(4, "Unfinished", "Unfinished");
  BP_CELL_IN_CATEGORY(4, BP_IVALUE(1, BP_N_FORMAT()), "N");
  finishBuilder();
  const json parsed = json::parse(out.str());
  EXPECT_THAT(out.str(), Not(HasSubstr("Unfinished")));
  EXPECT_EQ(parsed["items"][0]["items"].size(), 2u);
}

// ---- the handles of a large table -------------------------------------------------------

// The window of table handles is a ring of reused entries. Whatever kind of
// handle an entry held before, it resolves to what was made in it last: a
// number's text made from its own value, no variable label left over, no
// stale text.
TEST_F(OutputTest, ReusedHandleEntriesResolveToTheirLatestContent) {
  using engine::output::Content;
  using engine::output::DocumentBuilder;
  std::ostringstream out;
  startBuilder(OutputFormat::Text, out);
  BP_PROCEDURE("Proximities", 11, 1, ws_);
  BP_BEGIN_PIVOT_TABLE(3, "Big", "Big");
  const DocumentBuilder& document = builder_->document();
  // A number's text is made when it is first asked for, not before.
  const Word lazy = BP_LRVALUE(2.5, BP_COEFFICIENT_FORMAT());
  ASSERT_NE(document.peek(lazy), nullptr);
  EXPECT_EQ(document.peek(lazy)->text, "");
  EXPECT_EQ(document.find(lazy)->text, "2.500");
  EXPECT_EQ(document.peek(lazy)->text, "2.500");
  struct Made {
    Word handle;
    std::string text;
    std::string label;
    Content::Kind kind;
    bool integer;
  };
  std::vector<Made> made;
  // Five kinds of item in turn (seven handles) over more than a window: as 7
  // does not divide the window, each entry is reused for another kind.
  const Word total = DocumentBuilder::kTableHandleWindow + 1000;
  for (Word k = 0; made.size() < static_cast<std::size_t>(total); ++k) {
    switch (k % 5) {
      case 0: {
        // k + 0.25 is exact: three decimals show it without any rounding.
        const Word h = BP_LRVALUE(static_cast<double>(k) + 0.25, BP_COEFFICIENT_FORMAT());
        made.push_back({h, std::to_string(k) + ".250", "", Content::Kind::Number, false});
        break;
      }
      case 1:
        made.push_back({BP_IVALUE(-k, BP_N_FORMAT()), "-" + std::to_string(k), "",
                        Content::Kind::Number, true});
        break;
      case 2: {
        const std::string text = "a longer text than fits in place " + std::to_string(k);
        made.push_back({BP_CSTRING_NO_TRANSLATE(text), text, "", Content::Kind::Text, false});
        break;
      }
      case 3: {
        const bool war = k % 2 == 1;
        made.push_back({BP_VARINDEX(0, war ? 1 : 2), war ? "war" : "fly",
                        war ? "Country at war" : "", Content::Kind::Variable, false});
        break;
      }
      default: {
        // Three handles: the two parameters and the composite.
        const Word number = BP_IVALUE(k, BP_N_FORMAT());
        const Word id = BP_NSTRING_NO_TRANSLATE("id  ");
        BP_BEGIN_COMPSTRING("^1\\:^2");
        BP_ADD_PARAMETER(number);
        BP_ADD_PARAMETER(id);
        const Word h = BP_END_COMPSTRING();
        made.push_back({number, std::to_string(k), "", Content::Kind::Number, true});
        made.push_back({id, "id", "", Content::Kind::Text, false});
        made.push_back({h, std::to_string(k) + ":id", "", Content::Kind::Text, false});
      }
    }
  }
  // Every handle of the last window resolves; the oldest have gone.
  std::size_t checked = 0;
  for (const Made& m : made) {
    if (m.handle <= made.back().handle - DocumentBuilder::kTableHandleWindow) {
      EXPECT_EQ(document.find(m.handle), nullptr);
      continue;
    }
    const auto c = document.resolve(m.handle);
    ASSERT_TRUE(c.has_value());
    ASSERT_EQ(c->text, m.text) << "handle " << m.handle;
    ASSERT_EQ(c->variableLabel, m.label) << "handle " << m.handle;
    ASSERT_EQ(c->kind, m.kind) << "handle " << m.handle;
    ASSERT_EQ(c->integer, m.integer) << "handle " << m.handle;
    ++checked;
  }
  EXPECT_GT(checked, static_cast<std::size_t>(DocumentBuilder::kTableHandleWindow) / 2);
  BP_END_PIVOT_TABLE(3);
  finishBuilder();
}

// How the procedure labels the items of a matrix, one way per test run.
enum class ItemLabel { Count, Id, Variable };

// A matrix whose columns are declared by one set of label handles and whose
// cells name their column by a label handle made afresh for each cell, in a
// shuffled order, some rows with a label not declared as a column. Each cell
// shows 100 * row + column so that its place can be checked. With `asText`
// the cells name their column by its text instead, the plain path.
std::string itemMatrix(ItemLabel kind, bool asText, std::size_t rows) {
  const std::vector<Word> caseNumbers = {7, 3, 12, 5, 250};
  const auto id = [](std::size_t k) { return "id" + std::to_string(k) + "   "; };
  const auto make = [&](std::size_t k) -> Word {
    if (kind == ItemLabel::Variable) return BP_VARINDEX(0, static_cast<Word>(k % 2 + 1));
    const Word number = BP_IVALUE(caseNumbers[k], BP_N_FORMAT());
    if (kind == ItemLabel::Count) return number;
    BP_BEGIN_COMPSTRING("^1\\:^2");
    BP_ADD_PARAMETER(number);
    BP_ADD_PARAMETER(BP_NSTRING_NO_TRANSLATE(id(k)));
    return BP_END_COMPSTRING();
  };
  const auto text = [&](std::size_t k) -> std::string {
    if (kind == ItemLabel::Variable) return k % 2 == 0 ? "war" : "fly";
    const std::string number = std::to_string(caseNumbers[k]);
    return kind == ItemLabel::Count ? number : number + ":id" + std::to_string(k);
  };
  const std::size_t columns = kind == ItemLabel::Variable ? 2 : caseNumbers.size() - 1;
  BP_BEGIN_PIVOT_TABLE(3, "Proximity Matrix", "Proximity Matrix");
  BP_CELL_DIMENSION(3, "Case2");
  BP_POSITION_DIMENSION(3, "Case2", 1, 1, 1, 0);
  BP_POSITION_DIMENSION(3, "Case", 1, 0, 1, 0);
  for (std::size_t j = 0; j < columns; ++j) {
    // One column is declared by its text: a count must still find it.
    const Word label = j == 1 ? BP_CSTRING_NO_TRANSLATE(" " + text(j) + " ") : make(j);
    BP_CATEGORY_DIMENSION(3, label, "Case2");
  }
  std::mt19937 random(42);
  std::vector<std::size_t> order(columns);
  for (std::size_t j = 0; j < columns; ++j) order[j] = j;
  for (std::size_t i = 0; i < rows; ++i) {
    BP_CATEGORY_DIMENSION(3, "row" + std::to_string(i), "Case");
    if (i % 2 == 1) std::shuffle(order.begin(), order.end(), random);
    for (const std::size_t j : order) {
      const Word cell = BP_LRVALUE(static_cast<double>(100 * i + j), BP_N_FORMAT());
      if (asText) {
        BP_CELL_IN_CATEGORY(3, cell, text(j));
      } else {
        BP_CELL_IN_CATEGORY(3, cell, make(j));
      }
    }
    // The last item was never declared: its cell makes a new column.
    if (i == rows - 1 && kind != ItemLabel::Variable) {
      const Word cell = BP_LRVALUE(static_cast<double>(100 * i + columns), BP_N_FORMAT());
      if (asText) {
        BP_CELL_IN_CATEGORY(3, cell, text(columns));
      } else {
        BP_CELL_IN_CATEGORY(3, cell, make(columns));
      }
    }
  }
  BP_END_PIVOT_TABLE(3);
  return text(columns);
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

TEST_F(OutputTest, LabelsMadeAfreshForEachCellPlaceItInItsColumn) {
  for (const ItemLabel kind : {ItemLabel::Count, ItemLabel::Id, ItemLabel::Variable}) {
    SCOPED_TRACE(static_cast<int>(kind));
    for (const std::size_t rows : {std::size_t{1}, std::size_t{6}}) {
      std::string extra;
      const std::string byHandle =
          render(OutputFormat::Text, [&] { extra = itemMatrix(kind, false, rows); });
      const std::string byText = render(OutputFormat::Text, [&] { itemMatrix(kind, true, rows); });
      EXPECT_EQ(byHandle, byText);

      // The header names the columns in the order declared, the undeclared
      // item last; every body line has the row label, then the cells in
      // column order, 100 * row + column each.
      std::istringstream lines(byHandle);
      std::vector<std::vector<std::string>> body;
      std::vector<std::string> header;
      bool title = false;
      for (std::string line; std::getline(lines, line);) {
        if (line.rfind("row", 0) == 0) body.push_back(words(line));
        if (title && header.empty()) header = words(line);
        if (line == "Proximity Matrix") title = true;
      }
      ASSERT_EQ(body.size(), rows);
      const std::size_t columns = kind == ItemLabel::Variable ? 2 : 4;
      const std::size_t shown = kind == ItemLabel::Variable ? 2 : 5;
      ASSERT_EQ(header.size(), shown);
      EXPECT_EQ(header.back(), kind == ItemLabel::Variable ? "fly" : extra);
      EXPECT_EQ(header.front(), kind == ItemLabel::Count ? "7"
                                : kind == ItemLabel::Id  ? "7:id0"
                                                         : "war");
      for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t cells = i == rows - 1 ? shown : columns;
        ASSERT_EQ(body[i].size(), 1 + cells) << "row " << i;
        for (std::size_t j = 0; j < cells; ++j) {
          EXPECT_EQ(body[i][1 + j], std::to_string(100 * i + j)) << "row " << i << " column " << j;
        }
      }
    }
  }
}

}  // namespace
