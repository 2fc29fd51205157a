// Reading a PROXIMITIES command for the descriptions the engine adds beside
// the procedure's output: shortened keywords, parameters, the order of the
// transformations, the defaults when a subcommand is missing, and words
// inside quoted file names that must not count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/proximity_request.h"

namespace {

using engine::readProximityRequest;

TEST(ProximityRequest, DefaultsWithoutSubcommands) {
  const auto r = readProximityRequest("PROXIMITIES x y z.");
  EXPECT_EQ(r.measureKeyword, "EUCLID");
  EXPECT_TRUE(r.measureParameters.empty());
  EXPECT_TRUE(r.transformations.empty());
  EXPECT_FALSE(r.standardization.has_value());
  EXPECT_FALSE(r.viewVariables);
  EXPECT_FALSE(r.matrixIn);
}

TEST(ProximityRequest, ShortenedKeywordsAndParameters) {
  const auto r = readProximityRequest("prox a b /meas = mink(3) resc rev /view=var.");
  EXPECT_EQ(r.measureKeyword, "MINKOWSKI");
  EXPECT_EQ(r.measureParameters, (std::vector<std::string>{"3"}));
  // In the order they are applied, whatever the order typed.
  EXPECT_EQ(r.transformations, (std::vector<std::string>{"reverse", "rescale"}));
  EXPECT_TRUE(r.viewVariables);
  EXPECT_EQ(readProximityRequest("PROX a /MEASURE=POWER(3,2).").measureParameters,
            (std::vector<std::string>{"3", "2"}));
  // Exact short keywords are not taken for the prefix of a longer one.
  EXPECT_EQ(readProximityRequest("PROX a /MEASURE=SS1(2,1).").measureKeyword, "SS1");
  EXPECT_EQ(readProximityRequest("PROX a /MEASURE=D.").measureKeyword, "D");
  EXPECT_EQ(readProximityRequest("PROX a /MEASURE=ABSOLUTE.").measureKeyword, "EUCLID");
}

TEST(ProximityRequest, Standardization) {
  auto r = readProximityRequest("PROXIMITIES a b /STANDARDIZE.");
  ASSERT_TRUE(r.standardization);
  EXPECT_EQ(r.standardization->method, "Z");
  EXPECT_EQ(r.standardization->direction, "variable");
  r = readProximityRequest("PROXIMITIES a b /STAN=CASE RANGE.");
  ASSERT_TRUE(r.standardization);
  EXPECT_EQ(r.standardization->method, "RANGE");
  EXPECT_EQ(r.standardization->direction, "case");
  r = readProximityRequest("PROXIMITIES a b /STANDARDIZE=RESCALE /MEASURE=COR.");
  ASSERT_TRUE(r.standardization);
  EXPECT_EQ(r.standardization->method, "RESCALE");
  EXPECT_EQ(r.measureKeyword, "CORRELATION");
  EXPECT_TRUE(r.transformations.empty());  // RESCALE of STANDARDIZE is not MEASURE's
  EXPECT_FALSE(readProximityRequest("PROXIMITIES a /STANDARDIZE=NONE.").standardization);
}

TEST(ProximityRequest, QuotedNamesAreOneWord) {
  const auto r =
      readProximityRequest("PROXIMITIES /MATRIX=IN(\"a /MEASURE=COSINE b.csv\") /MEASURE=RESCALE.");
  EXPECT_TRUE(r.matrixIn);
  EXPECT_EQ(r.measureKeyword, "EUCLID");
  EXPECT_EQ(r.transformations, (std::vector<std::string>{"rescale"}));
}

TEST(ProximityRequest, MeasureNamesAndKinds) {
  EXPECT_EQ(engine::measureName("EUC"), "Euclidean Distance");
  EXPECT_EQ(engine::measureName("DEFAULT"), "Squared Euclidean Distance");
  EXPECT_EQ(engine::measureKind("COR"), "similarity");
  EXPECT_EQ(engine::measureKind("BSEUCLID"), "dissimilarity");
  EXPECT_EQ(engine::measureKeyword("NOSUCH"), "");
}

}  // namespace
