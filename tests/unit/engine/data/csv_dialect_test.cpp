// CSV dialects: the separator found from the first lines, header texts made
// variable names, numbers with a decimal comma, and records split on other
// separators the same by the quick line splitter as by libcsv.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/csv_dialect.h"
#include "engine/data/csv_reader.h"
#include "engine/data/csv_table.h"
#include "engine/data/number_text.h"

namespace {

using engine::data::detectSeparator;
using engine::data::HeaderName;
using engine::data::makeVariableNames;

// ---- the separator ----------------------------------------------------------

TEST(SeparatorDetection, FindsTheSeparatorThatSplitsEveryLineLikeTheHeader) {
  const struct {
    std::string text;
    char separator;
    const char* why;
  } cases[] = {
      {"a,b,c\n1,2,3\n4,5,6\n", ',', "plain commas"},
      {"store;opened;sales\nA;2019;12,5\nB;2020;13,25\n", ';',
       "decimal commas: the header holds no comma"},
      {"a\tb\tc\n1\t2\t3\n", '\t', "tabs"},
      {"a|b\n1|2\n", '|', "vertical bars"},
      {"name,notes\nx,a;b;c\ny,d;e\n", ',', "semicolons in the data only"},
      {"a;b,c;d\n1;2,5;3\n4;5,5;6\n", ';', "both in every line: the first in the order"},
      {"a;b;c,d\n1;2;3,5\n", ';', "both regular: the one giving more fields"},
      {"\"x,y\";b\n\"1,2\";3\n", ';', "commas inside quotes do not count"},
      {"a;b\n\"line one\nline; two\";3\n4;5\n", ';', "a quoted field spanning lines"},
      {"\xEF\xBB\xBF"
       "a\tb\r\n1\t2\r\n",
       '\t', "byte-order mark and CRLF"},
      {"a;b\n\n  \n1;2\n", ';', "blank lines are skipped"},
      {"only\n1\n2\n", ',', "one column: the comma"},
      {"a;b;c\n", ';', "a header alone"},
      {"a;b;c", ';', "without a final line break"},
      {"a;b;c\n1;2\n3;4;5\n6;7;8\n", ';', "ragged: the most regular wins"},
      {"", ',', "empty"},
  };
  for (const auto& [text, separator, why] : cases) {
    EXPECT_EQ(detectSeparator(text, true), separator) << why;
  }
  // A line cut by the end of the sample is not counted against the header.
  EXPECT_EQ(detectSeparator("a;b;c\n1;2;3\n4;5", false), ';');
  EXPECT_EQ(detectSeparator("a;b;c\n1;2;3\n4;5", true), ';');
  // A header longer than the sample is counted as far as it goes.
  std::string wide;
  for (int k = 0; k < 20000; ++k) {
    wide += 'v';
    wide += std::to_string(k);
    wide += ';';
  }
  EXPECT_EQ(detectSeparator(wide.substr(0, 64 * 1024), false), ';');
}

// ---- header names -------------------------------------------------------------

std::vector<std::string> namesOf(const std::vector<HeaderName>& names) {
  std::vector<std::string> result;
  for (const HeaderName& name : names) result.push_back(name.name);
  return result;
}

TEST(HeaderNames, InvalidTextsBecomeValidNamesByTheDocumentedRule) {
  const struct {
    std::string text;
    std::string name;
  } cases[] = {
      {"first name", "first_name"},
      {"Sales (EUR)", "Sales_EUR"},
      {"% share", "share"},
      {"a - b / c", "a_b_c"},
      {"2019", "V2019"},
      {"1st", "V1st"},
      {"#id", "V#id"},
      {"x.y", "x_y"},
      {"  padded  ", "padded"},
      {"(%)", "V1"},  // nothing left: V and the column number
      {"to", "to_"},  // words of variable lists ("a TO b") are not names
      {"All", "All_"},
      {"größe (m²)", "größe_m²"},  // non-ASCII characters are letters, as in commands
      {std::string(70, 'n'), std::string(64, 'n')},
      {std::string(63, 'a') + "é", std::string(63, 'a')},  // not cut inside a character
  };
  for (const auto& [text, name] : cases) {
    const auto names = makeVariableNames({text});
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].name, name) << text;
    EXPECT_TRUE(names[0].renamed) << text;
    EXPECT_EQ(names[0].original, text);
    EXPECT_TRUE(engine::data::isValidVariableName(names[0].name)) << names[0].name;
  }
  // Valid names stay as they are.
  for (const std::string text : {"x", "_id", "Murder", "v$1", "東京", "a@b#c"}) {
    const auto names = makeVariableNames({text});
    EXPECT_EQ(names[0].name, text);
    EXPECT_FALSE(names[0].renamed) << text;
  }
}

TEST(HeaderNames, NamesAreMadeUniqueWithoutRegardToCaseAndValidNamesComeFirst) {
  // The second x and the X get suffixes; "x_2" is a valid name of its own,
  // so the suffix skips it; "a b" yields to the valid "a_b" after it.
  const auto names = makeVariableNames({"x", "x", "X", "x_2", "a b", "a_b", "", ""});
  EXPECT_EQ(namesOf(names),
            (std::vector<std::string>{"x", "x_3", "X_4", "x_2", "a_b_2", "a_b", "V7", "V8"}));
  EXPECT_FALSE(names[0].renamed);
  EXPECT_TRUE(names[1].renamed);
  EXPECT_FALSE(names[3].renamed);
  EXPECT_FALSE(names[0].index);  // the first column is named
  // A suffix never makes a name longer than 64 bytes.
  const std::string longName(64, 'z');
  const auto longOnes = makeVariableNames({longName, longName});
  EXPECT_EQ(longOnes[1].name, std::string(62, 'z') + "_2");
}

TEST(HeaderNames, AnUnnamedFirstColumnIsTheIndex) {
  const auto pandas = makeVariableNames({"", "a", "b"});
  EXPECT_EQ(namesOf(pandas), (std::vector<std::string>{"rowname", "a", "b"}));
  EXPECT_TRUE(pandas[0].index);
  EXPECT_FALSE(pandas[0].renamed);
  // A column of that name already: the index yields.
  EXPECT_EQ(namesOf(makeVariableNames({"", "rowname"})),
            (std::vector<std::string>{"rowname_2", "rowname"}));
  // A file of one unnamed column has no index: it is just unnamed.
  const auto alone = makeVariableNames({""});
  EXPECT_EQ(alone[0].name, "V1");
  EXPECT_FALSE(alone[0].index);
}

TEST(QuotedExcerpt, CutsLongTextsOnACharacterBoundary) {
  EXPECT_EQ(engine::data::quotedExcerpt("n/a"), "\"n/a\"");
  EXPECT_EQ(engine::data::quotedExcerpt("abcdé", 5), "\"abcd...\"");
}

TEST(SeparatorNames, UsableSeparatorsAreOneAsciiPunctuationCharacterOrTab) {
  for (const char c : {',', ';', '\t', '|', ':', '^', '~'}) {
    EXPECT_TRUE(engine::data::isUsableSeparator(c)) << c;
  }
  for (const char c : {'"', ' ', '\n', '\r', 'a', '7', '\0', '\x80'}) {
    EXPECT_FALSE(engine::data::isUsableSeparator(c)) << static_cast<int>(c);
  }
}

// ---- decimal commas -----------------------------------------------------------------

// A random decimal with a point, as in the fast-reading tests.
std::string randomDecimal(std::mt19937_64& random) {
  std::string text;
  if (random() % 3 == 0) text += '-';
  const int digits = 1 + static_cast<int>(random() % 20);
  const int point = static_cast<int>(random() % (digits + 1));
  for (int k = 0; k < digits; ++k) {
    if (k == point && k > 0) text += '.';
    text += static_cast<char>('0' + random() % 10);
  }
  if (random() % 3 == 0) {
    text += 'e';
    text += std::to_string(static_cast<int>(random() % 61) - 30);
  }
  return text;
}

std::string withComma(std::string text) {
  for (char& c : text) c = c == '.' ? ',' : c;
  return text;
}

TEST(DecimalComma, ReadsBitForBitWhatTheSameNumberWithAPointReads) {
  using namespace engine::data;
  std::mt19937_64 random(20261206);
  for (int n = 0; n < 100000; ++n) {
    const std::string point = randomDecimal(random);
    const std::string comma = withComma(point);
    double expected = 0;
    double got = 0;
    ASSERT_TRUE(readNumber(point, expected)) << point;
    ASSERT_TRUE(readDecimalCommaNumber(comma, got)) << comma;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected)) << comma;
    ASSERT_TRUE(isDecimalCommaNumber(comma));
    // The quick prefix reader, where it reads the text, agrees too, and
    // stops at a separator after the number.
    const std::string line = comma + ";7";
    double quick = 0;
    const std::size_t length = readDecimalCommaPrefix(line, quick);
    if (length != 0) {
      ASSERT_EQ(length, comma.size()) << comma;
      ASSERT_EQ(std::bit_cast<std::uint64_t>(quick), std::bit_cast<std::uint64_t>(expected));
    }
    const std::size_t shape = decimalCommaShapePrefix(line);
    ASSERT_TRUE(shape == 0 || shape == comma.size()) << comma;
    if (point.find('.') != std::string::npos) {
      ASSERT_FALSE(isDecimalCommaNumber(point)) << point;  // a point is no decimal mark here
    }
  }
  for (const std::string text : {"1.000,5", "1,2,3", ",", "1,5x", "inf", ""}) {
    EXPECT_FALSE(isDecimalCommaNumber(text)) << text;
  }
  // What a point file takes, a comma file takes with a comma.
  for (const std::string text : {"1.", ".5", "-.5e3"}) {
    EXPECT_EQ(isDecimalCommaNumber(withComma(text)), isNumber(text)) << text;
  }
  double value = 0;
  EXPECT_TRUE(readDecimalCommaNumber(" +2,5 ", value));
  EXPECT_EQ(value, 2.5);
}

// ---- records split on other separators --------------------------------------------------

std::vector<std::string> records(const std::string& text, char separator, bool shortcut) {
  engine::data::CsvRecordReader reader(
      engine::data::openMemorySource(std::make_shared<const std::string>(text)), "t.csv",
      separator);
  reader.setPlainLineShortcut(shortcut);
  std::vector<std::string> out;
  try {
    engine::data::CsvRecord record;
    while (reader.next(record)) {
      std::string row = std::to_string(record.line) + ":" + std::to_string(record.fieldCount) + ":";
      for (std::size_t k = 0; k < record.fields.size(); ++k) {
        if (k > 0) row += '|';
        row += record.fields[k];
      }
      out.push_back(row);
    }
  } catch (const engine::DataError& error) {
    out.push_back(std::string("error: ") + error.what());
  }
  return out;
}

TEST(OtherSeparators, QuickSplittingAgreesWithLibcsv) {
  std::mt19937_64 random(20261207);
  for (const char separator : {';', '\t', '|', ':'}) {
    const std::string sep(1, separator);
    const std::string pieces[] = {
        sep, sep, ",", "1", "2,5", " ", "\t", "abcdefgh", "\"q\"", "\"a" + sep + "b\"", ""};
    for (int n = 0; n < 1500; ++n) {
      std::string text;
      for (int line = 0; line < 6; ++line) {
        const int length = static_cast<int>(random() % 30);
        for (int k = 0; k < length; ++k) text += pieces[random() % std::size(pieces)];
        text += random() % 4 == 0 ? "\r\n" : "\n";
      }
      ASSERT_EQ(records(text, separator, true), records(text, separator, false))
          << "separator " << static_cast<int>(separator) << ": " << text;
    }
  }
}

TEST(OtherSeparators, TabsSeparateButSpacesAroundFieldsAreTrimmed) {
  EXPECT_EQ(records("a\tb\tc\n 1 \t\t3\n\t\t\n", '\t', true),
            (std::vector<std::string>{"1:3:a|b|c", "2:3:1||3", "3:3:||"}));
  // With commas, tabs are blanks around fields, and a line of them is blank.
  EXPECT_EQ(records("a,b\n\t1\t,2\n\t\t\n3,4\n", ',', true),
            (std::vector<std::string>{"1:2:a|b", "2:2:1|2", "4:2:3|4"}));
}

}  // namespace
