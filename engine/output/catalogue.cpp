#include "engine/output/catalogue.h"

#include <array>
#include <string>
#include <utility>

namespace engine::output {

namespace {

// The procedure names some messages by a code rather than by their wording;
// these are the plain-English texts shown for them. Composite templates keep
// their parameters ("[...]1" is the split group's variable = value list).
constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kTranslations = {{
    {"E14730", "Too few valid cases or variables to compute proximities; no matrix is computed."},
    {"E14730 split [%1 = %2:, ^1 = ^2:]1...",
     "Too few valid cases or variables to compute proximities in the group "
     "[%1 = %2:, ^1 = ^2:]1; the group is skipped."},
    {"E14756", "The input matrix has missing proximities."},
    {"E14756 split [%1 = %2:, ^1 = ^2:]1...",
     "The input matrix has missing proximities in the group [%1 = %2:, ^1 = ^2:]1."},
}};

// Short texts of the measure label: the three transformation prefixes and the
// note added when the matrix itself is not shown.
constexpr std::array<std::pair<std::int64_t, std::string_view>, 4> kNumberedTexts = {{
    {14701, "Rescaled"},
    {14702, "Reversed"},
    {14703, "Absolute"},
    {14704, "(matrix not printed)"},
}};

// Messages of the matrix-file services, numbered by the procedure that asks
// for them (MTXMAP); ^1 is a variable name.
constexpr std::array<std::pair<std::int64_t, std::string_view>, 2> kNumberedMessages = {{
    {14742,
     "^1 is not a proximity variable of the matrix file: the proximities are the variables "
     "after VARNAME_."},
    {14743, "The proximity variable ^1 of the matrix file holds text, not numbers."},
}};

}  // namespace

std::string translate(std::string_view text) {
  std::string_view key = text;
  while (!key.empty() && (key.back() == ' ' || key.back() == '\0')) key.remove_suffix(1);
  for (const auto& [from, to] : kTranslations) {
    if (from == key) return std::string(to);
  }
  return std::string(text);
}

std::string_view catalogueText(std::int64_t number) {
  for (const auto& [n, text] : kNumberedTexts) {
    if (n == number) return text;
  }
  return {};
}

std::string numberedMessage(std::int64_t number, std::string_view parameter) {
  for (const auto& [n, text] : kNumberedMessages) {
    if (n != number) continue;
    std::string message(text);
    if (const auto at = message.find("^1"); at != std::string::npos) {
      message.replace(at, 2, parameter);
    }
    return message;
  }
  return std::to_string(number);
}

}  // namespace engine::output
