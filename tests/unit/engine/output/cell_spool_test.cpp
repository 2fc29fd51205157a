// Tables whose rows are put aside as they are built: the rendered output must
// be exactly that of the same table kept whole, and memory must hold about
// one row, whatever the table's size.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/output/cell_spool.h"
#include "engine/output/document.h"
#include "engine/output/renderer.h"
#include "engine/report/html_renderer.h"
#include "tests/unit/support/matrix_layout.h"

namespace {

using namespace engine::output;
using ::testing::HasSubstr;
using ::testing::Not;

// Puts the spooling switches back whatever a test does.
class SpoolSettings : public ::testing::Test {
 protected:
  void TearDown() override {
    PivotTable::allowSpooling(true);
    PivotTable::setSpoolMemoryBudget(CellSpool::kDefaultMemoryBudget);
  }
};

std::string render(std::unique_ptr<Renderer> (*make)(std::ostream&), const PivotTable& table) {
  std::ostringstream out;
  const std::unique_ptr<Renderer> renderer = make(out);
  renderer->table(table);
  renderer->finish();
  return out.str();
}

struct Renderings {
  std::string text, json, html;
};

Renderings renderAll(const PivotTable& table) {
  return {render(makeTextRenderer, table), render(makeJsonRenderer, table),
          render(makeHtmlRenderer, table)};
}

// A matrix-like table as the procedure builds it (columns first, then each row
// label followed by its cells), with what makes rendering hard: the rows in
// two groups, footnotes on the title, a column label, a row label and a cell,
// a missing value, a text and a variable cell, a cell replaced within its
// row, and values of varying widths. `rowHook` runs after each row.
PivotTable buildTable(std::size_t rows, std::size_t columns,
                      const std::function<void(const PivotTable&)>& rowHook = {}) {
  PivotTable t("Proximity Matrix", "Proximity Matrix");
  const auto [across, measure, down] =
      testing_output::layOutMatrix(t, "This is a dissimilarity matrix");
  t.annotate(PivotTable::Target::Title, "Title note");
  const auto label = [](std::size_t k) { return "item " + std::to_string(k + 1); };
  for (std::size_t j = 0; j < columns; ++j) {
    t.declareCategory(across, Content::plain(label(j)));
    if (j == 1) t.annotate(PivotTable::Target::LastCategory, "Column note");
  }
  for (std::size_t i = 0; i < rows; ++i) {
    if (i == 0) t.beginGroup(down, "First group");
    if (i == rows / 2) {
      t.endGroup(down);
      t.beginGroup(down, "Second group");
    }
    t.declareCategory(down, Content::plain(label(i)));
    if (i == 2) t.annotate(PivotTable::Target::LastCategory, "Row note");
    for (std::size_t j = 0; j < columns; ++j) {
      const double v = (static_cast<double>(i) - 3.5) * std::pow(10.0, static_cast<double>(j % 5));
      if (i == 4 && j == 5) {
        t.placeCell(Content::number(1e6, NumberFormat::Coefficient, false),
                    Content::plain(label(j)));
      }
      if (i == 1 && j == 2) {
        t.placeCell(Content::number(0.0, NumberFormat::Coefficient, true),
                    Content::plain(label(j)));
      } else if (i == 2 && j == 0) {
        t.placeCell(Content::plain("n/a"), Content::plain(label(j)));
      } else if (i == 0 && j == 1) {
        t.placeCell(Content::variable("war", "Country at war"), Content::plain(label(j)));
      } else {
        t.placeCell(Content::number(v, NumberFormat::Coefficient, false), Content::plain(label(j)));
      }
      if (i == 3 && j == 3) t.annotate(PivotTable::Target::LastCell, "Cell note");
    }
    if (rowHook) rowHook(t);
  }
  t.endGroup(down);
  return t;
}

TEST_F(SpoolSettings, RowsPutAsideRenderExactlyAsTheWholeTable) {
  PivotTable::setSpoolMemoryBudget(512);  // small enough for the file to be used
  for (const std::size_t columns : {std::size_t{7}, std::size_t{60}}) {
    SCOPED_TRACE(columns);
    const PivotTable spooled = buildTable(9, columns);
    ASSERT_TRUE(spooled.spooled());
    PivotTable::allowSpooling(false);
    const PivotTable whole = buildTable(9, columns);
    PivotTable::allowSpooling(true);
    ASSERT_FALSE(whole.spooled());

    const Renderings a = renderAll(spooled);
    const Renderings b = renderAll(whole);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.json, b.json);
    EXPECT_EQ(a.html, b.html);
    // What the spool had to carry is there. Markers go by first attachment:
    // a table, b title, c column, d row, e cell; the title shows its own first.
    EXPECT_THAT(a.text, HasSubstr("Proximity Matrix [b,a]\n"));
    EXPECT_THAT(a.text, HasSubstr("Second group"));
    EXPECT_THAT(a.text, HasSubstr("item 3 [d]"));
    EXPECT_THAT(a.text, HasSubstr("-500.000 [e]"));      // row 4, column 4: -0.5 * 10^3
    EXPECT_THAT(a.text, Not(HasSubstr("1000000.000")));  // replaced within its row
    EXPECT_THAT(a.json, HasSubstr("\"variable_label\":\"Country at war\""));
  }
}

TEST_F(SpoolSettings, MemoryHoldsOneRowWhateverTheTableSize) {
  PivotTable::setSpoolMemoryBudget(4096);
  for (const std::size_t n : {std::size_t{50}, std::size_t{300}}) {
    SCOPED_TRACE(n);
    std::size_t mostHeld = 0;
    const PivotTable t = buildTable(
        n, n, [&](const PivotTable& p) { mostHeld = std::max(mostHeld, p.cells().size()); });
    EXPECT_TRUE(t.spooled());
    // The row being filled, and at most the one cell replaced in it.
    EXPECT_LE(mostHeld, n + 1);
    EXPECT_EQ(t.cells().size(), n);  // the last row, still in memory
    // Every other row went to the spool: at least a value per cell.
    EXPECT_GE(t.spooledBytes(), (n - 1) * n * sizeof(double));
  }
}

TEST_F(SpoolSettings, LateChangesToRowsPutAsideKeepTheWholeTable) {
  // A cell for a row already put aside, or a new column: the spool is read
  // back and the result is what the whole table would have shown.
  const auto build = [](bool newColumn) {
    PivotTable t("Table", "Table");
    const int across = t.dimension("Statistics");
    t.setCellDimension(across);
    const int down = t.dimension("Rows");
    for (const char* row : {"r1", "r2", "r3"}) {
      t.declareCategory(down, Content::plain(row));
      for (const char* column : {"N", "Percent"}) {
        t.placeCell(Content::number(static_cast<double>(row[1] - '0'), NumberFormat::Count, false),
                    Content::plain(column));
      }
    }
    EXPECT_TRUE(t.spooled());
    if (newColumn) {
      t.placeCell(Content::plain("late"), Content::plain("Extra"));
    } else {
      t.declareCategory(down, Content::plain("r1"));
      t.placeCell(Content::number(9.0, NumberFormat::Count, false), Content::plain("Percent"));
    }
    EXPECT_FALSE(t.spooled());
    return renderAll(t);
  };
  const Renderings earlierRow = build(false);
  EXPECT_EQ(earlierRow.text,
            "Table\n"
            "    N  Percent\n"
            "r1  1        9\n"
            "r2  2        2\n"
            "r3  3        3\n");
  const Renderings extraColumn = build(true);
  EXPECT_EQ(extraColumn.text,
            "Table\n"
            "    N  Percent  Extra\n"
            "r1  1        1\n"
            "r2  2        2\n"
            "r3  3        3  late\n");
  EXPECT_THAT(extraColumn.json, HasSubstr("\"kind\":\"text\",\"text\":\"late\""));
}

// Bytes written past the budget go to a file and read back unchanged, by
// several readers at once; without a usable temporary folder they stay in
// memory and read back all the same.
TEST(CellSpool, KeepsItsBudgetAndReadsBackEveryByte) {
  const auto fill = [](CellSpool& spool) {
    std::string chunk;
    for (int k = 0; k < 5000; ++k) {
      chunk = "row " + std::to_string(k) + ";";
      spool.append(chunk);
    }
  };
  std::string expected;
  for (int k = 0; k < 5000; ++k) expected += "row " + std::to_string(k) + ";";

  const auto readAll = [](const CellSpool& spool, std::size_t piece) {
    CellSpool::Reader reader(spool);
    std::string all;
    std::string part(piece, '\0');
    while (reader.read(part)) all += part;
    return all;
  };

  CellSpool onDisk(1024);
  fill(onDisk);
  EXPECT_TRUE(onDisk.onDisk());
  EXPECT_LE(onDisk.memoryBytes(), 4 * 1024u);
  EXPECT_EQ(onDisk.size(), expected.size());
  EXPECT_EQ(readAll(onDisk, 1), expected);
  // A read asking for more than is left fails and leaves nothing half read.
  CellSpool::Reader reader(onDisk);
  std::string tooMuch(expected.size() + 1, '\0');
  EXPECT_FALSE(reader.read(tooMuch));
  std::string first(4, '\0');
  ASSERT_TRUE(reader.read(first));
  EXPECT_EQ(first, "row ");

  const char* saved = std::getenv("TMPDIR");
  const std::string savedValue = saved != nullptr ? saved : "";
  setenv("TMPDIR", "/nonexistent/folder/for/spool", 1);
  CellSpool inMemory(1024);
  fill(inMemory);
  if (saved != nullptr) {
    setenv("TMPDIR", savedValue.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  EXPECT_FALSE(inMemory.onDisk());
  EXPECT_EQ(readAll(inMemory, 7).size(), expected.size() / 7 * 7);
  EXPECT_EQ(readAll(inMemory, 1), expected);
}

// The widths of a spooled table are gathered as its rows are written, and the
// row still in memory is measured at the end: the result must be what the
// whole table, measured cell by cell, shows. Each column here has its widest
// cell somewhere hard: in the last row; replaced within a row by a narrower
// one (in a row put aside and in the last row); a number only in the last
// row among texts (which turns the column to the right); a footnote marker;
// UTF-8 text; a number given without its text, formatted only when shown.
TEST_F(SpoolSettings, WidthsGatheredWhileSpoolingEqualThoseOfTheWholeTable) {
  const auto build = [](std::size_t rows) {
    PivotTable t("Widths", "Widths");
    const int across = t.dimension("Columns");
    t.setCellDimension(across);
    t.place(across, Axis::Columns, 1);
    const int down = t.dimension("Rows");
    t.place(down, Axis::Rows, 1);
    const std::vector<std::string> names = {"c0", "c1", "c2", "c3", "c4", "c5"};
    for (const std::string& name : names) t.declareCategory(across, Content::plain(name));
    const auto number = [](double v) {
      return Content::number(v, NumberFormat::Coefficient, false);
    };
    for (std::size_t i = 0; i < rows; ++i) {
      const bool last = i == rows - 1;
      std::string row = "r";  // (not "r" + ...: GCC 12 warns of a false overlap)
      row += std::to_string(i);
      t.declareCategory(down, Content::plain(row));
      t.placeCell(number(last ? 123456789.5 : 1.0), Content::plain("c0"));
      t.placeCell(number(last ? 987654321.0 : 2.0), Content::plain("c1"));
      t.placeCell(number(3.0), Content::plain("c1"));  // replaces the wide one
      t.placeCell(number(i == 1 ? 55555555.5 : 4.0), Content::plain("c2"));
      t.placeCell(number(5.0), Content::plain("c2"));  // replaces it in a row put aside
      if (last) {
        t.placeCell(number(-6.0), Content::plain("c3"));
      } else {
        t.placeCell(Content::plain("t"), Content::plain("c3"));
      }
      t.placeCell(number(7.0), Content::plain("c4"));
      if (last) t.annotate(PivotTable::Target::LastCell, "Last note");
      Content bare = number(8.0);
      bare.text.clear();  // as the builder hands a number over
      t.placeCell(last ? Content::plain("Zürich-Straße") : bare, Content::plain("c5"));
    }
    return t;
  };
  for (const std::size_t rows : {std::size_t{2}, std::size_t{5}}) {
    SCOPED_TRACE(rows);
    const PivotTable spooled = build(rows);
    ASSERT_TRUE(spooled.spooled());
    PivotTable::allowSpooling(false);
    const PivotTable whole = build(rows);
    PivotTable::allowSpooling(true);
    ASSERT_FALSE(whole.spooled());
    const std::string text = render(makeTextRenderer, spooled);
    EXPECT_EQ(text, render(makeTextRenderer, whole));
    EXPECT_EQ(render(makeJsonRenderer, spooled), render(makeJsonRenderer, whole));
    // What the widths come from is shown, and what was replaced is not.
    EXPECT_THAT(text, HasSubstr("123456789.500"));
    EXPECT_THAT(text, HasSubstr("7.000 [a]"));
    EXPECT_THAT(text, HasSubstr("8.000"));
    EXPECT_THAT(text, Not(HasSubstr("987654321")));
    EXPECT_THAT(text, Not(HasSubstr("55555555")));
  }
}

// A table in blocks of columns reads the body once per pass: from the spool
// it must come out as from the whole table, however many passes it takes.
TEST_F(SpoolSettings, RowsPutAsideRenderInBlocksExactlyAsTheWholeTable) {
  PivotTable::setSpoolMemoryBudget(512);
  const PivotTable spooled = buildTable(9, 60);
  ASSERT_TRUE(spooled.spooled());
  PivotTable::allowSpooling(false);
  const PivotTable whole = buildTable(9, 60);
  PivotTable::allowSpooling(true);
  const auto text = [](const PivotTable& t, std::size_t held) {
    std::ostringstream out;
    makeTextRenderer(out, TextOptions{.pageWidth = 70, .heldBlockBytes = held})->table(t);
    return out.str();
  };
  const std::string onePass = text(whole, TextOptions{}.heldBlockBytes);
  for (const std::size_t held : {std::size_t{0}, std::size_t{2000}, TextOptions{}.heldBlockBytes}) {
    SCOPED_TRACE(held);
    EXPECT_EQ(text(spooled, held), onePass);
    EXPECT_EQ(text(whole, held), onePass);
  }
  // Every block shows the measure, both group labels and the marked row
  // label; the footnotes come once, at the end.
  const auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = onePass.find(what); at != std::string::npos;
         at = onePass.find(what, at + 1)) {
      ++n;
    }
    return n;
  };
  const std::size_t blocks = count("Euclidean Distance");
  EXPECT_GT(blocks, 5u);
  EXPECT_EQ(count("First group"), blocks);
  EXPECT_EQ(count("Second group"), blocks);
  EXPECT_EQ(count("item 3 [d]"), blocks);
  EXPECT_EQ(count("[a] This is a dissimilarity matrix"), 1u);
}

// A count names its category by value when the category is a count too, and
// by its digits when the category is a text.
TEST(CategoryNames, CountsMatchByValueAndTextsByText) {
  const Content seven = Content::integerNumber(7, NumberFormat::Count);
  Content bare = Content::integerNumber(-12, NumberFormat::Count);
  bare.text.clear();
  const CategoryName sevenName(seven);
  const CategoryName bareName(bare, "");
  EXPECT_TRUE(sevenName.matches(Content::integerNumber(7, NumberFormat::Count)));
  EXPECT_FALSE(sevenName.matches(Content::integerNumber(70, NumberFormat::Count)));
  EXPECT_TRUE(sevenName.matches(Content::plain("7")));
  EXPECT_FALSE(sevenName.matches(Content::plain("07")));
  EXPECT_TRUE(bareName.matches(Content::plain("-12")));
  EXPECT_FALSE(bareName.matches(Content::plain("12")));
  EXPECT_EQ(bareName.text(), "-12");
  // The category made for it shows its digits.
  const Content made = bareName.content();
  EXPECT_EQ(made.text, "-12");
  EXPECT_TRUE(made.integer);
  EXPECT_TRUE(CategoryName(Content::integerNumber(-12, NumberFormat::Count)).matches(made));
  // A count in another format is not an item number: its text decides.
  const Content percent = Content::integerNumber(7, NumberFormat::Percent);
  EXPECT_FALSE(CategoryName(percent).matches(Content::integerNumber(7, NumberFormat::Count)));
  EXPECT_TRUE(CategoryName(percent).matches(Content::plain("7.0%")));
}

}  // namespace
