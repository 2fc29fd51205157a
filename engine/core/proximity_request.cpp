#include "engine/core/proximity_request.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "engine/core/scanner.h"

namespace engine {

namespace {

struct MeasureWords {
  std::string_view keyword;
  std::string_view name;
  bool similarity;
};

// The measures as docs/proximities.md lists them, with the names the printed
// matrix gives them.
constexpr std::array kMeasures = {
    MeasureWords{"EUCLID", "Euclidean Distance", false},
    MeasureWords{"SEUCLID", "Squared Euclidean Distance", false},
    MeasureWords{"DEFAULT", "Squared Euclidean Distance", false},
    MeasureWords{"BLOCK", "City Block Distance", false},
    MeasureWords{"CHEBYCHEV", "Chebychev Distance", false},
    MeasureWords{"MINKOWSKI", "Minkowski Distance", false},
    MeasureWords{"POWER", "Power Distance", false},
    MeasureWords{"COSINE", "Cosine of Vectors of Values", true},
    MeasureWords{"CORRELATION", "Correlation between Vectors of Values", true},
    MeasureWords{"CHISQ", "Chi-square between Sets of Frequencies", false},
    MeasureWords{"PH2", "Phi-square between Sets of Frequencies", false},
    MeasureWords{"RR", "Russell and Rao Measure", true},
    MeasureWords{"SM", "Simple matching Measure", true},
    MeasureWords{"JACCARD", "Jaccard Measure", true},
    MeasureWords{"DICE", "Dice (Czekanowski or Sorenson) Measure", true},
    MeasureWords{"SS1", "Sokal and Sneath Measure 1", true},
    MeasureWords{"RT", "Rogers and Tanimoto Measure", true},
    MeasureWords{"SS2", "Sokal and Sneath Measure 2", true},
    MeasureWords{"K1", "Kulczynski Measure 1", true},
    MeasureWords{"SS3", "Sokal and Sneath Measure 3", true},
    MeasureWords{"K2", "Kulczynski Measure 2", true},
    MeasureWords{"SS4", "Sokal and Sneath Measure 4", true},
    MeasureWords{"HAMANN", "Hamann Measure", true},
    MeasureWords{"OCHIAI", "Ochiai Measure", true},
    MeasureWords{"SS5", "Sokal and Sneath Measure 5", true},
    MeasureWords{"PHI", "Fourfold Point Correlation", true},
    MeasureWords{"LAMBDA", "Goodman and Kruskal's Lambda", true},
    MeasureWords{"D", "Anderberg's D", true},
    MeasureWords{"Y", "Yule's Y Coefficient of Colligation", true},
    MeasureWords{"Q", "Yule's Q", true},
    MeasureWords{"BEUCLID", "Binary Euclidean Distance", false},
    MeasureWords{"SIZE", "Size Difference", false},
    MeasureWords{"PATTERN", "Pattern Difference", false},
    MeasureWords{"BSEUCLID", "Binary Squared Euclidean Distance", false},
    MeasureWords{"BSHAPE", "Binary Shape Difference", false},
    MeasureWords{"DISPER", "Dispersion Measure", false},
    MeasureWords{"VARIANCE", "Variance Measure", false},
    MeasureWords{"BLWMN", "Binary Lance-and-Williams Nonmetric Dissimilarity Measure", false},
};

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

// The keyword rule: the whole word, or at least its first three letters.
bool abbreviates(std::string_view word, std::string_view keyword) {
  const std::string w = upper(word);
  if (w == keyword) return true;
  return w.size() >= 3 && w.size() <= keyword.size() && keyword.substr(0, w.size()) == w;
}

const MeasureWords* findMeasure(std::string_view word) {
  for (const MeasureWords& m : kMeasures) {
    if (upper(word) == m.keyword) return &m;  // exact first: "SS1" is not "SS2"'s
  }
  for (const MeasureWords& m : kMeasures) {
    if (abbreviates(word, m.keyword)) return &m;
  }
  return nullptr;
}

// Words, quoted strings (one token, quotes kept) and the delimiters / = ( ) ,
// one character each. The period that ends the command is dropped.
std::vector<std::string> tokenize(std::string_view text) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '"' || c == '\'') {
      const std::size_t end = text.find(c, i + 1);
      const std::size_t stop = end == std::string_view::npos ? text.size() : end + 1;
      tokens.emplace_back(text.substr(i, stop - i));
      i = stop;
    } else if (c == '/' || c == '=' || c == '(' || c == ')' || c == ',') {
      tokens.emplace_back(1, c);
      ++i;
    } else {
      std::size_t end = i;
      while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
             std::string_view("/=(),\"'").find(text[end]) == std::string_view::npos) {
        ++end;
      }
      tokens.emplace_back(text.substr(i, end - i));
      i = end;
    }
  }
  if (!tokens.empty() && tokens.back().size() > 1 && tokens.back().back() == '.') {
    tokens.back().pop_back();
  } else if (!tokens.empty() && tokens.back() == ".") {
    tokens.pop_back();
  }
  return tokens;
}

void readMeasure(const std::vector<std::string>& words, ProximityRequest& request) {
  bool absolute = false, reverse = false, rescale = false;
  for (std::size_t k = 0; k < words.size(); ++k) {
    if (abbreviates(words[k], "ABSOLUTE")) {
      absolute = true;
    } else if (abbreviates(words[k], "REVERSE")) {
      reverse = true;
    } else if (abbreviates(words[k], "RESCALE")) {
      rescale = true;
    } else if (const MeasureWords* m = findMeasure(words[k])) {
      request.measureKeyword = std::string(m->keyword);
      request.measureParameters.clear();
      if (k + 1 < words.size() && words[k + 1] == "(") {
        for (k += 2; k < words.size() && words[k] != ")"; ++k) {
          if (words[k] != ",") request.measureParameters.push_back(words[k]);
        }
      }
    }
  }
  request.transformations.clear();
  if (absolute) request.transformations.emplace_back("absolute");
  if (reverse) request.transformations.emplace_back("reverse");
  if (rescale) request.transformations.emplace_back("rescale");
}

void readStandardize(const std::vector<std::string>& words, ProximityRequest& request) {
  Standardization s{"Z", "variable"};
  bool none = false;
  for (const std::string& word : words) {
    if (abbreviates(word, "VARIABLE")) {
      s.direction = "variable";
    } else if (abbreviates(word, "CASE")) {
      s.direction = "case";
    } else if (abbreviates(word, "NONE")) {
      none = true;
    } else {
      for (std::string_view method : {"Z", "SD", "RANGE", "MAX", "MEAN", "RESCALE"}) {
        if (upper(word) == method || (method.size() > 2 && abbreviates(word, method))) {
          s.method = std::string(method);
        }
      }
    }
  }
  request.standardization = none ? std::nullopt : std::optional(s);
}

}  // namespace

ProximityRequest readProximityRequest(std::string_view commandText) {
  ProximityRequest request;
  const std::vector<std::string> tokens = tokenize(commandText);
  std::size_t k = 0;
  while (k < tokens.size() && tokens[k] != "/") ++k;
  while (k < tokens.size()) {
    const std::string name = k + 1 < tokens.size() ? tokens[k + 1] : std::string();
    std::vector<std::string> words;
    for (k += 2; k < tokens.size() && tokens[k] != "/"; ++k) {
      if (tokens[k] != "=" || !words.empty()) words.push_back(tokens[k]);
    }
    if (abbreviates(name, "MEASURE")) {
      readMeasure(words, request);
    } else if (abbreviates(name, "STANDARDIZE")) {
      readStandardize(words, request);
    } else if (abbreviates(name, "VIEW")) {
      request.viewVariables = !words.empty() && abbreviates(words.front(), "VARIABLE");
    } else if (abbreviates(name, "MATRIX")) {
      request.matrixIn = std::any_of(words.begin(), words.end(),
                                     [](const std::string& w) { return upper(w) == "IN"; });
    }
  }
  return request;
}

ProximityRequest readProximityRequest(const std::vector<Token>& tokens) {
  std::string text;
  for (const Token& t : tokens) {
    text += t.cls == kTokenString ? "\"" + t.text + "\"" : t.text;
    text += ' ';
  }
  return readProximityRequest(text);
}

std::string measureKeyword(std::string_view word) {
  const MeasureWords* m = findMeasure(word);
  return m ? std::string(m->keyword) : std::string();
}

std::string_view measureName(std::string_view keyword) {
  const MeasureWords* m = findMeasure(keyword);
  return m ? m->name : std::string_view();
}

std::string_view measureKind(std::string_view keyword) {
  const MeasureWords* m = findMeasure(keyword);
  if (m == nullptr) return {};
  return m->similarity ? "similarity" : "dissimilarity";
}

}  // namespace engine
