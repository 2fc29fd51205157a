// The measure catalogue (measures/catalogue.h) against the measure and
// keyword tables as they are published, kept by hand in
// tests/data/measure_table.tsv and tests/data/measure_keywords.tsv. Every
// part of the procedure reads the catalogue and nothing else lists the
// measures, so a wrong kind, diagonal, format or label there is wrong
// everywhere at once, and the computations' own tests, which take their kind
// and label from the same place, would not notice. The data files are not
// made from the catalogue: they are the independent side.
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "measures/catalogue.h"

namespace {

using Row = std::map<std::string, std::string>;

struct Table {
  std::vector<Row> rows;
  std::vector<int> lines;  // the file line of each row, for the messages
};

// A tab-separated table: '#' lines are comments, the first other line names
// the columns, which must be the ones given.
Table readTable(const std::string& name, const std::vector<std::string>& columns) {
  Table table;
  const std::string path = std::string(PROX_SOURCE_DIR) + "/tests/data/" + name;
  std::ifstream in(path);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return table;
  }
  std::string line;
  int number = 0;
  bool header = true;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (header) {
      header = false;
      if (fields != columns) {
        ADD_FAILURE() << name << ":" << number << ": unexpected column names";
        return table;
      }
      continue;
    }
    if (fields.size() != columns.size()) {
      ADD_FAILURE() << name << ":" << number << ": " << fields.size() << " fields, expected "
                    << columns.size();
      continue;
    }
    Row row;
    for (std::size_t i = 0; i < columns.size(); ++i) row[columns[i]] = fields[i];
    table.rows.push_back(std::move(row));
    table.lines.push_back(number);
  }
  return table;
}

std::optional<Word> wholeNumber(const std::string& text) {
  try {
    std::size_t used = 0;
    const long long value = std::stoll(text, &used);
    if (used == text.size()) return static_cast<Word>(value);
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

std::string joined(const std::set<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : ",") + w;
  return text;
}

std::set<std::string> wordsOf(const std::string& list) {
  std::set<std::string> words;
  std::istringstream split(list);
  for (std::string w; std::getline(split, w, ',');) words.insert(w);
  return words;
}

// The catalogue's values by name, so that a failure says what it found.

std::string nameOf(Family f) {
  switch (f) {
    case Family::None:
      return "None";
    case Family::Power:
      return "Power";
    case Family::Cosine:
      return "Cosine";
    case Family::Chebychev:
      return "Chebychev";
    case Family::Correlation:
      return "Correlation";
    case Family::Counts:
      return "Counts";
    case Family::Binary:
      return "Binary";
  }
  return "Family(" + std::to_string(static_cast<int>(f)) + ")";
}

std::string nameOf(Kind k) {
  switch (k) {
    case Kind::Similarity:
      return "Similarity";
    case Kind::None:
      return "None";
    case Kind::Dissimilarity:
      return "Dissimilarity";
  }
  return "Kind(" + std::to_string(static_cast<Word>(k)) + ")";
}

std::string nameOf(Diagonal d) {
  switch (d) {
    case Diagonal::Zero:
      return "Zero";
    case Diagonal::One:
      return "One";
    case Diagonal::SystemMissing:
      return "SystemMissing";
    case Diagonal::FromCounts:
      return "FromCounts";
    case Diagonal::AsRead:
      return "AsRead";
  }
  return "Diagonal(" + std::to_string(static_cast<int>(d)) + ")";
}

std::string nameOf(CellFormat f) {
  switch (f) {
    case CellFormat::N:
      return "N";
    case CellFormat::Coefficient:
      return "Coefficient";
    case CellFormat::Correlation:
      return "Correlation";
    case CellFormat::GenStat:
      return "GenStat";
    case CellFormat::Significance:
      return "Significance";
  }
  return "CellFormat(" + std::to_string(static_cast<int>(f)) + ")";
}

std::string nameOf(ParamForm f) {
  switch (f) {
    case ParamForm::None:
      return "None";
    case ParamForm::Power:
      return "Power";
    case ParamForm::Binary:
      return "Binary";
    case ParamForm::Rescale:
      return "Rescale";
    case ParamForm::Reverse:
      return "Reverse";
    case ParamForm::Absolute:
      return "Absolute";
  }
  return "ParamForm(" + std::to_string(static_cast<int>(f)) + ")";
}

// The published wording of each column, read into the catalogue's terms. A
// wording not listed here is a fault of the data file, reported as such.

template <typename T>
std::string expectedName(const std::map<std::string, T>& words, const std::string& text,
                         const char* column) {
  const auto found = words.find(text);
  if (found != words.end()) return nameOf(found->second);
  ADD_FAILURE() << "the table's " << column << " \"" << text << "\" is not one it may have";
  return "(" + text + ")";
}

const std::map<std::string, Family> kFamilyWords = {
    {"none", Family::None},
    {"power", Family::Power},
    {"cosine", Family::Cosine},
    {"Chebychev", Family::Chebychev},
    {"correlation", Family::Correlation},
    {"counts", Family::Counts},
    {"binary", Family::Binary},
};

const std::map<std::string, Kind> kKindWords = {
    {"S", Kind::Similarity}, {"D", Kind::Dissimilarity}, {"as read", Kind::None}};

// The last three are the binary measures whose self-proximity depends on the
// item's counts.
const std::map<std::string, Diagonal> kDiagonalWords = {
    {"0", Diagonal::Zero},
    {"1", Diagonal::One},
    {"system-missing", Diagonal::SystemMissing},
    {"as read", Diagonal::AsRead},
    {"a/n", Diagonal::FromCounts},
    {"min(a,d)/n", Diagonal::FromCounts},
    {"a*d/n^2", Diagonal::FromCounts},
};

const std::map<std::string, CellFormat> kFormatWords = {
    {"BP_N_FORMAT", CellFormat::N},
    {"BP_COEFFICIENT_FORMAT", CellFormat::Coefficient},
    {"BP_CORRELATION_FORMAT", CellFormat::Correlation},
    {"BP_GENSTAT_FORMAT", CellFormat::GenStat},
    {"BP_SIGNIFICANCE_FORMAT", CellFormat::Significance},
};

// A transformation keyword has no parameters and sets its flag instead.
const std::map<std::string, ParamForm> kFlagWords = {{"sets rescale", ParamForm::Rescale},
                                                     {"sets reverse", ParamForm::Reverse},
                                                     {"sets absolute", ParamForm::Absolute}};

TEST(MeasureCatalogue, EveryMeasureAsPublished) {
  const Table table = readTable(
      "measure_table.tsv",
      {"code", "keywords", "family", "kind", "diagonal", "format", "label", "label_unequal"});
  ASSERT_FALSE(table.rows.empty());

  std::set<Word> seen;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const Row& row = table.rows[r];
    const std::optional<Word> code = wholeNumber(row.at("code"));
    if (!code) {
      ADD_FAILURE() << "measure_table.tsv:" << table.lines[r] << ": code \"" << row.at("code")
                    << "\" is not a number";
      continue;
    }
    SCOPED_TRACE("measure code " + std::to_string(*code) + " (" + row.at("keywords") + ")");
    EXPECT_TRUE(seen.insert(*code).second) << "the table has this code twice";
    const std::optional<MeasureInfo> info = measureInfo(*code);
    if (!info) {
      ADD_FAILURE() << "the table has this code, the catalogue has no entry for it";
      continue;
    }

    EXPECT_EQ(nameOf(info->family), expectedName(kFamilyWords, row.at("family"), "family"))
        << "field: family";
    EXPECT_EQ(nameOf(info->kind), expectedName(kKindWords, row.at("kind"), "kind"))
        << "field: kind";
    // The drivers store the kind itself as the matrix's direction.
    if (row.at("kind") == "S" || row.at("kind") == "D") {
      EXPECT_EQ(static_cast<Word>(info->kind), row.at("kind") == "S" ? -1 : 1)
          << "field: direction";
    }
    EXPECT_EQ(nameOf(info->diagonal), expectedName(kDiagonalWords, row.at("diagonal"), "diagonal"))
        << "field: diagonal (published as \"" << row.at("diagonal") << "\")";
    EXPECT_EQ(nameOf(info->format), expectedName(kFormatWords, row.at("format"), "format"))
        << "field: cell format (published as " << row.at("format") << ")";
    EXPECT_EQ(info->label, row.at("label")) << "field: label";

    // Only Power has a second label, kept apart from the entry.
    const std::string second = row.at("label_unequal");
    if (*code == 3) {
      EXPECT_EQ(kPowerLabel, second) << "field: label when the exponent and root differ";
    } else {
      EXPECT_EQ(second, "-") << "field: label_unequal: the catalogue has no second label here";
    }

    std::set<std::string> words;
    for (const MeasureKeyword& k : kMeasureKeywords) {
      if (k.code == *code) words.insert(std::string(k.word.trimmed()));
    }
    EXPECT_EQ(joined(words), joined(wordsOf(row.at("keywords")))) << "field: keywords";

    EXPECT_EQ(isBinaryMeasure(*code), row.at("family") == "binary") << "isBinaryMeasure";
    EXPECT_EQ(isCountMeasure(*code), row.at("family") == "counts") << "isCountMeasure";
  }

  for (Word code = 0; code < static_cast<Word>(kMeasures.size()); ++code) {
    EXPECT_TRUE(seen.count(code)) << "the catalogue has measure code " << code
                                  << ", the table has no row for it";
  }
}

TEST(MeasureCatalogue, EveryKeywordAsPublished) {
  const Table table = readTable("measure_keywords.tsv",
                                {"position", "keyword", "code", "parameters", "defaults", "text"});
  ASSERT_FALSE(table.rows.empty());

  std::vector<bool> matched(kMeasureKeywords.size(), false);
  Word lastRebuilt = 0;
  bool rebuiltAfterKept = false;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const Row& row = table.rows[r];
    const std::string& word = row.at("keyword");
    SCOPED_TRACE("keyword " + word);
    const std::optional<Word> position = wholeNumber(row.at("position"));
    ASSERT_TRUE(position) << "measure_keywords.tsv:" << table.lines[r] << ": position \""
                          << row.at("position") << "\" is not a number";
    if (row.at("text") == "rebuilt") {
      rebuiltAfterKept = rebuiltAfterKept || lastRebuilt != *position - 1;
      lastRebuilt = *position;
    } else {
      EXPECT_EQ(row.at("text"), "kept") << "measure_keywords.tsv:" << table.lines[r];
    }

    std::size_t at = 0;
    while (at < kMeasureKeywords.size() && kMeasureKeywords[at].word.trimmed() != word) ++at;
    if (at == kMeasureKeywords.size()) {
      ADD_FAILURE() << "the table has this keyword, the catalogue does not";
      continue;
    }
    EXPECT_FALSE(matched[at]) << "the table has this keyword twice";
    matched[at] = true;
    const MeasureKeyword& entry = kMeasureKeywords[at];

    // The matcher returns the 1-based position, which the parser and the
    // matrix reader compare with kLastMeasureKeyword.
    EXPECT_EQ(static_cast<Word>(at) + 1, *position) << "field: position";
    const std::string& code = row.at("code");
    // The catalogue marks a keyword that names no measure with code -1.
    const std::optional<Word> want = code == "-" ? std::optional<Word>(-1) : wholeNumber(code);
    if (want) {
      EXPECT_EQ(entry.code, *want) << "field: code (published as " << code << ")";
    } else {
      ADD_FAILURE() << "the table's code \"" << code << "\" is not a number";
    }

    const std::string& parameters = row.at("parameters");
    const std::string& defaults = row.at("defaults");
    std::string form;
    if (parameters == "power") {
      form = nameOf(ParamForm::Power);
    } else if (parameters == "binary") {
      form = nameOf(ParamForm::Binary);
    } else if (parameters == "none") {
      form = defaults.rfind("sets ", 0) == 0 ? expectedName(kFlagWords, defaults, "defaults")
                                             : nameOf(ParamForm::None);
    } else {
      ADD_FAILURE() << "the table's parameters \"" << parameters << "\" is not one it may have";
    }
    EXPECT_EQ(nameOf(entry.form), form)
        << "field: parameter form (published as " << parameters << ", " << defaults << ")";

    if (defaults == "unchanged" || defaults.rfind("sets ", 0) == 0) {
      EXPECT_FALSE(entry.setsParams) << "field: defaults: the parameters must stay as they were";
      continue;
    }
    const std::size_t comma = defaults.find(", ");
    const std::optional<Word> first = wholeNumber(defaults.substr(0, comma));
    const std::optional<Word> second =
        comma == std::string::npos ? std::nullopt : wholeNumber(defaults.substr(comma + 2));
    ASSERT_TRUE(first && second) << "the table's defaults \"" << defaults
                                 << "\" are not two numbers";
    EXPECT_TRUE(entry.setsParams) << "field: defaults: the keyword must store " << defaults;
    EXPECT_EQ(entry.param1, *first) << "field: default parameter 1";
    EXPECT_EQ(entry.param2, *second) << "field: default parameter 2";
  }

  for (std::size_t at = 0; at < kMeasureKeywords.size(); ++at) {
    EXPECT_TRUE(matched[at]) << "the catalogue has keyword \""
                             << kMeasureKeywords[at].word.trimmed() << "\" at position " << at + 1
                             << ", the table has no row for it";
  }

  // The matcher's table is the keywords and one blank entry that never
  // matches; the keywords that start the measure text afresh come first, up
  // to kLastMeasureKeyword, and the others after them.
  EXPECT_EQ(kMeasureKeywordTable.size(), table.rows.size() + 1) << "matcher table length";
  EXPECT_EQ(kMeasureKeywordTable.back().trimmed(), "") << "the matcher table's last entry";
  EXPECT_FALSE(rebuiltAfterKept) << "the table has a keyword that rebuilds the measure text after "
                                    "one that keeps it, which kLastMeasureKeyword cannot express";
  EXPECT_EQ(kLastMeasureKeyword, lastRebuilt) << "the last keyword that rebuilds the measure text";
}

}  // namespace
