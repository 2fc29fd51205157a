#include "engine/data/matrix_sidecar.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/data/schema.h"

namespace engine::data {

namespace {

using ordered_json = nlohmann::ordered_json;

// What the proximity label records, by its columns: 10 on the kind of values,
// 24 "A" for absolute values, 29 on the measure text (keyword, parameters,
// then RES, REV and ABS).
struct LabelWords {
  std::string kind;
  bool absolute = false;
  std::vector<std::string> measure;  // words and parentheses
};

LabelWords readLabel(std::string_view label) {
  LabelWords words;
  auto upper = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string kind =
      upper(std::string(label.substr(std::min<std::size_t>(9, label.size()), 13)));
  if (kind.starts_with("DISSIMILARITY")) {
    words.kind = "dissimilarity";
  } else if (kind.starts_with("SIMILARITY")) {
    words.kind = "similarity";
  }
  words.absolute = label.size() > 23 && std::toupper(static_cast<unsigned char>(label[23])) == 'A';
  if (label.size() <= 28) return words;
  std::string text(label.substr(28));
  for (char& c : text) {
    if (c == '(' || c == ')' || c == ',') c = ' ';
  }
  std::istringstream in(text);
  for (std::string word; in >> word;) words.measure.push_back(upper(word));
  return words;
}

ordered_json parameterJson(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size() && std::isfinite(value)) {
    return value;
  }
  return text;
}

ordered_json describe(const LabelWords& label, bool cases, const ProximityRequest& request) {
  std::string keyword = request.matrixIn ? std::string("EUCLID") : request.measureKeyword;
  std::vector<std::string> parameters =
      request.matrixIn ? std::vector<std::string>{} : request.measureParameters;
  bool rescale = false, reverse = false, absolute = false;
  bool measureRead = false;
  for (const std::string& word : label.measure) {
    if (word == "RES") {
      rescale = true;
    } else if (word == "REV") {
      reverse = true;
    } else if (word == "ABS") {
      absolute = true;
    } else if (!measureRead && !measureKeyword(word).empty()) {
      keyword = measureKeyword(word);  // the label is what the file's values were made with
      parameters.clear();
      measureRead = true;
    } else if (measureRead) {
      parameters.push_back(word);
    }
  }
  ordered_json m;
  ordered_json measure;
  measure["keyword"] = keyword;
  measure["parameters"] = ordered_json::array();
  for (const std::string& p : parameters) measure["parameters"].push_back(parameterJson(p));
  measure["name"] = std::string(measureName(keyword));
  m["measure"] = measure;
  m["kind"] = label.kind.empty() ? std::string(measureKind(keyword)) : label.kind;
  m["absolute"] = label.absolute;
  m["view"] = cases ? "case" : "variable";
  if (request.standardization && !request.matrixIn) {
    m["standardization"] = {{"method", request.standardization->method},
                            {"direction", request.standardization->direction}};
  } else {
    m["standardization"] = nullptr;
  }
  m["transformations"] = ordered_json::array();
  if (absolute) m["transformations"].push_back("absolute");
  if (reverse) m["transformations"].push_back("reverse");
  if (rescale) m["transformations"].push_back("rescale");
  return m;
}

}  // namespace

std::string matrixSidecarText(const Dictionary& dictionary, std::string_view proximityLabel,
                              bool cases, const std::vector<MatrixGroupItems>& groups,
                              const ProximityRequest& request) {
  ordered_json document = ordered_json::parse(schemaText(dictionary));
  ordered_json m = describe(readLabel(proximityLabel), cases, request);
  m["groups"] = ordered_json::array();
  for (const MatrixGroupItems& g : groups) {
    ordered_json group;
    group["split"] = ordered_json::array();
    for (const auto& [variable, value] : g.split) {
      group["split"].push_back({{"variable", variable}, {"value", value}});
    }
    group["labels"] = g.labels;
    m["groups"].push_back(group);
  }
  document["matrix"] = m;
  return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace engine::data
