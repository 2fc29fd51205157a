// The CSV record reader: plain lines split straight from the buffer must give
// exactly the records, line numbers and messages that libcsv gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/csv_reader.h"
#include "engine/data/number_text.h"

namespace {

using engine::data::CsvRecord;
using engine::data::CsvRecordReader;

// Hands out the text at most `step` bytes per read, as a pipe or a slow disk
// may, so that lines are cut in odd places.
class TrickleSource : public engine::data::ByteSource {
 public:
  TrickleSource(std::string text, std::size_t step) : text_(std::move(text)), step_(step) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min({buffer.size(), step_, text_.size() - position_});
    std::memcpy(buffer.data(), text_.data() + position_, n);
    position_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t step_;
  std::size_t position_ = 0;
};

// Every record as "line:count:field|field|...", or the message of the error
// that ended the reading.
std::vector<std::string> readAll(const std::string& text, bool shortcut, std::size_t step,
                                 std::size_t fieldLimit = 0) {
  CsvRecordReader reader(std::make_unique<TrickleSource>(text, step), "t.csv");
  reader.setPlainLineShortcut(shortcut);
  reader.setFieldLimit(fieldLimit);
  std::vector<std::string> out;
  try {
    CsvRecord record;
    while (reader.next(record)) {
      std::string row = std::to_string(record.line) + ":" + std::to_string(record.fieldCount) + ":";
      for (std::size_t k = 0; k < record.fields.size(); ++k) {
        if (k > 0) row += '|';
        row += record.fields[k];
      }
      out.push_back(std::move(row));
    }
  } catch (const engine::DataError& error) {
    out.push_back(std::string("error: ") + error.what());
  }
  return out;
}

// Both ways of reading, with whole and with trickled reads, agree.
void expectSameRecords(const std::string& text, std::size_t fieldLimit = 0) {
  const std::vector<std::string> reference = readAll(text, false, 1 << 20, fieldLimit);
  for (std::size_t step : {std::size_t{1} << 20, std::size_t{7}, std::size_t{4093}}) {
    EXPECT_EQ(readAll(text, true, step, fieldLimit), reference)
        << "read " << step << " bytes at a time: " << text.substr(0, 60);
  }
}

TEST(CsvRecordReader, PlainLinesSplitAsLibcsvSplitsThem) {
  const std::string text =
      "a,b,c\r\n"
      "  1 ,\t2\t, 3\r\n"
      "\r\n"
      " \t \n"
      ",,\n"
      "4,,6\n"
      "\n"
      "-1.5e3,+2,x y";  // no final line break
  const std::vector<std::string> expected = {
      "1:3:a|b|c", "2:3:1|2|3", "5:3:||", "6:3:4||6", "8:3:-1.5e3|+2|x y",
  };
  EXPECT_EQ(readAll(text, true, 1 << 20), expected);
  EXPECT_EQ(readAll(text, false, 1 << 20), expected);
  expectSameRecords(text);
  // Fields past the limit are counted, not kept.
  EXPECT_EQ(readAll("1,2,3,4\n5\n", true, 1 << 20, 2),
            (std::vector<std::string>{"1:4:1|2", "2:1:5"}));
  expectSameRecords("1,2,3,4\n5\n,,,,,,\n", 2);
}

TEST(CsvRecordReader, QuotesLoneCarriageReturnsAndByteOrderMarkMixWithPlainLines) {
  const std::vector<std::string> texts = {
      "\xEF\xBB\xBFx,y\n1,2\n",
      "x,y\n1,\"a, b\"\n2,3\n\"q\"\"uote\",4\n5,6\n",
      "x,y\n1,\"two\nlines\"\n2,3\n\"three\r\nmore\nlines\",4\n5,6",
      "x,y\n1,2\r3,4\n5,6\r\r\n7,8\r",
      "x,y\n1, \"padded\" \n2,3\n",
      "x,y\n1,caf\xC3\xA9\n2,3\n",
      "x\n\xEF\xBB\xBF\n",
  };
  for (const std::string& text : texts) expectSameRecords(text);
  EXPECT_EQ(readAll(texts[3], true, 1 << 20),
            (std::vector<std::string>{"1:2:x|y", "2:2:1|2", "2:2:3|4", "3:2:5|6", "4:2:7|8"}));
}

TEST(CsvRecordReader, ErrorsKeepTheirLineNumbersAndMessages) {
  const std::vector<std::string> texts = {
      "a,b\n1,2\n3,x\"y\n4,5\n",
      "a,b\n1,2\n3,\"x\"y\n",
      "a,b\n1,2\n3,\"abc\n4,5\n",
      std::string("a,b\n1,2\n3,\0\n", 12),
      "a,b\n1,2\n3,caf\xE9\n",
      "a\n1\n" + std::string(40000, 'x') + "\n2\n",
      "\xFF\xFE"
      "a,b\n",
  };
  for (const std::string& text : texts) {
    const std::vector<std::string> records = readAll(text, true, 1 << 20);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().rfind("error: t.csv", 0), 0u) << records.back();
    expectSameRecords(text);
  }
}

// Reading with and without the plain-line shortcut, whole and in pieces of
// every size from 1 byte to the whole text, gives the same records and the
// same error, errors included.
void expectSameForEveryPieceSize(const std::string& text) {
  const std::vector<std::string> reference = readAll(text, true, 1 << 20);
  EXPECT_EQ(readAll(text, false, 1 << 20), reference) << "without the shortcut";
  for (std::size_t step = 1; step <= text.size() + 1; ++step) {
    EXPECT_EQ(readAll(text, true, step), reference) << step << " bytes at a time";
    EXPECT_EQ(readAll(text, false, step), reference) << step << " bytes at a time, no shortcut";
  }
}

std::string lastMessage(const std::string& text) { return readAll(text, true, 1 << 20).back(); }

// The first offending byte in the file decides the error, and the records
// before it come out first, however the input is cut.
TEST(CsvRecordReader, TheFirstOffendingByteDecidesTheErrorWhateverThePieces) {
  const std::string nul(1, '\0');
  const std::vector<std::string> texts = {
      "a,b\n\"x\ny\",1\n3,x\"y" + nul + "\n",       // a quote, then a NUL, after libcsv read lines
      "a,b\n\"x\ny\",1\n3," + nul + "x\"y\n",       // the NUL first
      "a,b\n1,2\r3,x\"y\n",                         // a record ended by a CR before the bad quote
      "a,b\n1,\xC3" + nul + "\n",                   // a character cut by a NUL
      "a,b\n1,\xE9\"x\"\n",                         // Latin-1, then a bad quote
      "a,b\n1,x\"\xE9\n",                           // the bad quote, then Latin-1
      "a,b\n1,\xF0\x9F\x98\x80\n2,\xED\xA0\x80\n",  // a good emoji, then a surrogate
      "a,b\n1,\xC0\xAF\n",                          // an overlong slash
      "a,b\n1,\xE2\x82",                            // a character cut by the end of the file
      "a,b\n1,\"open\n\xE9",                        // an open quote, then Latin-1
      "\xFF\xFE"
      "a" +
          nul + ",b\n",  // UTF-16 told by its byte-order mark
      "\xEF\xBB\xBF"
      "a,b\n1,2\n",  // a UTF-8 byte-order mark, skipped
      // (found by fuzzing) a record after a lone CR starts on the CR's line
      "a,b\n1,2\r,\"x\ny\"\n3,4\n",
  };
  for (const std::string& text : texts) expectSameForEveryPieceSize(text);
  EXPECT_NE(lastMessage(texts[0]).find("line 4: bad quoting"), std::string::npos);
  EXPECT_NE(lastMessage(texts[1]).find("line 4: the file holds a NUL byte"), std::string::npos);
  EXPECT_EQ(readAll(texts[2], true, 1 << 20).at(1), "2:2:1|2");  // the record before the error
  EXPECT_NE(lastMessage(texts[2]).find("line 2: bad quoting"), std::string::npos);
  EXPECT_NE(lastMessage(texts[3]).find("NUL byte"), std::string::npos);
  EXPECT_NE(lastMessage(texts[4]).find("not valid UTF-8"), std::string::npos);
  EXPECT_NE(lastMessage(texts[5]).find("bad quoting"), std::string::npos);
  EXPECT_EQ(readAll(texts[6], true, 1 << 20).at(1), "2:2:1|\xF0\x9F\x98\x80");
  EXPECT_NE(lastMessage(texts[6]).find("line 3: the text is not valid UTF-8"), std::string::npos);
  EXPECT_NE(lastMessage(texts[7]).find("not valid UTF-8"), std::string::npos);
  EXPECT_NE(lastMessage(texts[8]).find("line 2: the text is not valid UTF-8"), std::string::npos);
  EXPECT_NE(lastMessage(texts[9]).find("not valid UTF-8"), std::string::npos);
  EXPECT_NE(lastMessage(texts[10]).find("UTF-16"), std::string::npos);
  EXPECT_EQ(readAll(texts[11], true, 1).front(), "1:2:a|b");
  EXPECT_EQ(readAll(texts[12], true, 1 << 20).at(2), "2:2:|x\ny");
}

// A field that passes the length limit is an error at the byte that passes
// it: before a bad quote after it, after one before it.
TEST(CsvRecordReader, AnOverlongFieldIsFoundWhereItPassesTheLimit) {
  const std::string longField(engine::data::kMaxFieldBytes + 1, 'x');
  const std::string before = "a\n" + longField + "\"q\n";
  const std::string after = "a\n" + std::string(100, 'x') + "\"" + longField + "\n";
  const std::string padded = "a,b\n1,x" + std::string(engine::data::kMaxFieldBytes, ' ') + "\n";
  EXPECT_NE(lastMessage(before).find("longer than 32767 bytes"), std::string::npos);
  EXPECT_NE(lastMessage(after).find("bad quoting"), std::string::npos);
  for (const std::string& text : {before, after, padded}) {
    const std::vector<std::string> reference = readAll(text, true, 1 << 20);
    for (std::size_t step : {1, 2, 7, 4093, 32767, 32768, 32769}) {
      EXPECT_EQ(readAll(text, true, step), reference) << step << " bytes at a time";
      EXPECT_EQ(readAll(text, false, step), reference) << step << " bytes at a time, no shortcut";
    }
  }
}

// Lines of every length, some far longer than one read of the file, so that
// lines are cut at every kind of place by the end of the buffer.
TEST(CsvRecordReader, LongLinesAcrossBufferBoundariesReadTheSame) {
  std::string text;
  for (int row = 0; row < 3000; ++row) {
    const int fields = 1 + (row * 37) % 150;
    for (int k = 0; k < fields; ++k) {
      if (k > 0) text += ',';
      text += std::to_string(row * 1000 + k);
      if (k % 5 == 0) text += ".25";
    }
    text += row % 3 == 0 ? "\r\n" : "\n";
    if (row == 1500 || row == 2500) {
      // One line of 90,000 fields, longer than any buffer, then a quoted one.
      for (int k = 0; k < 90000; ++k) text += k == 0 ? "7" : ",8";
      text += "\n\"z\nz\",1\n";
    }
  }
  const std::vector<std::string> reference = readAll(text, false, 1 << 20, 200);
  ASSERT_EQ(reference.size(), 3004u);
  EXPECT_EQ(reference[1501].substr(0, 12), "1502:90000:7");
  EXPECT_EQ(readAll(text, true, 1 << 20, 200), reference);
  EXPECT_EQ(readAll(text, true, 65537, 200), reference);
}

// What the library's from_chars makes of the text, with parseNumber's rules
// around it: blanks and one leading '+' allowed, finite values only.
std::optional<double> libraryReading(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return {};
  return value;
}

void expectSameNumber(const std::string& text) {
  const std::optional<double> expected = libraryReading(text);
  const std::optional<double> got = engine::data::parseNumber(text);
  ASSERT_EQ(got.has_value(), expected.has_value()) << '"' << text << '"';
  ASSERT_EQ(engine::data::isNumber(text), expected.has_value()) << '"' << text << '"';
  if (got) {
    ASSERT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(*expected))
        << '"' << text << '"';
  }
}

// The quick reading of everyday decimals gives the very double of the full
// parse, and the same verdict on what is not a number.
TEST(NumberText, EverydayDecimalsReadBitForBitAsTheFullParse) {
  const std::vector<std::string> edges = {"-0.25",
                                          " 3\t",
                                          "+5",
                                          "1.5e-07",
                                          "1E22",
                                          "1e23",
                                          "1e-22",
                                          "3e-23",
                                          "-0",
                                          "-0.0",
                                          "0e-99",
                                          "9007199254740992",
                                          "9007199254740993",
                                          "900719925474099.3",
                                          "0.1",
                                          "0.3",
                                          "1e400",
                                          "1e-400",
                                          "+-1",
                                          "-+1",
                                          "1.",
                                          ".5",
                                          "1e",
                                          "1e+",
                                          "1e+123",
                                          "-",
                                          "",
                                          "inf",
                                          "nan",
                                          "0x10",
                                          "1 2",
                                          "12abc",
                                          "123456789012345678901234567890",
                                          "4.35",
                                          "1.7976931348623157e308"};
  for (const std::string& text : edges) expectSameNumber(text);
  // Every text of up to four characters from the bytes numbers are made of.
  const std::string alphabet = "019+-.eE ";
  std::vector<std::string> texts = {""};
  for (int length = 1; length <= 4; ++length) {
    std::vector<std::string> longer;
    for (const std::string& text : texts) {
      for (char c : alphabet) longer.push_back(text + c);
    }
    for (const std::string& text : longer) expectSameNumber(text);
    texts = std::move(longer);
  }
  // Random decimals of 1 to 18 digits, the point anywhere, exponents of -40
  // to 40 written in every way.
  std::mt19937_64 random(20261206);
  for (int n = 0; n < 200000; ++n) {
    std::string text = random() % 2 ? "-" : "";
    const int digits = 1 + static_cast<int>(random() % 18);
    const int point = static_cast<int>(random() % (digits + 1));
    for (int k = 0; k < digits; ++k) {
      if (k == point && k > 0) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 2) {
      const int exponent = static_cast<int>(random() % 81) - 40;
      text += random() % 2 ? 'e' : 'E';
      if (exponent >= 0 && random() % 2) text += '+';
      text += std::to_string(exponent);
    }
    expectSameNumber(text);
  }
}

}  // namespace
