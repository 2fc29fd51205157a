// proximities: runs command files through the engine, with the PROXIMITIES
// procedure loaded from its shared library at run time.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/data_options.h"
#include "cli/help.h"
#include "cli/interrupt.h"
#include "cli/matrix_file_set.h"
#include "cli/output_choice.h"
#include "cli/output_file.h"
#include "cli/size_option.h"
#include "engine/engine.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitErrors = 1;
constexpr int kExitUsage = 2;
// Not an exit status: run() asks main() to end the process by SIGPIPE, which
// a shell reports as 141.
constexpr int kEndByBrokenPipe = 128 + SIGPIPE;

struct Settings {
  std::vector<std::string> files;
  std::vector<std::string> commands;
  DataOptions data;
  std::string format = "text";
  std::string outputPath;
  std::string workspace = "4G";
  bool timing = false;
  std::int64_t width = -1;  // --width; -1 when not given
  bool diagonal = false;
  std::size_t threads = 0;  // --threads; 0: every core
};

// The procedure library: next to the program, in ../lib when installed, or
// where PROXIMITIES_LIBRARY says.
fs::path libraryPath() {
  if (const char* given = std::getenv("PROXIMITIES_LIBRARY")) return given;
  const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
  for (const fs::path& candidate : {self / "libprox.so", self / "../lib/libprox.so"}) {
    if (fs::exists(candidate)) return candidate;
  }
  return self / "libprox.so";
}

engine::ProcedureEntry loadProcedure(std::string& error) {
  const fs::path path = libraryPath();
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = std::string("cannot load the procedure library: ") + dlerror();
    return nullptr;
  }
  void* entry = dlsym(library, "PROX");
  if (entry == nullptr) {
    error = path.string() + " has no entry point PROX";
    return nullptr;
  }
  return reinterpret_cast<engine::ProcedureEntry>(entry);
}

std::optional<std::string> readSource(const std::string& name, std::string& error) try {
  if (name == "-") {
    std::ostringstream text;
    text << std::cin.rdbuf();
    return text.str();
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    error = "cannot read " + name;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
} catch (const std::bad_alloc&) {
  error = "insufficient memory to read the commands of " + name;
  return std::nullopt;
}

void describe(CLI::App& app, Settings& s) {
  app.description(
      "Computes proximities (similarities and dissimilarities) between the cases or the "
      "variables of a dataset. Runs the commands of each FILE in order, then those of each -e; "
      "with no FILE and no -e, or with FILE '-', reads commands from standard input.");
  app.add_option("FILE", s.files, "command files to run, in order ('-' for standard input)");
  // One text per -e: a vector option would otherwise take the FILEs after it too.
  app.add_option("-e,--execute", s.commands, "run this command text after the files (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)
      ->take_all();
  addDataOptions(app, s.data);
  app.add_option("--format", s.format,
                 "output format: text, json, html, csv (each matrix as a labelled square) or "
                 "long (item1,item2,value rows); default: from the -o file's extension .txt, "
                 ".json, .html, .csv or .long.csv, else text")
      ->check(CLI::IsMember({"text", "json", "html", "csv", "long"}));
  app.add_option("-o,--output", s.outputPath,
                 "write the output to this file (replaced only when the run completes)");
  app.add_flag("--diagonal", s.diagonal,
               "with --format long, also write each item's proximity with itself");
  app.add_flag("--timing", s.timing,
               "after each PROXIMITIES command, report on standard error the time of its phases: "
               "counting pass, reading, computing, printing, writing");
  app.add_option("--threads", s.threads,
                 "threads for reading data files and writing output; the computation itself "
                 "runs on one (default: every core)")
      ->type_name("N")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1024}));
  app.add_option("--width", s.width,
                 "fit text tables to N columns, showing a wider one in blocks of columns; 0: no "
                 "limit (default: the terminal's width, else 80)")
      ->type_name("N")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{100000}));
  app.add_option("--workspace", s.workspace,
                 "largest workspace the procedure may use, e.g. 512M, 4G (default 4G)")
      ->default_str("4G");
  app.set_version_flag("--version", std::string("proximities ") + PROX_VERSION);
  cli::setUpHelp(app);
}

// Text tables fit the terminal they are shown on; anywhere else (a file, a
// pipe, -o) 80 columns, the width files are usually read at.
std::size_t pageWidth(const Settings& s) {
  if (s.width >= 0) return static_cast<std::size_t>(s.width);
  winsize size{};
  if (s.outputPath.empty() && isatty(STDOUT_FILENO) &&
      ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return 80;
}

// Standard output is a pipe or a socket: a write to it fails only when the
// reader has gone away.
bool standardOutputIsPipe() {
  struct stat status {};
  return fstat(STDOUT_FILENO, &status) == 0 &&
         (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

// The output could not be written. A reader that went away (`| head`) wanted
// no more: the run ends quietly, as other tools do. Anything else is an error.
int outputLost(const Settings& s) {
  if (s.outputPath.empty() && standardOutputIsPipe()) return kEndByBrokenPipe;
  std::cerr << "proximities: cannot write the output to "
            << (s.outputPath.empty() ? "standard output" : s.outputPath + "; it was not written")
            << '\n';
  return kExitErrors;
}

int run(const Settings& s, std::int64_t workspaceBytes) {
  std::string error;
  const engine::ProcedureEntry prox = loadProcedure(error);
  if (prox == nullptr) {
    std::cerr << "proximities: " << error << '\n';
    return kExitErrors;
  }
  const bool matrices = s.format == "csv" || s.format == "long";
  OutputFile output(s.format == "csv" ? "" : s.outputPath);
  cli::MatrixFileSet matrixFiles(s.format == "csv" ? s.outputPath : "", output.stream());
  if (!output.ok()) {
    std::cerr << "proximities: cannot write " << s.outputPath << '\n';
    return kExitErrors;
  }

  engine::EngineOptions options;
  options.workspaceBytes = workspaceBytes;
  options.format = s.format == "json"   ? engine::OutputFormat::Json
                   : s.format == "html" ? engine::OutputFormat::Html
                   : s.format == "csv"  ? engine::OutputFormat::Csv
                   : s.format == "long" ? engine::OutputFormat::Long
                                        : engine::OutputFormat::Text;
  if (matrices) options.matrixFiles = &matrixFiles;
  options.longDiagonal = s.diagonal;
  options.threads = s.threads;
  options.out = &output.stream();
  options.pageWidth = pageWidth(s);
  if (cli::messagesNeedCopy(s.format, s.outputPath, isatty(STDOUT_FILENO) != 0)) {
    options.diagnostics = &std::cerr;
  }
  if (s.timing) options.timing = &std::cerr;
  // Long commands show their progress on standard error, when it is a terminal.
  if (isatty(STDERR_FILENO)) {
    options.progress = &std::cerr;
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
      options.progressWidth = size.ws_col;
    }
  }
  engine::Engine eng(options);
  const cli::ProcedureCommand& command = cli::kProximitiesCommand;
  eng.registerProcedure(command.word, command.minLetters, prox, command.synopsis);
  cli::installInterruptHandler();
  // A closed pipe makes writes fail with EPIPE instead of killing the
  // process at once, so that unfinished matrix files and the -o temporary
  // file are removed before the end.
  std::signal(SIGPIPE, SIG_IGN);

  bool completed = true;
  if (!s.data.data.empty()) completed = eng.run(loadCommand(s.data), "--data");

  std::vector<std::string> files = s.files;
  if (files.empty() && s.commands.empty()) {
    if (isatty(STDIN_FILENO)) std::cerr << "proximities: reading commands from standard input\n";
    files.push_back("-");
  }
  for (const std::string& file : files) {
    if (!completed) break;
    const std::optional<std::string> source = readSource(file, error);
    if (!source) {
      std::cerr << "proximities: " << error << '\n';
      eng.finish();
      return kExitErrors;
    }
    completed = eng.run(*source, file == "-" ? "<stdin>" : file);
  }
  for (std::size_t i = 0; completed && i < s.commands.size(); ++i) {
    completed = eng.run(s.commands[i], "-e");
  }
  eng.finish();
  if (eng.outputLost()) return outputLost(s);
  if (!completed) {  // interrupted: the output file is not kept
    std::cerr << "proximities: the run was interrupted"
              << (s.outputPath.empty() ? "" : "; " + s.outputPath + " was not written") << '\n';
    return 128 + cli::interruptingSignal();  // as a shell reports a command a signal ended
  }
  if (const std::string writeError = output.commit(); !writeError.empty()) {
    std::cerr << "proximities: cannot write " << s.outputPath << ": " << writeError << '\n';
    return kExitErrors;
  }
  const bool written = !matrices || matrixFiles.commit();
  const bool problems = !written || matrixFiles.problemsShown();
  return eng.errorShown() || problems ? kExitErrors : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app;
  Settings settings;
  describe(app, settings);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  std::string formatError;
  const std::optional<std::string> format = cli::chooseFormat(
      app.get_option("--format")->count() > 0, settings.format, settings.outputPath, formatError);
  if (!format) {
    std::cerr << "proximities: " << formatError << '\n';
    return kExitUsage;
  }
  settings.format = *format;
  if (settings.diagonal && settings.format != "long") {
    std::cerr << "proximities: --diagonal goes with --format long\n";
    return kExitUsage;
  }
  const bool commandsFromStandardInput =
      (settings.files.empty() && settings.commands.empty()) ||
      std::find(settings.files.begin(), settings.files.end(), "-") != settings.files.end();
  if (const auto error = dataOptionsError(settings.data, commandsFromStandardInput)) {
    std::cerr << "proximities: " << *error << '\n';
    return kExitUsage;
  }
  if (commandsFromStandardInput) engine::standardInputHoldsCommands();
  const std::optional<std::int64_t> workspace = parseSize(settings.workspace);
  if (!workspace) {
    std::cerr << "proximities: --workspace takes a size such as 65536, 512K, 64M or 4G\n";
    return kExitUsage;
  }
  int status = kExitErrors;
  try {
    status = run(settings, *workspace);
  } catch (const std::bad_alloc&) {  // the engine reports its own; this is what is left
    std::cerr << "proximities: insufficient memory to complete the run\n";
    return kExitErrors;
  }
  if (status == kEndByBrokenPipe) {
    std::signal(SIGPIPE, SIG_DFL);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
    std::raise(SIGPIPE);
  }
  return status;
}
