// Writing matrix data files: the measure text and the proximity label with
// their columns, the generated case labels, the padding of smaller groups,
// the dictionary, the warning for numbers too large, and the guarantee that
// an error or an interrupt leaves neither a partial file nor a changed older
// one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/session.h"
#include "host/host.h"
#include "output/matrix_output.h"
#include "proc/options.h"
#include "tests/unit/support/matrix_test_support.h"

namespace {

using matrix_test::MatrixFileTest;
using matrix_test::readFile;
using matrix_test::run;
using matrix_test::Shown;
using matrix_test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// ---- character helpers -----------------------------------------------------------

TEST(MatrixTextHelpers, EncodeDigitsLogarithmAndLabelPreparation) {
  std::array<char, 8> field{};
  field.fill('.');
  Word length = 0;
  ENCODL(1234, field, 3, length);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string_view(field.data(), 8), "..1234..");
  ENCODL(-56, field, 7, length);  // the last digit falls outside: dropped
  EXPECT_EQ(length, 3);
  EXPECT_EQ(std::string_view(field.data(), 8), "..1234-5");
  ENCODL(0, field, 1, length);
  EXPECT_EQ(length, 1);
  EXPECT_EQ(field[0], '0');

  testing_host::attach();
  EXPECT_EQ(ILOG10(0.5), 0);
  EXPECT_EQ(ILOG10(9.999), 0);
  EXPECT_EQ(ILOG10(10.0), 1);
  EXPECT_EQ(ILOG10(999.0), 2);
  EXPECT_EQ(ILOG10(1000.0), 3);
  EXPECT_EQ(ILOG10(1e15), 15);
  EXPECT_EQ(ILOG10(1e15 - 1), 14);

  std::array<char, 13> label{};
  std::string_view("PROXxxxxyz\tw\x01").copy(label.data(), 13);
  // Column 9 becomes the separator, control characters in the range blanks;
  // the one after the range stays.
  CHNSTN(label, 9, 4);
  EXPECT_EQ(std::string_view(label.data(), 13), "PROXxxxx z w\x01");
}

// ---- the measure text and the proximity label ------------------------------------

class ProximityLabel : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_host::attach();
    options() = ProxOptions{};
  }
  static std::string column(const FixedText<120>& text, std::size_t from, std::size_t to) {
    return std::string(text.view().substr(from - 1, to - from + 1));
  }
};

TEST_F(ProximityLabel, TransformationWordsFollowTheMeasureText) {
  ProxOptions& o = options();
  o.measureText = FixedText<120>("EUC");
  o.rescale = o.absolute = kTrue;
  promeasure_text();
  EXPECT_EQ(column(o.measureDocText, 1, 3), "EUC");
  EXPECT_EQ(column(o.measureDocText, 5, 7), "RES");
  EXPECT_EQ(column(o.measureDocText, 9, 11), "ABS");
  EXPECT_EQ(o.measureDocText.trimmed().size(), 11u);

  o.measureText = FixedText<120>("POW ( 3 2 )");
  o.rescale = o.absolute = kFalse;
  o.reverse = kTrue;
  promeasure_text();
  EXPECT_EQ(column(o.measureDocText, 11, 11), ")");
  EXPECT_EQ(column(o.measureDocText, 13, 15), "REV");

  o.measureText = FixedText<120>{};  // no MEASURE subcommand
  o.reverse = o.rescale = o.absolute = kTrue;
  promeasure_text();
  EXPECT_EQ(o.measureDocText.trimmed(), " RES REV ABS");
}

TEST_F(ProximityLabel, ColumnsOfTheLabel) {
  ProxOptions& o = options();
  o.measureDocText = FixedText<120>("COR ABS");
  o.direction = -1;
  o.absoluteValues = kTrue;
  FixedText<120> label = proprox_label();
  EXPECT_EQ(column(label, 1, 9), "PROX     ");
  EXPECT_EQ(column(label, 10, 19), "SIMILARITY");
  EXPECT_EQ(column(label, 20, 23), "    ");
  EXPECT_EQ(column(label, 24, 28), "A    ");
  EXPECT_EQ(column(label, 29, 35), "COR ABS");
  EXPECT_EQ(label.trimmed().size(), 35u);

  o.direction = 1;
  o.absoluteValues = kFalse;
  label = proprox_label();
  EXPECT_EQ(column(label, 10, 24), "DISSIMILARITY  ");

  // A measure text longer than the label's 92 columns is cut.
  std::string longText(100, 'x');
  longText[91] = 'y';
  o.measureDocText = FixedText<120>(longText);
  label = proprox_label();
  EXPECT_EQ(column(label, 29, 120), longText.substr(0, 92));
}

// ---- rows and labels of a matrix between cases ------------------------------------

// Writes a matrix between cases through the procedure's own routines: the
// file specification is the command's one token; groups() gives each
// group's proximities.
struct Group {
  Word validCases;
  std::vector<double> t;  // triangle
  std::vector<double> g;  // diagonal
  std::vector<Word> caseNumbers;
};
std::vector<Group> groupsToWrite;
Word itemsToWrite = 0;

void writeCaseMatrix(ProxWorkspace& ws) {
  Word stack = 0;
  Word status = 0;
  SSTACK(ws, stack, -1, status);
  SSNXT1(stack);
  SSNXT1(stack);
  MTDINI(ws);
  Logical failed = kFalse;
  MTDFRO(ws, failed);
  ProxOptions& o = options();
  o = ProxOptions{};
  o.matrixOut = kTrue;
  o.direction = 1;
  o.measureDocText = FixedText<120>("EUC");
  prowrite_dictionary(itemsToWrite, ws, ws);
  for (const Group& group : groupsToWrite) {
    o.validCases = group.validCases;
    prowrite_rows(group.t, group.g, itemsToWrite, group.caseNumbers, ws, ws);
  }
  MTDCLS(ws);
  SSDELS(ws, stack);
}

class MatrixOutput : public MatrixFileTest {
 protected:
  void SetUp() override {
    MatrixFileTest::SetUp();
    testing_host::attach();
  }
  std::string write(const std::string& name) {
    std::ostringstream out;
    engine::EngineOptions options;
    options.out = &out;
    engine::Engine engine(options);
    engine.registerProcedure("ZZWRITE", 7, &writeCaseMatrix);
    engine.run("ZZWRITE \"" + path(name) + "\".", "test.prox");
    engine.finish();
    return out.str();
  }
  static std::vector<std::string> fields(const std::string& row) {
    std::vector<std::string> result;
    std::istringstream in(row);
    for (std::string field; std::getline(in, field, ',');) result.push_back(field);
    if (!row.empty() && row.back() == ',') result.emplace_back();
    return result;
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  }
};

TEST_F(MatrixOutput, GeneratedCaseLabelsMakeRoomForLongNumbers) {
  itemsToWrite = 5;
  groupsToWrite = {{5,
                    std::vector<double>(10, 1.0),
                    std::vector<double>(5, 0.0),
                    {12, 999, 1000, 12345, 1234567}}};
  write("labels.csv");
  const auto rows = lines(readFile(path("labels.csv")));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], R"("ROWTYPE_","ID","CASENO_","VARNAME_","VAR1","VAR2","VAR3","VAR4","VAR5")");
  EXPECT_EQ(rows[1], R"("PROX","Case 12",12,"VAR1",0,1,1,1,1)");
  EXPECT_EQ(rows[2], R"("PROX","Case 999",999,"VAR2",1,0,1,1,1)");
  EXPECT_EQ(rows[3], R"("PROX","Ca1000",1000,"VAR3",1,1,0,1,1)");
  EXPECT_EQ(rows[4], R"("PROX","C12345",12345,"VAR4",1,1,1,0,1)");
  EXPECT_EQ(rows[5], R"("PROX","Case",1234567,"VAR5",1,1,1,1,0)");
}

TEST_F(MatrixOutput, NumbersTooLargeForLaterUseWarnOncePerGroup) {
  const double missing = -DBL_MAX;
  itemsToWrite = 3;
  groupsToWrite = {
      {3, {DBL_MAX / 2 * 1.000001, DBL_MAX, 1.0}, {0, 0, 0}, {1, 2, 3}},
      {3, {missing, missing, missing}, {0, 0, 0}, {4, 5, 6}},  // missing never counts
      {3, {-DBL_MAX / 2 * 1.000001, 1.0, 2.0}, {0, 0, 0}, {7, 8, 9}},
      {3, {DBL_MAX / 2, 1.0, 2.0}, {0, 0, 0}, {7, 8, 9}},  // half the largest itself is fine
  };
  const std::string shown = write("large.csv");
  std::size_t count = 0;
  for (std::size_t at = shown.find("Numbers too large"); at != std::string::npos;
       at = shown.find("Numbers too large", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(lines(readFile(path("large.csv"))).size(), 13u);  // written all the same
}

TEST_F(MatrixOutput, SmallerGroupsArePaddedToTheLargest) {
  const Shown shown =
      run("INLINE.\n"
          "x,y,g\n"
          "1,2,1\n4,6,1\n0,1,1\n"
          "2,3,2\n5,5,2\n1,1,2\n7,2,2\n3,3,2\n"
          "END INLINE.\n"
          "GROUP BY g.\n"
          "PROXIMITIES x y /MATRIX=OUT(\"" +
          path("padded.csv") + "\").\n");
  ASSERT_EQ(shown.tables.size(), 2u);
  const auto rows = lines(readFile(path("padded.csv")));
  ASSERT_EQ(rows.size(), 11u);  // the header and five rows per group
  EXPECT_EQ(rows[0],
            R"("g","ROWTYPE_","ID","CASENO_","VARNAME_","VAR1","VAR2","VAR3","VAR4","VAR5")");
  // Group 1 has three cases: columns 4 and 5 are empty in its rows ...
  const auto first = fields(rows[1]);
  ASSERT_EQ(first.size(), 10u);
  EXPECT_THAT(std::vector<std::string>(first.begin(), first.begin() + 5),
              ElementsAre("1", "\"PROX\"", "\"Case 1\"", "1", "\"VAR1\""));
  EXPECT_EQ(first[5], "0");
  EXPECT_NEAR(std::stod(first[6]), 5.0, 1e-12);  // (1,2) to (4,6)
  EXPECT_NEAR(std::stod(first[7]), std::sqrt(2.0), 1e-12);
  EXPECT_EQ(first[8], "");
  EXPECT_EQ(first[9], "");
  // ... and its rows 4 and 5 are padding.
  EXPECT_EQ(rows[4], R"(1,"PROX","",,"VAR4",,,,,)");
  EXPECT_EQ(rows[5], R"(1,"PROX","",,"VAR5",,,,,)");
  // Group 2 fills all five; its cases keep their numbers in the data.
  const auto fourth = fields(rows[6]);
  EXPECT_EQ(fourth[2], "\"Case 4\"");
  EXPECT_EQ(fourth[3], "4");
  EXPECT_NEAR(std::stod(fourth[7]), std::sqrt(5.0), 1e-12);  // (2,3) to (1,1)
  EXPECT_NEAR(std::stod(fourth[9]), 1.0, 1e-12);
  // With split files the item variables carry no label.
  const auto sidecar = nlohmann::json::parse(readFile(path("padded.schema.json")));
  EXPECT_FALSE(sidecar["fields"][5].contains("title"));
  EXPECT_EQ(sidecar["fields"][5]["proximities"], true);
  EXPECT_EQ(sidecar["fields"][5]["printFormat"], nlohmann::json({{"width", 10}, {"decimals", 4}}));
}

TEST_F(MatrixOutput, TheDictionaryOfTheFile) {
  // Variables with labels, value labels and user-missing values; an ID with
  // trailing blanks.
  writeFile(path("data.csv"), "name,a,b\n\"p  \",1,2\nq,0.1,1e-300\nr,3,1\n");
  writeFile(path("data.schema.json"), R"({"fields": [
      {"name": "name", "width": 6, "title": "Person"},
      {"name": "a", "title": "Score A", "valueLabels": {"1": "one"},
       "userMissing": {"values": [99]}},
      {"name": "b"}]})");
  const Shown shown = run("LOAD \"" + path("data.csv") +
                          "\".\n"
                          "PROXIMITIES a b /VIEW=VARIABLE /MEASURE=SEUCLID /MATRIX=OUT(\"" +
                          path("vars.csv") +
                          "\").\n"
                          "PROXIMITIES a b /ID=name /MATRIX=OUT(\"" +
                          path("cases.csv") + "\").\n");
  EXPECT_FALSE(shown.anyError()) << ::testing::PrintToString(shown.messages);
  const auto vars = nlohmann::json::parse(readFile(path("vars.schema.json")))["fields"];
  ASSERT_EQ(vars.size(), 4u);
  EXPECT_EQ(vars[0]["title"], "PROX     DISSIMILARITY      SEU");
  EXPECT_EQ(vars[1]["name"], "VARNAME_");
  EXPECT_EQ(vars[1]["width"], 1);  // the longest analysis variable name
  EXPECT_EQ(vars[2]["name"], "a");
  EXPECT_EQ(vars[2]["title"], "Score A");
  EXPECT_FALSE(vars[2].contains("valueLabels"));  // they describe data, not proximities
  EXPECT_FALSE(vars[2].contains("userMissing"));

  const auto cases = nlohmann::json::parse(readFile(path("cases.schema.json")))["fields"];
  ASSERT_EQ(cases.size(), 7u);
  EXPECT_EQ(cases[1]["name"], "ID");
  EXPECT_EQ(cases[1]["width"], 6);
  EXPECT_EQ(cases[1]["title"], "Person");
  EXPECT_EQ(cases[2]["name"], "CASENO_");
  EXPECT_EQ(cases[3]["name"], "VARNAME_");
  EXPECT_EQ(cases[3]["width"], 10);
  EXPECT_EQ(cases[4]["title"], "Case 1");  // no split files: the items are labelled
  const auto rows = lines(readFile(path("cases.csv")));
  EXPECT_THAT(rows[1], HasSubstr(R"("PROX","p",1,"VAR1",0,)"));
  const auto second = fields(rows[2]);
  EXPECT_EQ(second[1], "\"q\"");
  EXPECT_NEAR(std::stod(second[4]), std::sqrt(0.81 + 4.0), 1e-12);
}

TEST_F(MatrixOutput, NamesThatWouldClashAreAnErrorAndNothingIsWritten) {
  const Shown shown =
      run("INLINE.\n"
          "x,y,ID\n1,2,1\n4,6,1\n0,1,2\n2,3,2\n"
          "END INLINE.\n"
          "GROUP BY ID.\n"
          "PROXIMITIES x y /MATRIX=OUT(\"" +
          path("clash.csv") + "\").\n");
  EXPECT_TRUE(shown.hasMessage("cannot have two variables named ID"));
  EXPECT_THAT(filesInFolder(), ElementsAre());
}

// The file's own variables (ROWTYPE_, VARNAME_, the item variables VAR1 to
// VARn of a matrix between cases, the ID and the split variables) must not
// meet another variable of the same name: each clash has its own error, and
// no file is written. A name VARk is only a clash when k is an item number.
TEST_F(MatrixOutput, EachNameClashHasItsOwnErrorAndNothingIsWritten) {
  // Three cases, so VAR1 to VAR3 name the items of a matrix between cases;
  // in the groups of VAR2 or VAR3, at most two cases, so only VAR1 and VAR2.
  const std::string data =
      "INLINE.\n"
      "ROWTYPE_,VARNAME_,VAR2,VAR3,VAR4,x,y,s,n\n"
      "1,2,p,p,c,3,1,p,1\n"
      "4,5,p,p,f,6,2,p,1\n"
      "7,8,q,q,i,1,3,q,2\n"
      "END INLINE.\n";
  struct Clash {
    std::string commands;  // before /MATRIX=OUT
    std::string error;     // empty: no clash, the file is written
  };
  const std::vector<Clash> clashes = {
      {"PROXIMITIES ROWTYPE_ x /VIEW=VARIABLE", "Analysis variable has the reserved name ROWTYPE_"},
      {"PROXIMITIES VARNAME_ x /VIEW=VARIABLE", "Analysis variable has the reserved name VARNAME_"},
      {"GROUP BY n.\nPROXIMITIES x n /VIEW=VARIABLE", "Analysis variable is a split-file variable"},
      {"GROUP BY s.\nPROXIMITIES x y /ID=s", "The ID variable is a split-file variable"},
      {"PROXIMITIES x y /ID=VAR3", "The ID variable name has the form VARnnn"},
      {"PROXIMITIES x y /ID=VAR4", ""},
      // (The message says analysis variable, but it is the split variable's name.)
      {"GROUP BY VAR2.\nPROXIMITIES x y", "Analysis variable name has the form VARnnn"},
      {"GROUP BY VAR3.\nPROXIMITIES x y", ""},
  };
  for (std::size_t k = 0; k < clashes.size(); ++k) {
    const Clash& c = clashes[k];
    const std::string file = "clash" + std::to_string(k) + ".csv";
    const Shown shown = run(data + c.commands + " /MATRIX=OUT(\"" + path(file) + "\").\n");
    if (c.error.empty()) {
      EXPECT_FALSE(shown.anyError())
          << c.commands << ": " << ::testing::PrintToString(shown.messages);
      EXPECT_TRUE(std::filesystem::exists(path(file))) << c.commands;
      continue;
    }
    EXPECT_EQ(shown.countMessages("error: " + c.error), 1)
        << c.commands << ": " << ::testing::PrintToString(shown.messages);
    EXPECT_EQ(shown.countMessages("error:"), 1) << c.commands;
    EXPECT_FALSE(std::filesystem::exists(path(file))) << c.commands;
  }
}

// ---- no partial files ----------------------------------------------------------

TEST_F(MatrixOutput, AnErrorLeavesTheOlderFileAsItWas) {
  writeFile(path("out.csv"), "older\n");
  writeFile(path("out.schema.json"), "{}\n");
  // The second group of the input has a gap: its error comes after the first
  // group's rows were written.
  writeFile(path("in.csv"),
            "g,ROWTYPE_,VARNAME_,A,B,C\n"
            "1,PROX,A,0,1,2\n1,PROX,B,1,0,3\n1,PROX,C,2,3,0\n"
            "2,PROX,A,0,1,2\n2,PROX,C,2,3,0\n");
  const Shown shown = run("PROXIMITIES /MATRIX=IN(\"" + path("in.csv") + "\") OUT(\"" +
                          path("out.csv") + "\") /VIEW=VARIABLE.\n");
  EXPECT_EQ(shown.tables.size(), 1u);
  EXPECT_TRUE(shown.anyError());
  EXPECT_EQ(readFile(path("out.csv")), "older\n");
  EXPECT_EQ(readFile(path("out.schema.json")), "{}\n");
  EXPECT_THAT(filesInFolder(), ElementsAre("in.csv", "out.csv", "out.schema.json"));

  // Without the error the new file takes the old one's place.
  writeFile(path("in.csv"), "ROWTYPE_,VARNAME_,A,B\nPROX,A,0,1\nPROX,B,1,0\n");
  run("PROXIMITIES /MATRIX=IN(\"" + path("in.csv") + "\") OUT(\"" + path("out.csv") +
      "\") /VIEW=VARIABLE.\n");
  EXPECT_EQ(readFile(path("out.csv")),
            "\"ROWTYPE_\",\"VARNAME_\",\"A\",\"B\"\n\"PROX\",\"A\",0,1\n\"PROX\",\"B\",1,0\n");
  EXPECT_THAT(filesInFolder(), ElementsAre("in.csv", "out.csv", "out.schema.json"));
}

// When every group is rejected, the file named as saved must not be an older
// matrix: it becomes a matrix of no rows, and the run reports an error.
TEST_F(MatrixOutput, NoGroupWithAMatrixSavesAnEmptyFileAndFails) {
  writeFile(path("out.csv"), "older\n");
  writeFile(path("out.schema.json"), "{}\n");
  const std::string data = "INLINE.\nx,y,g\n1,,1\n,2,1\n3,,2\nEND INLINE.\n";
  for (const std::string split : {"", "GROUP BY g.\n"}) {
    for (const std::string view : {"", " /VIEW=VARIABLE"}) {
      SCOPED_TRACE(split + view);
      const Shown shown = run(data + split + "PROXIMITIES x y" + view + " /MATRIX=OUT(\"" +
                              path("out.csv") + "\").\n");
      EXPECT_TRUE(shown.hasMessage("warning: Too few valid cases or variables"));
      EXPECT_TRUE(shown.hasMessage("error: No matrix was saved"));
      EXPECT_EQ(readFile(path("out.csv")), "\"ROWTYPE_\",\"VARNAME_\"\n");
      EXPECT_THAT(filesInFolder(), ElementsAre("out.csv", "out.schema.json"));
    }
  }
  // One group with a matrix is enough: the other group is only warned about.
  const Shown some =
      run("INLINE.\nx,y,g\n1,,1\n1,2,2\n3,4,2\nEND INLINE.\nGROUP BY g.\nPROXIMITIES x y "
          "/MATRIX=OUT(\"" +
          path("out.csv") + "\").\n");
  EXPECT_FALSE(some.anyError()) << ::testing::PrintToString(some.messages);
  // The header and the two rows of the second group; the first has none.
  EXPECT_EQ(lines(readFile(path("out.csv"))).size(), 3u);
}

// Starts a matrix file through the services, writes a row, then the user
// interrupts.
void interruptedWrite(ProxWorkspace& ws) {
  Word stack = 0;
  Word status = 0;
  SSTACK(ws, stack, -1, status);
  SSNXT1(stack);
  SSNXT1(stack);
  MTDINI(ws);
  Logical failed = kFalse;
  MTDFRO(ws, failed);
  MTDMPD(1, ws, 0, 0, 1, -4, kFalse, kFalse);
  host::dictionaryState().selected = host::matrix().outputDictWord;
  DICCLR("A");
  DICPUT(0);
  host::dictionaryState().selected = 1;
  MTDDIC(ws);
  MTXCRR(1, Keyword("PROX"), ws, {});
  MTXVOB(0.0, ws);
  MTDWRT(ws);
  engine::Session::current().interruptRequested = 1;
  ATNJMP(ws);
  MTDCLS(ws);  // not reached
}

TEST_F(MatrixOutput, AnInterruptLeavesNoPartialFile) {
  writeFile(path("out.csv"), "older\n");
  std::ostringstream out;
  engine::EngineOptions options;
  options.out = &out;
  engine::Engine engine(options);
  engine.registerProcedure("ZZINTERRUPTED", 13, &interruptedWrite);
  EXPECT_FALSE(engine.run("ZZINTERRUPTED \"" + path("out.csv") + "\".", "test.prox"));
  EXPECT_EQ(readFile(path("out.csv")), "older\n");
  EXPECT_THAT(filesInFolder(), ElementsAre("out.csv"));
  std::filesystem::remove(path("out.csv"));
  engine.run("ZZINTERRUPTED \"" + path("out.csv") + "\".", "test.prox");
  EXPECT_THAT(filesInFolder(), ElementsAre());
}

TEST_F(MatrixOutput, TheWorkingDataAreReplacedOnlyWithoutError) {
  const std::string data =
      "INLINE.\n"
      "x,y,g\n1,2,1\n4,6,1\n0,1,1\n2,3,2\n5,5,2\n"
      "END INLINE.\n"
      "GROUP BY g.\n";
  // An error: the working data stay, with their groups.
  Shown shown = run(data + "PROXIMITIES x y /ID=nosuch /MATRIX=OUT(*).\nPROXIMITIES x y.\n");
  EXPECT_TRUE(shown.anyError());
  ASSERT_EQ(shown.tables.size(), 2u);
  EXPECT_EQ(shown.tables[1].title, "g = 2");

  // Without error the matrix is the working data, grouped by its first
  // variable, and reads back as it was written.
  shown = run(data + "PROXIMITIES x y /MATRIX=OUT(*).\nPROXIMITIES /MATRIX=IN(*).\n");
  EXPECT_FALSE(shown.anyError());
  EXPECT_TRUE(shown.hasMessage("The working data are now 6 cases of 8 variables"));
  ASSERT_EQ(shown.tables.size(), 4u);
  for (std::size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(matrix_test::bitsOf(shown.tables[k + 2]), matrix_test::bitsOf(shown.tables[k]));
    EXPECT_EQ(shown.tables[k + 2].title, shown.tables[k].title);
  }
}

}  // namespace
