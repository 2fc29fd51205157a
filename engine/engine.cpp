#include "engine/engine.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <new>
#include <set>
#include <stdexcept>

#include "engine/core/activity.h"
#include "engine/core/commands.h"
#include "engine/core/memory_reserve.h"
#include "engine/core/progress.h"
#include "engine/core/scanner.h"
#include "engine/core/session.h"
#include "engine/core/timing.h"
#include "engine/core/worker_threads.h"
#include "engine/data/column_dataset.h"
#include "engine/data/csv_dialect.h"
#include "engine/data/csv_table.h"
#include "engine/data/data_commands.h"
#include "engine/data/spooled_input.h"
#include "engine/output/builder.h"
#include "engine/output/message_echo.h"
#include "engine/output/renderer.h"
#include "engine/report/html_renderer.h"
#include "engine/services/case_reader.h"
#include "engine/services/keyword_hints.h"
#include "engine/services/matrix_files.h"
#include "host/tavixwlib.h"

namespace engine {
namespace {

// After a procedure returns, or is abandoned, nothing of it may stay behind:
// its blocks, its scanner stacks, the token it last read, its matrix files
// (an unfinished one is removed), and any change it made to the split
// settings it was shown. A procedure that replaced the working data (MATRIX=
// OUT(*)) set the settings that go with the new data, which stay.
void cleanUpAfterProcedure(Session& s, const Dataset* data, SplitSettings split,
                           std::int64_t weight) {
  abandonMatrixFiles();
  if (s.dataset.get() != data) {
    split = s.split;
    weight = s.weightVariable;
  }
  s.entryWork = Session::EntryWork{};
  s.workspace.releaseAll();
  s.scannerStacks.clear();
  s.token = HostToken{};
  s.entry = HostDictEntry{};
  s.commandTokens.clear();
  s.split = split;
  s.weightVariable = weight;
  s.publishSettings();
}

void runProcedure(Session& s, const Command& command, ProcedureEntry entry) {
  s.commandTokens = command.tokens;
  s.commandName = command.tokens.front().text;
  const SplitSettings split = s.split;
  const std::int64_t weight = s.weightVariable;
  const Dataset* const data = s.dataset.get();
  s.publishSettings();
  clearHints();
  commandTiming().beginCommand();
  try {
    entry(s.workspace.view());
  } catch (...) {
    // An abandoned procedure did not end its pass over the cases.
    try {
      OBPEND(s.workspace.view());
    } catch (...) {  // the original exception is what counts
    }
    s.currentCase = HostCase{};
    cleanUpAfterProcedure(s, data, split, weight);
    throw;
  }
  cleanUpAfterProcedure(s, data, split, weight);
  commandTiming().endCommand(command.text, s.sourceLocation);
}

// Line n (1-based) of the source, blanks collapsed; empty when there is none.
std::string sourceLine(std::string_view source, int n) {
  for (int k = 1; k < n && !source.empty(); ++k) {
    const auto end = source.find('\n');
    source = end == std::string_view::npos ? std::string_view{} : source.substr(end + 1);
  }
  source = source.substr(0, source.find('\n'));
  std::string line;
  for (const char c : source) {
    const bool blank = c == ' ' || c == '\t' || c == '\r';
    if (blank && (line.empty() || line.back() == ' ')) continue;
    line += blank ? ' ' : c;
  }
  if (!line.empty() && line.back() == ' ') line.pop_back();
  return n > 0 ? line : std::string();
}

// Hands every item to two renderers: the requested format and the HTML report.
class TeeRenderer : public output::Renderer {
 public:
  TeeRenderer(std::unique_ptr<output::Renderer> first, std::unique_ptr<output::Renderer> second)
      : first_(std::move(first)), second_(std::move(second)) {}
  void beginProcedure(const std::string& title, const output::CommandInfo* command) override {
    first_->beginProcedure(title, command);
    second_->beginProcedure(title, command);
  }
  void endProcedure() override {
    first_->endProcedure();
    second_->endProcedure();
  }
  void beginHeading(const std::string& title) override {
    first_->beginHeading(title);
    second_->beginHeading(title);
  }
  void endHeading() override {
    first_->endHeading();
    second_->endHeading();
  }
  void notes(const output::NotesGroup& group) override {
    first_->notes(group);
    second_->notes(group);
  }
  void table(const output::PivotTable& table) override {
    first_->table(table);
    second_->table(table);
  }
  void message(const output::Message& message) override {
    first_->message(message);
    second_->message(message);
  }
  void finish() override {
    first_->finish();
    second_->finish();
  }

 private:
  std::unique_ptr<output::Renderer> first_;
  std::unique_ptr<output::Renderer> second_;
};

std::string lowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

}  // namespace

double systemMissingValue() { return data::kSystemMissing; }

std::vector<std::string> variableNamesFor(const std::vector<std::string>& headers) {
  std::vector<std::string> names;
  names.reserve(headers.size());
  for (data::HeaderName& made : data::makeVariableNames(headers))
    names.push_back(std::move(made.name));
  return names;
}

struct Engine::SavedSession {
  std::shared_ptr<Dataset> dataset;
  SplitSettings split;
  std::int64_t weightVariable;
  std::string failedLoad;
  OutputBuilder* output;
  const std::ios* document;
  std::int64_t workspaceBytes;
  std::size_t threads;
};

Engine::Engine(const EngineOptions& options) {
  armMemoryReserve();
  Session& s = Session::current();
  previous_ = std::make_unique<SavedSession>(
      SavedSession{s.dataset, s.split, s.weightVariable, s.failedLoad, s.output(), s.document,
                   s.workspace.limitBytes(), workerThreads()});
  s.reset();
  setWorkerThreads(options.threads);
  s.workspace.setLimit(options.workspaceBytes);
  registerDataCommands();
  std::ostream& out = options.out != nullptr ? *options.out : std::cout;
  previousProgress_ = activeProgressMeter();
  if (options.progress != nullptr) {
    // The output passes through a buffer that erases the progress line first,
    // in case both go to the same terminal.
    progress_ = std::make_unique<ProgressMeter>(*options.progress, &out, options.progressWidth);
    progressBuffer_ = std::make_unique<ProgressAwareBuffer>(out.rdbuf(), *progress_);
    progressOutput_ = std::make_unique<std::ostream>(progressBuffer_.get());
  }
  setActiveProgressMeter(progress_.get());
  previousTiming_ = commandTiming().report();
  commandTiming().setReport(options.timing);
  std::ostream* diagnostics = options.diagnostics;
  if (diagnostics != nullptr && progress_) {
    // The diagnostics usually share standard error with the progress line.
    diagnosticsBuffer_ = std::make_unique<ProgressAwareBuffer>(diagnostics->rdbuf(), *progress_);
    diagnosticsOutput_ = std::make_unique<std::ostream>(diagnosticsBuffer_.get());
    diagnostics = diagnosticsOutput_.get();
  }
  std::ostream& document = progressOutput_ ? *progressOutput_ : out;
  output_ = makeOutputBuilder(options.format, document, options.html, diagnostics,
                              options.pageWidth, options.matrixFiles, options.longDiagonal);
  s.setOutput(output_.get());
  previousKeepWrittenMatrix_ = keepingWrittenMatrices();
  keepWrittenMatrices(options.keepWrittenMatrix);
  s.document = &document;
}

Engine::~Engine() {
  try {
    finish();
  } catch (...) {  // a destructor must not throw; the output is as complete as it gets
  }
  if (progress_) progress_->clear();
  setActiveProgressMeter(previousProgress_);
  commandTiming().setReport(previousTiming_);
  keepWrittenMatrices(false);  // what this engine kept goes with it
  keepWrittenMatrices(previousKeepWrittenMatrix_);
  Session& s = Session::current();
  s.reset();
  s.dataset = previous_->dataset;
  s.split = previous_->split;
  s.weightVariable = previous_->weightVariable;
  s.failedLoad = previous_->failedLoad;
  s.setOutput(previous_->output);
  s.document = previous_->document;
  if (s.workspace.limitBytes() != previous_->workspaceBytes) {
    s.workspace.setLimit(previous_->workspaceBytes);
  }
  setWorkerThreads(previous_->threads);
}

void Engine::registerProcedure(std::string word, std::size_t minLetters, ProcedureEntry entry,
                               std::string synopsis) {
  registerCommand(
      std::move(word), minLetters,
      [entry](Session& s, Args& args) {
        skipWithoutLoadedData(s);
        runProcedure(s, args.command(), entry);
      },
      std::move(synopsis));
}

std::vector<CommandSynopsis> commandSynopses() {
  registerDataCommands();  // an Engine registers them too; registering again changes nothing
  std::vector<CommandSynopsis> list;
  for (CommandSummary& c : registeredCommands()) {
    list.push_back(CommandSynopsis{std::move(c.word), c.minLetters, std::move(c.synopsis)});
  }
  return list;
}

std::string_view spelledKeyword(std::string_view tableEntry) { return fullKeyword(tableEntry); }

void Engine::setWorkingData(std::vector<DataColumn> columns, std::string source) {
  Dictionary dictionary;
  std::vector<data::Column> kept;
  kept.reserve(columns.size());
  std::set<std::string> names;
  std::size_t cases = 0;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    DataColumn& column = columns[k];
    if (!data::isValidVariableName(column.name)) {
      throw std::invalid_argument("\"" + column.name + "\" is not a valid variable name.");
    }
    if (!names.insert(lowerCase(column.name)).second) {
      throw std::invalid_argument("Two columns are named " + column.name + ".");
    }
    const std::size_t size = column.isString ? column.texts.size() : column.numbers.size();
    if (k > 0 && size != cases) {
      throw std::invalid_argument("The column " + column.name + " has " + std::to_string(size) +
                                  " values, the first column " + std::to_string(cases) + ".");
    }
    cases = size;
    Variable v;
    v.name = column.name;
    if (column.isString) {
      std::size_t longest = 1;
      for (const std::string& text : column.texts) longest = std::max(longest, text.size());
      if (longest > static_cast<std::size_t>(data::kMaxStringWidth)) {
        throw std::invalid_argument("A value of " + column.name + " is longer than " +
                                    std::to_string(data::kMaxStringWidth) + " bytes.");
      }
      v.width = static_cast<int>(longest);
    }
    v.print = v.write = data::defaultFormat(v.width);
    dictionary.add(std::move(v));
    kept.push_back(
        data::Column{column.isString, std::move(column.numbers), std::move(column.texts)});
  }
  Session& s = Session::current();
  s.dataset = std::make_shared<data::ColumnDataset>(std::move(dictionary), std::move(kept),
                                                    std::move(source));
  s.split = SplitSettings{};
  s.weightVariable = 0;
}

WrittenMatrix Engine::takeWrittenMatrix() { return engine::takeWrittenMatrix(); }

std::vector<DataColumn> Engine::workingData() const {
  const Session& s = Session::current();
  std::vector<DataColumn> columns;
  if (!s.dataset) return columns;
  for (const Variable& v : s.dataset->dictionary.variables()) {
    columns.push_back(DataColumn{v.name, v.isString(), {}, {}});
  }
  // Data held as columns are copied as they are, without a pass.
  if (const auto* held = dynamic_cast<const data::ColumnDataset*>(s.dataset.get())) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (columns[k].isString) {
        columns[k].texts.reserve(held->caseCount());
        for (const std::string& text : held->columns()[k].texts) {
          columns[k].texts.push_back(text.substr(0, text.find_last_not_of(' ') + 1));
        }
      } else {
        columns[k].numbers = held->columns()[k].numbers;
      }
    }
    return columns;
  }
  const std::unique_ptr<CaseCursor> cursor = s.dataset->open();
  Case c;
  while (cursor->next(c)) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (columns[k].isString) {
        std::string_view text = c.strings[k];
        text = text.substr(0, text.find_last_not_of(' ') + 1);
        columns[k].texts.emplace_back(text);
      } else {
        columns[k].numbers.push_back(c.values[k]);
      }
    }
  }
  return columns;
}

bool Engine::run(std::string_view source, std::string_view sourceName) {
  interrupted_ = false;
  std::vector<Command> commands;
  try {
    commands = splitCommands(source);
  } catch (const ScanError& e) {
    // No command could be cut out; show the offending line in its place.
    std::string location(sourceName);
    if (e.line > 0) location += ":" + std::to_string(e.line);
    output_->beginCommand(sourceLine(source, e.line), location);
    showError(e.what());
    output_->endCommand();
    return true;
  } catch (const std::bad_alloc&) {
    commands = {};  // what was cut out so far goes, so that the message has room
    output_->beginCommand(sourceLine(source.substr(0, 200), 1), std::string(sourceName) + ":1");
    showError("Insufficient memory to read the commands of " + std::string(sourceName) + " (" +
              std::to_string(source.size()) + " bytes); none of them was run.");
    output_->endCommand();
    armMemoryReserve();
    return true;
  }
  for (const Command& command : commands) {
    runCommand(command, sourceName);
    if (interrupted_) return false;
  }
  return true;
}

void Engine::runCommand(const Command& command, std::string_view sourceName) {
  Session& s = Session::current();
  s.global.errorFlag = kFalse;
  s.sourceLocation = std::string(sourceName) + ":" + std::to_string(command.line);
  output_->beginCommand(command.text, s.sourceLocation);
  if (progress_) progress_->beginCommand(ProgressMeter::Clock::now());
  Activity::takeAbandoned();  // what an earlier command left behind
  try {
    dispatch(command);
  } catch (const CommandSkipped& e) {
    s.message(1, e.what());
  } catch (const Interrupted&) {
    // An output that cannot be written ends the run without a word: there is
    // nobody to read it.
    if (!s.documentLost()) showError("The command was interrupted.");
    interrupted_ = true;
  } catch (const std::bad_alloc&) {
    // Whatever the command held was freed on the way here.
    const std::string step = Activity::takeAbandoned();
    showError(step.empty() ? "Insufficient memory to run the command " +
                                 command.tokens.front().text + "; it was abandoned."
                           : "Insufficient memory while " + step + "; the command " +
                                 command.tokens.front().text + " was abandoned.");
    armMemoryReserve();
  } catch (const std::exception& e) {  // CommandError, ScanError, DataError and the like
    showError(e.what());
  }
  if (s.documentLost()) {
    outputLost_ = true;
    interrupted_ = true;
  }
  // Ctrl-C during a command that never checks: stop before the next one.
  if (!interrupted_ && takeInterrupt()) {
    showError("The run was interrupted.");
    interrupted_ = true;
  }
  if (progress_) progress_->endCommand();
  if (isTrue(s.global.errorFlag)) errorShown_ = true;
  s.global.errorFlag = kFalse;  // the host's error flag belongs to one command
  output_->endCommand();
}

void Engine::dispatch(const Command& command) {
  const Token& word = command.tokens.front();
  const CommandHandler* handler = word.cls == kTokenName ? findCommand(word.text) : nullptr;
  if (handler == nullptr) {
    showError("Unknown command " + word.text + ".");
    return;
  }
  Args args(command);
  (*handler)(Session::current(), args);
}

void Engine::showError(const std::string& text) {
  Session::current().message(3, text);
  errorShown_ = true;
}

std::unique_ptr<OutputBuilder> makeOutputBuilder(OutputFormat format, std::ostream& out,
                                                 std::ostream* html, std::ostream* diagnostics,
                                                 std::size_t pageWidth,
                                                 output::MatrixFiles* matrixFiles,
                                                 bool longDiagonal) {
  std::unique_ptr<output::Renderer> renderer;
  switch (format) {
    case OutputFormat::Json:
      renderer = output::makeJsonRenderer(out);
      break;
    case OutputFormat::Html:
      renderer = output::makeHtmlRenderer(out);
      break;
    case OutputFormat::Text:
      renderer = output::makeTextRenderer(out, output::TextOptions{.pageWidth = pageWidth});
      break;
    case OutputFormat::Csv:
      renderer = output::makeSquareCsvRenderer(out, matrixFiles);
      break;
    case OutputFormat::Long:
      renderer = output::makeLongCsvRenderer(out, matrixFiles, longDiagonal);
      break;
  }
  if (html != nullptr) {
    renderer = std::make_unique<TeeRenderer>(std::move(renderer), output::makeHtmlRenderer(*html));
  }
  if (diagnostics != nullptr) renderer = output::makeMessageEcho(std::move(renderer), *diagnostics);
  return OutputBuilder::create(std::move(renderer), workingDataSplitTitles);
}

void standardInputHoldsCommands() { data::reserveStandardInputForCommands(); }

volatile std::sig_atomic_t& interruptRequest() { return Session::current().interruptRequested; }

bool Engine::takeInterrupt() {
  Session& s = Session::current();
  if (s.interruptRequested == 0) return false;
  s.interruptRequested = 0;
  return true;
}

void Engine::finish() {
  if (finished_) return;
  finished_ = true;
  output_->finish();
}

}  // namespace engine
