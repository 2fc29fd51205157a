// Matrices written with MATRIX=OUT and read back with MATRIX=IN: every
// measure, between cases and between variables, with and without split
// files, must come back with every printed value bit for bit the same and
// its labels as the layout of the file says; a read-back matrix written again
// gives the same file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/unit/support/matrix_test_support.h"

namespace {

using matrix_test::MatrixFileTest;
using matrix_test::run;
using matrix_test::Shown;
using matrix_test::ShownTable;

// 0/1 data, so that every measure applies; g splits it into groups of 3 and
// 5 cases, which makes the file pad the first group.
constexpr std::string_view kData =
    "INLINE.\n"
    "v1,v2,v3,v4,g\n"
    "1,0,1,1,1\n"
    "0,1,1,0,1\n"
    "1,1,0,0,1\n"
    "0,0,1,1,2\n"
    "1,0,0,1,2\n"
    "1,1,1,0,2\n"
    "0,1,0,1,2\n"
    "1,0,1,0,2\n"
    "END INLINE.\n";

// Every measure keyword, some with parameters, and the transformations.
const std::vector<std::string> kMeasures = {
    "EUCLID",
    "SEUCLID",
    "DEFAULT",
    "BLOCK",
    "CHEBYCHEV",
    "MINKOWSKI(3)",
    "POWER(3,2)",
    "COSINE",
    "CORRELATION",
    "CHISQ",
    "PH2",
    "RR",
    "SM(1,0)",
    "JACCARD",
    "DICE(1)",
    "SS1",
    "RT",
    "SS2",
    "K2",
    "SS4",
    "HAMANN",
    "OCHIAI",
    "SS5",
    "PHI",
    "LAMBDA",
    "D",
    "Y",
    "Q",
    "BEUCLID",
    "SIZE",
    "PATTERN",
    "BSEUCLID",
    "BSHAPE",
    "DISPER",
    "VARIANCE",
    "BLWMN",
    "EUCLID RESCALE ABSOLUTE",
    "CORRELATION ABSOLUTE",
    "CORRELATION REVERSE",
    "POWER(2,3) REVERSE RESCALE",
    "JACCARD(1,0) RESCALE",
    "SEUCLID REVERSE",
    // Only the last measure keyword is described in the file.
    "EUCLID POWER(4,1)",
    "BLOCK EUCLID",
    "EUCLID DICE(1)",
    "MINKOWSKI(3) RESCALE SM(1,0) REVERSE",
};

struct Case {
  std::string measure;
  bool variables;
  bool split;
  std::string describe() const {
    return measure + (variables ? " VIEW=VARIABLE" : " VIEW=CASE") + (split ? " split" : "");
  }
};

std::string commands(const Case& c, const std::string& body) {
  std::string text(kData);
  if (c.split) text += "GROUP BY g.\n";
  return text + body;
}

std::string viewOf(const Case& c) { return c.variables ? " /VIEW=VARIABLE" : ""; }

bool reversed(const std::string& measure) { return measure.find("REVERSE") != std::string::npos; }

std::string flipped(std::string footnote) {
  const auto at = footnote.find("dissimilarity");
  if (at != std::string::npos) return footnote.replace(at, 13, "similarity");
  return footnote.replace(footnote.find("similarity"), 10, "dissimilarity");
}

// The sidecar without what a second writing may change: VARNAME_'s width
// (a matrix between cases read back names its rows by the item names) and,
// for a reversed matrix, the kind of values in the proximity label and in
// the sidecar's words.
nlohmann::json comparableSidecar(const std::string& text) {
  nlohmann::json sidecar = nlohmann::json::parse(text);
  if (sidecar.contains("matrix")) sidecar["matrix"].erase("kind");
  for (auto& field : sidecar["fields"]) {
    if (field["name"] == "VARNAME_") field.erase("width");
    if (field["name"] == "ROWTYPE_" && field.contains("title")) {
      std::string title = field["title"];
      title.replace(9, 13, std::string(13, ' '));
      field["title"] = title;
    }
  }
  return sidecar;
}

class MatrixRoundTrip : public MatrixFileTest {
 protected:
  void check(const Case& c) {
    SCOPED_TRACE(c.describe());
    const std::string first = path("first.csv");
    const std::string second = path("second.csv");
    const Shown computed =
        run(commands(c, "PROXIMITIES v1 TO v4" + viewOf(c) + " /MEASURE=" + c.measure +
                            " /MATRIX=OUT(\"" + first + "\").\n"));
    ASSERT_FALSE(computed.anyError()) << ::testing::PrintToString(computed.messages);
    ASSERT_EQ(computed.tables.size(), c.split ? 2u : 1u);
    const Shown read = run(commands(c, "PROXIMITIES /MATRIX=IN(\"" + first + "\") OUT(\"" + second +
                                           "\")" + viewOf(c) + ".\n"));
    ASSERT_FALSE(read.anyError()) << ::testing::PrintToString(read.messages);
    ASSERT_EQ(read.tables.size(), computed.tables.size());
    Word earlierRows = 0;
    for (std::size_t k = 0; k < computed.tables.size(); ++k) {
      const ShownTable& a = computed.tables[k];
      const ShownTable& b = read.tables[k];
      EXPECT_EQ(matrix_test::bitsOf(b), matrix_test::bitsOf(a));
      EXPECT_EQ(b.measure, a.measure);
      EXPECT_EQ(b.title, a.title);
      // A file marked reversed counts as reversed once more when read.
      EXPECT_EQ(b.footnote, reversed(c.measure) ? flipped(a.footnote) : a.footnote);
      if (c.variables) {
        EXPECT_EQ(b.rows, a.rows);
        EXPECT_EQ(b.columns, a.columns);
        continue;
      }
      // Cases read back are labelled by the file's ID ("Case" and the
      // number they had) and numbered on from the earlier groups' rows.
      ASSERT_EQ(b.rows.size(), a.rows.size());
      for (std::size_t i = 0; i < a.rows.size(); ++i) {
        EXPECT_EQ(b.rows[i],
                  std::to_string(earlierRows + static_cast<Word>(i) + 1) + ":Case " + a.rows[i]);
      }
      earlierRows += 5;  // every group fills the rows of the largest group
    }
    EXPECT_EQ(matrix_test::readFile(second), matrix_test::readFile(first));
    const auto sidecar = [](const std::string& csv) {
      return matrix_test::readFile(csv.substr(0, csv.size() - 4) + ".schema.json");
    };
    EXPECT_EQ(comparableSidecar(sidecar(second)), comparableSidecar(sidecar(first)));
  }
};

TEST_F(MatrixRoundTrip, EveryMeasureBetweenCases) {
  for (const std::string& measure : kMeasures) check({measure, false, false});
}

TEST_F(MatrixRoundTrip, EveryMeasureBetweenVariables) {
  for (const std::string& measure : kMeasures) check({measure, true, false});
}

TEST_F(MatrixRoundTrip, EveryMeasureBetweenCasesWithSplitFiles) {
  for (const std::string& measure : kMeasures) check({measure, false, true});
}

TEST_F(MatrixRoundTrip, EveryMeasureBetweenVariablesWithSplitFiles) {
  for (const std::string& measure : kMeasures) check({measure, true, true});
}

}  // namespace

namespace {

// Kulczynski 1 and Sokal and Sneath 3 leave every self-proximity missing, so
// no item of their matrices has a diagonal value to be read back by.
TEST_F(MatrixRoundTrip, MatricesWithoutSelfProximitiesCannotBeReadBack) {
  for (const std::string measure : {"K1", "SS3"}) {
    SCOPED_TRACE(measure);
    const std::string file = path(measure + ".csv");
    Shown shown =
        run(std::string(kData) + "PROXIMITIES v1 TO v4 /MEASURE=" + measure + " /MATRIX=OUT(\"" +
            file + "\").\nPROXIMITIES /MATRIX=IN(\"" + file + "\").\n");
    EXPECT_EQ(shown.tables.size(), 1u);
    EXPECT_TRUE(shown.hasMessage("error: The input PROX matrix contains too many missing"));
    shown = run("PROXIMITIES /MATRIX=IN(\"" + file + "\") /VIEW=VARIABLE.\n");
    EXPECT_TRUE(shown.hasMessage("error: The input PROX matrix contains missing distances"));
  }
}

}  // namespace
