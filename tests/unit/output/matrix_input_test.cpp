// Reading matrix data files: the measure text of the proximity label, the
// rows of each group with their checks, the compaction of missing cases, the
// split settings of an external file, and files damaged in every way we know.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "output/matrix_input.h"
#include "output/matrix_output.h"
#include "proc/options.h"
#include "syntax/parser.h"
#include "tests/unit/support/matrix_test_support.h"

namespace {

using matrix_test::MatrixFileTest;
using matrix_test::run;
using matrix_test::Shown;
using matrix_test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// ---- the measure text of the label -------------------------------------------

MeasureScan scan(std::string_view text) {
  testing_host::attach();
  return proscan_measure_text(FixedText<120>(text));
}

TEST(MeasureTextScan, TheWordsOfTheLabelGiveTheMeasureBack) {
  const Word unspecified = [] {
    testing_host::attach();
    return host::constants().unspecifiedInteger;
  }();
  MeasureScan s = scan("Q");
  EXPECT_EQ(s.code, 28);
  EXPECT_EQ(s.param1, 1);
  EXPECT_EQ(s.param2, 0);

  s = scan("MIN ( 3 )");
  EXPECT_EQ(s.code, 3);
  EXPECT_EQ(s.param1, 3);
  EXPECT_EQ(s.param2, 3);

  s = scan("POW ( 3 2 ) REV");
  EXPECT_EQ(s.code, 3);
  EXPECT_EQ(s.param1, 3);
  EXPECT_EQ(s.param2, 2);
  EXPECT_TRUE(s.reversed);
  EXPECT_FALSE(s.rescaled || s.absolute);

  s = scan("JAC RES");
  EXPECT_EQ(s.code, 12);
  EXPECT_EQ(s.param1, 1);
  EXPECT_EQ(s.param2, 0);
  EXPECT_TRUE(s.rescaled);

  s = scan("JAC ( 2 )");  // only the present value
  EXPECT_EQ(s.param1, 2);
  EXPECT_EQ(s.param2, unspecified);

  s = scan("SM ( -1 5 ) ABS");  // binary values are taken as they are
  EXPECT_EQ(s.code, 11);
  EXPECT_EQ(s.param1, -1);
  EXPECT_EQ(s.param2, 5);
  EXPECT_TRUE(s.absolute);

  s = scan("DICE( 1 )");  // a four-letter keyword touches its list
  EXPECT_EQ(s.code, 14);
  EXPECT_EQ(s.param1, 1);
  EXPECT_EQ(s.param2, unspecified);

  s = scan("SEU");
  EXPECT_EQ(s.code, 4);
  EXPECT_EQ(s.param1, 2);
  EXPECT_EQ(s.param2, 1);

  s = scan("NON");
  EXPECT_EQ(s.code, 0);
}

TEST(MeasureTextScan, DefaultsAndTextsThatEndEarly) {
  MeasureScan s = scan("");  // no label: Euclidean
  EXPECT_EQ(s.code, 1);
  EXPECT_EQ(s.param1, 2);
  EXPECT_EQ(s.param2, 2);
  EXPECT_FALSE(s.rescaled || s.reversed || s.absolute);

  s = scan("POW ( 4");  // ends inside the list: what was found stays
  EXPECT_EQ(s.code, 3);
  EXPECT_EQ(s.param1, 4);
  EXPECT_EQ(s.param2, 2);

  s = scan("POW ( 0 ) RES");  // below 1: 0, and the scan ends there
  EXPECT_EQ(s.param1, 0);
  EXPECT_FALSE(s.rescaled);

  s = scan("POW ( 3 -2 ) REV");
  EXPECT_EQ(s.param1, 3);
  EXPECT_EQ(s.param2, 0);
  EXPECT_FALSE(s.reversed);

  s = scan("JAC (");  // ends right after the parenthesis
  EXPECT_EQ(s.param1, 1);
  EXPECT_EQ(s.param2, 0);

  s = scan("JAC ( 3");  // ends after the first number
  EXPECT_EQ(s.param1, 3);
  EXPECT_EQ(s.param2, 0);

  s = scan("COR ZZZ REV");  // an unknown word ends the scan with code 1
  EXPECT_EQ(s.code, 1);
  EXPECT_FALSE(s.reversed);

  s = scan("POW ( 3 2 ) EUC");  // a later measure starts afresh
  EXPECT_EQ(s.code, 1);
  EXPECT_EQ(s.param1, 2);
  EXPECT_EQ(s.param2, 2);
}

// The settings the MEASURE parser leaves, with the label's measure text.
ProxOptions& parsedMeasure() {
  static ProxOptions parsed;
  return parsed;
}

void parseMeasure(ProxWorkspace& ws) {
  BP_PROCEDURE("Proximities", 11, 1, ws);
  proinit(ws);
  proparse(ws);
  promeasure_text();
  parsedMeasure() = options();
  BP_END_PROCEDURE();
}

ProxOptions parse(const std::string& measure) {
  testing_host::attach();
  std::ostringstream out;
  engine::EngineOptions engineOptions;
  engineOptions.out = &out;
  engine::Engine engine(engineOptions);
  engine.registerProcedure("ZZMEASURE", 9, &parseMeasure);
  parsedMeasure() = ProxOptions{};
  engine.run("ZZMEASURE x /MEASURE=" + measure + ".", "test.prox");
  return parsedMeasure();
}

// Whatever MEASURE accepts, the scan of the text it leaves gives it back.
TEST(MeasureTextScan, EveryMeasureWithAndWithoutParametersAndTransformations) {
  const std::vector<std::string> keywords = {
      "EUCLID", "SEUCLID", "DEFAULT",  "BLOCK",   "CHEBYCHEV", "COSINE", "CORRELATION", "CHISQ",
      "PH2",    "RR",      "SM",       "JACCARD", "DICE",      "SS1",    "RT",          "SS2",
      "K1",     "SS3",     "K2",       "SS4",     "HAMANN",    "OCHIAI", "SS5",         "PHI",
      "LAMBDA", "D",       "Y",        "Q",       "BEUCLID",   "SIZE",   "PATTERN",     "BSEUCLID",
      "BSHAPE", "DISPER",  "VARIANCE", "BLWMN",   "MINKOWSKI", "POWER"};
  std::vector<std::string> measures;
  for (const std::string& k : keywords) {
    measures.push_back(k);
    measures.push_back(k + " REVERSE");
    measures.push_back(k + " RESCALE ABSOLUTE");
  }
  for (const char* binary : {"RR", "JACCARD", "DICE", "Q", "BLWMN"}) {
    measures.push_back(std::string(binary) + "(2)");
    measures.push_back(std::string(binary) + "(3,-1) ABSOLUTE REVERSE RESCALE");
  }
  for (const char* measure : {"MINKOWSKI(3)", "POWER(4)", "POWER(3,2) REVERSE",
                              "MINKOWSKI(7) RESCALE", "POWER(12,5) ABSOLUTE"}) {
    measures.push_back(measure);
  }
  for (const std::string& measure : measures) {
    SCOPED_TRACE(measure);
    const ProxOptions o = parse(measure);
    ASSERT_FALSE(isTrue(o.errorFlag));
    const MeasureScan s = proscan_measure_text(o.measureDocText);
    EXPECT_EQ(s.code, o.measureCode);
    EXPECT_EQ(s.rescaled, isTrue(o.rescale));
    EXPECT_EQ(s.reversed, isTrue(o.reverse));
    EXPECT_EQ(s.absolute, isTrue(o.absolute));
    // The parameters matter to the power and binary measures only.
    if (o.measureCode == 3 || o.measureCode >= 10) {
      EXPECT_EQ(s.param1, o.measureParam1);
      EXPECT_EQ(s.param2, o.measureParam2);
    }
  }
}

// ---- files read back -----------------------------------------------------------

class MatrixInput : public MatrixFileTest {
 protected:
  // A matrix file without sidecar, from CSV lines.
  std::string file(const std::string& name, const std::string& csv) {
    writeFile(path(name), csv);
    return path(name);
  }
  Shown read(const std::string& file, const std::string& more = "") {
    return run("PROXIMITIES /MATRIX=IN(\"" + file + "\")" + more + ".\n");
  }
};

TEST_F(MatrixInput, AFileWithoutSidecarIsReadAsEuclideanDissimilarities) {
  const Shown shown = read(file("plain.csv",
                                "ROWTYPE_,VARNAME_,A,B,C\n"
                                "PROX,A,0,1,2\n"
                                "PROX,B,1,0,3\n"
                                "PROX,C,2,3,0\n"),
                           " /VIEW=VARIABLE");
  ASSERT_EQ(shown.tables.size(), 1u);
  EXPECT_EQ(shown.tables[0].measure, "Euclidean Distance");
  EXPECT_EQ(shown.tables[0].footnote, "This is a dissimilarity matrix");
  EXPECT_THAT(shown.tables[0].rows, ElementsAre("A", "B", "C"));
  EXPECT_EQ(shown.tables[0].values[5], 3.0);  // B with C
}

TEST_F(MatrixInput, NamesAndVarnameValuesMatchWithoutRegardToCase) {
  const Shown shown = read(file("lower.csv",
                                "rowtype_,varname_,a,b\n"
                                "PROX,b,1,0\n"
                                "PROX,a,0,1\n"),
                           " /VIEW=VARIABLE");
  ASSERT_EQ(shown.tables.size(), 1u);
  EXPECT_FALSE(shown.anyError());
  EXPECT_THAT(shown.tables[0].rows, ElementsAre("a", "b"));
  EXPECT_EQ(shown.tables[0].values[1], 1.0);
}

TEST_F(MatrixInput, RowsOfOtherTypesAndUnknownNamesAreSkipped) {
  const Shown shown = read(file("mixed.csv",
                                "ROWTYPE_,VARNAME_,A,B\n"
                                "CORR,A,9,9\n"
                                "PROX,A,0,4\n"
                                "PROX,NOSUCH,7,7\n"
                                "PROX,B,4,0\n"
                                "MEAN,B,9,9\n"),
                           " /VIEW=VARIABLE");
  ASSERT_EQ(shown.tables.size(), 1u);
  EXPECT_EQ(shown.countMessages("Invalid ROWTYPE_ or VARNAME_ values"), 1);
  EXPECT_EQ(shown.tables[0].values[1], 4.0);
  EXPECT_FALSE(shown.anyError());
}

TEST_F(MatrixInput, DuplicateRowsWarnOncePerRunAndTheLaterRowCounts) {
  const Shown shown = read(file("twice.csv",
                                "g,ROWTYPE_,VARNAME_,A,B\n"
                                "1,PROX,A,0,1\n"
                                "1,PROX,B,1,0\n"
                                "1,PROX,B,5,0\n"
                                "2,PROX,A,0,2\n"
                                "2,PROX,A,0,2\n"
                                "2,PROX,B,2,0\n"),
                           " /VIEW=VARIABLE");
  ASSERT_EQ(shown.tables.size(), 2u);
  EXPECT_EQ(shown.countMessages("Multiple matrix input rows of type PROX"), 1);
  EXPECT_EQ(shown.tables[0].values[2], 5.0);  // B with A, from the later row
  EXPECT_EQ(shown.tables[1].values[2], 2.0);
  EXPECT_EQ(shown.tables[0].title, "g = 1");
  EXPECT_EQ(shown.tables[1].title, "g = 2");
}

TEST_F(MatrixInput, TrailingItemsWithoutValuesAreDroppedAGapIsAnError) {
  // C and D have rows, but no value anywhere: dropped.
  Shown shown = read(file("trailing.csv",
                          "ROWTYPE_,VARNAME_,A,B,C,D\n"
                          "PROX,A,0,1,,\n"
                          "PROX,B,1,0,,\n"
                          "PROX,C,,,,\n"
                          "PROX,D,,,,\n"),
                     " /VIEW=VARIABLE");
  ASSERT_EQ(shown.tables.size(), 1u);
  EXPECT_THAT(shown.tables[0].rows, ElementsAre("A", "B"));
  EXPECT_FALSE(shown.anyError());

  // B has no row, but A and C give values for it: a gap.
  shown = read(file("gap.csv",
                    "ROWTYPE_,VARNAME_,A,B,C\n"
                    "PROX,A,0,1,2\n"
                    "PROX,C,2,3,0\n"),
               " /VIEW=VARIABLE");
  EXPECT_TRUE(shown.hasMessage("error: The input PROX matrix contains missing distances"));
  EXPECT_TRUE(shown.tables.empty());

  // Only the triangle and the diagonal: every pair must be in the rows.
  shown = read(file("triangle.csv",
                    "ROWTYPE_,VARNAME_,A,B,C\n"
                    "PROX,A,0,,\n"
                    "PROX,B,1,0,\n"
                    "PROX,C,2,3,0\n"),
               " /VIEW=VARIABLE");
  EXPECT_TRUE(shown.hasMessage("missing distances"));

  // One value missing, right of the diagonal in the last column: the values
  // read would make a whole triangle, but the rows are incomplete.
  shown = read(file("corner.csv",
                    "ROWTYPE_,VARNAME_,A,B,C\n"
                    "PROX,A,0,1,\n"
                    "PROX,B,1,0,3\n"
                    "PROX,C,2,3,0\n"),
               " /VIEW=VARIABLE");
  EXPECT_TRUE(shown.hasMessage("error: The input PROX matrix contains missing distances"));
  EXPECT_TRUE(shown.tables.empty());

  // With split files the message names the group.
  shown = read(file("gapgroup.csv",
                    "g,ROWTYPE_,VARNAME_,A,B,C\n"
                    "7,PROX,A,0,1,2\n"
                    "7,PROX,C,2,3,0\n"),
               " /VIEW=VARIABLE");
  EXPECT_TRUE(shown.hasMessage("The input matrix has missing proximities in the group g = 7."));
}

TEST_F(MatrixInput, MissingCasesAreLeftOutAndNumberedAcrossGroups) {
  // Group 1: cases 1 and 3 (case 2's row is padding); group 2: three cases.
  const Shown shown = read(file("cases.csv",
                                "g,ROWTYPE_,ID,VARNAME_,VAR1,VAR2,VAR3\n"
                                "1,PROX,a,VAR1,0,,5\n"
                                "1,PROX,,VAR2,,,\n"
                                "1,PROX,c,VAR3,5,,0\n"
                                "2,PROX,d,VAR1,0,1,2\n"
                                "2,PROX,e,VAR2,1,0,3\n"
                                "2,PROX,f,VAR3,2,3,0\n"));
  ASSERT_EQ(shown.tables.size(), 2u);
  EXPECT_THAT(shown.tables[0].rows, ElementsAre("1:a", "3:c"));
  EXPECT_EQ(shown.tables[0].values[1], 5.0);
  EXPECT_THAT(shown.tables[1].rows, ElementsAre("4:d", "5:e", "6:f"));
  EXPECT_EQ(shown.tables[1].values[5], 3.0);  // e with f

  // A missing distance among the cases kept is an error.
  const Shown missing = read(file("holes.csv",
                                  "ROWTYPE_,VARNAME_,VAR1,VAR2,VAR3\n"
                                  "PROX,VAR1,0,,5\n"
                                  "PROX,VAR2,,0,\n"
                                  "PROX,VAR3,5,,0\n"));
  EXPECT_TRUE(missing.hasMessage("error: The input PROX matrix contains too many missing"));
  EXPECT_TRUE(missing.tables.empty());
}

TEST_F(MatrixInput, CaseLabelsOfManyWordsAndCaseNumbersComeBackWhole) {
  const std::string matrix = file("wide.csv",
                                  "ROWTYPE_,ID,CASENO_,VARNAME_,VAR1,VAR2\n"
                                  "PROX,a label of twenty-one,17,VAR1,0,2.5\n"
                                  "PROX,another one,23,VAR2,2.5,0\n");
  const Shown shown =
      run("PROXIMITIES /MATRIX=IN(\"" + matrix + "\") OUT(\"" + path("copy.csv") + "\").\n");
  ASSERT_EQ(shown.tables.size(), 1u);
  EXPECT_THAT(shown.tables[0].rows, ElementsAre("1:a label of twenty-one", "2:another one"));
  EXPECT_EQ(matrix_test::readFile(path("copy.csv")),
            "\"ROWTYPE_\",\"ID\",\"CASENO_\",\"VARNAME_\",\"VAR1\",\"VAR2\"\n"
            "\"PROX\",\"a label of twenty-one\",17,\"VAR1\",0,2.5\n"
            "\"PROX\",\"another one\",23,\"VAR2\",2.5,0\n");
}

TEST_F(MatrixInput, AnIdSubcommandNamesTheCaseLabelsOfTheFile) {
  const std::string matrix = file("labelled.csv",
                                  "ROWTYPE_,lab,VARNAME_,VAR1,VAR2,VAR3\n"
                                  "PROX,aa,VAR1,0,1,2\n"
                                  "PROX,bb,VAR2,1,0,3\n"
                                  "PROX,cc,VAR3,2,3,0\n");
  const Shown shown = run("PROXIMITIES /MATRIX=IN(\"" + matrix + "\") OUT(\"" + path("copy.csv") +
                          "\") /ID=lab.\n");
  ASSERT_EQ(shown.tables.size(), 1u);
  EXPECT_THAT(shown.tables[0].rows, ElementsAre("1:aa", "2:bb", "3:cc"));
  EXPECT_EQ(matrix_test::readFile(path("copy.csv")),
            "\"ROWTYPE_\",\"ID\",\"VARNAME_\",\"VAR1\",\"VAR2\",\"VAR3\"\n"
            "\"PROX\",\"aa\",\"VAR1\",0,1,2\n"
            "\"PROX\",\"bb\",\"VAR2\",1,0,3\n"
            "\"PROX\",\"cc\",\"VAR3\",2,3,0\n");
}

// The words of the proximity label are keywords: their case does not matter.
TEST_F(MatrixInput, TheProximityLabelIsReadInAnyCase) {
  const std::string rows =
      "ROWTYPE_,VARNAME_,A,B\n"
      "PROX,A,1,0.25\n"
      "PROX,B,0.25,1\n";
  for (const std::string title :
       {"PROX     SIMILARITY    A    COR ABS", "prox     similarity    a    cor abs",
        "Prox     Similarity         Cor"}) {
    SCOPED_TRACE(title);
    const std::string matrix = file("label.csv", rows);
    writeFile(path("label.schema.json"),
              R"({"fields": [{"name": "ROWTYPE_", "type": "string", "width": 8, "title": ")" +
                  title +
                  R"("}, {"name": "VARNAME_", "type": "string", "width": 8},
                  {"name": "A", "type": "number"}, {"name": "B", "type": "number"}]})");
    const Shown shown = read(matrix, " /VIEW=VARIABLE");
    ASSERT_EQ(shown.tables.size(), 1u) << ::testing::PrintToString(shown.messages);
    EXPECT_THAT(shown.tables[0].footnote, HasSubstr(" similarity matrix"));
    EXPECT_THAT(shown.tables[0].measure, HasSubstr("Correlation between Vectors of Values"));
  }
}

TEST_F(MatrixInput, TooFewItemsInAGroup) {
  const Shown shown = read(file("one.csv",
                                "ROWTYPE_,VARNAME_,A,B\n"
                                "PROX,A,0,1\n"),
                           " /VIEW=VARIABLE");
  EXPECT_TRUE(shown.hasMessage("error: Too few complete and unique matrix input"));
}

TEST_F(MatrixInput, AnExternalFilesGroupsDoNotOutliveTheCommand) {
  writeFile(path("data.csv"), "x,y,h\n1,2,1\n3,5,1\n2,2,2\n4,1,2\n");
  const std::string matrix = file("split.csv",
                                  "a,b,ROWTYPE_,VARNAME_,x,y\n"
                                  "1,1,PROX,x,0,1\n"
                                  "1,1,PROX,y,1,0\n"
                                  "1,2,PROX,x,0,2\n"
                                  "1,2,PROX,y,2,0\n");
  const Shown shown = run("LOAD \"" + path("data.csv") +
                          "\".\n"
                          "GROUP BY h.\n"
                          "PROXIMITIES /MATRIX=IN(\"" +
                          matrix +
                          "\") /VIEW=VARIABLE.\n"
                          "PROXIMITIES x y /VIEW=VARIABLE.\n");
  ASSERT_EQ(shown.tables.size(), 4u);
  EXPECT_EQ(shown.tables[0].title, "a = 1, b = 1");
  EXPECT_EQ(shown.tables[1].title, "a = 1, b = 2");
  EXPECT_EQ(shown.tables[2].title, "h = 1");  // the working data's own groups again
  EXPECT_EQ(shown.tables[3].title, "h = 2");
}

// The procedure itself puts the split settings and the dictionary back, in
// its closing steps, before the engine tidies up after it.
struct AfterProx {
  Word splitCount = -1;
  std::vector<Word> splitVars;
  Word selected = 0;
} afterProx;

void proxThenLook(ProxWorkspace& ws) {
  PROX(ws);
  const HostGlobal& g = host::global();
  afterProx.splitCount = g.splitCount;
  afterProx.splitVars.assign(g.splitVars, g.splitVars + 8);
  afterProx.selected = host::dictionaryState().selected;
}

TEST_F(MatrixInput, TheClosingStepsRestoreTheSplitSettings) {
  writeFile(path("data.csv"), "x,y,h,k\n1,2,1,1\n3,5,1,1\n");
  const std::string matrix = file("split.csv",
                                  "a,b,c,ROWTYPE_,VARNAME_,x,y\n"
                                  "1,1,1,PROX,x,0,1\n"
                                  "1,1,1,PROX,y,1,0\n");
  testing_host::attach();
  std::ostringstream out;
  engine::EngineOptions options;
  options.out = &out;
  engine::Engine engine(options);
  engine.registerProcedure("ZZPROX", 6, &proxThenLook);
  for (const std::string& error : {std::string(), std::string(" /VIEW=CASE /ID=nosuch")}) {
    afterProx = AfterProx{};
    engine.run("LOAD \"" + path("data.csv") + "\".\nGROUP BY k h.\nZZPROX /MATRIX=IN(\"" + matrix +
                   "\") /VIEW=VARIABLE" + error + ".\n",
               "test.prox");
    EXPECT_EQ(afterProx.splitCount, 2) << error;
    EXPECT_THAT(afterProx.splitVars, ElementsAre(4, 3, 0, 0, 0, 0, 0, 0)) << error;
    EXPECT_EQ(afterProx.selected, 1) << error;
  }
}

TEST_F(MatrixInput, MatrixInputFromTheWorkingData) {
  const Shown shown =
      run("INLINE.\n"
          "g,ROWTYPE_,VARNAME_,A,B\n"
          "1,PROX,A,0,1\n"
          "1,PROX,B,1,0\n"
          "2,PROX,A,0,3\n"
          "2,PROX,B,3,0\n"
          "END INLINE.\n"
          "PROXIMITIES /MATRIX=IN(*) /VIEW=VARIABLE.\n"
          "GROUP BY g.\n"
          "PROXIMITIES /MATRIX=IN(*) /VIEW=VARIABLE.\n");
  // Without GROUP BY the four rows are one group: two rows for each item.
  ASSERT_EQ(shown.tables.size(), 3u);
  EXPECT_TRUE(shown.hasMessage("Multiple matrix input rows of type PROX"));
  EXPECT_EQ(shown.tables[0].values[1], 3.0);
  EXPECT_EQ(shown.tables[1].title, "g = 1");
  EXPECT_EQ(shown.tables[2].values[1], 3.0);
}

// ---- damaged files ---------------------------------------------------------------

struct Damage {
  std::string what;
  std::string csv;     // empty: the file is not written
  std::string schema;  // written beside the file when not empty
  std::string message;
};

TEST_F(MatrixInput, EveryDamagedFileGivesItsMessage) {
  std::filesystem::create_directories(folder_ / "folder.csv");
  const std::vector<Damage> damages = {
      {"not there", "", "", "does not exist"},
      {"a folder", "", "", "is a folder, not a CSV file"},
      {"binary", std::string("\x00\x01\x02zz", 5), "", "NUL byte"},
      {"not CSV", "{\"rows\": [1, 2]}\n", "", "line 1"},
      {"ragged", "ROWTYPE_,VARNAME_,A\nPROX,A\n", "", "line 2"},
      {"no ROWTYPE_", "VARNAME_,A,B\nA,0,1\nB,1,0\n", "", "has no variable ROWTYPE_"},
      {"no VARNAME_", "ROWTYPE_,A,B\nPROX,0,1\n", "",
       "The matrix input file does not contain sufficient"},
      {"nothing after VARNAME_", "ROWTYPE_,VARNAME_\nPROX,A\n", "", "no proximity variables"},
      {"numbers in VARNAME_", "ROWTYPE_,VARNAME_,A\nPROX,1,0\n", "", "has numbers in VARNAME_"},
      {"numbers in ROWTYPE_", "ROWTYPE_,VARNAME_,A\n1,A,0\n", "", "has numbers in ROWTYPE_"},
      {"text in a proximity", "ROWTYPE_,VARNAME_,A,B\nPROX,A,0,x\nPROX,B,1,0\n", "",
       "The proximity variable B of the matrix file holds text, not numbers."},
      {"sidecar with fewer fields", "ROWTYPE_,VARNAME_,A,B\nPROX,A,0,1\nPROX,B,1,0\n",
       R"({"fields": [{"name": "ROWTYPE_"}, {"name": "VARNAME_"}, {"name": "A"}]})",
       "has 4 columns"},
      {"sidecar says number on text", "ROWTYPE_,VARNAME_,A,B\nPROX,A,0,x\nPROX,B,1,0\n",
       R"({"fields": [{"name": "ROWTYPE_"}, {"name": "VARNAME_"}, {"name": "A"},
                      {"name": "B", "type": "number"}]})",
       "schema.json"},
      {"sidecar not JSON", "ROWTYPE_,VARNAME_,A\nPROX,A,0\n", "{fields", "schema.json"},
      {"no rows of type PROX", "ROWTYPE_,VARNAME_,A,B\nCORR,A,1,0\nCORR,B,0,1\n", "",
       "Too few complete and unique matrix input"},
      {"no rows", "ROWTYPE_,VARNAME_,A,B\n", "", "has no rows"},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    const std::string name = d.what == "a folder" ? "folder.csv" : "damaged.csv";
    std::filesystem::remove(path("damaged.csv"));
    std::filesystem::remove(path("damaged.schema.json"));
    if (!d.csv.empty()) writeFile(path(name), d.csv);
    if (!d.schema.empty()) writeFile(path("damaged.schema.json"), d.schema);
    const Shown shown = read(path(name), " /VIEW=VARIABLE");
    EXPECT_TRUE(shown.hasMessage(d.message)) << ::testing::PrintToString(shown.messages);
    EXPECT_TRUE(shown.tables.empty());
  }
}

TEST_F(MatrixInput, ListedVariablesMustBeProximityVariables) {
  const std::string matrix = file("m.csv",
                                  "g,ROWTYPE_,VARNAME_,A,B\n"
                                  "1,PROX,A,0,1\n"
                                  "1,PROX,B,1,0\n");
  Shown shown = run("PROXIMITIES g A /MATRIX=IN(\"" + matrix + "\") /VIEW=VARIABLE.\n");
  EXPECT_TRUE(shown.hasMessage("error: g is not a proximity variable of the matrix file"));
  EXPECT_TRUE(shown.tables.empty());
  shown = run("PROXIMITIES B A /MATRIX=IN(\"" + matrix + "\") /VIEW=VARIABLE.\n");
  ASSERT_EQ(shown.tables.size(), 1u);
  EXPECT_THAT(shown.tables[0].rows, ElementsAre("B", "A"));
  EXPECT_EQ(shown.tables[0].values[1], 1.0);
}

}  // namespace
