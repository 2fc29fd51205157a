// The engine's data layer: CSV loading and type inference, the JSON sidecar,
// EXPORT, the data commands, and the case reader's split-group protocol.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "engine/core/session.h"
#include "engine/data/number_text.h"
#include "engine/services/case_reader.h"
#include "host/tavixwlib.h"
#include "tests/unit/support/test_host.h"

namespace {

namespace fs = std::filesystem;
using engine::Session;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr double kSysmis = std::numeric_limits<double>::lowest();

// ---- a procedure that logs what the case reader delivers -----------------

struct PassLog {
  int passes = 1;
  std::vector<std::string> lines;   // one per pass
  std::vector<double> firstValues;  // the first variable of every case read
  std::vector<std::string> titles;  // split values at the first case of each group
};

PassLog& passLog() {
  static PassLog log;
  return log;
}

std::string groupTitle() {
  std::string title;
  for (const auto& [index, text] : engine::currentGroupSplitValues()) {
    if (!title.empty()) title += "/";
    title += text;
  }
  return title;
}

// Each pass becomes a line: "N" for case N, "N*W" when its weight W is not 1,
// "|" for end of group, "." for end of data (checked to stay set on one more
// call), "!" for end of data with the error flag set.
void logPasses(ProxWorkspace& ws) {
  PassLog& log = passLog();
  log.lines.clear();
  log.firstValues.clear();
  log.titles.clear();
  HostGlobal& global = Session::current().global;
  OBINIT(ws);
  for (int pass = 0; pass < log.passes && !isTrue(global.errorFlag); ++pass) {
    OBPINI(ws);
    std::string line;
    bool groupStart = true;
    for (int guard = 0; guard < 1000; ++guard) {
      OBSERV(ws);
      if (isTrue(global.endOfData)) {
        const bool failed = isTrue(global.errorFlag);
        OBSERV(ws);
        const bool stays = isTrue(global.endOfData) && !isTrue(global.endOfGroup);
        line += failed ? "!" : stays ? "." : "?";
        break;
      }
      if (isTrue(global.endOfGroup)) {
        line += "| ";
        groupStart = true;
        continue;
      }
      if (groupStart) log.titles.push_back(groupTitle());
      groupStart = false;
      line += std::to_string(global.caseSequence);
      if (global.caseWeight != 1.0) {
        line += '*';
        line += engine::data::formatNumber(global.caseWeight);
      }
      line += " ";
      log.firstValues.push_back(Session::current().currentCase.values[0]);
    }
    OBPEND(ws);
    log.lines.push_back(line);
  }
}

std::vector<engine::Case> readAllCases() {
  std::vector<engine::Case> cases;
  auto cursor = Session::current().dataset->open();
  engine::Case c;
  while (cursor->next(c)) cases.push_back(c);
  return cases;
}

class EngineData : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_host::engineForTests().registerProcedure("PASSLOG", 7, &logPasses);
    passLog().passes = 1;
    dir_ = fs::temp_directory_path() / ("prox_engine_data_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  // Leave no working data behind for the tests that follow.
  void TearDown() override {
    Session& session = Session::current();
    session.dataset.reset();
    session.split = {};
    session.weightVariable = 0;
    session.failedLoad.clear();
    fs::remove_all(dir_);
  }

  fs::path write(const std::string& name, std::string_view content) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(content.data(), std::streamsize(content.size()));
    return path;
  }
  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static std::string run(const std::string& commands) { return testing_host::run(commands); }
  static std::string load(const fs::path& path) { return run("LOAD \"" + path.string() + "\".\n"); }
  static std::string inlineData(const std::string& lines) {
    return run("INLINE.\n" + lines + "END INLINE.\n");
  }
  static std::string passes() {
    run("PASSLOG.\n");
    std::string all;
    for (const std::string& line : passLog().lines) all += (all.empty() ? "" : " / ") + line;
    return all;
  }
  static engine::Dictionary& dictionary() { return Session::current().dictionary(); }
  static const engine::Variable& var(std::string_view name) {
    return dictionary().at(dictionary().find(name));
  }

  fs::path dir_;
};

// Rewrites the file with content of the same size and gives it back its
// modification time, so that only reading it can tell it changed.
void rewriteUnnoticed(const fs::path& path, std::string_view content) {
  ASSERT_EQ(fs::file_size(path), content.size());
  const auto modified = fs::last_write_time(path);
  std::fstream(path, std::ios::binary | std::ios::in | std::ios::out)
      .write(content.data(), std::streamsize(content.size()));
  fs::last_write_time(path, modified);
}

// ---- loading CSV ------------------------------------------------------------

TEST_F(EngineData, InfersNumericAndStringColumnsFromTheWholeFile) {
  const auto path = write("types.csv",
                          "num,text,mixed,blank,quoted,signed,odd\n"
                          "1,abc,1,,\"2\",+3,inf\n"
                          "2.5,de,x,,\"3\",-4e2,nan\n"
                          ",,,,\"\",1,1e999\n");
  ASSERT_THAT(load(path), HasSubstr("3 cases of 7 variables"));
  EXPECT_EQ(var("num").width, 0);
  EXPECT_EQ(var("text").width, 3);   // longest value
  EXPECT_EQ(var("mixed").width, 1);  // one text field makes the column text
  EXPECT_EQ(var("blank").width, 0);  // no field at all contradicts a number
  EXPECT_EQ(var("quoted").width, 0);
  EXPECT_EQ(var("signed").width, 0);
  EXPECT_EQ(var("odd").width, 5);  // infinite and out-of-range numbers are text

  const auto cases = readAllCases();
  ASSERT_EQ(cases.size(), 3u);
  EXPECT_EQ(cases[0].values[0], 1.0);
  EXPECT_EQ(cases[1].values[0], 2.5);
  EXPECT_EQ(cases[2].values[0], kSysmis);
  EXPECT_EQ(cases[1].strings[1], "de ");  // padded to the width
  EXPECT_EQ(cases[2].strings[1], "   ");  // empty text field: blanks
  EXPECT_EQ(cases[2].values[3], kSysmis);
  EXPECT_EQ(cases[0].values[4], 2.0);
  EXPECT_EQ(cases[2].values[4], kSysmis);
  EXPECT_EQ(cases[0].values[5], 3.0);
  EXPECT_EQ(cases[1].values[5], -400.0);
}

TEST_F(EngineData, HeaderOnlyFileHasNoCasesAndByteOrderMarkIsSkipped) {
  ASSERT_THAT(load(write("empty.csv",
                         "\xEF\xBB\xBF"
                         "a,b\n\n")),
              HasSubstr("0 cases of 2"));
  EXPECT_EQ(dictionary().variables()[0].name, "a");
  EXPECT_EQ(passes(), ".");
  run("GROUP BY a.\n");
  EXPECT_EQ(passes(), ".");
}

TEST_F(EngineData, MalformedFilesAreRefusedAndTheWorkingDataStay) {
  ASSERT_THAT(load(PROX_SOURCE_DIR "/tests/data/animals.csv"), HasSubstr("20 cases"));
  run("GROUP BY war.\nCASE WEIGHT fly.\n");
  Session& session = Session::current();
  const auto before = session.dataset;
  const struct {
    std::string content;
    std::string message;
  } bad[] = {
      {"a,b\n1,2\n3,4,5\n", "line 3: the row has 3 fields but the header has 2"},
      {"a,b\n1,2\n3\n", "line 3: the row has 1 field but the header has 2"},
      {"a,b\n1,\"x\"y\n", "line 2: bad quoting"},
      {"a,b\n1,x\"y\n", "line 2: bad quoting"},
      {"a,b\n1,2\n3,\"abc\n4,5\n", "line 3: a quoted field of the record starting here is never"},
      {"a,b\n1,caf\xE9\n", "line 2: the text is not valid UTF-8"},
      {"a,b\n1,\xC0\xAF\n", "line 2: the text is not valid UTF-8"},  // overlong '/'
      {std::string("\xFF\xFE"
                   "a\0,\0b\0",
                   8),
       "UTF-16"},
      {std::string("a,b\n1,\0\n", 8), "NUL byte"},
      {"", "is empty: it needs a header row"},
      {"\n\n", "is empty: it needs a header row"},
      {"a\n" + std::string(40000, 'x') + "\n", "a field is longer than 32767 bytes"},
  };
  int n = 0;
  for (const auto& [content, message] : bad) {
    const std::string output = load(write("bad" + std::to_string(++n) + ".csv", content));
    EXPECT_THAT(output, HasSubstr(message)) << "file " << n;
    EXPECT_EQ(session.dataset, before) << "file " << n;
  }
  EXPECT_THAT(load(dir_ / "none.csv"), HasSubstr("does not exist"));
  EXPECT_THAT(load(dir_), HasSubstr("is a folder"));
  EXPECT_THAT(run("LOAD cars.\n"), HasSubstr("Give the file name in quotes"));
  EXPECT_EQ(session.dataset, before);
  EXPECT_EQ(session.split.variables, std::vector<std::int64_t>{2});
  EXPECT_EQ(session.weightVariable, 3);
}

TEST_F(EngineData, LineNumbersCountPhysicalLinesAcrossLargeFiles) {
  std::string text = "a,b\n";
  std::int64_t line = 1;
  for (int row = 1; row <= 20000; ++row) {
    text += std::to_string(row) + (row == 100 ? ",\"two\nlines\"\n" : ",\"text\"\n");
    line += row == 100 ? 2 : 1;
  }
  text += "1,2,3\n";  // ragged, far past the first 64 KiB read
  ++line;
  EXPECT_THAT(load(write("big.csv", text)),
              HasSubstr("line " + std::to_string(line) + ": the row has 3 fields"));
}

TEST_F(EngineData, InlineDataReadLikeAFile) {
  ASSERT_THAT(inlineData("x,name\n1,\"a, b\"\n2,c\n"), HasSubstr("2 cases of 2 variables"));
  EXPECT_EQ(Session::current().dataset->source(), "inline data");
  EXPECT_EQ(var("name").width, 4);
  EXPECT_EQ(passes(), "1 2 | .");
  EXPECT_EQ(passLog().firstValues, (std::vector<double>{1, 2}));

  const auto before = Session::current().dataset;
  EXPECT_THAT(inlineData("x,y\n1\n"), HasSubstr("inline data, line 2: the row has 1 field"));
  EXPECT_THAT(inlineData(""), HasSubstr("inline data is empty"));
  EXPECT_EQ(Session::current().dataset, before);
}

// ---- dialects ------------------------------------------------------------------

// The number of times the text occurs in the output.
int occurrences(const std::string& output, const std::string& text) {
  int n = 0;
  for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) ++n;
  return n;
}

TEST_F(EngineData, HeaderTextsBecomeNamesAndStayAsLabels) {
  const auto path = write("h.csv",
                          "first name,Sales (EUR),x,X,2b,,c\n"
                          "Ann,1.5,1,2,3,4,5\n"
                          "Bob,2.5,6,7,8,9,10\n");
  const std::string output = load(path);
  ASSERT_THAT(output, HasSubstr("2 cases of 7 variables"));
  EXPECT_EQ(occurrences(output, "Header texts that are not valid, distinct variable names"), 1);
  EXPECT_THAT(output, HasSubstr("column 1 \"first name\" as first_name, column 2 \"Sales (EUR)\" "
                                "as Sales_EUR, column 4 \"X\" as X_2, column 5 \"2b\" as V2b, "
                                "column 6 (no name) as V6."));
  std::vector<std::string> names;
  for (const auto& v : dictionary().variables()) names.push_back(v.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"first_name", "Sales_EUR", "x", "X_2", "V2b", "V6", "c"}));
  EXPECT_EQ(var("Sales_EUR").label, "Sales (EUR)");
  EXPECT_EQ(var("X_2").label, "X");
  EXPECT_EQ(var("V6").label, "");
  EXPECT_EQ(var("x").label, "");  // kept as it was: no label made
  // Passes check the header as written, not the names made of it.
  EXPECT_EQ(passes(), "1 2 | .");
  run("LABEL Sales_EUR = \"Umsatz\".\n");
  EXPECT_EQ(var("Sales_EUR").label, "Umsatz");

  // A sidecar may name a column by its header text or by its new name.
  write("h.schema.json", R"({"fields": [{"name": "first name", "title": "Given name"},
    {"name": "sales_eur"}, {"name": "x"}, {"name": "X"}, {"name": "2b"}, {"name": "V6"},
    {"name": "c", "type": "string"}]})");
  ASSERT_THAT(load(path), HasSubstr("2 cases of 7 variables"));
  EXPECT_EQ(var("first_name").label, "Given name");
  EXPECT_EQ(var("Sales_EUR").label, "Sales (EUR)");
  EXPECT_EQ(var("c").width, 2);

  // Matrix files keep to the strict rule: their names are the procedure's.
  EXPECT_THAT(load(write("clean.csv", "a,b\n1,2\n")), Not(HasSubstr("Header texts")));
}

TEST_F(EngineData, AnUnnamedFirstColumnIsAStringVariableForTheIds) {
  // pandas' to_csv, and R's write.csv, which quotes every text.
  for (const std::string& text :
       {std::string(",a,b\n0,1,2\n1,3,4\n10,5,6\n"),
        std::string("\"\",\"a\",\"b\"\n\"0\",1,2\n\"1\",3,4\n\"10\",5,6\n")}) {
    const std::string output = load(write("p.csv", text));
    EXPECT_THAT(output, HasSubstr("Column 1 has no name in the header, as when pandas or R write "
                                  "the row names: it is read as the string variable rowname."));
    EXPECT_THAT(output, Not(HasSubstr("Header texts")));
    EXPECT_EQ(var("rowname").width, 2);  // a string, though its values are numbers
    const auto cases = readAllCases();
    ASSERT_EQ(cases.size(), 3u);
    EXPECT_EQ(cases[2].strings[0], "10");
    EXPECT_EQ(cases[0].strings[0], "0 ");
    EXPECT_EQ(cases[1].values[1], 3.0);
  }
}

TEST_F(EngineData, MissingTextsReadAsMissingAndAreCounted) {
  const auto path = write("m.csv",
                          "a,b,s\n"
                          "1,7,x\n"
                          "NA,,NA\n"
                          ",-99,y\n"
                          "4,5,\n");
  std::string output = load(path);
  EXPECT_THAT(output, HasSubstr("Read as missing (the empty field and \"NA\"): 2 values of a, 1 "
                                "value of b, 2 values of s."));
  EXPECT_EQ(var("a").width, 0);
  EXPECT_EQ(var("b").width, 0);
  auto cases = readAllCases();
  EXPECT_EQ(cases[1].values[0], kSysmis);
  EXPECT_EQ(cases[1].values[1], kSysmis);
  EXPECT_EQ(cases[2].values[1], -99.0);
  EXPECT_EQ(cases[1].strings[2], " ");  // NA in a string column: blanks

  // /MISSING replaces the list: NA is text again, -99 no value.
  output = run("LOAD \"" + path.string() + "\" /MISSING = \"\" \"-99\".\n");
  EXPECT_EQ(var("a").width, 2);
  EXPECT_EQ(var("b").width, 0);
  EXPECT_THAT(output, HasSubstr("These columns hold numbers but are read as text (string "
                                "variables), for the value shown: a (line 3: \"NA\")."));
  EXPECT_THAT(output, HasSubstr("(now the empty field and \"-99\")"));
  EXPECT_THAT(output, HasSubstr("Read as missing (the empty field and \"-99\"): 1 value of a, 2 "
                                "values of b, 1 value of s."));
  cases = readAllCases();
  EXPECT_EQ(cases[2].values[1], kSysmis);
  EXPECT_EQ(cases[1].strings[2], "NA");

  // A sidecar's list stands in for the default, Table Schema's default is
  // "" alone, LOAD /MISSING goes over the sidecar's list, and a field's own
  // list over everything.
  write("m.schema.json", R"({"fields": [{"name": "a"}, {"name": "b"}, {"name": "s"}]})");
  load(path);
  EXPECT_EQ(var("a").width, 2);  // NA is text
  write("m.schema.json", R"({"fields": [{"name": "a"}, {"name": "b"}, {"name": "s"}],
                             "missingValues": ["", "NA", "-99"]})");
  load(path);
  EXPECT_EQ(readAllCases()[2].values[1], kSysmis);
  run("LOAD \"" + path.string() + "\" /MISSING = \"NA\".\n");
  EXPECT_EQ(readAllCases()[2].values[1], -99.0);
  write("m.schema.json", R"({"fields": [{"name": "a", "missingValues": [""]}, {"name": "b"},
                             {"name": "s"}]})");
  output = run("LOAD \"" + path.string() + "\" /MISSING = \"NA\".\n");
  EXPECT_EQ(var("a").width, 2);
  EXPECT_EQ(var("b").width, 0);
  EXPECT_THAT(output, HasSubstr("Read as missing: 1 value of a, 1 value of b, 1 value of s."));
}

TEST_F(EngineData, AColumnMadeTextNamesTheLineAndTheValue) {
  std::string output = inlineData("name,n,d\nAnn,1,1\nBob,n/a,2.5\nCy,3,4\n");
  EXPECT_THAT(output, HasSubstr("for the value shown: n (line 3: \"n/a\")."));
  EXPECT_THAT(output, Not(HasSubstr("name (")));  // text from the start: no note
  // A first value that is text, numbers after it.
  output = inlineData("n\n-\n1\n2\n");
  EXPECT_THAT(output, HasSubstr("n (line 2: \"-\")"));
  // Decimal commas in a file read with points: the note says what to give.
  output = inlineData("a;b\n1,5;2\n2,5;3\n");
  EXPECT_THAT(output, HasSubstr("a (line 2: \"1,5\"). LOAD /DECIMAL=COMMA reads numbers with "
                                "decimal commas."));
  EXPECT_THAT(output, Not(HasSubstr("/MISSING")));
  output = run("INLINE /DECIMAL=COMMA.\na;b\n1.5;2\nEND INLINE.\n");
  EXPECT_THAT(output, HasSubstr("LOAD /DECIMAL=POINT reads numbers with decimal points."));
}

TEST_F(EngineData, SeparatorAndDecimalMarkAreFoundOrGiven) {
  const auto path = write("s.csv", "a;b;c\n1,5;2;-3e1\n\"2,25\";;4\n");
  EXPECT_THAT(load(path),
              HasSubstr("from " + path.string() + " (fields separated by semicolons)."));
  EXPECT_EQ(var("a").width, 4);
  EXPECT_THAT(run("LOAD \"" + path.string() + "\" /SEPARATOR=\";\" /DECIMAL=COMMA.\n"),
              HasSubstr("(fields separated by semicolons; decimal comma)."));
  auto cases = readAllCases();
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(cases[0].values, (std::vector<double>{1.5, 2, -30}));
  EXPECT_EQ(cases[1].values, (std::vector<double>{2.25, kSysmis, 4}));
  const auto colons = write("c.txt", "a:b\n1:2\n");
  // A separator given that the file does not use: one column.
  EXPECT_THAT(run("LOAD \"" + colons.string() + "\" /SEPARATOR=TAB.\n"),
              HasSubstr("of 1 variable"));
  EXPECT_EQ(dictionary().variables()[0].name, "a_b");
  EXPECT_THAT(run("LOAD \"" + colons.string() + "\" /SEPARATOR \":\".\n"),
              HasSubstr("(fields separated by \":\")"));
  EXPECT_EQ(readAllCases()[0].values, (std::vector<double>{1, 2}));
  const auto bars = write("b.txt", "a|b\n1|2\n");
  EXPECT_THAT(run("LOAD \"" + bars.string() + "\" /SEPARATOR=AUTO /MISSING=\"x\".\n"),
              HasSubstr("(fields separated by vertical bars)"));

  const std::string load = "LOAD \"" + path.string() + "\"";
  const struct {
    std::string command;
    std::string message;
  } bad[] = {
      {load + " /DELIMITER=TAB.", "Unknown LOAD subcommand DELIMITER: use SEPARATOR, DECIMAL or"},
      {load + " /SEPARATOR=SPACE.", "SEPARATOR takes AUTO, COMMA, SEMICOLON, TAB, BAR or one"},
      {load + " /SEPARATOR=\" \".", "\" \" is not one character other than"},
      {load + " /SEPARATOR=\";;\".", "\";;\" is not one character"},
      {load + " /DECIMAL=DOT.", "DECIMAL takes POINT or COMMA."},
      {load + " /MISSING=NA.", "MISSING takes texts in quotes"},
      {load + " /MISSING.", "MISSING needs at least one text"},
      {load + " /DECIMAL=COMMA /DECIMAL=POINT.", "DECIMAL is given twice."},
      {load + " /DECIMAL=COMMA POINT.", "The DECIMAL subcommand should end before POINT."},
      {load + " SEPARATOR=TAB.", "Expected \"/\" and a subcommand"},
  };
  for (const auto& [command, message] : bad) {
    EXPECT_THAT(run(command + "\n"), HasSubstr(message)) << command;
  }
}

TEST_F(EngineData, AfterAFailedLoadTheCommandsThatNeedDataAreSkipped) {
  inlineData("a,w\n1,1\n2,2\n");
  const auto before = Session::current().dataset;
  const std::string output = run("LOAD \"" + (dir_ / "none.csv").string() +
                                 "\".\n"
                                 "LABEL a = \"x\".\n"
                                 "DECLARE MISSING a = 9.\n"
                                 "GROUP BY a.\n"
                                 "CASE WEIGHT w.\n"
                                 "EXPORT \"" +
                                 (dir_ / "out.csv").string() +
                                 "\".\n"
                                 "PASSLOG.\n"
                                 "GROUP OFF.\n"
                                 "CASE WEIGHT OFF.\n");
  EXPECT_EQ(occurrences(output, "Error:"), 1) << output;
  EXPECT_EQ(occurrences(output, "Note: Skipped: the LOAD at "), 6) << output;
  EXPECT_THAT(output, HasSubstr("failed, and this command needs the data it was to load."));
  EXPECT_FALSE(fs::exists(dir_ / "out.csv"));
  EXPECT_EQ(var("a").label, "");
  EXPECT_EQ(Session::current().dataset, before);  // kept, but not used
  // A syntax error in LOAD counts as a failure too; INLINE loads again.
  EXPECT_THAT(run("LOAD nothing.\nLABEL a = \"x\".\n"), HasSubstr("Skipped: the LOAD at"));
  EXPECT_THAT(run("INLINE.\na\n1\nEND INLINE.\nLABEL a = \"y\".\n"), Not(HasSubstr("Skipped")));
  EXPECT_EQ(var("a").label, "y");
  EXPECT_THAT(run("INLINE.\na,b\n1\nEND INLINE.\nLABEL a = \"z\".\n"),
              HasSubstr("Skipped: the INLINE at"));
}

TEST_F(EngineData, APipeIsReadOnceAndKeptForEveryPass) {
  const fs::path fifo = dir_ / "pipe.csv";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo) << "x;y\n3;1\n1;2\n"; });
  const std::string output = load(fifo);
  writer.join();
  EXPECT_THAT(output, HasSubstr("2 cases of 2 variables"));
  passLog().passes = 3;
  EXPECT_EQ(passes(), "1 2 | . / 1 2 | . / 1 2 | .");
  EXPECT_EQ(passLog().firstValues, (std::vector<double>{3, 1, 3, 1, 3, 1}));
}

// ---- the sidecar -------------------------------------------------------------

TEST_F(EngineData, SidecarGivesTypesLabelsMissingValuesAndFormats) {
  ASSERT_THAT(load(PROX_SOURCE_DIR "/tests/data/survey.csv"), HasSubstr("3 cases of 5"));
  const auto& id = var("id");
  EXPECT_EQ(id.width, 4);  // a string although its values look like numbers
  EXPECT_EQ(id.label, "Respondent");
  EXPECT_EQ(var("age").missing.values, std::vector<double>{99});
  EXPECT_EQ(var("income").label, "Yearly income");  // description stands in for a title
  EXPECT_EQ(var("income").print.encode(), (engine::Format{5, 10, 1}.encode()));
  EXPECT_EQ(var("income").write.encode(), (engine::Format{5, 8, 2}.encode()));
  EXPECT_EQ(var("region").width, 5);
  EXPECT_EQ(var("region").missing.strings, std::vector<std::string>{"none"});
  const auto& score = var("score");
  EXPECT_EQ(score.width, 0);  // "NA" is a missing text, so the column is numeric
  EXPECT_EQ(score.valueLabels.at(3), "fair");
  EXPECT_EQ(score.missing.range, (std::pair<double, double>{-5, -1}));
  EXPECT_EQ(score.attribute, 2);

  const auto cases = readAllCases();
  ASSERT_EQ(cases.size(), 3u);
  EXPECT_EQ(cases[0].strings[0], "1   ");
  EXPECT_EQ(cases[0].values[4], kSysmis);  // NA
  EXPECT_EQ(cases[2].values[2], kSysmis);  // NA
  EXPECT_EQ(cases[1].values[1], kSysmis);  // empty
  EXPECT_EQ(cases[2].strings[3], "     ");
}

TEST_F(EngineData, SidecarThatDoesNotFitTheCsvIsAnError) {
  const auto csv = write("x.csv", "a,b\n1,tt\n");
  const struct {
    std::string sidecar;
    std::string message;
  } bad[] = {
      {R"({"fields": [{"name": "a"}, {"name": "c"}]})", "field \"c\" is not a column of"},
      {R"({"fields": [{"name": "b"}, {"name": "a"}]})", "field \"b\" is field 1 but column 2"},
      {R"({"fields": [{"name": "a"}]})", "describes 1 field but"},
      {R"({"fields": [{"name": "a"}, {"name": "b", "type": "number"}]})",
       "field \"b\": declared a number, but line 2 holds \"tt\""},
      {R"({"fields": [{"name": "a"}, {"name": "b", "type": "date"}]})",
       "type \"date\" is not supported"},
      {R"({"fields": [{"name": "a"}, {"name": "b", "width": 1}]})",
       "width 1 is less than the longest value (2 bytes)"},
      {R"({"fields": [{"name": "a", "width": 3}, {"name": "b"}]})", "for string fields only"},
      {R"({"fields": [{"name": "a"}, {"name": "b", "valueLabels": {"1": "x"}}]})",
       "value labels are for numeric fields only"},
      {R"({"fields": [{"name": "a", "userMissing": {"values": ["x"]}}, {"name": "b"}]})",
       "user-missing values must be numbers"},
      {R"({"fields": [{"name": "a", "userMissing": {"range": [5, 1]}}, {"name": "b"}]})",
       "low end above its high end"},
      {R"({"fields": [{"name": "a", "valueLabels": {"one": "x"}}, {"name": "b"}]})",
       "key \"one\" is not a number"},
      {R"({"fields": [{"name": "a", "title": 5}, {"name": "b"}]})", "\"title\" must be a string"},
      {R"({"columns": []})", "must be an object with a \"fields\" list"},
      {"{\"fields\": [", "is not valid JSON"},
      // Found by fuzzing: a number past the range of a double ended the program.
      {R"({"fields": [{"name": "a", "width": 2E2222229}, {"name": "b"}]})", "is not valid JSON"},
  };
  for (const auto& [sidecar, message] : bad) {
    write("x.schema.json", sidecar);
    EXPECT_THAT(load(csv), HasSubstr(message)) << sidecar;
  }
  // Names match without regard to case; unknown Table Schema properties pass.
  write("x.schema.json", R"({"fields": [{"name": "A", "format": "default"}, {"name": "b"}]})");
  EXPECT_THAT(load(csv), HasSubstr("1 case of 2 variables"));
}

TEST_F(EngineData, ExportWritesCsvAndSidecarThatReadBackTheSame) {
  ASSERT_THAT(load(PROX_SOURCE_DIR "/tests/data/survey.csv"), HasSubstr("3 cases"));
  run("DECLARE MISSING age = 98 99 RANGE 120 HIGHEST / region = \"none\" \"n/a\".\n"
      "LABEL region = \"Region of residence\".\n");
  const auto firstDictionary = dictionary();
  const auto firstCases = readAllCases();
  const fs::path out = dir_ / "out.csv";
  ASSERT_THAT(run("EXPORT \"" + out.string() + "\".\n"), HasSubstr("Wrote 3 cases"));

  const auto sidecar = nlohmann::json::parse(read(dir_ / "out.schema.json"));
  EXPECT_EQ(sidecar["fields"][0]["type"], "string");
  EXPECT_EQ(sidecar["fields"][0]["width"], 4);
  EXPECT_EQ(sidecar["fields"][1]["userMissing"]["range"][0], 120);
  EXPECT_EQ(sidecar["fields"][3]["title"], "Region of residence");
  EXPECT_EQ(sidecar["fields"][4]["valueLabels"]["9"], "unknown");

  ASSERT_THAT(load(out), HasSubstr("3 cases of 5"));
  for (std::size_t k = 1; k <= firstDictionary.size(); ++k) {
    const auto& a = firstDictionary.at(std::int64_t(k));
    const auto& b = dictionary().at(std::int64_t(k));
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.width, b.width) << a.name;
    EXPECT_EQ(a.label, b.label) << a.name;
    EXPECT_EQ(a.valueLabels, b.valueLabels) << a.name;
    EXPECT_EQ(a.missing.values, b.missing.values) << a.name;
    EXPECT_EQ(a.missing.range, b.missing.range) << a.name;
    EXPECT_EQ(a.missing.strings, b.missing.strings) << a.name;
    EXPECT_EQ(a.print.encode(), b.print.encode()) << a.name;
    EXPECT_EQ(a.write.encode(), b.write.encode()) << a.name;
    EXPECT_EQ(a.attribute, b.attribute) << a.name;
  }
  const auto secondCases = readAllCases();
  ASSERT_EQ(secondCases.size(), firstCases.size());
  for (std::size_t i = 0; i < firstCases.size(); ++i) {
    EXPECT_EQ(secondCases[i].values, firstCases[i].values);
    EXPECT_EQ(secondCases[i].strings, firstCases[i].strings);
  }
  // Exporting what was read back writes the very same files.
  run("EXPORT \"" + (dir_ / "again.csv").string() + "\".\n");
  EXPECT_EQ(read(dir_ / "again.csv"), read(out));
  EXPECT_EQ(read(dir_ / "again.schema.json"), read(dir_ / "out.schema.json"));
}

TEST_F(EngineData, ExportedNumbersReadBackBitForBit) {
  inlineData(
      "v,s\n0.30000000000000004,\"say \"\"hi\"\"\"\n1e-300,\n-0.0,x\n"
      "123456789.123456789,\n-1.7976931348623157e308,\n");
  const auto before = readAllCases();
  run("EXPORT \"" + (dir_ / "n.csv").string() + "\".\n");
  load(dir_ / "n.csv");
  const auto after = readAllCases();
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(std::memcmp(&after[i].values[0], &before[i].values[0], sizeof(double)), 0) << i;
    EXPECT_EQ(after[i].strings[1], before[i].strings[1]);
  }
  EXPECT_EQ(after[0].strings[1], "say \"hi\"");

  // A single column: a missing value must not become a skipped blank line.
  inlineData("only\n1\n\"\"\n2\n");
  run("EXPORT \"" + (dir_ / "one.csv").string() + "\".\n");
  EXPECT_THAT(load(dir_ / "one.csv"), HasSubstr("3 cases of 1 variable"));
}

TEST_F(EngineData, FailedExportLeavesEarlierFilesAsTheyWere) {
  inlineData("a\n1\n");
  EXPECT_THAT(run("EXPORT \"" + (dir_ / "no" / "such" / "x.csv").string() + "\".\n"),
              HasSubstr("Cannot write"));
  EXPECT_FALSE(fs::exists(dir_ / "no"));

  // Column b holds a number before its text, so the passes read the text
  // again rather than the parsed copy, and can meet the change.
  const auto source = write("src.csv", "a,b\n1,2\n2,x\n");
  const auto target = write("target.csv", "old\n");
  load(source);
  rewriteUnnoticed(source, "a,b\n1,2\nx,x\n");  // no longer fits the numeric column
  EXPECT_THAT(run("EXPORT \"" + target.string() + "\".\n"),
              HasSubstr("src.csv, line 3: \"x\" in numeric column a is not a number"));
  EXPECT_EQ(read(target), "old\n");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"src.csv", "target.csv"}));
}

// ---- passes and the split-group protocol -----------------------------------

TEST_F(EngineData, EveryPassRereadsTheFile) {
  const auto path = write("p.csv", "x,y\n3,a\n1,b\n2,c\n");
  load(path);
  passLog().passes = 2;
  EXPECT_EQ(passes(), "1 2 3 | . / 1 2 3 | .");
  EXPECT_EQ(passLog().firstValues, (std::vector<double>{3, 1, 2, 3, 1, 2}));
}

TEST_F(EngineData, AFileChangedAfterLoadIsReportedNotMixedIn) {
  const std::string content = "x,y\n3,a\n1,b\n2,c\n";
  const auto path = write("p.csv", content);
  load(path);
  const std::string refusal = "p.csv changed on disk since it was loaded; LOAD it again";

  // Appended to, its modification time set back (as a copy that keeps times
  // would): only the size tells.
  const auto loadedTime = fs::last_write_time(path);
  write("p.csv", content + "4,d\n");
  fs::last_write_time(path, loadedTime);
  EXPECT_THAT(run("PASSLOG.\n"), HasSubstr(refusal));
  EXPECT_EQ(passLog().lines.at(0), "!");

  // The same size, a modification time a millisecond later (a rewrite within
  // the same second).
  write("p.csv", content);
  load(path);
  const auto modified = fs::last_write_time(path);
  fs::last_write_time(path, modified + std::chrono::milliseconds(1));
  EXPECT_THAT(run("PASSLOG.\n"), HasSubstr(refusal));
  fs::last_write_time(path, modified);
  EXPECT_EQ(passes(), "1 2 3 | .");  // as loaded again: read as before

  // Replaced by another file (a new inode), size and time kept.
  const auto other = write("other.csv", content);
  fs::last_write_time(other, modified);
  fs::rename(other, path);
  EXPECT_THAT(run("PASSLOG.\n"), HasSubstr(refusal));

  // Loading again reads the file as it is now.
  write("p.csv", "x,y\n5,a\n");
  load(path);
  EXPECT_EQ(passes(), "1 | .");
  EXPECT_EQ(passLog().firstValues, (std::vector<double>{5}));
}

TEST_F(EngineData, AChangeThatKeepsSizeAndTimeIsNeverMixedIn) {
  // The passes read the copy LOAD parsed: the cases stay those loaded.
  const auto path = write("p.csv", "x,y\n3,a\n1,b\n");
  load(path);
  rewriteUnnoticed(path, "x,y\n4,a\n1,bb");
  EXPECT_EQ(passes(), "1 2 | .");
  EXPECT_EQ(passLog().firstValues, (std::vector<double>{3, 1}));

  // Column y holds a number before its text: the passes read the text
  // again, and its checks catch the change, with the line named.
  const auto mixed = write("m.csv", "x,y\n3,1\n1,b\n");
  load(mixed);
  rewriteUnnoticed(mixed, "x,y\n3,1\n1,bb");  // a value wider than the column now
  const std::string output = run("PASSLOG.\n");
  EXPECT_EQ(passLog().lines.at(0), "1 !");
  EXPECT_THAT(output, HasSubstr("m.csv, line 3: the value of y is longer than its width 1"));

  rewriteUnnoticed(mixed, "x,z\n3,1\n1,b\n");
  EXPECT_THAT(run("PASSLOG.\n"), HasSubstr("header row of"));
  EXPECT_EQ(passLog().lines.at(0), "!");
}

TEST_F(EngineData, SplitGroupsChangeWhereTheValuesChange) {
  inlineData("g,s,x\n5,a,1\n7,a,2\n7,a,3\n8,a,4\n9,a,5\n9,b,6\n4,b,7\n");
  EXPECT_EQ(passes(), "1 2 3 4 5 6 7 | .");
  run("GROUP BY g.\n");
  // Single-case groups at the first case, in the middle and at the last case.
  EXPECT_EQ(passes(), "1 | 2 3 | 4 | 5 6 | 7 | .");
  run("GROUP BY g s.\n");
  EXPECT_EQ(passes(), "1 | 2 3 | 4 | 5 | 6 | 7 | .");
  run("GROUP BY s.\n");
  EXPECT_EQ(passes(), "1 2 3 4 5 | 6 7 | .");

  // The data are not sorted: a value that comes back starts a new group.
  inlineData("g\n1\n2\n1\n");
  run("GROUP BY g.\n");
  EXPECT_EQ(passes(), "1 | 2 | 3 | .");
}

TEST_F(EngineData, GroupTitlesShowLabelsNumbersAndTrimmedStrings) {
  inlineData("g,s,x\n2.5,ab,1\n7,ab,2\n7,c,3\n,c,4\n");
  dictionary().at(1).valueLabels[7] = "seven";
  run("GROUP BY g s.\n");
  EXPECT_EQ(passes(), "1 | 2 | 3 | 4 | .");
  EXPECT_EQ(passLog().titles,
            (std::vector<std::string>{"2.5/ab", "seven/ab", "seven/c", "(missing)/c"}));
  const auto values = engine::currentGroupSplitValues();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].first, 1);
  EXPECT_EQ(values[1].first, 2);
}

TEST_F(EngineData, GroupAndWeightCommandsCheckTheirVariables) {
  inlineData("a,b,c,d,e,f,g,h,i,s\n1,2,3,4,5,6,7,8,9,x\n");
  Session& session = Session::current();
  run("GROUP BY b TO d a LAYERED.\n");
  EXPECT_EQ(session.split.variables, (std::vector<std::int64_t>{2, 3, 4, 1}));
  EXPECT_TRUE(session.split.layered);
  EXPECT_THAT(run("GROUP BY ALL.\n"), HasSubstr("At most 8 variables"));
  EXPECT_THAT(run("GROUP BY d TO b.\n"), HasSubstr("d TO b: b comes before d"));
  EXPECT_THAT(run("GROUP BY nope.\n"), HasSubstr("There is no variable named nope"));
  EXPECT_THAT(run("GROUP BY.\n"), HasSubstr("A variable list is missing"));
  EXPECT_EQ(session.split.variables.size(), 4u);  // the failed commands changed nothing
  run("GROUP BY a a TO c.\n");
  EXPECT_EQ(session.split.variables, (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_FALSE(session.split.layered);
  run("GROUP OFF.\n");
  EXPECT_TRUE(session.split.variables.empty());

  run("CASE WEIGHT c.\n");
  EXPECT_EQ(session.weightVariable, 3);
  EXPECT_THAT(run("CASE WEIGHT s.\n"), HasSubstr("must be numeric"));
  EXPECT_EQ(session.weightVariable, 3);
  run("GROUP BY a.\n");
  inlineData("a\n1\n");  // new data clear both settings
  EXPECT_EQ(session.weightVariable, 0);
  EXPECT_TRUE(session.split.variables.empty());
}

TEST_F(EngineData, MissingOrNegativeWeightsCountAsZero) {
  inlineData("w,x\n2,1\n,1\n9,1\n-1,1\n0.5,1\n0,1\n3,1\n");
  run("DECLARE MISSING w = 9.\nCASE WEIGHT w.\n");
  EXPECT_EQ(passes(), "1*2 2*0 3*0 4*0 5*0.5 6*0 7*3 | .");
  run("CASE WEIGHT OFF.\n");
  EXPECT_EQ(passes(), "1 2 3 4 5 6 7 | .");
}

// ---- missing values and the whole-number test ------------------------------

TEST_F(EngineData, UserMissingValuesCountUnlessIncluded) {
  inlineData("n,r,s\n1,1,x\n");
  run("DECLARE MISSING n = 9 99 / r = RANGE 0 5 / s = \"x\".\n");
  ProxWorkspace ws;
  const Word indices[] = {1, 2, 3};
  const auto countMissing = [&](std::vector<double> values, const char* text, bool include) {
    const char* strings[] = {"", "", text};
    const HostCase c{values.data(), strings};
    std::vector<double> out(3);
    Word missing = -1;
    MSCOPY(c, out, indices, logical(include), missing, ws);
    EXPECT_EQ(out, values);
    EXPECT_EQ(isTrue(QLMISS(c, indices, logical(include), ws)), missing > 0);
    return missing;
  };
  EXPECT_EQ(countMissing({1, 6, 0}, "y", false), 0);
  EXPECT_EQ(countMissing({99, 6, 0}, "y", false), 1);
  EXPECT_EQ(countMissing({99, 6, 0}, "y", true), 0);
  EXPECT_EQ(countMissing({1, 0, 0}, "x", false), 2);  // range ends are inside
  EXPECT_EQ(countMissing({1, 5, 0}, "y", false), 1);
  EXPECT_EQ(countMissing({1, 5.0001, 0}, "y", false), 0);
  EXPECT_EQ(countMissing({kSysmis, 6, 0}, "x", true), 1);  // system-missing always
  EXPECT_EQ(countMissing({kSysmis, 2.5, 0}, "x", false), 3);

  // A failing command leaves every variable's values as they were.
  const std::string bad[][2] = {
      {"DECLARE MISSING n = 1 / nope = 2.", "There is no variable named nope"},
      {"DECLARE MISSING n = RANGE 1 2 RANGE 3 4.", "at most one RANGE"},
      {"DECLARE MISSING n = RANGE 5 1.", "low end first"},
      {"DECLARE MISSING n s = 1.", "separate parts"},
      {"DECLARE MISSING s = \"xy\".", "wider than the variable (1)"},
      {"DECLARE MISSING s = 1.", "take quoted values"},
      {"DECLARE MISSING n = \"a\".", "take numbers"},
      {"DECLARE MISSING n =.", "Give the missing values"},
      {"DECLARE MISSING n = NONE 3.", "NONE stands alone"},
  };
  for (const auto& [command, message] : bad) {
    EXPECT_THAT(run(command + "\n"), HasSubstr(message)) << command;
  }
  EXPECT_EQ(var("n").missing.values, (std::vector<double>{9, 99}));
  EXPECT_EQ(countMissing({99, 6, 0}, "y", false), 1);

  run("DECLARE MISSING n = NONE / r = RANGE LOWEST -1 7.\n");
  EXPECT_EQ(countMissing({99, 6, 0}, "y", false), 0);
  EXPECT_EQ(countMissing({1, -1e300, 0}, "y", false), 1);
  EXPECT_EQ(var("r").missing.values, std::vector<double>{7});
}

TEST_F(EngineData, LabelsAreSetTogetherOrNotAtAll) {
  inlineData("a,b\n1,2\n");
  run("LABEL a = \"First\" / b = \"Second\".\n");
  EXPECT_EQ(var("a").label, "First");
  EXPECT_EQ(var("b").label, "Second");
  EXPECT_THAT(run("LABEL a = \"New\" / b = 5.\n"), HasSubstr("Expected a quoted string"));
  EXPECT_EQ(var("a").label, "First");
}

TEST(EngineDataWholeNumbers, ToleranceIsRelativeToTheValue) {
  EXPECT_TRUE(isTrue(QDINT(3.0)));
  EXPECT_TRUE(isTrue(QDINT(-2.0)));
  EXPECT_TRUE(isTrue(QDINT(3.0 + 1e-10)));
  EXPECT_FALSE(isTrue(QDINT(3.001)));
  EXPECT_FALSE(isTrue(QDINT(0.5)));
  EXPECT_TRUE(isTrue(QDINT(1e-12)));        // within the tolerance of 0
  EXPECT_TRUE(isTrue(QDINT(1e12 + 1e-4)));  // 1e-4 is tiny next to 1e12
  EXPECT_FALSE(isTrue(QDINT(1e6 + 0.01)));  // 0.01 is not next to 1e6
  EXPECT_FALSE(isTrue(QDINT(kSysmis)));
  EXPECT_FALSE(isTrue(QDINT(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_FALSE(isTrue(QDINT(std::numeric_limits<double>::infinity())));
}

}  // namespace
