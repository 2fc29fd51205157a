// The options that say what --data loads and how: the file, its separator,
// decimal mark and missing texts. They become one LOAD command with the
// matching subcommands (docs/data-files.md, "Dialects").
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

struct DataOptions {
  std::string data;       // the CSV file; "-": standard input; empty: none
  std::string separator;  // as given; empty: found from the file
  std::string decimal;    // "point", "comma" or empty
  std::vector<std::string> missing;
};

void addDataOptions(CLI::App& app, DataOptions& options);

// A mistake in the options, to be reported as a command-line error (exit 2);
// nothing when they are fine. commandsFromStandardInput: a FILE is '-', or
// there is neither FILE nor -e.
std::optional<std::string> dataOptionsError(const DataOptions& options,
                                            bool commandsFromStandardInput);

// The LOAD command the options stand for, as in LOAD "x.csv" /SEPARATOR=TAB.
std::string loadCommand(const DataOptions& options);
