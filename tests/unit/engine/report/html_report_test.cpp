// The HTML report: its colour scales, the clustered order of the heatmaps,
// and how proximity matrices are shown (heatmaps, shortened tables, hover
// texts, missing cells).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/output/cluster.h"
#include "engine/output/renderer.h"
#include "engine/report/colour_scale.h"
#include "engine/report/html_renderer.h"
#include "engine/report/html_report.h"
#include "tests/unit/support/matrix_layout.h"

namespace {

using namespace engine::output;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- colour scales ------------------------------------------------------------------

TEST(ColourScale, SequentialScaleRisesInLightnessFromDarkToLight) {
  EXPECT_EQ(hexColour(sequentialColour(0.0)), "#440154");
  EXPECT_EQ(hexColour(sequentialColour(1.0)), "#fde725");
  EXPECT_EQ(sequentialColour(-3.0), sequentialColour(0.0));  // clamped
  EXPECT_EQ(sequentialColour(7.0), sequentialColour(1.0));
  // Order in lightness is what keeps the scale readable in grey and for
  // colour-vision deficiencies: every step must be lighter than the last.
  double previous = -1.0;
  for (int k = 0; k <= 100; ++k) {
    const double l = relativeLuminance(sequentialColour(k / 100.0));
    EXPECT_GT(l, previous) << "at " << k;
    previous = l;
  }
  EXPECT_LT(relativeLuminance(sequentialColour(0.0)), 0.05);
  EXPECT_GT(relativeLuminance(sequentialColour(1.0)), 0.7);
  // Halfway between two control points is their mean, channel by channel.
  const Rgb a = sequentialColour(0.5);
  const Rgb b = sequentialColour(0.6);
  const Rgb mid = sequentialColour(0.55);
  EXPECT_NEAR(mid.r, (a.r + b.r) / 2.0, 1.0);
  EXPECT_NEAR(mid.g, (a.g + b.g) / 2.0, 1.0);
  EXPECT_NEAR(mid.b, (a.b + b.b) / 2.0, 1.0);
}

TEST(ColourScale, DivergingScaleIsBlueBelowOrangeAboveAndNeutralAtZero) {
  const Rgb centre = divergingColour(0.0);
  EXPECT_EQ(centre.r, centre.g);
  EXPECT_EQ(centre.g, centre.b);
  EXPECT_GT(relativeLuminance(centre), 0.9);
  for (int k = 1; k <= 50; ++k) {
    const double u = k / 50.0;
    const Rgb negative = divergingColour(-u);
    const Rgb positive = divergingColour(u);
    EXPECT_GT(negative.b, negative.r) << "blue at " << -u;
    EXPECT_GT(positive.r, positive.b) << "orange at " << u;
    // Darker the further from 0, on both sides, and about equally so.
    EXPECT_LT(relativeLuminance(negative), relativeLuminance(divergingColour(-u + 0.02)));
    EXPECT_LT(relativeLuminance(positive), relativeLuminance(divergingColour(u - 0.02)));
    EXPECT_NEAR(relativeLuminance(negative), relativeLuminance(positive), 0.07) << u;
  }
}

TEST(ColourScale, MatrixScalesPutAlikeItemsAtTheDarkEnd) {
  const MatrixScale distances(MatrixKind::Dissimilarity, 0.0, 10.0);
  EXPECT_FALSE(distances.diverging());
  EXPECT_EQ(distances.bin(0.0), 0);
  EXPECT_EQ(distances.bin(10.0), kPaletteSize - 1);
  EXPECT_EQ(distances.bin(5.0), (kPaletteSize - 1) / 2);
  EXPECT_FALSE(distances.alikeAtHigh());

  const MatrixScale jaccard(MatrixKind::Similarity, 0.0, 1.0);
  EXPECT_FALSE(jaccard.diverging());
  EXPECT_EQ(jaccard.bin(1.0), 0);  // most alike: dark
  EXPECT_EQ(jaccard.bin(0.0), kPaletteSize - 1);
  EXPECT_TRUE(jaccard.alikeAtHigh());
  EXPECT_LT(relativeLuminance(jaccard.colourOf(0.9)), relativeLuminance(jaccard.colourOf(0.1)));

  // Similarities of both signs: symmetric around 0 whatever the range.
  const MatrixScale correlations(MatrixKind::Similarity, -0.5, 1.0);
  EXPECT_TRUE(correlations.diverging());
  EXPECT_EQ(correlations.low(), -1.0);
  EXPECT_EQ(correlations.high(), 1.0);
  EXPECT_EQ(correlations.bin(0.0), (kPaletteSize - 1) / 2);
  EXPECT_EQ(correlations.colourOf(0.0), divergingColour(0.0));
  EXPECT_EQ(correlations.bin(-1.0), 0);
  EXPECT_EQ(correlations.bin(1.0), kPaletteSize - 1);
  // Dissimilarities never diverge, even when negative values occur.
  EXPECT_FALSE(MatrixScale(MatrixKind::Dissimilarity, -1.0, 1.0).diverging());

  EXPECT_EQ(distances.bin(kNaN), kMissingBin);
  EXPECT_EQ(distances.bin(std::numeric_limits<double>::infinity()), kMissingBin);
  EXPECT_EQ(distances.binColour(kMissingBin), kMissingColour);
  EXPECT_EQ(distances.bin(42.0), kPaletteSize - 1);  // outside the range: clamped
  const MatrixScale flat(MatrixKind::Dissimilarity, 3.0, 3.0);
  EXPECT_EQ(flat.bin(3.0), 0);
}

// ---- clustering -------------------------------------------------------------------------

std::vector<double> condensed(const std::vector<std::vector<double>>& d) {
  const std::size_t n = d.size();
  std::vector<double> c;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) c.push_back(d[i][j]);
  }
  return c;
}

// Five items whose average-linkage merges are worked out by hand: a-b at 17;
// e joins them at (23+21)/2 = 22; c-d at 28; the two groups at the mean of
// their six cross distances, (21+31+30+34+39+43)/6 = 33.
const std::vector<std::vector<double>> kFive = {{0, 17, 21, 31, 23},
                                                {17, 0, 30, 34, 21},
                                                {21, 30, 0, 28, 39},
                                                {31, 34, 28, 0, 43},
                                                {23, 21, 39, 43, 0}};

TEST(Clustering, AverageLinkageMergesAndLeafOrderOfAWorkedExample) {
  const std::vector<Merge> merges = averageLinkage(5, condensed(kFive));
  ASSERT_EQ(merges.size(), 4u);
  EXPECT_EQ(merges[0].left, 0u);
  EXPECT_EQ(merges[0].right, 1u);
  EXPECT_DOUBLE_EQ(merges[0].height, 17.0);
  EXPECT_EQ(merges[1].left, 5u);  // cluster {a, b}
  EXPECT_EQ(merges[1].right, 4u);
  EXPECT_DOUBLE_EQ(merges[1].height, 22.0);
  EXPECT_EQ(merges[2].left, 2u);
  EXPECT_EQ(merges[2].right, 3u);
  EXPECT_DOUBLE_EQ(merges[2].height, 28.0);
  EXPECT_EQ(merges[3].left, 6u);
  EXPECT_EQ(merges[3].right, 7u);
  EXPECT_DOUBLE_EQ(merges[3].height, 33.0);
  EXPECT_EQ(merges[3].size, 5u);
  EXPECT_EQ(leafOrder(5, merges), (std::vector<std::size_t>{0, 1, 4, 2, 3}));

  // The same items listed backwards (e d c b a): the same tree; within each
  // merge the child with the earlier item goes first.
  std::vector<std::vector<double>> backwards(5, std::vector<double>(5));
  for (std::size_t i = 0; i < 5; ++i) {
    for (std::size_t j = 0; j < 5; ++j) backwards[i][j] = kFive[4 - i][4 - j];
  }
  const std::vector<Merge> again = averageLinkage(5, condensed(backwards));
  for (std::size_t k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(again[k].height, merges[k].height);
  // e=0 b=3 a=4 | d=1 c=2
  EXPECT_EQ(leafOrder(5, again), (std::vector<std::size_t>{0, 3, 4, 1, 2}));
}

TEST(Clustering, SimilaritiesAreReversedAndMissingPairsCountAsUnlike) {
  // Similarities 50 - d order the items as the distances d do.
  const auto similarity = [](std::size_t i, std::size_t j) { return 50.0 - kFive[i][j]; };
  EXPECT_EQ(clusteredOrder(5, similarity, true), (std::vector<std::size_t>{0, 1, 4, 2, 3}));

  // (0,1) missing both ways: it gets the largest dissimilarity, 2.
  const std::vector<std::vector<double>> m = {{0, kNaN, 1}, {kNaN, 0, 2}, {1, 2, 0}};
  const std::vector<double> d = clusteringDissimilarities(
      3, [&](std::size_t i, std::size_t j) { return m[i][j]; }, false);
  EXPECT_EQ(d, (std::vector<double>{2.0, 1.0, 2.0}));
  // An asymmetric pair is averaged; one missing side leaves the other.
  const std::vector<std::vector<double>> a = {{0, 1, kNaN}, {3, 0, 4}, {5, 4, 0}};
  EXPECT_EQ(clusteringDissimilarities(
                3, [&](std::size_t i, std::size_t j) { return a[i][j]; }, false),
            (std::vector<double>{2.0, 5.0, 4.0}));
  EXPECT_EQ(clusteredOrder(1, similarity, false), (std::vector<std::size_t>{0}));
  EXPECT_TRUE(clusteredOrder(0, similarity, false).empty());
}

// Plain average linkage, straight from its definition: merge the two
// clusters whose items are on average nearest, over the original distances.
std::vector<std::pair<std::set<std::size_t>, double>> plainAverageLinkage(
    const std::vector<std::vector<double>>& d) {
  std::vector<std::set<std::size_t>> clusters;
  for (std::size_t i = 0; i < d.size(); ++i) clusters.push_back({i});
  std::vector<std::pair<std::set<std::size_t>, double>> merges;
  while (clusters.size() > 1) {
    double best = std::numeric_limits<double>::infinity();
    std::size_t bi = 0;
    std::size_t bj = 0;
    for (std::size_t i = 0; i < clusters.size(); ++i) {
      for (std::size_t j = i + 1; j < clusters.size(); ++j) {
        double sum = 0.0;
        for (const std::size_t a : clusters[i]) {
          for (const std::size_t b : clusters[j]) sum += d[a][b];
        }
        const double mean = sum / static_cast<double>(clusters[i].size() * clusters[j].size());
        if (mean < best) {
          best = mean;
          bi = i;
          bj = j;
        }
      }
    }
    clusters[bi].insert(clusters[bj].begin(), clusters[bj].end());
    merges.emplace_back(clusters[bi], best);
    clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(bj));
  }
  return merges;
}

TEST(Clustering, AgreesWithThePlainAlgorithmOnRandomMatrices) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> uniform(0.0, 100.0);
  for (int trial = 0; trial < 5; ++trial) {
    const std::size_t n = 25;
    std::vector<std::vector<double>> d(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = i + 1; j < n; ++j) d[i][j] = d[j][i] = uniform(random);
    }
    const auto expected = plainAverageLinkage(d);
    const std::vector<Merge> merges = averageLinkage(n, condensed(d));
    ASSERT_EQ(merges.size(), expected.size());
    std::vector<std::set<std::size_t>> members;
    for (std::size_t i = 0; i < n; ++i) members.push_back({i});
    for (std::size_t k = 0; k < merges.size(); ++k) {
      std::set<std::size_t> merged = members[merges[k].left];
      merged.insert(members[merges[k].right].begin(), members[merges[k].right].end());
      EXPECT_EQ(merged, expected[k].first) << "merge " << k;
      EXPECT_NEAR(merges[k].height, expected[k].second, 1e-9) << "merge " << k;
      EXPECT_EQ(merges[k].size, merged.size());
      members.push_back(std::move(merged));
    }
    std::vector<std::size_t> order = leafOrder(n, merges);
    std::sort(order.begin(), order.end());
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(order[i], i);
  }
}

// ---- proximity matrices in the report -------------------------------------------------------

// A table laid out as the procedure prints a proximity matrix: items across
// under the measure's label, items down, a footnote saying what the values are.
PivotTable matrixTable(std::size_t n, const std::function<double(std::size_t, std::size_t)>& value,
                       const std::string& footnote,
                       const std::function<std::string(std::size_t)>& label = {}) {
  PivotTable t("Proximity Matrix", "Proximity Matrix");
  const auto [columns, measure, rows] = testing_output::layOutMatrix(t, footnote);
  const auto name = [&](std::size_t k) {
    return label ? Content::plain(label(k))
                 : Content::integerNumber(static_cast<std::int64_t>(k + 1), NumberFormat::Count);
  };
  for (std::size_t j = 0; j < n; ++j) t.declareCategory(columns, name(j));
  for (std::size_t i = 0; i < n; ++i) {
    t.declareCategory(rows, name(i));
    for (std::size_t j = 0; j < n; ++j) {
      const double v = value(i, j);
      t.placeCell(
          Content::number(std::isnan(v) ? 0.0 : v, NumberFormat::Coefficient, std::isnan(v)),
          name(j));
    }
  }
  return t;
}

std::string render(const PivotTable& table) {
  std::ostringstream out;
  const std::unique_ptr<Renderer> renderer = makeHtmlRenderer(out);
  renderer->table(table);
  renderer->finish();
  return out.str();
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<std::uint8_t> base64(const std::string& text) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> bytes;
  std::uint32_t bits = 0;
  int have = 0;
  for (const char c : text) {
    if (c == '=') break;
    bits = (bits << 6) | static_cast<std::uint32_t>(alphabet.find(c));
    have += 6;
    if (have >= 8) {
      have -= 8;
      bytes.push_back(static_cast<std::uint8_t>((bits >> have) & 0xFF));
    }
  }
  return bytes;
}

nlohmann::json heatmapData(const std::string& html) {
  const std::string start = "class=\"heatmap-data\">";
  const std::size_t from = html.find(start);
  if (from == std::string::npos) return {};
  const std::size_t begin = from + start.size();
  return nlohmann::json::parse(html.substr(begin, html.find("</script>", begin) - begin));
}

TEST(HtmlReport, LargeMatrixTableIsShortenedWhileItsHeatmapKeepsEveryItem) {
  const std::size_t n = 250;
  const auto distance = [](std::size_t i, std::size_t j) {
    return std::fabs(static_cast<double>(i) - static_cast<double>(j));
  };
  const std::string html = render(matrixTable(n, distance, "This is a dissimilarity matrix"));
  EXPECT_THAT(html, HasSubstr("first 200 of 250 rows and the first 200 of 250 columns"));
  EXPECT_THAT(html, HasSubstr("The heatmap shows every item"));
  const std::size_t table = html.find("<table class=\"pivot\"");
  const std::string tableHtml = html.substr(table, html.find("</table>", table) - table);
  EXPECT_EQ(count(tableHtml, "<th scope=\"row\""), kHtmlTableMaxRows);
  EXPECT_EQ(count(tableHtml, "<td class=\"num\">"), kHtmlTableMaxRows * kHtmlTableMaxColumns);
  EXPECT_THAT(tableHtml, HasSubstr("<th scope=\"row\">200</th>"));
  EXPECT_THAT(tableHtml, Not(HasSubstr("<th scope=\"row\">201</th>")));
  EXPECT_THAT(tableHtml, HasSubstr("<td class=\"num\">199.000</td>"));  // row 200, column 1
  EXPECT_THAT(tableHtml, Not(HasSubstr(">200.000<")));                  // needs row 201

  // The canvas heatmap's data hold all 250 items, as a lower triangle.
  EXPECT_THAT(html, HasSubstr("<canvas"));
  const nlohmann::json data = heatmapData(html);
  ASSERT_TRUE(data.is_object());
  EXPECT_EQ(data["n"], n);
  EXPECT_EQ(data["symmetric"], true);
  EXPECT_EQ(data["rows"].size(), n);
  EXPECT_EQ(data["rows"][249], "250");
  EXPECT_EQ(data["clustered"].size(), n);
  const std::vector<std::uint8_t> bins = base64(data["bins"]);
  const std::vector<std::uint8_t> entries = base64(data["entries"]);
  ASSERT_EQ(bins.size(), n * (n + 1) / 2);
  ASSERT_EQ(entries.size(), 2 * bins.size());
  const std::size_t corner = 249 * 250 / 2 + 0;  // row 250, column 1
  const std::size_t text = entries[2 * corner] | (std::size_t{entries[2 * corner + 1]} << 8);
  EXPECT_EQ(data["texts"][text], "249.000");
  EXPECT_EQ(bins[corner], kPaletteSize - 1);  // the largest distance
  EXPECT_EQ(bins[0], 0);                      // the diagonal: alike
}

TEST(HtmlReport, SmallMatrixGetsAnSvgHeatmapWithHoverTextsAndMissingCellsHatched) {
  const std::vector<std::vector<double>> s = {
      {kNaN, -0.25, 0.75}, {-0.25, kNaN, 0.5}, {0.75, 0.5, kNaN}};
  const std::string html = render(matrixTable(
      3, [&](std::size_t i, std::size_t j) { return s[i][j]; }, "This is a similarity matrix",
      [](std::size_t k) {
        return std::vector<std::string>{"ant", "<bee>", "cat"}[k];
      }));
  EXPECT_THAT(html, HasSubstr("<caption>Proximity Matrix<sup class=\"fn\">a</sup></caption>"));
  EXPECT_THAT(html, HasSubstr("<th scope=\"colgroup\" colspan=\"3\">Euclidean Distance</th>"));
  EXPECT_THAT(html, HasSubstr("<th scope=\"col\" class=\"num\">&lt;bee&gt;</th>"));
  EXPECT_THAT(html, HasSubstr("<sup class=\"fn\">a</sup> This is a similarity matrix"));
  EXPECT_EQ(count(html, "</title></rect>"), 9u);
  EXPECT_THAT(html, HasSubstr("<title>ant \u00d7 &lt;bee&gt;: -0.250</title>"));
  EXPECT_THAT(html, HasSubstr("<title>cat \u00d7 cat: .</title>"));
  // The missing diagonal is hatched, and the legend says what hatching means.
  EXPECT_EQ(count(html, "fill=\"url(#hm1-hatch)\"><title>"), 3u);
  EXPECT_EQ(count(html, "<pattern id=\"hm1-hatch\""), 1u);
  EXPECT_THAT(html, HasSubstr(">missing</text>"));
  // Both signs: the diverging scale, centred on 0 (symmetric legend ends).
  EXPECT_THAT(html, HasSubstr("orange alike, blue opposite"));
  EXPECT_THAT(html, HasSubstr(">-0.750</text>"));
  // Clustered: the most similar pair (ant, cat at 0.75) side by side.
  EXPECT_THAT(html, HasSubstr("data-clustered=\"0 2 1\""));
  EXPECT_THAT(html, Not(HasSubstr("class=\"shortened\"")));
}

TEST(HtmlReport, OnlyProximityMatricesThatSayWhatTheyHoldGetAHeatmap) {
  const auto one = [](std::size_t, std::size_t) { return 1.0; };
  EXPECT_THAT(render(matrixTable(3, one, "This is a dissimilarity matrix")),
              HasSubstr("<figure class=\"heatmap\""));
  EXPECT_THAT(render(matrixTable(3, one, "Something else")), Not(HasSubstr("<figure")));

  PivotTable other("Case Processing Summary", "Case Processing Summary");
  other.annotate(PivotTable::Target::Table, "This is a dissimilarity matrix");
  other.placeCell(Content::number(1.0, NumberFormat::Count, false), Content::plain("N"));
  const std::string html = render(other);
  EXPECT_THAT(html, Not(HasSubstr("<figure")));
  EXPECT_THAT(html, HasSubstr("<td class=\"num\">1</td>"));
}

TEST(HtmlReport, ProximityMatrixReadsValuesKindAndSymmetryFromTheTable) {
  const std::vector<std::vector<double>> v = {{0, 1, 2}, {1, 0, kNaN}, {2, 3, 0}};
  const PivotTable t = matrixTable(
      3, [&](std::size_t i, std::size_t j) { return v[i][j]; },
      "This is an absolute dissimilarity matrix");
  const TableLayout layout = layoutTable(t);
  const std::optional<ProximityMatrix> m = ProximityMatrix::of(t, layout);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->size(), 3u);
  EXPECT_EQ(m->kind(), MatrixKind::Dissimilarity);
  EXPECT_EQ(m->format(), NumberFormat::Coefficient);
  EXPECT_EQ(m->value(2, 1), 3.0);
  EXPECT_TRUE(std::isnan(m->value(1, 2)));
  EXPECT_EQ(m->text(1, 2), ".");
  EXPECT_EQ(m->rowLabel(2), "3");
  EXPECT_FALSE(m->symmetric());
  const MatrixScale scale = scaleOf(*m);
  EXPECT_EQ(scale.low(), 0.0);
  EXPECT_EQ(scale.high(), 3.0);
}

}  // namespace

namespace {

TEST(HtmlReport, MatrixWithTooManyDistinctTextsKeepsSinglePrecisionValuesForHovering) {
  // 400 items, every pair a value of its own: more texts than a 16-bit index
  // can name, so the values themselves go into the page.
  const std::size_t n = 400;
  const auto value = [](std::size_t i, std::size_t j) {
    const std::size_t hi = std::max(i, j);
    return static_cast<double>(hi * (hi + 1) / 2 + std::min(i, j)) / 8.0;
  };
  const std::string html = render(matrixTable(n, value, "This is a dissimilarity matrix"));
  const nlohmann::json data = heatmapData(html);
  ASSERT_TRUE(data.is_object());
  EXPECT_FALSE(data.contains("entries"));
  EXPECT_EQ(data["format"], "coefficient");
  const std::vector<std::uint8_t> bytes = base64(data["values"]);
  ASSERT_EQ(bytes.size(), 4 * n * (n + 1) / 2);
  const std::size_t k = 399 * 400 / 2 + 7;  // row 400, column 8
  std::uint32_t bits = 0;
  for (int b = 3; b >= 0; --b) bits = (bits << 8) | bytes[4 * k + static_cast<std::size_t>(b)];
  float stored = 0.0f;
  std::memcpy(&stored, &bits, sizeof stored);
  EXPECT_EQ(stored, static_cast<float>(value(399, 7)));
}

}  // namespace
