// The engine as the program sees it: it runs command files, command by
// command, dispatching each to an engine command or to a procedure loaded from
// a library, and sends everything shown to one output.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output/matrix_files.h"
#include "engine/output/output_format.h"
#include "engine/services/written_matrix.h"
#include "host/workspace.h"

namespace engine {

using ProcedureEntry = void (*)(ProxWorkspace&);

struct EngineOptions {
  std::int64_t workspaceBytes = std::int64_t{4} << 30;
  OutputFormat format = OutputFormat::Text;
  std::ostream* out = nullptr;  // where the output goes; required
  // The width text tables are fitted to: a wider one is shown in blocks of
  // columns under repeated row labels. 0: no limit. The engine never asks a
  // terminal; the program passes the width of the one it writes to.
  std::size_t pageWidth = 80;
  // A terminal on which long commands show their progress (engine/core/progress.h),
  // this many columns wide; null: none.
  std::ostream* progress = nullptr;
  std::size_t progressWidth = 80;
  // Where to report, after each procedure, the time of its phases; null: no
  // timing (engine/core/timing.h).
  std::ostream* timing = nullptr;
  // A second output that gets the HTML report of the same run (the Python
  // module shows it in a notebook beside the JSON it reads); null: none.
  std::ostream* html = nullptr;
  // Where errors and warnings are copied, with their command and location,
  // besides the output (cli: standard error, when the output is not text on a
  // terminal); null: nowhere.
  std::ostream* diagnostics = nullptr;
  // MATRIX=OUT(*) keeps the matrix for takeWrittenMatrix instead of making it
  // the working data (the Python module, which wants the numbers alone).
  bool keepWrittenMatrix = false;
  // Csv and Long: where the matrices go (null: to `out`, one square matrix
  // at most), and whether the long form has the diagonal.
  output::MatrixFiles* matrixFiles = nullptr;
  bool longDiagonal = false;
  // Threads the engine may use for reading data files and formatting output
  // (engine/core/worker_threads.h); 0: every core. The procedure runs on the
  // calling thread whatever this says.
  std::size_t threads = 0;
};

// A column of working data handed over in memory rather than in a file (the
// Python module's data frames and arrays).
struct DataColumn {
  std::string name;  // a valid variable name (see variableNamesFor)
  bool isString = false;
  std::vector<double> numbers;     // numeric: one value per case; systemMissingValue() if missing
  std::vector<std::string> texts;  // string: one value per case, without padding
};

// The value of a missing number in DataColumn::numbers.
double systemMissingValue();

class OutputBuilder;
class ProgressMeter;
class ProgressAwareBuffer;
struct Command;

// The engine works on the one Session of the process. Engines nest: a new
// Engine starts from a fresh session (no data, default settings), and when it
// is destroyed the data, settings and output of the Engine before it come back
// (tests create short-lived engines beside a long-lived one).
class Engine {
 public:
  explicit Engine(const EngineOptions& options);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Makes a procedure a command: its word, recognised from minLetters letters
  // on, calls entry with the workspace. The synopsis is its form in one line
  // for the program's help (commandSynopses).
  void registerProcedure(std::string word, std::size_t minLetters, ProcedureEntry entry,
                         std::string synopsis = {});

  // Runs the commands of one source. A lexical error (an unterminated string,
  // an unknown character) is shown and nothing of the source runs; an error
  // in one command is shown and the run goes on with the next. Returns false
  // when the user interrupted: the caller should stop the whole run.
  bool run(std::string_view source, std::string_view sourceName);

  // Makes the columns, which must all hold the same number of cases, the
  // working data, kept in memory like INLINE data; like LOAD it drops the
  // split groups and the weight. Throws std::invalid_argument for names that
  // are not valid or not distinct, or columns of different lengths.
  void setWorkingData(std::vector<DataColumn> columns, std::string source);
  // The working data read back column by column (none without data): how the
  // matrix that MATRIX=OUT(*) made reaches the caller.
  std::vector<DataColumn> workingData() const;
  // With EngineOptions::keepWrittenMatrix, the matrix the last MATRIX=OUT(*)
  // wrote, handed over (one of no rows when there is none).
  WrittenMatrix takeWrittenMatrix();

  bool errorShown() const { return errorShown_; }  // an error was shown at some point
  // A write to the output failed (its reader went away, the disk is full):
  // the run stopped there, and run() returned false without a message.
  bool outputLost() const { return outputLost_; }
  void finish();  // completes the output; idempotent

 private:
  void runCommand(const Command& command, std::string_view sourceName);
  void dispatch(const Command& command);
  void showError(const std::string& text);
  bool takeInterrupt();  // true (and clears the request) when the user interrupted

  struct SavedSession;  // what the Engine before this one had in the session
  std::unique_ptr<SavedSession> previous_;
  std::ostream* previousTiming_ = nullptr;
  std::unique_ptr<OutputBuilder> output_;
  std::unique_ptr<ProgressMeter> progress_;
  std::unique_ptr<ProgressAwareBuffer> progressBuffer_;  // in front of the output
  std::unique_ptr<std::ostream> progressOutput_;
  std::unique_ptr<ProgressAwareBuffer> diagnosticsBuffer_;  // in front of the diagnostics
  std::unique_ptr<std::ostream> diagnosticsOutput_;
  ProgressMeter* previousProgress_ = nullptr;
  bool previousKeepWrittenMatrix_ = false;
  bool errorShown_ = false;
  bool interrupted_ = false;
  bool outputLost_ = false;
  bool finished_ = false;
};

// A builder rendering in `format` to `out` (and the HTML report to `html`
// when given), titling split groups from the working data, copying errors
// and warnings to `diagnostics` unless it is null, and fitting text tables
// to `pageWidth` (0: no limit): what an Engine shows its output with.
std::unique_ptr<OutputBuilder> makeOutputBuilder(OutputFormat format, std::ostream& out,
                                                 std::ostream* html = nullptr,
                                                 std::ostream* diagnostics = nullptr,
                                                 std::size_t pageWidth = 0,

                                                 output::MatrixFiles* matrixFiles = nullptr,
                                                 bool longDiagonal = false);

// The variable names that columns headed `headers` get, by the rule LOAD
// uses for a header row (engine/data/csv_dialect.h, makeVariableNames): a
// valid name is kept, any other is made valid, and all differ in more than
// case.
std::vector<std::string> variableNamesFor(const std::vector<std::string>& headers);

// A command as the program's help lists it.
struct CommandSynopsis {
  std::string word;  // upper case
  std::size_t minLetters;
  std::string synopsis;
};

// The engine's own commands, then the procedures registered so far, in the
// order they were registered; available before any Engine exists.
std::vector<CommandSynopsis> commandSynopses();

// The word people type for an entry of a procedure's keyword table: tables
// hold shortened entries ("EUC"), the documentation and the messages give
// the words ("EUCLID"). An entry the engine has no word for stands for itself.
std::string_view spelledKeyword(std::string_view tableEntry);

// Says that the program reads its commands from standard input, so that
// LOAD "-" (data from standard input) is refused with a clear message.
void standardInputHoldsCommands();

// The request to stop: set to 1 (a signal handler may do so), it makes the
// running command stop at its next interrupt check (ATNJMP) and the run end.
volatile std::sig_atomic_t& interruptRequest();

}  // namespace engine
