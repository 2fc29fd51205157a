// The measure catalogue: the one table that ties every measure keyword to its
// code, and every code to its family, kind, self-proximity, printed name and
// cell format. The MEASURE parser, the drivers, the labels and the formats all
// read it; nothing else lists the measures.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "host/fixed_text.h"
#include "host/tavixwcom.h"

enum class Family { None, Power, Cosine, Chebychev, Correlation, Counts, Binary };

// Direction of a finished matrix: +1 dissimilarities, -1 similarities.
enum class Kind : Word { Similarity = -1, None = 0, Dissimilarity = 1 };

// How a keyword takes parameters and what it stores when none are given.
enum class ParamForm { None, Power, Binary, Rescale, Reverse, Absolute };

// The number format of the printed cells, one of the builder's formats.
enum class CellFormat { N, Coefficient, Correlation, GenStat, Significance };

// What an item has with itself.
enum class Diagonal { Zero, One, SystemMissing, FromCounts, AsRead };

struct MeasureKeyword {
  Keyword word;
  Word code;  // -1 for the transformation keywords
  ParamForm form;
  bool setsParams;      // false: the parameters stay as they were
  Word param1, param2;  // stored when setsParams and no list follows
};

// The MEASURE keyword table, in the order the matcher sees it.
inline constexpr std::array<MeasureKeyword, 42> kMeasureKeywords = {{
    {"EUC", 1, ParamForm::None, true, 2, 2},      {"COS", 2, ParamForm::None, false, 0, 0},
    {"POW", 3, ParamForm::Power, true, 2, 2},     {"MIN", 3, ParamForm::Power, true, 2, 2},
    {"DEF", 4, ParamForm::None, true, 2, 1},      {"SEU", 4, ParamForm::None, true, 2, 1},
    {"BLO", 5, ParamForm::None, false, 0, 0},     {"CHE", 6, ParamForm::None, false, 0, 0},
    {"COR", 7, ParamForm::None, false, 0, 0},     {"CHI", 8, ParamForm::None, false, 0, 0},
    {"PH2", 9, ParamForm::None, false, 0, 0},     {"RR", 10, ParamForm::Binary, true, 1, 0},
    {"SM", 11, ParamForm::Binary, true, 1, 0},    {"JAC", 12, ParamForm::Binary, true, 1, 0},
    {"SS1", 13, ParamForm::Binary, true, 1, 0},   {"DICE", 14, ParamForm::Binary, true, 1, 0},
    {"RT", 15, ParamForm::Binary, true, 1, 0},    {"SS2", 16, ParamForm::Binary, true, 1, 0},
    {"K1", 17, ParamForm::Binary, true, 1, 0},    {"SS3", 18, ParamForm::Binary, true, 1, 0},
    {"K2", 19, ParamForm::Binary, true, 1, 0},    {"SS4", 20, ParamForm::Binary, true, 1, 0},
    {"HAM", 21, ParamForm::Binary, true, 1, 0},   {"OCH", 22, ParamForm::Binary, true, 1, 0},
    {"SS5", 23, ParamForm::Binary, true, 1, 0},   {"PHI", 24, ParamForm::Binary, true, 1, 0},
    {"LAM", 25, ParamForm::Binary, true, 1, 0},   {"D", 26, ParamForm::Binary, true, 1, 0},
    {"Y", 27, ParamForm::Binary, true, 1, 0},     {"Q", 28, ParamForm::Binary, true, 1, 0},
    {"BEU", 29, ParamForm::Binary, true, 1, 0},   {"SIZ", 30, ParamForm::Binary, true, 1, 0},
    {"PAT", 31, ParamForm::Binary, true, 1, 0},   {"BSE", 32, ParamForm::Binary, true, 1, 0},
    {"BSH", 33, ParamForm::Binary, true, 1, 0},   {"DIS", 34, ParamForm::Binary, true, 1, 0},
    {"VAR", 35, ParamForm::Binary, true, 1, 0},   {"BLW", 36, ParamForm::Binary, true, 1, 0},
    {"NON", 0, ParamForm::None, false, 0, 0},     {"RES", -1, ParamForm::Rescale, false, 0, 0},
    {"REV", -1, ParamForm::Reverse, false, 0, 0}, {"ABS", -1, ParamForm::Absolute, false, 0, 0},
}};

// The keywords alone, with the empty 43rd entry that never matches.
inline constexpr std::array<Keyword, 43> kMeasureKeywordTable = [] {
  std::array<Keyword, 43> table{};
  for (std::size_t i = 0; i < kMeasureKeywords.size(); ++i) table[i] = kMeasureKeywords[i].word;
  return table;
}();

// Index (1-based) of the last keyword that names a measure: "BLW".
inline constexpr Word kLastMeasureKeyword = 38;

struct MeasureInfo {
  Family family;
  Kind kind;
  Diagonal diagonal;
  CellFormat format;
  std::string_view label;  // template; ^1^2^3 prefixes, the last ^n a suffix
};

// Indexed by MeasureCode, 0 to 36.
inline constexpr std::array<MeasureInfo, 37> kMeasures = {{
    {Family::None, Kind::None, Diagonal::AsRead, CellFormat::GenStat, "^1^2^3 Matrix Input ^4"},
    {Family::Power, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Coefficient,
     "^1^2^3 Euclidean Distance ^4"},
    {Family::Cosine, Kind::Similarity, Diagonal::One, CellFormat::Correlation,
     "^1^2^3 Cosine of Vectors of Values ^4"},
    {Family::Power, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Coefficient,
     "^1^2^3 Minkowski (^4) Distance ^5"},
    {Family::Power, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Coefficient,
     "^1^2^3 Squared Euclidean Distance ^4"},
    {Family::Power, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Coefficient,
     "^1^2^3 City Block Distance ^4"},
    {Family::Chebychev, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Coefficient,
     "^1^2^3 Chebychev Distance ^4"},
    {Family::Correlation, Kind::Similarity, Diagonal::One, CellFormat::Correlation,
     "^1^2^3 Correlation between Vectors of Values ^4"},
    {Family::Counts, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Significance,
     "^1^2^3 Chi-square between Sets of Frequencies ^4"},
    {Family::Counts, Kind::Dissimilarity, Diagonal::Zero, CellFormat::GenStat,
     "^1^2^3 Phi-square between Sets of Frequencies ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::FromCounts, CellFormat::Significance,
     "^1^2^3 Russell and Rao Measure ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Simple matching Measure ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Jaccard Measure ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Sokal and Sneath Measure 1 ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Dice (Czekanowski or Sorenson) Measure ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Rogers and Tanimoto Measure ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Sokal and Sneath Measure 2 ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::SystemMissing, CellFormat::GenStat,
     "^1^2^3 Kulczynski Measure 1 ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::SystemMissing, CellFormat::GenStat,
     "^1^2^3 Sokal and Sneath Measure 3 ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Kulczynski Measure 2 ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Sokal and Sneath Measure 4 ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Correlation,
     "^1^2^3 Hamann Measure ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Ochiai Measure ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Sokal and Sneath Measure 5 ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Correlation,
     "^1^2^3 Fourfold Point Correlation ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Significance,
     "^1^2^3 Goodman and Kruskal's Lambda ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::FromCounts, CellFormat::Significance,
     "^1^2^3 Anderberg's D ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Correlation,
     "^1^2^3 Yule's Y Coefficient of Colligation ^4"},
    {Family::Binary, Kind::Similarity, Diagonal::One, CellFormat::Correlation,
     "^1^2^3 Yule's Q ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::Zero, CellFormat::GenStat,
     "^1^2^3 Binary Euclidean Distance ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::Zero, CellFormat::GenStat,
     "^1^2^3 Size Difference ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Significance,
     "^1^2^3 Pattern Difference ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::Zero, CellFormat::N,
     "^1^2^3 Binary Squared Euclidean Distance ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::Zero, CellFormat::GenStat,
     "^1^2^3 Binary Shape Difference ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::FromCounts, CellFormat::Correlation,
     "^1^2^3 Dispersion Measure ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Coefficient,
     "^1^2^3 Variance Measure ^4"},
    {Family::Binary, Kind::Dissimilarity, Diagonal::Zero, CellFormat::Significance,
     "^1^2^3 Binary Lance-and-Williams Nonmetric... ^4"},
}};

// The Power template, used for code 3 when the exponent and root differ.
inline constexpr std::string_view kPowerLabel = "^1^2^3 Power (^4,^5) Distance ^6";

// The catalogue entry of a code; codes outside 0 to 36 have none.
constexpr std::optional<MeasureInfo> measureInfo(Word code) {
  if (code < 0 || code >= static_cast<Word>(kMeasures.size())) return std::nullopt;
  return kMeasures[static_cast<std::size_t>(code)];
}

constexpr bool isBinaryMeasure(Word code) { return code >= 10 && code <= 36; }
constexpr bool isCountMeasure(Word code) { return code == 8 || code == 9; }
