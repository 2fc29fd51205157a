// The parts of `proximities --help` that follow the options: the commands a
// command file may hold and the measure keywords of PROXIMITIES.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <string>

namespace cli {

// A procedure as the program registers it with the engine; the help shows it
// among the engine's own commands.
struct ProcedureCommand {
  const char* word;
  std::size_t minLetters;
  const char* synopsis;
};

extern const ProcedureCommand kProximitiesCommand;

// The commands (from the engine's command table, with PROXIMITIES), the
// measures (from the procedure's measure catalogue), the exit statuses and
// where the manual is, laid out for a terminal 80 columns wide.
std::string helpFooter();

// Gives the app its name, its layout for 80 columns and the footer above.
void setUpHelp(CLI::App& app);

}  // namespace cli
