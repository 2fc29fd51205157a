// Writes the measure catalogue's keyword rows as C++ initialisers, one per
// line, for the program's --help (cli/help.cpp). The program may not include
// the procedure's headers (it reaches the procedure only by loading the
// library), so the build runs this tool and the program includes its output:
// the help lists exactly the keywords the MEASURE parser matches.
//
// Each row: table entry, measure code, family, kind, parameters, printed name.
#include <iostream>
#include <string>
#include <string_view>

#include "measures/catalogue.h"

namespace {

std::string_view familyName(Family family) {
  switch (family) {
    case Family::Power:
    case Family::Cosine:
    case Family::Chebychev:
    case Family::Correlation:
      return "interval";
    case Family::Counts:
      return "counts";
    case Family::Binary:
      return "binary";
    case Family::None:
      break;
  }
  return "none";
}

std::string_view kindName(Kind kind) {
  switch (kind) {
    case Kind::Similarity:
      return "similarity";
    case Kind::Dissimilarity:
      return "dissimilarity";
    case Kind::None:
      break;
  }
  return "";
}

std::string_view parameterText(const MeasureKeyword& k) {
  switch (k.form) {
    case ParamForm::Power:
      return k.word.trimmed() == "POW" ? "(p,r)" : "(p)";
    case ParamForm::Binary:
      return "(present[,absent])";
    default:
      return "";
  }
}

// The printed name without its placeholders: "^1^2^3 Minkowski (^4) Distance
// ^5" becomes "Minkowski (p) Distance". POW names the exponent and the root
// apart, so it shows the label the catalogue keeps for p and r that differ.
std::string printedName(const MeasureKeyword& k) {
  if (k.code < 0) return "";
  std::string_view label = kMeasures[static_cast<std::size_t>(k.code)].label;
  if (k.word.trimmed() == "POW") label = kPowerLabel;
  std::string name;
  const char* parameters[] = {"p", "r"};
  std::size_t used = 0;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] != '^') {
      name += label[i];
      continue;
    }
    ++i;  // the placeholder's digit
    const bool inside = i + 1 < label.size() && (label[i + 1] == ')' || label[i + 1] == ',');
    if (inside && used < 2) name += parameters[used++];
  }
  const auto first = name.find_first_not_of(' ');
  const auto last = name.find_last_not_of(' ');
  return first == std::string::npos ? "" : name.substr(first, last - first + 1);
}

}  // namespace

int main() {
  std::cout << "// Made by measure_list from measures/catalogue.h; do not edit.\n";
  for (const MeasureKeyword& k : kMeasureKeywords) {
    const std::string_view kind =
        k.code >= 0 ? kindName(kMeasures[static_cast<std::size_t>(k.code)].kind) : "";
    const std::string_view family =
        k.code >= 0 ? familyName(kMeasures[static_cast<std::size_t>(k.code)].family)
                    : "transformation";
    std::cout << "{\"" << k.word.trimmed() << "\", " << k.code << ", \"" << family << "\", \""
              << kind << "\", \"" << parameterText(k) << "\", \"" << printedName(k) << "\"},\n";
  }
  return 0;
}
