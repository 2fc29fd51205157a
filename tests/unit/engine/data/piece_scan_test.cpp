// LOAD's scan in pieces must find what one reader going through the text
// finds: the same column facts, the same record count, the same first error
// with the same line, and a parsed copy whose cases are those the text
// gives when read again. Random texts with quoted fields spanning lines,
// CRLF, blank lines, missing texts and text columns are cut into pieces as
// small as a few bytes, on one to four threads.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/data/case_copy.h"
#include "engine/data/csv_reader.h"
#include "engine/data/csv_table.h"
#include "engine/data/piece_scan.h"

namespace {

using namespace engine::data;

constexpr std::size_t kColumns = 4;  // index, numbers, numbers and text, quoted text

std::string randomNumber(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> shape(0, 6);
  std::uniform_real_distribution<double> value(-1e3, 1e3);
  char text[40];
  switch (shape(rng)) {
    case 0:
      return std::to_string(static_cast<int>(value(rng)));
    case 1:
      std::snprintf(text, sizeof text, "%.17g", value(rng));
      return text;
    case 2:
      std::snprintf(text, sizeof text, "%.3e", value(rng));
      return text;
    case 3:
      return "";
    case 4:
      return "NA";
    case 5:
      return "\"  \"";  // blank, but not the missing text ""
    default:
      std::snprintf(text, sizeof text, " %.6g ", value(rng));
      return text;
  }
}

// Words, some quoted over two lines; with `numbers`, numbers as well.
std::string randomText(std::mt19937_64& rng, bool numbers) {
  static const char* const kTexts[] = {"\"a,b\"", "\"two\nlines\"", "\"say \"\"hi\"\"\"",
                                       "plain",   "\"\"",           "\"x\r\ny\"",
                                       "12",      "\"3.5\""};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kTexts) - (numbers ? 1 : 3));
  return kTexts[pick(rng)];
}

// A header and `records` rows; `textAfter` rows in, column 3 gets words.
std::string randomCsv(std::mt19937_64& rng, int records, int textAfter) {
  std::string csv = ",x,y,z\r\n";
  std::bernoulli_distribution blankLine(0.05), crlf(0.5);
  for (int r = 0; r < records; ++r) {
    if (blankLine(rng)) csv += "\n";
    csv += std::to_string(r + 1) + "," + randomNumber(rng) + ",";
    csv += r >= textAfter ? randomText(rng, true) : randomNumber(rng);
    csv += "," + randomText(rng, false);
    csv += crlf(rng) ? "\r\n" : "\n";
  }
  return csv;
}

// Damages the text in one of the ways a file may be malformed.
void damage(std::mt19937_64& rng, std::string& csv) {
  std::uniform_int_distribution<std::size_t> at(csv.find('\n') + 1, csv.size() - 1);
  static const char* const kBad[] = {"a\"b", ",,", "\"open", "(NUL)", "\xC3\x28"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kBad) - 1);
  const std::size_t k = pick(rng);
  csv.insert(at(rng), k == 3 ? std::string(1, '\0') : std::string(kBad[k]));
}

Layout layoutOf(std::vector<bool>& keepText) {
  Layout layout(kColumns);
  const char* names[] = {"row", "x", "y", "z"};
  for (std::size_t k = 0; k < kColumns; ++k) {
    layout[k].name = layout[k].headerText = names[k];
    layout[k].setMissingTexts({"", "NA"});
  }
  layout[0].headerText = "";
  layout[0].forceString = true;
  keepText = {true, false, false, false};
  return layout;
}

struct Outcome {
  std::vector<ColumnScan> scans;
  std::int64_t records = 0;
  std::string error;
  std::shared_ptr<CaseCopy> copy;
};

std::unique_ptr<CsvRecordReader> readerAfterHeader(const std::shared_ptr<const std::string>& csv) {
  auto reader = std::make_unique<CsvRecordReader>(openMemorySource(csv), "t.csv");
  readHeaderTexts(*reader);
  return reader;
}

Outcome scanWhole(const std::shared_ptr<const std::string>& csv, const Layout& layout) {
  Outcome out;
  try {
    auto reader = readerAfterHeader(csv);
    out.scans = scanColumns(*reader, layout, out.records);
  } catch (const engine::DataError& e) {
    out.error = e.what();
  }
  return out;
}

Outcome scanCut(const std::shared_ptr<const std::string>& csv, const Layout& layout,
                const std::vector<bool>& keepText, std::size_t slice, std::size_t threads) {
  Outcome out;
  try {
    auto reader = readerAfterHeader(csv);
    const std::optional<RecordBoundary> start = reader->boundary();
    EXPECT_TRUE(start.has_value());
    const std::unique_ptr<RandomText> text = openRandomString(csv);
    PieceScanRequest request{text.get(), "t.csv", ',', '.', &layout, keepText, threads};
    request.sliceBytes = slice;
    request.copyMemoryBytes = slice * 3;  // most copies go to a temporary file
    std::optional<PieceScan> scan = scanInPieces(request, *start);
    EXPECT_TRUE(scan.has_value());
    out.scans = std::move(scan->scans);
    out.records = scan->records;
    out.copy = std::move(scan->copy);
  } catch (const engine::DataError& e) {
    out.error = e.what();
  }
  return out;
}

void expectSameScans(const Outcome& whole, const Outcome& cut) {
  ASSERT_EQ(whole.error, cut.error);
  if (!whole.error.empty()) return;  // LOAD keeps nothing of what it read
  ASSERT_EQ(whole.records, cut.records);
  ASSERT_EQ(whole.scans.size(), cut.scans.size());
  for (std::size_t k = 0; k < whole.scans.size(); ++k) {
    SCOPED_TRACE("column " + std::to_string(k));
    const ColumnScan& a = whole.scans[k];
    const ColumnScan& b = cut.scans[k];
    EXPECT_EQ(a.numeric, b.numeric);
    EXPECT_EQ(a.longest, b.longest);
    EXPECT_EQ(a.textLine, b.textLine);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.holdsNumber, b.holdsNumber);
    EXPECT_EQ(a.missing, b.missing);
    EXPECT_EQ(a.blank, b.blank);
  }
}

// The cases of the copy against those of the text read again, as the
// passes would read either.
void expectSameCases(const std::shared_ptr<const std::string>& csv, Layout layout,
                     const Outcome& cut) {
  ASSERT_TRUE(cut.copy);
  const engine::Dictionary dictionary = inferDictionary(layout, cut.scans);
  std::vector<int> widths;
  for (std::size_t k = 0; k < layout.size(); ++k) {
    layout[k].width = dictionary.variables()[k].width;
    widths.push_back(layout[k].width);
  }
  auto reader = readerAfterHeader(csv);
  reader->setFieldLimit(layout.size());
  std::unique_ptr<engine::CaseCursor> cursor = cut.copy->open(widths);
  CsvRecord record;
  engine::Case fromText, fromCopy;
  std::int64_t n = 0;
  while (reader->next(record)) {
    recordToCase(record, layout, "t.csv", fromText);
    ASSERT_TRUE(cursor->next(fromCopy)) << "case " << n + 1;
    ASSERT_EQ(fromText.values.size(), fromCopy.values.size());
    EXPECT_EQ(0, std::memcmp(fromText.values.data(), fromCopy.values.data(),
                             fromText.values.size() * sizeof(double)))
        << "case " << n + 1;
    EXPECT_EQ(fromText.strings, fromCopy.strings) << "case " << n + 1;
    ++n;
  }
  EXPECT_FALSE(cursor->next(fromCopy));
  EXPECT_EQ(n, cut.copy->records());
}

TEST(PieceScan, FindsWhatOneReaderFindsHoweverTheTextIsCut) {
  std::mt19937_64 rng(20261207);
  std::vector<bool> keepText;
  const Layout layout = layoutOf(keepText);
  std::uniform_int_distribution<std::size_t> slice(1, 300), threads(1, 4);
  std::uniform_int_distribution<int> records(0, 400);
  int copiesCompared = 0;
  int errorsCompared = 0;
  for (int round = 0; round < 300; ++round) {
    const int count = records(rng);
    // Column y turns to text part way (a column made text after numbers),
    // or never.
    const int textAfter = round % 3 == 0 ? count / 2 : count + 1;
    std::string text = randomCsv(rng, count, textAfter);
    if (round % 4 == 1 && count > 0) damage(rng, text);
    const auto csv = std::make_shared<const std::string>(std::move(text));
    const std::size_t bytes = slice(rng);
    const std::size_t t = threads(rng);
    SCOPED_TRACE("round " + std::to_string(round) + ", slices of " + std::to_string(bytes) +
                 " bytes, " + std::to_string(t) + " threads");
    const Outcome whole = scanWhole(csv, layout);
    const Outcome cut = scanCut(csv, layout, keepText, bytes, t);
    expectSameScans(whole, cut);
    if (!whole.error.empty()) ++errorsCompared;
    if (cut.error.empty() && !cut.scans[2].holdsNumber) {
      expectSameCases(csv, layout, cut);
      ++copiesCompared;
    }
  }
  EXPECT_GT(copiesCompared, 100);
  EXPECT_GT(errorsCompared, 40);
}

TEST(PieceScan, ErrorsKeepTheirLineNumbers) {
  std::vector<bool> keepText;
  const Layout layout = layoutOf(keepText);
  // Line 3 opens a quoted field over two lines; line 6 has a field too few.
  const auto csv = std::make_shared<const std::string>(
      ",x,y,z\n1,2,3,a\n2,3,4,\"b\nc\"\n3,4,5,d\n4,5,6\n5,6,7,e\n");
  for (std::size_t slice = 1; slice < csv->size(); ++slice) {
    const Outcome cut = scanCut(csv, layout, keepText, slice, 2);
    EXPECT_EQ(cut.error, "t.csv, line 6: the row has 3 fields but the header has 4.")
        << "slices of " << slice;
  }
}

TEST(CaseCopy, ReadsTheSameFromMemoryAndFromItsFile) {
  std::vector<CopyBlock> blocks(3);
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    blocks[b].columns = 2;
    for (int r = 0; r < 5; ++r) {
      blocks[b].values.push_back(static_cast<double>(b * 10 + r));
      blocks[b].values.push_back(0.0);
      if (r % 2 == 0) blocks[b].addText(1, "t" + std::to_string(b) + std::to_string(r));
      ++blocks[b].records;
    }
  }
  auto inMemory = std::make_shared<CaseCopy>(2);
  auto inFile = std::make_shared<CaseCopy>(2, 0);
  inMemory->append(blocks, 1);
  inFile->append(std::span(blocks).first(1), 1);
  inFile->append(std::span(blocks).subspan(1), 2);
  for (const auto& copy : {inMemory, inFile}) {
    auto cursor = copy->open({0, 4});
    engine::Case c;
    for (int n = 0; n < 15; ++n) {
      ASSERT_TRUE(cursor->next(c));
      EXPECT_EQ(c.values[0], (n / 5) * 10 + n % 5);
      EXPECT_EQ(c.values[1], 0.0);
      const std::string text =
          n % 5 % 2 == 0 ? "t" + std::to_string(n / 5) + std::to_string(n % 5) : "";
      EXPECT_EQ(c.strings[1], text + std::string(4 - text.size(), ' '));
      EXPECT_TRUE(c.strings[0].empty());
    }
    EXPECT_FALSE(cursor->next(c));
  }
}

}  // namespace

namespace {

// Text that says it is longer than it is, as a file cut short while LOAD
// reads it.
class ShrunkText : public engine::data::RandomText {
 public:
  ShrunkText(std::shared_ptr<const std::string> text, std::int64_t claimed)
      : text_(engine::data::openRandomString(std::move(text))), claimed_(claimed) {}
  std::int64_t size() const override { return claimed_; }
  std::size_t readAt(std::int64_t offset, std::span<char> buffer) const override {
    return text_->readAt(offset, buffer);
  }

 private:
  std::unique_ptr<engine::data::RandomText> text_;
  std::int64_t claimed_;
};

TEST(PieceScan, AFileCutShortWhileReadIsReportedNotWaitedFor) {
  std::vector<bool> keepText;
  const Layout layout = layoutOf(keepText);
  // The last line has no line break, so the end of the batch is looked for
  // past its slices, where the text ends early.
  const auto csv = std::make_shared<const std::string>(",x,y,z\n1,2,3,a\n2,3,4,b");
  for (std::size_t slice : {1, 2, 3, 200}) {
    auto reader = readerAfterHeader(csv);
    const ShrunkText text(csv, static_cast<std::int64_t>(csv->size()) + 1000);
    PieceScanRequest request{&text, "t.csv", ',', '.', &layout, keepText, 1};
    request.sliceBytes = slice;
    try {
      scanInPieces(request, *reader->boundary());
      ADD_FAILURE() << "no error with slices of " << slice;
    } catch (const engine::DataError& e) {
      EXPECT_STREQ(e.what(), "The data file became shorter while it was read.");
    }
  }
}

}  // namespace
