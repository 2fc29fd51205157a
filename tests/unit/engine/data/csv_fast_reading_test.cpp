// The quick ways of reading data files: numbers read without the full
// converter, lines split without libcsv, types inferred from the shape of a
// field. Each is checked against an independent reading of the same text.
#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/csv_dataset.h"
#include "engine/data/csv_reader.h"
#include "engine/data/number_text.h"

namespace {

using engine::data::CsvRecord;
using engine::data::CsvRecordReader;

bool isDecimalText(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789+-.eE") == std::string_view::npos;
}

// The C library's reading of a field under the data-file rules: blanks
// around it and one leading '+' allowed; finite values only, and a nonzero
// number that underflows to zero is no number. nullopt: not a number.
std::optional<double> strtodReading(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!isDecimalText(text) || text.starts_with("+-") || text.starts_with("++")) return {};
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return {};
  const std::string mantissa = copy.substr(0, copy.find_first_of("eE"));
  const bool nonzeroDigits = mantissa.find_first_of("123456789") != std::string::npos;
  if (value == 0.0 && nonzeroDigits) return {};
  return value;
}

std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }

void expectReadLikeStrtod(const std::string& text) {
  const std::optional<double> expected = strtodReading(text);
  const std::optional<double> got = engine::data::parseNumber(text);
  ASSERT_EQ(got.has_value(), expected.has_value()) << '"' << text << '"';
  ASSERT_EQ(engine::data::isNumber(text), expected.has_value()) << '"' << text << '"';
  if (got) {
    ASSERT_EQ(bitsOf(*got), bitsOf(*expected)) << '"' << text << '"';
  }
}

// A random decimal: sign, up to 40 digits with the point anywhere, an
// exponent of -largestExponent to largestExponent written in every way.
std::string randomDecimal(std::mt19937_64& random, int largestExponent = 340) {
  std::string text;
  const int sign = static_cast<int>(random() % 4);
  if (sign == 1) text += '-';
  if (sign == 2) text += '+';
  const int digits = 1 + static_cast<int>(random() % (random() % 4 == 0 ? 40 : 17));
  const int point = static_cast<int>(random() % (digits + 2)) - 1;
  for (int k = 0; k < digits; ++k) {
    if (k == point) text += '.';
    text += static_cast<char>('0' + (k == 0 && random() % 3 == 0 ? 0 : random() % 10));
  }
  if (random() % 2) {
    const int exponent = static_cast<int>(random() % (2 * largestExponent + 1)) - largestExponent;
    text += random() % 2 ? 'e' : 'E';
    if (exponent >= 0 && random() % 2) text += '+';
    text += std::to_string(exponent);
  }
  return text;
}

TEST(FastNumberReading, AgreesWithStrtodBitForBit) {
  const std::vector<std::string> edges = {
      "0", "-0", "+0", "-0.0", "0e0", "+5", " \t-2.5 ", "1.5e-07", "1E22", "1e23", "1e-22",
      "9007199254740993", "123456789012345", "1234567890123456", "0.000000000000000000001",
      "1e-310", "4.9e-324", "2.4e-324", "2.5e-324", "1e-400", "2.2250738585072011e-308",
      "1.7976931348623157e308", "1.7976931348623159e308", "1e308", "1e309", "1.", ".5", "-.5", "1e",
      "1e+", "-", "+", "+-1", "-+1", "1-2", "1.2.3", "1e5e5", "00012.50", "12345678.12345678",
      "0.30000000000000004", "4.35", "1 2",
      // Long mantissas: more digits than a double holds, and halfway cases.
      "9007199254740992.5", "1.00000000000000011102230246251565404236316680908203125",
      "1.000000000000000111022302462515654042363166809082031250001", std::string(300, '9'),
      "0." + std::string(290, '0') + "1", std::string(250, '1') + "e-240",
      // Too long for the shape alone to vouch for them: out of range.
      std::string(310, '9'), "0." + std::string(330, '0') + "1"};
  for (const std::string& text : edges) expectReadLikeStrtod(text);
  std::mt19937_64 random(20261207);
  for (int n = 0; n < 300000; ++n) expectReadLikeStrtod(randomDecimal(random));
}

// The prefix readers look past the end of a field; what they report must be
// the reading of the field alone, whatever follows it.
TEST(FastNumberReading, PrefixReadersStopWhereTheNumberEnds) {
  std::mt19937_64 random(20261208);
  const std::vector<std::string> followers = {"",   ",",  ",1", ",12345678", " ", "\t9",       "x",
                                              ".5", "e5", "5",  ",-",        "e", ",,,,,,,,,,"};
  for (int n = 0; n < 100000; ++n) {
    const std::string number = randomDecimal(random);
    const std::string text = number + followers[random() % followers.size()];
    const std::optional<double> alone = strtodReading(number);
    double value = 0.0;
    const std::size_t read = engine::data::readDecimalPrefix(text, value);
    ASSERT_LE(read, text.size());
    if (read != 0) {
      // Whatever it read is a number, and its value is that of those bytes.
      const std::optional<double> part = strtodReading(text.substr(0, read));
      ASSERT_TRUE(part.has_value()) << text;
      ASSERT_EQ(bitsOf(value), bitsOf(*part)) << text;
    }
    if (read == number.size()) {
      ASSERT_TRUE(alone.has_value()) << text;
    }
    const std::size_t shape = engine::data::numberShapePrefix(text);
    ASSERT_LE(shape, text.size());
    if (shape != 0) {
      ASSERT_TRUE(strtodReading(text.substr(0, shape)).has_value()) << text;
    }
  }
  // Everyday numbers are recognised however long the text around them.
  for (const std::string text : {"-0.123456", "1.5", "7", "-2.5e-05", "123456789012345"}) {
    for (const std::string after : {"", ",0.5", ",1,2,3,4,5,6,7,8"}) {
      double value = 0.0;
      EXPECT_EQ(engine::data::readDecimalPrefix(text + after, value), text.size()) << text + after;
      EXPECT_EQ(bitsOf(value), bitsOf(std::strtod(text.c_str(), nullptr))) << text + after;
      EXPECT_EQ(engine::data::numberShapePrefix(text + after), text.size()) << text + after;
    }
  }
}

class TextSource : public engine::data::ByteSource {
 public:
  explicit TextSource(std::string text) : text_(std::move(text)) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min(buffer.size(), text_.size() - position_);
    std::memcpy(buffer.data(), text_.data() + position_, n);
    position_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t position_ = 0;
};

// Every record as "line:count:field|field|...", or the error that ended it.
std::vector<std::string> records(const std::string& text, bool shortcut) {
  CsvRecordReader reader(std::make_unique<TextSource>(text), "t.csv");
  reader.setPlainLineShortcut(shortcut);
  std::vector<std::string> out;
  try {
    CsvRecord record;
    while (reader.next(record)) {
      std::string row = std::to_string(record.line) + ":" + std::to_string(record.fieldCount) + ":";
      for (const std::string_view field : record.fields) row += std::string(field) + "|";
      out.push_back(std::move(row));
    }
  } catch (const engine::DataError& error) {
    out.push_back(std::string("error: ") + error.what());
  }
  return out;
}

// Commas in every position of an eight-byte word, several in one word, and
// quoted fields whose lines end inside and outside their quotes.
TEST(FastLineSplitting, AgreesWithLibcsvOnTrickyLines) {
  std::vector<std::string> texts = {
      ",,,,,,,,,,,,,,,,,\n1,2,3,4,5,6,7,8,9\n,\n,a\na,\n",
      "a,\"b\nc\",d\n1,2,3\n\"\"\"\",\"x\"\"\ny\",z\n4,5,6\n",
      "a,b\n\"open\n\"\"\n\"\"\",2\n3,4\n",
      "a,b\n1,\"x\"\r\n2,3\r\n\"\"\r\"q\nq\",4\n5,6\n",
      "a,b\n \"s\" , t \n\t1\t,\t\n",
      "a,b\n1,\"never closed\n2,3\n",
  };
  std::mt19937_64 random(20261209);
  const std::string pieces[] = {",", "1", "-2.5", " ", "\t", "abcdefgh", "\"q\"", "\"a,b\"", ""};
  for (int n = 0; n < 2000; ++n) {
    std::string text;
    for (int line = 0; line < 6; ++line) {
      const int length = static_cast<int>(random() % 30);
      for (int k = 0; k < length; ++k) text += pieces[random() % std::size(pieces)];
      text += random() % 4 == 0 ? "\r\n" : "\n";
    }
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    EXPECT_EQ(records(text, true), records(text, false)) << text;
  }
}

// Types inferred at load time agree with reading every field in full, and
// the pass reads each field as the full converter does, on plain lines and
// on lines libcsv reads (a quoted field sends a line there).
TEST(FastLineSplitting, InferredTypesAndValuesMatchTheFullConversion) {
  std::mt19937_64 random(20261210);
  const int columns = 6;
  std::vector<std::string> lines = {"c1,c2,c3,c4,c5,c6"};
  std::vector<std::vector<std::string>> cells;
  for (int row = 0; row < 400; ++row) {
    std::vector<std::string> fields;
    std::string line;
    for (int k = 0; k < columns; ++k) {
      // Columns 5 and 6 hold a text or a number out of range now and then;
      // the others only numbers and blanks, in every shape.
      std::string field = randomDecimal(random, k >= 4 ? 340 : 40);
      if (k >= 4 && random() % 150 == 0) field = "1e5e5";
      if (random() % 20 == 0) field = random() % 2 ? "" : "  ";
      if (random() % 10 == 0) field = " " + field + "\t";
      fields.push_back(field);
      if (k > 0) line += ',';
      line += row % 7 == 0 ? "\"" + field + "\"" : field;
    }
    cells.push_back(fields);
    lines.push_back(line);
  }
  // What the independent reading says each column is.
  std::vector<bool> numeric(columns, true);
  for (const auto& fields : cells) {
    for (int k = 0; k < columns; ++k) {
      const bool blank = fields[k].find_first_not_of(" \t") == std::string::npos;
      if (!blank && !strtodReading(fields[k])) numeric[k] = false;
    }
  }
  const engine::data::InlineDataset data(lines);
  for (int k = 0; k < columns; ++k) {
    EXPECT_EQ(data.dictionary.variables()[k].width == 0, numeric[k]) << "column " << k + 1;
  }
  ASSERT_TRUE(numeric[0]);
  auto cursor = data.open();
  engine::Case c;
  for (const auto& fields : cells) {
    ASSERT_TRUE(cursor->next(c));
    for (int k = 0; k < columns; ++k) {
      if (!numeric[k]) continue;
      const std::optional<double> expected = strtodReading(fields[k]);
      const double want = expected ? *expected : std::numeric_limits<double>::lowest();
      ASSERT_EQ(bitsOf(c.values[k]), bitsOf(want)) << '"' << fields[k] << '"';
    }
  }
  EXPECT_FALSE(cursor->next(c));
}

}  // namespace
