// Every measure, between cases and between variables, printed in full and
// compared with matrices worked out independently of this code from the
// definitions of the measures, the standardizations and the transformations
// (tests/data/measures/make_expected.py, which wrote expected.json): every
// cell's value and number format, the measure's label above the columns and
// the footnote that says what kind of matrix it is.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/unit/support/matrix_test_support.h"

namespace {

using nlohmann::json;

json expectedCases() {
  return json::parse(
      matrix_test::readFile(std::string(PROX_SOURCE_DIR) + "/tests/data/measures/expected.json"));
}

// Values of an inexact computation may differ from the independent ones by
// rounding: relative to the value, or absolute below 1 (a correlation of 0
// may come out as 1e-17).
constexpr double kTolerance = 1e-13;
// Enough wrong cells to see the pattern without flooding the log.
constexpr int kCellsReported = 6;

std::string shownAs(const std::optional<double>& value) {
  if (!value) return "missing";
  std::ostringstream text;
  text.precision(17);
  text << *value;
  return text.str();
}

// Empty when the shown cell is what was expected, else what is wrong.
std::string cellProblem(const std::optional<double>& got, const std::string& text, const json& want,
                        bool exact) {
  if (want.is_null()) {
    // Missing must be the system-missing value, not a NaN shown as missing.
    if (got || text != ".")
      return "shown " + shownAs(got) + " (\"" + text + "\"), expected missing";
    return "";
  }
  const double expected = want.get<double>();
  if (!got) return "shown missing, expected " + shownAs(expected);
  const double allowed = exact ? 0.0 : kTolerance * std::max(1.0, std::fabs(expected));
  if (std::fabs(*got - expected) <= allowed) return "";
  return "shown " + shownAs(got) + ", expected " + shownAs(expected);
}

void checkCase(const json& c, const json& datasets) {
  const std::string name = c["name"];
  const std::string commands = datasets[c["dataset"].get<std::string>()].get<std::string>() +
                               c["commands"].get<std::string>();
  const matrix_test::Shown shown = matrix_test::run(commands);
  ASSERT_FALSE(shown.anyError()) << name << ": " << ::testing::PrintToString(shown.messages);
  ASSERT_EQ(shown.tables.size(), 1u) << name;
  const matrix_test::ShownTable& table = shown.tables[0];
  const std::string label = c["label"], footnote = c["footnote"];
  EXPECT_EQ(table.measure, label) << name;
  EXPECT_EQ(table.footnote, footnote) << name;
  const auto items = c["items"].get<std::vector<std::string>>();
  ASSERT_EQ(table.rows, items) << name << ": the rows";
  ASSERT_EQ(table.columns, items) << name << ": the columns";

  const std::string format = c["format"];
  const bool exact = c["exact"];
  const json& values = c["values"];
  int wrong = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    for (std::size_t j = 0; j < items.size(); ++j) {
      const std::size_t at = i * items.size() + j;
      std::string problem = cellProblem(table.values[at], table.texts[at], values[i][j], exact);
      if (table.formats[at] != format) {
        problem += (problem.empty() ? "" : "; ") + std::string("format ") + table.formats[at] +
                   ", expected " + format;
      }
      if (problem.empty()) continue;
      if (++wrong <= kCellsReported) {
        ADD_FAILURE() << name << ": cell (" << items[i] << ", " << items[j] << "): " << problem;
      }
    }
  }
  if (wrong > kCellsReported) {
    ADD_FAILURE() << name << ": " << wrong << " cells wrong of " << items.size() * items.size();
  }
}

TEST(MeasureValues, EveryMeasureInBothViewsMatchesIndependentValues) {
  const json expected = expectedCases();
  std::set<std::pair<int, std::string>> covered;
  for (const json& c : expected["cases"]) {
    checkCase(c, expected["datasets"]);
    covered.insert({c["code"].get<int>(), c["view"].get<std::string>()});
  }
  for (int code = 1; code <= 36; ++code) {
    for (const std::string view : {"CASE", "VARIABLE"}) {
      EXPECT_TRUE(covered.count({code, view}))
          << "no case of measure " << code << " with VIEW=" << view;
    }
  }
}

}  // namespace
