// The names columns get when their headers are not valid variable names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/data/csv_table.h"
#include "engine/data/variable_names.h"

namespace {

using engine::data::isValidVariableName;
using engine::data::validVariableName;
using engine::data::variableNames;
using ::testing::ElementsAre;

TEST(VariableNames, InvalidHeadersAreMadeValid) {
  EXPECT_EQ(validVariableName("mpg", 1), "mpg");
  EXPECT_EQ(validVariableName("0", 1), "v0");
  EXPECT_EQ(validVariableName("fuel use (l)", 1), "fuel_use__l_");
  EXPECT_EQ(validVariableName("", 7), "v7");
  EXPECT_EQ(validVariableName("größe", 1), "gr__e");  // one "_" per character, not per byte
  EXPECT_EQ(validVariableName("$x", 1), "v$x");
  const std::string made = validVariableName(std::string(80, '-'), 1);
  EXPECT_EQ(made.size(), engine::data::kMaxNameLength);
  for (const char* header : {"0", "fuel use (l)", "", "größe", "$x", "a.b"}) {
    EXPECT_TRUE(isValidVariableName(validVariableName(header, 3))) << header;
  }
}

TEST(VariableNames, ValidNamesAreKeptAndAllDifferInMoreThanCase) {
  EXPECT_THAT(variableNames({"0", "1", "v0", "a b", "A_B", "x", "X"}),
              ElementsAre("v0_2", "v1", "v0", "a_b_2", "A_B", "x", "X_2"));
  // The suffix fits within the longest name.
  const std::string longest(engine::data::kMaxNameLength, 'n');
  const auto names = variableNames({longest, longest + "!"});
  EXPECT_EQ(names[0], longest);
  EXPECT_EQ(names[1], longest.substr(0, longest.size() - 2) + "_2");
}

}  // namespace
