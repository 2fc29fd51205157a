// What the engine reads of a PROXIMITIES command for the descriptions it adds
// beside the procedure's own output: the JSON matrix object and the words of
// a matrix file's sidecar. The procedure tells the engine its results through
// the output builder (the table's measure label and its footnote) and the
// matrix file's label; neither says how the data were standardized, and the
// label's measure text is empty when the command named no measure. Those come
// from the command as the user typed it, read here with the procedure's
// keyword rules (a keyword may be shortened to its first three letters).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct Token;

struct Standardization {
  std::string method;     // "Z", "SD", "RANGE", "MAX", "MEAN", "RESCALE"
  std::string direction;  // "variable" or "case"
};

struct ProximityRequest {
  std::string measureKeyword = "EUCLID";       // the whole keyword
  std::vector<std::string> measureParameters;  // as typed, "3", "2"
  std::vector<std::string>
      transformations;  // "absolute", "reverse", "rescale", in the order applied
  std::optional<Standardization> standardization;  // none without STANDARDIZE or with NONE
  bool viewVariables = false;
  bool matrixIn = false;
};

// Reads the command text ("PROXIMITIES x y /MEASURE=MINK(3) RESCALE.").
// Words it does not know are passed over: the procedure has already judged
// the command, and this reading only describes what it did.
ProximityRequest readProximityRequest(std::string_view commandText);
// The same of the scanned command (Session::commandTokens).
ProximityRequest readProximityRequest(const std::vector<Token>& tokens);

// The whole keyword a measure word stands for ("EUC" -> "EUCLID", "DEF" ->
// "DEFAULT"); empty when it names no measure.
std::string measureKeyword(std::string_view word);

// The measure's name as the printed matrix shows it, without parameters and
// prefixes ("Euclidean Distance"); empty for an unknown keyword.
std::string_view measureName(std::string_view keyword);

// "similarity" or "dissimilarity": what the measure gives before any
// transformation; empty for an unknown keyword.
std::string_view measureKind(std::string_view keyword);

}  // namespace engine
