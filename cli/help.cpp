#include "cli/help.h"

#include <algorithm>
#include <memory>
#include <span>
#include <sstream>
#include <string_view>
#include <vector>

#include "engine/engine.h"

namespace cli {

const ProcedureCommand kProximitiesCommand = {
    "PROXIMITIES", 4,
    "PROXIMITIES varlist [/VIEW=CASE|VARIABLE] [/MEASURE=measure [ABSOLUTE] [REVERSE] "
    "[RESCALE]] [/STANDARDIZE=[VARIABLE|CASE] Z|SD|RANGE|MAX|MEAN|RESCALE|NONE] "
    "[/MISSING=EXCLUDE|INCLUDE] [/PRINT=PROXIMITIES|NONE] [/ID=var] "
    "[/MATRIX=IN(\"file\"|*) OUT(\"file\"|*)|NONE]"};

namespace {

constexpr std::size_t kWidth = 80;

// One row of the measure catalogue, as the build writes it (measure_list).
struct MeasureRow {
  std::string_view entry;
  int code;
  std::string_view family;
  std::string_view kind;
  std::string_view parameters;
  std::string_view name;
};

constexpr MeasureRow kMeasureRows[] = {
#include "measure_rows.inc"
};

// The words of `text` on lines of at most `width` columns, each line after the
// first indented by `indent` blanks; a word longer than a line gets its own.
std::string wrapped(std::string_view text, std::size_t width, std::size_t indent = 0) {
  std::istringstream words{std::string(text)};
  std::string out;
  std::size_t column = 0;
  for (std::string word; words >> word;) {
    if (column > indent && column + 1 + word.size() > width) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (!out.empty()) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
  }
  return out;
}

// CLI11's layout with the texts wrapped to the terminal's usual 80 columns.
class WrappingFormatter : public CLI::Formatter {
 public:
  WrappingFormatter() { column_width(kOptionColumn); }
  std::string make_description(const CLI::App* app) const override {
    return wrapped(app->get_description(), kWidth) + "\n\n";
  }
  std::string make_option_desc(const CLI::Option* option) const override {
    return wrapped(CLI::Formatter::make_option_desc(option), kWidth - kOptionColumn);
  }

 private:
  static constexpr std::size_t kOptionColumn = 24;
};

void writeCommand(std::ostream& out, const std::string& word, std::size_t minLetters,
                  const std::string& synopsis) {
  std::string text = synopsis;
  if (minLetters < word.size()) text += "   (shortest form " + word.substr(0, minLetters) + ")";
  out << "  " << wrapped(text, kWidth - 2, 4) << '\n';
}

void writeCommands(std::ostream& out) {
  out << "Commands (in command files and -e; each ends with a period):\n";
  const std::string procedure = kProximitiesCommand.word;
  for (const engine::CommandSynopsis& c : engine::commandSynopses()) {
    if (c.synopsis.empty() || c.word == procedure) continue;
    writeCommand(out, c.word, c.minLetters, c.synopsis);
  }
  writeCommand(out, procedure, kProximitiesCommand.minLetters, kProximitiesCommand.synopsis);
}

std::string keywordText(const MeasureRow& row, bool showParameters) {
  std::string text(engine::spelledKeyword(row.entry));
  if (showParameters) text += row.parameters;
  return text;
}

// The heading of a family; its parameters go there when all its rows take
// the same (the binary measures' present and absent values).
bool sameParameters(std::span<const MeasureRow> rows) {
  for (const MeasureRow& row : rows) {
    if (row.parameters != rows.front().parameters) return false;
  }
  return true;
}

void writeFamily(std::ostream& out, std::string_view heading, std::string_view family) {
  std::vector<MeasureRow> rows;
  for (const MeasureRow& row : kMeasureRows) {
    if (row.family == family) rows.push_back(row);
  }
  if (rows.empty()) return;
  const bool shared = sameParameters(rows) && !rows.front().parameters.empty();
  out << "  " << heading;
  if (shared) out << ", each taking " << rows.front().parameters;
  out << ":\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string line(4, ' ');
    line += keywordText(rows[i], !shared);
    // The keywords of one measure with the same parameters share a line.
    while (i + 1 < rows.size() && rows[i + 1].code == rows[i].code &&
           rows[i + 1].parameters == rows[i].parameters) {
      line += ", ";
      line += keywordText(rows[++i], !shared);
    }
    line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
    line += rows[i].name;
    line.resize(std::max<std::size_t>(line.size() + 1, 66), ' ');
    line += rows[i].kind;
    out << line.substr(0, line.find_last_not_of(' ') + 1) << '\n';
  }
}

void writeMeasures(std::ostream& out) {
  out << "Measures, for /MEASURE= (a keyword may be shortened to three letters or more):\n";
  writeFamily(out, "for interval data", "interval");
  writeFamily(out, "for frequency counts", "counts");
  writeFamily(out, "for binary data", "binary");
  writeFamily(out, "for a matrix read with /MATRIX=IN", "none");
  out << "  applied after the measure:";
  for (const MeasureRow& row : kMeasureRows) {
    if (row.family == "transformation") out << ' ' << keywordText(row, false);
  }
  out << '\n';
}

}  // namespace

void setUpHelp(CLI::App& app) {
  app.name("proximities");  // not the path it was started by
  app.formatter(std::make_shared<WrappingFormatter>());
  app.footer(helpFooter);
}

std::string helpFooter() {
  std::ostringstream out;
  writeCommands(out);
  out << '\n';
  writeMeasures(out);
  out << "\nExit status: 0 success, 1 an error was shown, 2 a mistake on the command line,\n"
         "130 interrupted by Ctrl-C. The manual: man proximities.";
  return out.str();
}

}  // namespace cli
