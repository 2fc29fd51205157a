// MATRIX=OUT(*) kept for the caller (EngineOptions::keepWrittenMatrix): the
// same matrix that becomes the working data otherwise, as dense rows, with
// the working data left as they were.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/session.h"
#include "engine/engine.h"
#include "proc/prox.h"
#include "tests/unit/support/test_host.h"

namespace {

using ::testing::ElementsAre;

// Eleven cases in two groups of unequal size, one case with a missing value:
// more rows than one block of rows the procedure writes at a time, padding
// rows in the smaller group, and a row left out.
const char* const kData =
    "INLINE.\n"
    "g,x,y\n"
    "1,0,0\n1,3,4\n1,1,1\n1,2,\n1,5,5\n1,0,2\n1,7,1\n1,2,2\n1,9,9\n"
    "2,1,1\n2,4,5\n"
    "END INLINE.\n"
    "GROUP BY g.\n";
const char* const kCommand = "PROXIMITIES x y /PRINT=NONE /MATRIX=OUT(*).\n";

struct Runs {
  engine::WrittenMatrix kept;
  std::vector<engine::DataColumn> keptWorkingData;  // the working data after the kept run
  std::vector<engine::DataColumn> written;          // what OUT(*) made the working data
};

Runs runBoth() {
  testing_host::attach();
  Runs runs;
  for (const bool keep : {true, false}) {
    std::ostringstream out;
    engine::EngineOptions options;
    options.out = &out;
    options.keepWrittenMatrix = keep;
    engine::Engine eng(options);
    eng.registerProcedure("PROXIMITIES", 4, &PROX);
    EXPECT_TRUE(eng.run(std::string(kData) + kCommand, "test"));
    EXPECT_FALSE(eng.errorShown()) << out.str();
    if (keep) {
      runs.kept = eng.takeWrittenMatrix();
      runs.keptWorkingData = eng.workingData();
    } else {
      runs.written = eng.workingData();
    }
  }
  return runs;
}

// A missing number of the working data is NaN in the kept matrix.
bool sameNumber(double kept, double written) {
  if (written == engine::systemMissingValue()) return std::isnan(kept);
  return kept == written;
}

TEST(WrittenMatrix, KeptIsTheMatrixTheWorkingDataWouldHold) {
  const Runs runs = runBoth();
  const engine::WrittenMatrix& kept = runs.kept;
  const std::vector<engine::DataColumn>& written = runs.written;
  ASSERT_EQ(kept.leading.size() + kept.items.size(), written.size());
  ASSERT_EQ(kept.rows, written[0].numbers.size());
  ASSERT_EQ(kept.values.size(), kept.rows * kept.items.size());
  for (std::size_t c = 0; c < kept.leading.size(); ++c) {
    const auto& column = kept.leading[c];
    EXPECT_EQ(column.name, written[c].name);
    EXPECT_EQ(column.isString, written[c].isString);
    if (column.isString) {
      EXPECT_EQ(column.texts, written[c].texts) << column.name;
    }
    for (std::size_t r = 0; !column.isString && r < kept.rows; ++r) {
      EXPECT_TRUE(sameNumber(column.numbers[r], written[c].numbers[r])) << column.name << r;
    }
  }
  for (std::size_t j = 0; j < kept.items.size(); ++j) {
    const engine::DataColumn& item = written[kept.leading.size() + j];
    EXPECT_EQ(kept.items[j], item.name);
    for (std::size_t r = 0; r < kept.rows; ++r) {
      EXPECT_TRUE(sameNumber(kept.values[r * kept.items.size() + j], item.numbers[r]))
          << "row " << r << ", item " << j;
    }
  }
}

TEST(WrittenMatrix, KeptRowsHoldTheDistances) {
  const engine::WrittenMatrix kept = runBoth().kept;
  const std::size_t n = kept.items.size();
  ASSERT_EQ(n, 8U);  // the larger group's valid cases
  EXPECT_EQ(kept.leading[0].name, "g");
  // Group 1 keeps 8 of its 9 cases (the fourth has no y); its first row
  // holds the distances of case 1 (0, 0) to cases 1, 2, 3, 5 ...
  EXPECT_EQ(kept.values[0], 0.0);
  EXPECT_DOUBLE_EQ(kept.values[1], 5.0);
  EXPECT_DOUBLE_EQ(kept.values[2], std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(kept.values[3], std::sqrt(50.0));
  // Group 2's two cases follow, then its padding rows.
  EXPECT_DOUBLE_EQ(kept.values[8 * n + 1], 5.0);
  EXPECT_TRUE(std::isnan(kept.values[8 * n + 2]));  // past the group's cases
  EXPECT_TRUE(std::isnan(kept.values[10 * n]));     // a padding row
  EXPECT_THAT(kept.leading[0].numbers, ElementsAre(1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2));
}

TEST(WrittenMatrix, KeepingLeavesTheWorkingData) {
  const Runs runs = runBoth();
  ASSERT_EQ(runs.keptWorkingData.size(), 3U);  // g, x, y: still the data given
  EXPECT_EQ(runs.keptWorkingData[1].name, "x");
  EXPECT_EQ(runs.keptWorkingData[1].numbers.size(), 11U);
}

}  // namespace
