// The engine's run of a command file: dispatch by command word, procedures
// called with the workspace, errors tied to commands, interrupts, and the
// matrix-file specification services a procedure calls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/commands.h"
#include "engine/core/session.h"
#include "engine/engine.h"
#include "host/tavixwlib.h"
#include "tests/unit/support/fresh_session.h"

namespace {

using engine::Session;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// What the fake procedures saw, reset by the fixture.
struct Observed {
  std::vector<std::string> commandNames;
  std::vector<Word> splitCounts;
  std::int64_t bytesAtEnd = -1;
  std::string fileName;
  bool workingData = false;
  bool failed = false;
};
Observed observed;

void recordingProcedure(ProxWorkspace& ws) {
  Session& s = Session::current();
  observed.commandNames.push_back(s.commandName);
  observed.splitCounts.push_back(s.global.splitCount);
  Word block = 0;
  QNOMEM(block, 8, 10, 8, ws);
  s.global.splitCount = 7;  // a procedure may change what it was shown
}

void interruptedProcedure(ProxWorkspace& ws) {
  Session& s = Session::current();
  Word block = 0;
  QNOMEM(block, 8, 1000, 8, ws);
  s.global.splitCount = 5;
  ATNJMP(ws);  // no request yet: returns
  s.interruptRequested = 1;
  ATNJMP(ws);  // abandons the command
  observed.commandNames.push_back("not reached");
}

// Reads "SPEC <file specification>" and hands the token to MTDFRI.
void matrixSpecProcedure(ProxWorkspace& ws) {
  Word stack = 0;
  Word status = 0;
  SSTACK(ws, stack, -1, status);
  SSNXT1(stack);
  SSNXT1(stack);
  Logical failed = kFalse;
  MTDINI(ws);
  MTDFRI(ws, 3, -1, -1, failed);
  const MatrixFileState& m = Session::current().matrix;
  observed.failed = isTrue(failed);
  observed.workingData = isTrue(m.inputIsWorkingData);
  observed.fileName = std::string(m.fileName, sizeof m.fileName);
  SSDELS(ws, stack);
}

class DictionaryOnly : public engine::Dataset {
 public:
  std::unique_ptr<engine::CaseCursor> open() const override { return nullptr; }
  std::string source() const override { return "test data"; }
};

void listProcedure(ProxWorkspace& ws) {
  Word stack = 0;
  Word status = 0;
  SSTACK(ws, stack, -1, status);
  SSNXT1(stack);
  SSNXT1(stack);
  std::vector<Word> indices(4);
  Word count = 0;
  Logical error = kFalse;
  PRVRLT(ws, stack, 0, 1, 11, 1, indices, count, error);
  SSDELS(ws, stack);
}

class EngineRun : public FreshSession {
 protected:
  void SetUp() override {
    FreshSession::SetUp();
    observed = Observed{};
    engine_->registerProcedure("ZZRECORD", 4, recordingProcedure);
    engine_->registerProcedure("ZZINTERRUPT", 11, interruptedProcedure);
    engine_->registerProcedure("ZZSPEC", 6, matrixSpecProcedure);
    engine_->registerProcedure("ZZLIST", 6, listProcedure);
  }
  bool run(std::string_view source) { return engine_->run(source, "cmds.prox"); }
};

TEST_F(EngineRun, ProceduresRunByAbbreviationAndUnknownWordsAreErrors) {
  Session::current().split.variables = {2, 3};
  EXPECT_TRUE(run("zzre a.\nZZQQ b.\nZZRECORD c.\nZZR d."));
  EXPECT_THAT(observed.commandNames, ElementsAre("zzre", "ZZRECORD"));  // ZZR is too short
  EXPECT_THAT(observed.splitCounts, ElementsAre(2, 2));  // each call sees the settings anew
  Session& s = Session::current();
  EXPECT_EQ(s.global.splitCount, 2);
  EXPECT_EQ(s.workspace.bytesInUse(), 0);  // what the procedure left is released
  EXPECT_FALSE(isTrue(s.global.errorFlag));
  EXPECT_TRUE(engine_->errorShown());
  const std::string text = shown();
  EXPECT_THAT(text, HasSubstr("Unknown command ZZQQ."));
  EXPECT_THAT(text, HasSubstr("Unknown command ZZR."));
}

TEST_F(EngineRun, AnInterruptAbandonsTheCommandAndStopsTheRun) {
  Session& s = Session::current();
  s.split.variables = {4};
  EXPECT_FALSE(run("ZZINTERRUPT.\nZZRECORD x."));
  EXPECT_TRUE(observed.commandNames.empty());  // neither the rest nor the next command ran
  EXPECT_EQ(s.workspace.bytesInUse(), 0);
  EXPECT_EQ(s.global.splitCount, 1);
  EXPECT_EQ(s.global.splitVars[0], 4);
  EXPECT_EQ(s.interruptRequested, 0);
  EXPECT_TRUE(engine_->errorShown());
  EXPECT_THAT(shown(), HasSubstr("The command was interrupted."));
}

TEST_F(EngineRun, ALexicalErrorRunsNothingOfItsSource) {
  EXPECT_TRUE(run("ZZRECORD a.\nZZRECORD 'b.\n"));
  EXPECT_TRUE(observed.commandNames.empty());
  EXPECT_TRUE(engine_->errorShown());
  EXPECT_THAT(shown(), HasSubstr("Line 2"));
}

TEST_F(EngineRun, NoErrorNoErrorShown) {
  EXPECT_TRUE(run("ZZRECORD a."));
  EXPECT_FALSE(engine_->errorShown());
  EXPECT_THAT(shown(), Not(HasSubstr("Unknown")));
}

TEST_F(EngineRun, MatrixFileSpecifications) {
  const auto folder = std::filesystem::temp_directory_path() / "prox-engine-run-test";
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "prox.csv").string();
  std::ofstream(file) << "ROWTYPE_,VARNAME_,a\nPROX,a,0\n";
  run("ZZSPEC '" + file + "'.");
  EXPECT_FALSE(observed.failed);
  EXPECT_FALSE(observed.workingData);
  EXPECT_EQ(observed.fileName.substr(0, file.size() + 2), file + "  ");
  EXPECT_EQ(observed.fileName.size(), 255u);
  EXPECT_FALSE(engine_->errorShown());
  run("ZZSPEC '" + (folder / "absent.csv").string() + "'.");
  EXPECT_TRUE(observed.failed);
  run("ZZSPEC *.");  // there are no working data to read
  EXPECT_TRUE(observed.failed);
  EXPECT_TRUE(observed.workingData);
  run("ZZSPEC myfile.");
  EXPECT_TRUE(observed.failed);
  const std::string text = shown();
  EXPECT_THAT(text, HasSubstr("absent.csv does not exist"));
  EXPECT_THAT(text, HasSubstr("no working data to read a matrix from"));
  EXPECT_THAT(text, HasSubstr("quoted file name or *"));
  std::filesystem::remove_all(folder);
}

TEST_F(EngineRun, VariableListErrorsNameTheProblem) {
  auto data = std::make_shared<DictionaryOnly>();
  for (const char* name : {"a", "b", "c", "s"}) {
    engine::Variable v;
    v.name = name;
    v.width = name[0] == 's' ? 4 : 0;
    data->dictionary.add(v);
  }
  Session::current().dataset = data;
  run("ZZLIST a nosuch.\nZZLIST c TO a.\nZZLIST a 3.\nZZLIST s.");
  const std::string text = shown();
  EXPECT_THAT(text, HasSubstr("There is no variable named nosuch."));
  EXPECT_THAT(text, HasSubstr("The range c TO a is reversed: a comes before c"));
  EXPECT_THAT(text, HasSubstr("contains '3'"));
  EXPECT_THAT(text, HasSubstr("The variable s is a string variable"));
}

TEST(EngineNesting, AnInnerEngineGivesTheSessionBack) {
  std::ostringstream outerOut;
  engine::EngineOptions options;
  options.out = &outerOut;
  options.workspaceBytes = 1 << 20;
  engine::Engine outer(options);
  Session& s = Session::current();
  const auto data = std::make_shared<DictionaryOnly>();
  s.dataset = data;
  s.split.variables = {1};
  engine::OutputBuilder* const outerOutput = s.output();
  {
    std::ostringstream innerOut;
    options.out = &innerOut;
    options.workspaceBytes = 2 << 20;
    engine::Engine inner(options);
    EXPECT_EQ(s.dataset, nullptr);
    EXPECT_TRUE(s.split.variables.empty());
    EXPECT_NE(s.output(), outerOutput);
    EXPECT_EQ(s.workspace.limitBytes(), 2 << 20);
  }
  EXPECT_EQ(s.dataset, data);
  EXPECT_THAT(s.split.variables, ElementsAre(1));
  EXPECT_EQ(s.output(), outerOutput);
  EXPECT_EQ(s.workspace.limitBytes(), 1 << 20);
}

// ---- the command table and Args ----------------------------------------

TEST(CommandTable, WordsAbbreviationsAndArgs) {
  static std::vector<std::string> seen;  // the command table outlives the test
  engine::registerCommand("ZZFETCH", 3, [](Session&, engine::Args& args) {
    seen.push_back(args.expectString());
    args.expectDelim(kDelimSlash, "'/' after the file");
    seen.push_back(args.expectName());
    seen.push_back(std::to_string(static_cast<int>(args.expectNumber())));
    args.expectEnd();
  });
  engine::registerCommand("ZZFETCHALL", 10, [](Session&, engine::Args&) {});
  EXPECT_EQ(engine::findCommand("zzfetchall"), engine::findCommand("ZZFETCHALL"));
  EXPECT_NE(engine::findCommand("ZZFETCH"), engine::findCommand("ZZFETCHALL"));
  EXPECT_EQ(engine::findCommand("ZZF"), engine::findCommand("ZZFETCH"));
  EXPECT_EQ(engine::findCommand("ZZ"), nullptr);
  EXPECT_EQ(engine::findCommand("ZZFETCHX"), nullptr);

  const auto runFetch = [](std::string_view text) -> std::string {
    const auto command = engine::splitCommands(text).at(0);
    engine::Args args(command);
    try {
      (*engine::findCommand(command.tokens[0].text))(Session::current(), args);
    } catch (const engine::CommandError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(runFetch("ZZFETCH 'f.csv' / x 3."), "");
  EXPECT_THAT(seen, ElementsAre("f.csv", "x", "3"));
  EXPECT_EQ(runFetch("ZZFETCH x."), "Expected a quoted string, found 'x'.");
  EXPECT_EQ(runFetch("ZZFETCH 'f' x."), "Expected '/' after the file, found 'x'.");
  EXPECT_EQ(runFetch("ZZFETCH 'f' / 'y'."), "Expected a name, found the string \"y\".");
  EXPECT_EQ(runFetch("ZZFETCH 'f' / y."), "Expected a number, found the end of the command.");
  EXPECT_EQ(runFetch("ZZFETCH 'f' / y 1 2."), "The command should end before the number 2.");
}

}  // namespace
