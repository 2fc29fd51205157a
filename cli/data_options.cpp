#include "cli/data_options.h"

#include <cctype>

namespace {

// A text in double quotes for the command language.
std::string quoted(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    result += c;
    if (c == '"') result += '"';
  }
  return result + "\"";
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The /SEPARATOR value: a keyword, or the one character in quotes.
std::optional<std::string> separatorValue(const std::string& given) {
  const std::string word = lower(given);
  for (const char* keyword : {"auto", "comma", "semicolon", "tab", "bar"}) {
    if (word == keyword) {
      std::string upper = word;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return upper;
    }
  }
  if (given.size() == 1) return quoted(given);  // LOAD checks the character itself
  return std::nullopt;
}

}  // namespace

void addDataOptions(CLI::App& app, DataOptions& options) {
  app.add_option("--data", options.data,
                 "load this CSV file as the working data first ('-' for standard input)");
  app.add_option("--separator", options.separator,
                 "field separator of the --data file: auto (found from its first lines; the "
                 "default), comma, semicolon, tab, bar, or one character");
  app.add_option("--decimal", options.decimal, "decimal mark of the --data file: point or comma")
      ->check(CLI::IsMember({"point", "comma"}, CLI::ignore_case));
  app.add_option("--missing", options.missing,
                 "a field text that means no value in the --data file (repeatable; default: the "
                 "empty field and NA)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false);  // one text each time: a FILE after it stays a FILE
}

std::optional<std::string> dataOptionsError(const DataOptions& options,
                                            bool commandsFromStandardInput) {
  if (options.data.empty() &&
      (!options.separator.empty() || !options.decimal.empty() || !options.missing.empty())) {
    return "--separator, --decimal and --missing describe the --data file; give --data too";
  }
  if (!options.separator.empty() && !separatorValue(options.separator)) {
    return "--separator takes auto, comma, semicolon, tab, bar or one character, not \"" +
           options.separator + "\"";
  }
  if (options.data == "-" && commandsFromStandardInput) {
    return "--data - reads the data from standard input, so the commands cannot come from "
           "there too: give them in a FILE or with -e";
  }
  return std::nullopt;
}

std::string loadCommand(const DataOptions& options) {
  std::string command = "LOAD " + quoted(options.data);
  if (!options.separator.empty()) command += " /SEPARATOR=" + *separatorValue(options.separator);
  if (!options.decimal.empty()) {
    command += lower(options.decimal) == "comma" ? " /DECIMAL=COMMA" : " /DECIMAL=POINT";
  }
  if (!options.missing.empty()) {
    command += " /MISSING=";
    for (std::size_t k = 0; k < options.missing.size(); ++k) {
      command += (k > 0 ? " " : "") + quoted(options.missing[k]);
    }
  }
  return command + ".";
}
