// The command syntax: subcommands, MEASURE with its parameters and measure
// text, the variable list and ID, their messages and the settings they leave.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/host.h"
#include "proc/options.h"
#include "tests/unit/support/test_host.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kData =
    "INLINE.\n"
    "x,y,z,label,VARNAME_\n"
    "1,2,3,a,4\n"
    "4,5,6,b,5\n"
    "END INLINE.\n";

class Syntax : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing_host::run(kData); }

  // Parses one command; returns what it showed.
  static std::string parse(const std::string& rest) {
    return testing_host::run("PARSETEST " + rest + ".\n");
  }
  static const ProxOptions& parsed() { return testing_host::parsedOptions(); }
};

TEST_F(Syntax, DefaultsWithoutSubcommands) {
  parse("x y z");
  const ProxOptions& o = parsed();
  EXPECT_FALSE(isTrue(o.errorFlag));
  EXPECT_TRUE(isTrue(o.viewCases));
  EXPECT_TRUE(isTrue(o.printMatrix));
  EXPECT_EQ(o.measureCode, 1);
  EXPECT_EQ(o.measureParam1, 2);
  EXPECT_EQ(o.measureParam2, 1);
  EXPECT_EQ(o.standardizeMethod, 0);
  EXPECT_EQ(o.nvar, 3);
  EXPECT_EQ(o.measureText.trimmed(), "");
}

TEST_F(Syntax, SubcommandErrorsStopTheLoop) {
  EXPECT_THAT(parse("x y /FOO"), HasSubstr("Invalid Subcommand FOO"));
  EXPECT_TRUE(isTrue(parsed().errorFlag));
  // The first error ends the loop: the second bad subcommand is not reported.
  const std::string shown = parse("x y /FOO /BAR");
  EXPECT_THAT(shown, Not(HasSubstr("Invalid Subcommand BAR")));
  EXPECT_THAT(parse("x y /VIEW=CASE /VIEW=VAR"), HasSubstr("Subcommand VIEW has recurred."));
  EXPECT_THAT(parse("x y /MEAS=EUC /MEASURE=COS"), HasSubstr("Subcommand MEASURE has recurred."));
  EXPECT_THAT(parse("x y /READ"), HasSubstr("Matrix input/output was specified on a READ"));
  EXPECT_THAT(parse("x y /WRITE"), HasSubstr("Matrix input/output was specified on a WRITE WRITE"));
  EXPECT_THAT(parse("x y /OUTFILE"),
              HasSubstr("Matrix input/output was specified on a OUTFILE OUTFILE"));
}

TEST_F(Syntax, PrintMayRecurAndTheLastKeywordWins) {
  parse("x y /PRINT=NONE /PRINT=PROXIMITIES NONE");
  EXPECT_FALSE(isTrue(parsed().errorFlag));
  EXPECT_FALSE(isTrue(parsed().printMatrix));
  EXPECT_THAT(parse("x y /PRINT=SOMETIMES"), HasSubstr("Error on Print SOMETIMES"));
}

TEST_F(Syntax, MissingKeywords) {
  EXPECT_THAT(parse("x y /MISSING=EXCLUDE INCLUDE"), HasSubstr("Contradicting Missing keywords"));
  EXPECT_THAT(parse("x y /MISSING=INCLUDE EXCLUDE"), HasSubstr("Contradicting Missing keywords"));
  parse("x y /MISSING=INCLUDE LISTWISE");
  EXPECT_FALSE(isTrue(parsed().errorFlag));
  EXPECT_TRUE(isTrue(parsed().includeMissing));
  EXPECT_THAT(parse("x y /MISSING=PAIRWISE"), HasSubstr("Invalid Missing PAIRWISE"));
}

TEST_F(Syntax, ViewKeywords) {
  parse("x y /VIEW=VARIABLE");
  EXPECT_FALSE(isTrue(parsed().viewCases));
  EXPECT_THAT(parse("x y /VIEW"), HasSubstr("The VIEW specification is invalid."));
  EXPECT_THAT(parse("x y /VIEW=CASE VARIABLE"),
              HasSubstr("The VIEW specification ending error. VARIABLE"));
}

TEST_F(Syntax, StandardizeDefaultsAndConflicts) {
  parse("x y /STANDARDIZE");
  EXPECT_EQ(parsed().standardizeMethod, 1);
  EXPECT_FALSE(isTrue(parsed().standardizeByCase));
  parse("x y /STAN=CASE");
  EXPECT_EQ(parsed().standardizeMethod, 1);
  EXPECT_TRUE(isTrue(parsed().standardizeByCase));
  parse("x y /STANDARDIZE=MAX VARIABLE");
  EXPECT_EQ(parsed().standardizeMethod, 4);
  EXPECT_THAT(parse("x y /STANDARDIZE=RANGE NONE"),
              HasSubstr("The Standardize specification is invalid. NONE"));
  EXPECT_THAT(parse("x y /STANDARDIZE=SIDEWAYS"),
              HasSubstr("The Standardize phrase ending error. SIDEWAYS"));
}

TEST_F(Syntax, CrossChecksDropTheStandardization) {
  EXPECT_THAT(parse("x y /MEASURE=JACCARD /STANDARDIZE=Z"),
              HasSubstr("STANDARDIZE cannot be used with a binary measure"));
  EXPECT_EQ(parsed().standardizeMethod, 0);
  EXPECT_FALSE(isTrue(parsed().errorFlag));
  EXPECT_THAT(parse("x y /MEASURE=CHISQ /STANDARDIZE=Z"),
              HasSubstr("Z scores cannot be used with a frequency measure"));
  EXPECT_EQ(parsed().standardizeMethod, 0);
  parse("x y /MEASURE=CHISQ /STANDARDIZE=RANGE");
  EXPECT_EQ(parsed().standardizeMethod, 3);
}

TEST_F(Syntax, MeasureCodesAndParameters) {
  struct Case {
    const char* measure;
    Word code, p1, p2;
  };
  const Word unspecified = host::constants().unspecifiedInteger;
  const Case cases[] = {
      {"MINKOWSKI(3)", 3, 3, 3},
      {"POWER(4,2)", 3, 4, 2},
      {"POWER", 3, 2, 2},
      {"POWER(2.7)", 3, 2, 2},
      {"JACCARD(1)", 12, 1, unspecified},
      {"JACCARD", 12, 1, 0},
      {"DEFAULT", 4, 2, 1},
      {"SEUCLID", 4, 2, 1},
      {"EUC", 1, 2, 2},
      {"DISPER", 34, 1, 0},
      {"D(2,1)", 26, 2, 1},
      {"Q(-1,-2)", 28, -1, -2},
      {"BLWMN", 36, 1, 0},
      {"COSINE", 2, 2, 1},
      {"NONE", 0, 2, 1},
      {"EUCLID COSINE", 2, 2, 2},
  };
  for (const Case& c : cases) {
    parse(std::string("x y /MEASURE=") + c.measure);
    EXPECT_FALSE(isTrue(parsed().errorFlag)) << c.measure;
    EXPECT_EQ(parsed().measureCode, c.code) << c.measure;
    EXPECT_EQ(parsed().measureParam1, c.p1) << c.measure;
    EXPECT_EQ(parsed().measureParam2, c.p2) << c.measure;
  }
}

TEST_F(Syntax, TransformationKeywordsAccumulate) {
  parse("x y /MEASURE=EUCLID ABSOLUTE REVERSE");
  EXPECT_EQ(parsed().measureCode, 1);
  EXPECT_TRUE(isTrue(parsed().absolute));
  EXPECT_TRUE(isTrue(parsed().reverse));
  EXPECT_FALSE(isTrue(parsed().rescale));
  // A binary keyword followed directly by another keyword takes no list.
  parse("x y /MEASURE=JACCARD RESCALE");
  EXPECT_EQ(parsed().measureCode, 12);
  EXPECT_EQ(parsed().measureParam1, 1);
  EXPECT_EQ(parsed().measureParam2, 0);
  EXPECT_TRUE(isTrue(parsed().rescale));
}

TEST_F(Syntax, MeasureErrors) {
  EXPECT_THAT(parse("x y /MEASURE=POWER(2,0)"), HasSubstr("The POWER specification is invalid."));
  EXPECT_THAT(parse("x y /MEASURE=POWER(0)"), HasSubstr("The POWER specification is invalid."));
  EXPECT_THAT(parse("x y /MEASURE=JACCARD(1,X)"),
              HasSubstr("The optional integer MEASURE for JAC found X"));
  EXPECT_THAT(parse("x y /MEASURE=FOO"), HasSubstr("The MEASURE specification is invalid. FOO"));
  EXPECT_TRUE(isTrue(parsed().errorFlag));
}

TEST_F(Syntax, MeasureTextColumns) {
  parse("x y /MEASURE=POWER(3,2)");
  EXPECT_EQ(parsed().measureText.trimmed(), "POW ( 3 2 )");
  parse("x y /MEASURE=DICE(1)");
  EXPECT_EQ(parsed().measureText.trimmed(), "DICE( 1 )");
  parse("x y /MEASURE=SS1(10, 2.5) ABS");
  EXPECT_EQ(parsed().measureText.trimmed(), "SS1 ( 10 2.5 )");
}

TEST_F(Syntax, EachMeasureKeywordRestartsTheMeasureText) {
  const std::pair<const char*, const char*> cases[] = {
      {"EUCLID POWER(4,1)", "POW ( 4 1 )"},
      {"BLOCK EUCLID", "EUC"},
      {"EUCLID DICE(1)", "DICE( 1 )"},
      {"MINKOWSKI(3) RESCALE JACCARD(2,1) ABSOLUTE", "JAC ( 2 1 )"},
      {"POWER(12,3) Q", "Q"},
  };
  for (const auto& [measure, text] : cases) {
    parse(std::string("x y /MEASURE=") + measure);
    EXPECT_EQ(parsed().measureText.trimmed(), text) << measure;
  }
  // The transformation words leave the text of the measure before them.
  parse("x y /MEASURE=CHISQ REVERSE");
  EXPECT_EQ(parsed().measureText.trimmed(), "CHI");
}

TEST_F(Syntax, ARepeatedMatrixFileIsRedundant) {
  const std::string folder = ::testing::TempDir();
  const std::string a = "OUT(\"" + folder + "a.csv\")";
  const std::string b = "OUT(\"" + folder + "b.csv\")";
  for (const std::string& matrix :
       std::vector<std::string>{"/MATRIX=" + a + " " + b, "/MATRIX=" + a + " /MATRIX=" + b,
                                "/MATRIX=IN(\"m.csv\") IN(\"n.csv\")"}) {
    EXPECT_THAT(parse("x y " + matrix), HasSubstr("Redundant/conflicting keywords on the MATRIX"))
        << matrix;
  }
  EXPECT_THAT(parse("x y /MATRIX=" + a), Not(HasSubstr("Redundant")));
}

TEST_F(Syntax, VariableListAndId) {
  parse("x TO z /ID=label");
  EXPECT_EQ(parsed().nvar, 3);
  EXPECT_EQ(parsed().idWidth, 1);
  EXPECT_TRUE(isTrue(parsed().haveCaseLabels));
  EXPECT_THAT(parse("x y /ID=x"), HasSubstr("ID variable numeric x"));
  EXPECT_EQ(parsed().idVariable, 0);
  EXPECT_THAT(parse("x y /ID=nosuch"), HasSubstr("Invalid ID variable nosuch"));
  EXPECT_THAT(parse("x y /ID"), HasSubstr("ID subcommand empty"));
  EXPECT_THAT(parse("x y /ID=label z"), HasSubstr("Invalid ID subcommand z"));
  EXPECT_THAT(parse("x y /VIEW=VARIABLE /ID=label"),
              HasSubstr("The ID subcommand cannot be applied if VIEW=VAR."));
  EXPECT_EQ(parsed().idVariable, 0);
  EXPECT_THAT(parse("/VIEW=CASE"), HasSubstr("An empty variable list was provided where input"));
  EXPECT_TRUE(isTrue(parsed().emptyVarList));
}

TEST_F(Syntax, ScreeningFlagsOnlyWhereAScreeningApplies) {
  parse("x y /MEASURE=JACCARD(1)");
  EXPECT_EQ(parsed().blocks.screenFlags, 0);
  parse("x y /MEASURE=JACCARD(1,0)");
  EXPECT_NE(parsed().blocks.screenFlags, 0);
  parse("x y /MEASURE=CHISQ");
  EXPECT_NE(parsed().blocks.screenFlags, 0);
}

TEST_F(Syntax, EveryBlockIsReleasedAfterParsing) {
  // The parse-only run frees what it obtained; a thousand runs must not
  // exhaust a small workspace.
  for (int i = 0; i < 1000; ++i) {
    const std::string shown = parse("x y z /MEASURE=CHISQ /ID=label");
    ASSERT_THAT(shown, Not(HasSubstr("Insufficient memory"))) << i;
  }
}

}  // namespace
