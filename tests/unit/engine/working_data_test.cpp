// Working data handed to the engine in memory, column by column, and read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/core/session.h"
#include "engine/engine.h"
#include "tests/unit/support/fresh_session.h"

namespace {

using engine::DataColumn;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class WorkingData : public FreshSession {};

TEST_F(WorkingData, ColumnsBecomeTheWorkingDataAndComeBack) {
  const double missing = engine::systemMissingValue();
  engine_->setWorkingData({DataColumn{"x", false, {1.5, missing, -2.0}, {}},
                           DataColumn{"name", true, {}, {"ab", "", "abcd"}}},
                          "the data given");
  const engine::Dataset& data = *session().dataset;
  ASSERT_EQ(data.dictionary.size(), 2U);
  EXPECT_EQ(data.dictionary.at(2).width, 4);  // the longest value
  EXPECT_EQ(data.source(), "the data given");

  // A pass sees string values padded to the width, as from a file.
  auto cursor = data.open();
  engine::Case c;
  ASSERT_TRUE(cursor->next(c));
  EXPECT_EQ(c.values[0], 1.5);
  EXPECT_EQ(c.strings[1], "ab  ");

  const std::vector<DataColumn> back = engine_->workingData();
  ASSERT_EQ(back.size(), 2U);
  EXPECT_THAT(back[0].numbers, ElementsAre(1.5, missing, -2.0));
  EXPECT_THAT(back[1].texts, ElementsAre("ab", "", "abcd"));

  // The data commands work on them.
  EXPECT_TRUE(engine_->run("GROUP BY name.", "t"));
  EXPECT_FALSE(engine_->errorShown());
  EXPECT_THAT(session().split.variables, ElementsAre(2));
}

TEST_F(WorkingData, BadColumnsAreRefused) {
  EXPECT_THROW(engine_->setWorkingData({DataColumn{"0", false, {1.0}, {}}}, "d"),
               std::invalid_argument);
  EXPECT_THROW(engine_->setWorkingData(
                   {DataColumn{"a", false, {1.0}, {}}, DataColumn{"A", false, {2.0}, {}}}, "d"),
               std::invalid_argument);
  try {
    engine_->setWorkingData(
        {DataColumn{"a", false, {1.0, 2.0}, {}}, DataColumn{"b", true, {}, {"x"}}}, "d");
    FAIL() << "columns of different lengths were taken";
  } catch (const std::invalid_argument& e) {
    EXPECT_THAT(e.what(), HasSubstr("b has 1 values"));
  }
  EXPECT_EQ(session().dataset, nullptr);
}

}  // namespace
