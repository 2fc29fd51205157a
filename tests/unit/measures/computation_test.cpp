// Whole commands through the procedure, read back from the JSON rendering:
// proximities between variables must equal proximities between cases of the
// transposed data, every binary measure must match a direct count of the
// 2 x 2 tables, and screening, weights and split groups must leave out and
// count the right cases.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "host/host.h"
#include "measures/binary.h"
#include "proc/prox.h"
#include "tests/unit/support/test_host.h"

namespace {

using Matrix = std::vector<std::vector<double>>;

struct RunResult {
  std::vector<Matrix> matrices;                // one per Proximity Matrix, rows by columns
  std::vector<std::vector<double>> summaries;  // N column of each Case Processing Summary
  std::string json;
};

double valueOf(const nlohmann::json& cell) {
  return cell["value"].is_null() ? host::systemMissing() : cell["value"].get<double>();
}

void collect(const nlohmann::json& item, RunResult& result) {
  if (item.contains("items")) {
    for (const auto& inner : item["items"]) collect(inner, result);
  }
  if (item.value("type", "") != "table") return;
  const std::string name = item.value("name", "");
  if (name == "Proximity Matrix") {
    const std::size_t n = item["dimensions"][0]["categories"].size();
    Matrix m(n, std::vector<double>(n, std::nan("")));
    for (const auto& cell : item["cells"]) {
      const auto& p = cell["position"];
      m[p[2].get<std::size_t>()][p[0].get<std::size_t>()] = valueOf(cell);
    }
    result.matrices.push_back(m);
  } else if (name == "Case Processing Summary") {
    std::vector<double> counts;
    for (const auto& cell : item["cells"]) {
      if (cell["position"][0] == 0) counts.push_back(valueOf(cell));
    }
    result.summaries.push_back(counts);
  }
}

// Runs commands in an engine of its own that renders JSON.
RunResult runJson(const std::string& commands) {
  testing_host::attach();
  std::ostringstream out;
  {
    engine::EngineOptions options;
    options.workspaceBytes = 64LL << 20;
    options.format = engine::OutputFormat::Json;
    options.out = &out;
    engine::Engine eng(options);
    eng.registerProcedure("PROXIMITIES", 4, &PROX);
    eng.run(commands, "test");
    eng.finish();
  }
  RunResult result;
  result.json = out.str();
  collect(nlohmann::json::parse(result.json), result);
  return result;
}

std::string inlineData(const Matrix& rows, const std::string& prefix) {
  std::ostringstream text;
  text << "INLINE.\n";
  for (std::size_t k = 0; k < rows[0].size(); ++k) text << (k ? "," : "") << prefix << k + 1;
  text << "\n";
  for (const auto& row : rows) {
    for (std::size_t k = 0; k < row.size(); ++k) {
      text << (k ? "," : "");
      text.precision(17);
      text << row[k];
    }
    text << "\n";
  }
  text << "END INLINE.\n";
  return text.str();
}

Matrix transpose(const Matrix& m) {
  Matrix t(m[0].size(), std::vector<double>(m.size()));
  for (std::size_t i = 0; i < m.size(); ++i) {
    for (std::size_t j = 0; j < m[0].size(); ++j) t[j][i] = m[i][j];
  }
  return t;
}

Matrix randomData(std::size_t cases, std::size_t vars, unsigned seed, bool counts) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(0.0, 2.0);
  std::uniform_int_distribution<int> count(0, 9);
  Matrix m(cases, std::vector<double>(vars));
  for (auto& row : m) {
    for (double& v : row) v = counts ? count(rng) : normal(rng);
  }
  return m;
}

TEST(Computation, BetweenVariablesEqualsBetweenCasesOfTheTransposedData) {
  const char* measures[] = {
      "EUCLID", "SEUCLID",     "BLOCK", "CHEBYCHEV", "MINKOWSKI(3)", "POWER(3,2)", "POWER(13,1)",
      "COSINE", "CORRELATION", "CHISQ", "PH2",       "JACCARD(5)",   "BSEUCLID(3)"};
  const Matrix counts = randomData(9, 5, 11, true);
  const Matrix normal = randomData(9, 5, 12, false);
  for (const char* measure : measures) {
    const std::string m(measure);
    const bool countData = m == "CHISQ" || m == "PH2" || m[0] == 'J' || m[0] == 'B';
    const Matrix& data = countData ? counts : normal;
    // 9 cases of v1..v5 between variables; 5 cases of c1..c9 between cases.
    const RunResult byVariable = runJson(
        inlineData(data, "v") + "PROXIMITIES v1 TO v5 /VIEW=VARIABLE /MEASURE=" + m + ".\n");
    const RunResult byCase =
        runJson(inlineData(transpose(data), "c") + "PROXIMITIES c1 TO c9 /MEASURE=" + m + ".\n");
    ASSERT_EQ(byVariable.matrices.size(), 1u) << m << byVariable.json;
    ASSERT_EQ(byCase.matrices.size(), 1u) << m << byCase.json;
    EXPECT_EQ(byVariable.matrices[0], byCase.matrices[0]) << m;
  }
}

TEST(Computation, StandardizingWithinVariablesPerSplitGroup) {
  // Two groups; each group's variables are standardized with that group's
  // statistics only. Between variables (statistics pass) must agree with
  // between cases of the transposed group standardized within each case.
  const Matrix group1 = {{1, 10, 4}, {2, 30, 4}, {4, 20, 7}};
  const Matrix group2 = {{-3, 0, 1}, {5, 2, 2}, {1, 1, 9}, {0, 8, 3}};
  std::string data = "INLINE.\ng,v1,v2,v3\n";
  for (const auto& row : group1)
    data += "1," + std::to_string(row[0]) + "," + std::to_string(row[1]) + "," +
            std::to_string(row[2]) + "\n";
  for (const auto& row : group2)
    data += "2," + std::to_string(row[0]) + "," + std::to_string(row[1]) + "," +
            std::to_string(row[2]) + "\n";
  data += "END INLINE.\n";
  for (const char* method : {"Z", "SD", "RANGE", "MAX", "MEAN", "RESCALE"}) {
    const RunResult split = runJson(data +
                                    "GROUP BY g.\nPROXIMITIES v1 TO v3 /VIEW=VARIABLE "
                                    "/MEASURE=SEUCLID /STANDARDIZE=VARIABLE " +
                                    method + ".\n");
    ASSERT_EQ(split.matrices.size(), 2u) << method << split.json;
    const Matrix* groups[] = {&group1, &group2};
    for (std::size_t g = 0; g < 2; ++g) {
      const RunResult one = runJson(inlineData(transpose(*groups[g]), "c") + "PROXIMITIES c1 TO c" +
                                    std::to_string(groups[g]->size()) +
                                    " /MEASURE=SEUCLID /STANDARDIZE=CASE " + method + ".\n");
      ASSERT_EQ(one.matrices.size(), 1u);
      for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
          EXPECT_NEAR(split.matrices[g][i][j], one.matrices[0][i][j], 1e-12)
              << method << " group " << g + 1 << " " << i << "," << j;
        }
      }
    }
  }
}

TEST(Computation, EveryBinaryMeasureMatchesADirectCountOfItsTables) {
  std::mt19937 rng(5);
  std::bernoulli_distribution coin(0.4);
  Matrix data(7, std::vector<double>(12));  // 7 cases (items) of 12 binary variables
  for (auto& row : data) {
    for (double& v : row) v = coin(rng) ? 1.0 : 0.0;
  }
  data[3].assign(12, 0.0);  // an item that never has the present value
  const char* keywords[] = {
      "RR", "SM",      "JACCARD", "SS1",     "DICE",     "RT",     "SS2",    "K1",       "SS3",
      "K2", "SS4",     "HAMANN",  "OCHIAI",  "SS5",      "PHI",    "LAMBDA", "D",        "Y",
      "Q",  "BEUCLID", "SIZE",    "PATTERN", "BSEUCLID", "BSHAPE", "DISPER", "VARIANCE", "BLWMN"};
  Word code = 10;
  for (const char* keyword : keywords) {
    const RunResult r =
        runJson(inlineData(data, "b") + "PROXIMITIES b1 TO b12 /MEASURE=" + keyword + "(1,0).\n");
    ASSERT_EQ(r.matrices.size(), 1u) << keyword << r.json;
    for (std::size_t i = 0; i < data.size(); ++i) {
      for (std::size_t j = 0; j < data.size(); ++j) {
        double a = 0, b = 0, c = 0, d = 0;
        for (std::size_t k = 0; k < 12; ++k) {
          const bool pi = data[i][k] == 1.0, pj = data[j][k] == 1.0;
          a += pi && pj;
          b += pi && !pj;
          c += !pi && pj;
          d += !pi && !pj;
        }
        // The table of a pair counts b for the later item; the diagonal is
        // the self-proximity.
        const double expected = i == j  ? probinary_self(code, a, 0, 0, d)
                                : i > j ? probinary_measure(code, a, b, c, d)
                                        : probinary_measure(code, a, c, b, d);
        EXPECT_EQ(r.matrices[0][i][j], expected) << keyword << " " << i << "," << j;
      }
    }
    ++code;
  }
}

TEST(Computation, ScreeningOfBinaryAndCountValues) {
  const std::string data = "INLINE.\nx,y\n1,0\n1.7,1\n0,1\n1,1\nEND INLINE.\n";
  // Without an absent value, 1.7 counts as present: every case is valid.
  RunResult r = runJson(data + "PROXIMITIES x y /MEASURE=JACCARD(1).\n");
  ASSERT_EQ(r.summaries.size(), 1u);
  EXPECT_EQ(r.summaries[0], (std::vector<double>{4, 0, 4}));
  // With the absent value 0, the case holding 1.7 is rejected.
  r = runJson(data + "PROXIMITIES x y /MEASURE=JACCARD(1,0).\n");
  ASSERT_EQ(r.summaries.size(), 1u);
  EXPECT_EQ(r.summaries[0], (std::vector<double>{3, 0, 1, 4}));
  EXPECT_NE(r.json.find("Variable(s) containing binary x"), std::string::npos);
  EXPECT_EQ(r.json.find("containing binary x, y"), std::string::npos);
  // A negative count is rejected for CHISQ; 0 is accepted.
  r = runJson("INLINE.\nx,y\n1,0\n-0.5,2\n3,4\nEND INLINE.\nPROXIMITIES x y /MEASURE=CHISQ.\n");
  ASSERT_EQ(r.summaries.size(), 1u);
  EXPECT_EQ(r.summaries[0], (std::vector<double>{2, 0, 1, 3}));
}

TEST(Computation, WeightsAndGroupsOfDifferentSizes) {
  const std::string data =
      "INLINE.\ng,w,x,y\n1,1,0,0\n1,0,5,5\n1,2,3,4\n2,1,1,1\n2,1,2,2\n2,1,,3\n2,1,4,4\n"
      "END INLINE.\n";
  const RunResult r = runJson(data + "GROUP BY g.\nCASE WEIGHT w.\nPROXIMITIES x y.\n");
  ASSERT_EQ(r.matrices.size(), 2u) << r.json;
  // Group 1: the weight-0 case is left out and counted as missing.
  EXPECT_EQ(r.summaries[0], (std::vector<double>{2, 1, 3}));
  ASSERT_EQ(r.matrices[0].size(), 2u);
  EXPECT_NEAR(r.matrices[0][1][0], 5.0, 1e-15);
  // Group 2: three valid cases, the one with a missing value left out.
  EXPECT_EQ(r.summaries[1], (std::vector<double>{3, 1, 4}));
  ASSERT_EQ(r.matrices[1].size(), 3u);
  EXPECT_NEAR(r.matrices[1][2][0], std::sqrt(18.0), 1e-14);
}

TEST(Computation, TooFewCasesInAGroupGivesSummaryButNoMatrix) {
  const RunResult r =
      runJson("INLINE.\ng,x\n1,1\n2,1\n2,3\nEND INLINE.\nGROUP BY g.\nPROXIMITIES x.\n");
  ASSERT_EQ(r.summaries.size(), 2u);
  ASSERT_EQ(r.matrices.size(), 1u);
  EXPECT_EQ(r.matrices[0][1][0], 2.0);
  EXPECT_NE(r.json.find("g = 1"), std::string::npos);
}

}  // namespace
