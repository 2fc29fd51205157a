#include "engine/data/data_commands.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <memory>
#include <string>

#include "engine/core/activity.h"
#include "engine/core/commands.h"
#include "engine/core/session.h"
#include "engine/data/csv_dataset.h"
#include "engine/data/csv_export.h"
#include "engine/data/number_text.h"
#include "engine/data/schema.h"
#include "engine/data/variable_list.h"

namespace engine {

namespace {

using data::parseVariableList;

constexpr std::size_t kMaxSplitVariables = 8;

Dictionary& requireData(Session& session, const Args& args) {
  skipWithoutLoadedData(session);
  if (!session.dataset) {
    args.fail("There are no working data yet: LOAD a CSV file or give INLINE data first.");
  }
  return session.dataset->dictionary;
}

// New working data drop the settings that named the old data's variables.
void replaceWorkingData(Session& session, std::shared_ptr<data::CsvDataset> dataset) {
  session.message(1, "The working data are now " +
                         data::countOf(dataset->caseCount(), "case", "cases") + " of " +
                         data::countOf(static_cast<std::int64_t>(dataset->dictionary.size()),
                                       "variable", "variables") +
                         " from " + dataset->source() + data::dialectRemark(dataset->findings()) +
                         ".");
  for (const std::string& note : data::loadNotes(dataset->findings())) session.message(1, note);
  session.dataset = std::move(dataset);
  session.failedLoad.clear();
  session.split = SplitSettings{};
  session.weightVariable = 0;
}

bool atClauseEnd(const Args& args) { return args.atEnd() || args.nextIsDelim(kDelimSlash); }

// After one clause of a command: the end, or "/" and another clause.
bool anotherClause(Args& args) {
  if (args.atEnd()) return false;
  args.expectDelim(kDelimSlash, "\"/\" or the end of the command");
  return true;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

char parseSeparator(Args& args) {
  const std::string usage =
      "SEPARATOR takes AUTO, COMMA, SEMICOLON, TAB, BAR or one character in quotes (\";\")";
  if (!args.atEnd() && args.peek().cls == kTokenString) {
    const std::string text = args.expectString();
    if (text.size() != 1 || !data::isUsableSeparator(text[0])) {
      args.fail(usage + "; \"" + text +
                "\" is not one character other than a letter, digit, quote or blank.");
    }
    return text[0];
  }
  if (args.atEnd() || args.peek().cls != kTokenName) args.fail(usage + ".");
  const std::string word = upper(args.peek().text);
  const struct {
    const char* word;
    char separator;
  } words[] = {{"AUTO", 0}, {"COMMA", ','}, {"SEMICOLON", ';'}, {"TAB", data::kTab}, {"BAR", '|'}};
  for (const auto& [name, separator] : words) {
    if (word == name) {
      args.next();
      return separator;
    }
  }
  args.fail(usage + ", not " + args.peek().text + ".");
}

char parseDecimal(Args& args) {
  if (args.nextIsWord("POINT") || args.nextIsWord("COMMA")) {
    return upper(args.next().text) == "POINT" ? '.' : ',';
  }
  args.fail("DECIMAL takes POINT or COMMA.");
}

std::vector<std::string> parseMissingTexts(Args& args) {
  std::vector<std::string> texts;
  while (!atClauseEnd(args)) {
    if (args.peek().cls != kTokenString) {
      args.fail("MISSING takes texts in quotes, as in /MISSING = \"\" \"NA\" \"-\", not " +
                args.peek().text + ".");
    }
    texts.push_back(args.expectString());
  }
  if (texts.empty()) {
    args.fail("MISSING needs at least one text in quotes, as in /MISSING = \"\" \"NA\".");
  }
  return texts;
}

// The subcommands LOAD and INLINE share: /SEPARATOR, /DECIMAL, /MISSING, each
// at most once and in any order, "=" optional.
data::CsvDialect parseDialect(Args& args, std::string_view command) {
  data::CsvDialect dialect;
  std::vector<std::string> seen;
  while (!args.atEnd()) {
    args.expectDelim(kDelimSlash, "\"/\" and a subcommand, or the end of the command");
    if (args.atEnd() || args.peek().cls != kTokenName) {
      args.fail(std::string(command) + " takes the subcommands SEPARATOR, DECIMAL and MISSING.");
    }
    const std::string word = upper(args.peek().text);
    if (word != "SEPARATOR" && word != "DECIMAL" && word != "MISSING") {
      args.fail("Unknown " + std::string(command) + " subcommand " + args.peek().text +
                ": use SEPARATOR, DECIMAL or MISSING.");
    }
    if (std::find(seen.begin(), seen.end(), word) != seen.end()) {
      args.fail(word + " is given twice.");
    }
    seen.push_back(word);
    args.next();
    if (args.nextIsDelim(kDelimEquals)) args.next();
    if (word == "SEPARATOR") {
      dialect.separator = parseSeparator(args);
    } else if (word == "DECIMAL") {
      dialect.decimal = parseDecimal(args);
    } else {
      dialect.missingTexts = parseMissingTexts(args);
    }
    if (!atClauseEnd(args)) {
      args.fail("The " + word + " subcommand should end before " + args.peek().text + ".");
    }
  }
  return dialect;
}

// Runs a LOAD or INLINE; when it fails, the commands that need data are
// skipped until data load (see skipWithoutLoadedData).
template <class Load>
void loadingData(Session& session, Args& args, const Load& load) {
  try {
    load();
  } catch (...) {
    session.failedLoad =
        upper(args.command().tokens.front().text) + " at " + session.sourceLocation;
    throw;
  }
}

void loadFile(Session& session, Args& args) {
  loadingData(session, args, [&] {
    if (args.atEnd() || args.peek().cls != kTokenString) {
      args.fail("Give the file name in quotes, as in LOAD \"cars.csv\".");
    }
    const std::string path = args.expectString();
    const data::CsvDialect dialect = parseDialect(args, "LOAD");
    std::shared_ptr<data::CsvDataset> dataset;
    const Activity step("loading " + path);
    try {
      dataset = std::make_shared<data::FileDataset>(path, dialect);
    } catch (const DataError& e) {
      args.fail(e.what());
    }
    replaceWorkingData(session, std::move(dataset));
  });
}

void loadInline(Session& session, Args& args) {
  loadingData(session, args, [&] {
    const data::CsvDialect dialect = parseDialect(args, "INLINE");
    std::shared_ptr<data::CsvDataset> dataset;
    try {
      dataset = std::make_shared<data::InlineDataset>(args.command().inlineLines, dialect);
    } catch (const DataError& e) {
      args.fail(e.what());
    }
    replaceWorkingData(session, std::move(dataset));
  });
}

double rangeEnd(Args& args, std::string_view infinityWord, double infinity) {
  if (args.nextIsWord(infinityWord)) {
    args.next();
    return infinity;
  }
  if (args.atEnd() || args.peek().cls != kTokenNumber) {
    args.fail("RANGE needs two numbers (or LOWEST, HIGHEST), as in RANGE 0 5.");
  }
  return args.expectNumber();
}

MissingValues parseNumericMissing(Args& args) {
  MissingValues result;
  while (!atClauseEnd(args)) {
    if (args.nextIsWord("RANGE")) {
      args.next();
      if (result.range) args.fail("A variable has at most one RANGE of missing values.");
      const double low = rangeEnd(args, "LOWEST", -std::numeric_limits<double>::max());
      const double high = rangeEnd(args, "HIGHEST", std::numeric_limits<double>::max());
      if (low > high) args.fail("RANGE needs the low end first.");
      result.range = std::pair{low, high};
    } else if (args.peek().cls == kTokenNumber) {
      result.values.push_back(args.expectNumber());
    } else {
      args.fail("Numeric variables take numbers and RANGE low high as missing values, not \"" +
                args.peek().text + "\".");
    }
  }
  return result;
}

MissingValues parseStringMissing(Args& args, int narrowestWidth) {
  MissingValues result;
  while (!atClauseEnd(args)) {
    if (args.peek().cls != kTokenString) {
      args.fail("String variables take quoted values as missing values, not \"" + args.peek().text +
                "\".");
    }
    std::string value = args.expectString();
    if (value.size() > static_cast<std::size_t>(narrowestWidth)) {
      args.fail("The missing value \"" + value + "\" is wider than the variable (" +
                std::to_string(narrowestWidth) + ").");
    }
    result.strings.push_back(std::move(value));
  }
  return result;
}

// The values after "=" for the listed variables, which must all be numeric
// or all be strings.
MissingValues parseMissingValues(Args& args, const Dictionary& dictionary,
                                 const std::vector<std::int64_t>& list) {
  int narrowest = 0;
  std::size_t strings = 0;
  for (std::int64_t index : list) {
    const Variable& v = dictionary.at(index);
    if (!v.isString()) continue;
    ++strings;
    narrowest = strings == 1 ? v.width : std::min(narrowest, v.width);
  }
  if (strings != 0 && strings != list.size()) {
    args.fail("List numeric and string variables in separate parts, divided by \"/\".");
  }
  if (args.nextIsWord("NONE")) {
    args.next();
    if (!atClauseEnd(args)) args.fail("NONE stands alone: it clears the missing values.");
    return {};
  }
  if (atClauseEnd(args)) args.fail("Give the missing values after \"=\", or NONE to clear them.");
  return strings != 0 ? parseStringMissing(args, narrowest) : parseNumericMissing(args);
}

void declareMissing(Session& session, Args& args) {
  if (!args.nextIsWord("MISSING")) args.fail("Expected DECLARE MISSING.");
  args.next();
  Dictionary& dictionary = requireData(session, args);
  std::vector<std::pair<std::int64_t, MissingValues>> changes;
  do {
    const auto list = parseVariableList(args, dictionary);
    args.expectDelim(kDelimEquals, "\"=\" after the variable list");
    const MissingValues values = parseMissingValues(args, dictionary, list);
    for (std::int64_t index : list) changes.emplace_back(index, values);
  } while (anotherClause(args));
  for (auto& [index, values] : changes) dictionary.at(index).missing = std::move(values);
}

void label(Session& session, Args& args) {
  Dictionary& dictionary = requireData(session, args);
  std::vector<std::pair<std::int64_t, std::string>> changes;
  do {
    const std::string name = args.expectName();
    const std::int64_t index = dictionary.find(name);
    if (index == 0) args.fail("There is no variable named " + name + ".");
    args.expectDelim(kDelimEquals, "\"=\" after the variable name");
    changes.emplace_back(index, args.expectString());
  } while (anotherClause(args));
  for (auto& [index, text] : changes) dictionary.at(index).label = std::move(text);
}

void group(Session& session, Args& args) {
  if (args.nextIsWord("OFF")) {
    args.next();
    args.expectEnd();
    session.split = SplitSettings{};
    return;
  }
  if (!args.nextIsWord("BY")) args.fail("Expected GROUP BY variables or GROUP OFF.");
  args.next();
  const Dictionary& dictionary = requireData(session, args);
  SplitSettings split;
  split.variables = parseVariableList(args, dictionary, {"LAYERED"});
  if (args.nextIsWord("LAYERED")) {
    args.next();
    split.layered = true;
  }
  args.expectEnd();
  if (split.variables.size() > kMaxSplitVariables) {
    args.fail("At most 8 variables can define the groups.");
  }
  session.split = std::move(split);
}

void caseWeight(Session& session, Args& args) {
  if (!args.nextIsWord("WEIGHT")) args.fail("Expected CASE WEIGHT variable or CASE WEIGHT OFF.");
  args.next();
  if (args.nextIsWord("OFF")) {
    args.next();
    args.expectEnd();
    session.weightVariable = 0;
    return;
  }
  const Dictionary& dictionary = requireData(session, args);
  const std::string name = args.expectName();
  args.expectEnd();
  const std::int64_t index = dictionary.find(name);
  if (index == 0) args.fail("There is no variable named " + name + ".");
  if (dictionary.at(index).isString()) args.fail("The weight variable must be numeric.");
  session.weightVariable = index;
}

void exportData(Session& session, Args& args) {
  if (args.atEnd() || args.peek().cls != kTokenString) {
    args.fail("Give the file name in quotes, as in EXPORT \"result.csv\".");
  }
  const std::string path = args.expectString();
  args.expectEnd();
  requireData(session, args);
  std::int64_t count = 0;
  const Activity step("writing " + path);
  try {
    count = data::exportDataset(*session.dataset, path);
  } catch (const DataError& e) {
    args.fail(e.what());
  }
  session.message(1, "Wrote " + data::countOf(count, "case", "cases") + " to " + path + " and " +
                         data::sidecarPath(path).string() + ".");
}

}  // namespace

void registerDataCommands() {
  registerCommand("LOAD", 4, loadFile,
                  "LOAD \"file.csv\" [/SEPARATOR=AUTO|COMMA|SEMICOLON|TAB|BAR|\"c\"] "
                  "[/DECIMAL=POINT|COMMA] [/MISSING=\"text\" ...]");
  registerCommand("INLINE", 6, loadInline,
                  "INLINE [/subcommands of LOAD]. CSV lines, header first ... END INLINE.");
  registerCommand("DECLARE", 7, declareMissing,
                  "DECLARE MISSING varlist = values|RANGE low high|NONE [/ varlist = ...]");
  registerCommand("LABEL", 5, label, "LABEL var = \"text\" [/ var = \"text\" ...]");
  registerCommand("GROUP", 5, group, "GROUP BY varlist [LAYERED] | GROUP OFF");
  registerCommand("CASE", 4, caseWeight, "CASE WEIGHT var | CASE WEIGHT OFF");
  registerCommand("EXPORT", 6, exportData, "EXPORT \"file.csv\"");
}

}  // namespace engine
