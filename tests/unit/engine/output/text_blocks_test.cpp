// Tables wider than the page: how the columns are cut into blocks, and the
// text of the blocks, each under the row labels and its own column labels.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "engine/output/document.h"
#include "engine/output/renderer.h"
#include "engine/output/table_layout.h"
#include "tests/unit/support/matrix_layout.h"

namespace {

using namespace engine::output;
using ::testing::ElementsAre;

// Lines as the text renderer makes them: a stub, then each column after a gap
// of two.
auto linesOf(std::size_t stub, std::vector<std::size_t> widths) {
  return [stub, widths](std::size_t first, std::size_t end) {
    std::size_t width = stub;
    for (std::size_t j = first; j < end; ++j) width += 2 + widths[j];
    return width;
  };
}

TEST(ColumnBlocks, EachBlockTakesTheColumnsThatFitThePage) {
  const auto widthOf = linesOf(10, {5, 5, 5, 30, 5, 5});
  // 10 + 7 + 7 = 24 fits 25; a third column would make 31.
  EXPECT_THAT(splitIntoBlocks(6, 25, widthOf), ElementsAre(ColumnBlock{0, 2}, ColumnBlock{2, 3},
                                                           ColumnBlock{3, 4}, ColumnBlock{4, 6}));
  // A line exactly as wide as the page fits.
  EXPECT_THAT(splitIntoBlocks(3, 31, linesOf(10, {5, 5, 5})), ElementsAre(ColumnBlock{0, 3}));
  EXPECT_THAT(splitIntoBlocks(3, 30, linesOf(10, {5, 5, 5})),
              ElementsAre(ColumnBlock{0, 2}, ColumnBlock{2, 3}));
}

TEST(ColumnBlocks, AColumnWiderThanThePageStandsAlone) {
  EXPECT_THAT(splitIntoBlocks(3, 20, linesOf(4, {40, 3, 3})),
              ElementsAre(ColumnBlock{0, 1}, ColumnBlock{1, 3}));
  EXPECT_THAT(splitIntoBlocks(2, 20, linesOf(4, {3, 40})),
              ElementsAre(ColumnBlock{0, 1}, ColumnBlock{1, 2}));
  // Row labels wider than the page: one column a block.
  EXPECT_THAT(splitIntoBlocks(2, 20, linesOf(30, {3, 3})),
              ElementsAre(ColumnBlock{0, 1}, ColumnBlock{1, 2}));
}

TEST(ColumnBlocks, RoomForcedByTheFirstColumnIsSharedByTheNext) {
  // A label over the columns makes any block at least 30 wide: the columns
  // after the first join it while the block stays that wide.
  const auto labelled = [](std::size_t first, std::size_t end) {
    return std::max<std::size_t>(30, 4 + 7 * (end - first));
  };
  EXPECT_THAT(splitIntoBlocks(5, 20, labelled), ElementsAre(ColumnBlock{0, 3}, ColumnBlock{3, 5}));
}

TEST(ColumnBlocks, NoLimitOrNoColumnsMakeOneBlock) {
  EXPECT_THAT(splitIntoBlocks(40, 0, linesOf(10, std::vector<std::size_t>(40, 9))),
              ElementsAre(ColumnBlock{0, 40}));
  EXPECT_THAT(splitIntoBlocks(0, 20, linesOf(10, {})), ElementsAre(ColumnBlock{0, 0}));
}

// An n × n matrix under the label "Euclidean Distance", items "a", "b", ...,
// cell (i, j) holding n·i + j + 1.
PivotTable matrix(std::size_t n) {
  PivotTable t("Proximity Matrix", "Proximity Matrix");
  const auto d = testing_output::layOutMatrix(t, "This is a dissimilarity matrix");
  const auto label = [](std::size_t k) { return std::string(1, static_cast<char>('a' + k)); };
  for (std::size_t j = 0; j < n; ++j) t.declareCategory(d.across, Content::plain(label(j)));
  for (std::size_t i = 0; i < n; ++i) {
    t.declareCategory(d.down, Content::plain(label(i)));
    for (std::size_t j = 0; j < n; ++j) {
      const double v = static_cast<double>(n * i + j + 1);
      t.placeCell(Content::number(v, NumberFormat::Coefficient, false), Content::plain(label(j)));
    }
  }
  return t;
}

std::string render(const PivotTable& table, TextOptions options) {
  std::ostringstream out;
  const auto renderer = makeTextRenderer(out, options);
  renderer->table(table);
  renderer->finish();
  return out.str();
}

TEST(TextBlocks, AWideTableIsShownInBlocksUnderRepeatedLabels) {
  // The label (18 wide) widens the columns of each block it stands over:
  // two columns of 8 in the first block, one of 18 in the second.
  EXPECT_EQ(render(matrix(3), {.pageWidth = 16}),
            "Proximity Matrix [a]\n"
            "   Euclidean Distance\n"
            "          a         b\n"
            "a     1.000     2.000\n"
            "b     4.000     5.000\n"
            "c     7.000     8.000\n"
            "\n"
            "   Euclidean Distance\n"
            "                    c\n"
            "a               3.000\n"
            "b               6.000\n"
            "c               9.000\n"
            "[a] This is a dissimilarity matrix\n");
}

TEST(TextBlocks, ATableThatFitsIsOneBlockAsWithoutALimit) {
  const PivotTable t = matrix(3);
  const std::string unlimited = render(t, {.pageWidth = 0});
  EXPECT_EQ(render(t, {.pageWidth = 80}), unlimited);
  EXPECT_EQ(render(t, {.pageWidth = 22}), unlimited);  // its lines are 22 wide
  EXPECT_NE(render(t, {.pageWidth = 21}), unlimited);
  EXPECT_EQ(unlimited,
            "Proximity Matrix [a]\n"
            "   Euclidean Distance\n"
            "       a      b      c\n"
            "a  1.000  2.000  3.000\n"
            "b  4.000  5.000  6.000\n"
            "c  7.000  8.000  9.000\n"
            "[a] This is a dissimilarity matrix\n");
}

TEST(TextBlocks, ReadingTheBodyAgainForLaterBlocksChangesNothing) {
  const PivotTable t = matrix(26);
  const std::string onePass = render(t, {.pageWidth = 40});
  // No memory for held lines: the body is read once per block.
  EXPECT_EQ(render(t, {.pageWidth = 40, .heldBlockBytes = 0}), onePass);
  // Two blocks held a pass (a block's 26 lines take 26 × 38 bytes at most).
  EXPECT_EQ(render(t, {.pageWidth = 40, .heldBlockBytes = 2500}), onePass);
  // Columns of 7 ("651.000" and up), 4 to a block of 1 + 4 × 9 = 37.
  std::istringstream lines(onePass);
  std::size_t blocks = 0;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), 40u) << line;
    if (line.find("Euclidean Distance") != std::string::npos) ++blocks;
  }
  EXPECT_EQ(blocks, 7u);
}

TEST(DisplayWidth, WideAndCombiningCharactersTakeTheirRoomOnScreen) {
  EXPECT_EQ(displayWidth("Paris"), 5u);
  EXPECT_EQ(displayWidth("\u6771\u4eac"), 4u);  // 東京
  EXPECT_EQ(displayWidth("Cafe\u0301"), 4u);    // e and a combining acute
  EXPECT_EQ(displayWidth("Caf\u00e9"), 4u);     // é precomposed
  EXPECT_EQ(displayWidth("\xff"), 1u);          // not UTF-8: one replacement character
  EXPECT_EQ(displayWidth(""), 0u);
  EXPECT_EQ(displayWidth("\U0001F469\u200D\U0001F52C"), 2u);  // one emoji joined from two
}

}  // namespace
