// The engine's command table: each command word maps to a handler. Handlers
// read the command's tokens through Args and report problems with
// Args::fail (an error message tied to the command; the command then stops and
// leaves the working data as it was).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/scanner.h"

namespace engine {

class Session;

class Args {
 public:
  explicit Args(const Command& command) : command_(command) {}
  bool atEnd() const { return pos_ >= command_.tokens.size(); }
  const Token& peek() const;  // the next token; fails at the end
  const Token& next();        // consume and return the next token
  bool nextIsDelim(DelimiterCode d) const;
  bool nextIsWord(std::string_view word) const;  // case-insensitive name match
  std::string expectName();                      // a name token
  std::string expectString();                    // a quoted string token
  double expectNumber();
  void expectDelim(DelimiterCode d, std::string_view what);  // what: e.g. "'=' after FILE"
  void expectEnd();                                          // nothing may follow
  [[noreturn]] void fail(const std::string& message) const;
  const Command& command() const { return command_; }
  std::size_t position() const { return pos_; }

 private:
  const Command& command_;
  std::size_t pos_ = 1;  // token 0 is the command word
};

// Thrown by Args::fail; carries the message shown for the command.
struct CommandError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Thrown by a command that does not run because an earlier one it depends on
// failed; its message is shown as a note, not an error.
struct CommandSkipped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws CommandSkipped when a LOAD or INLINE failed since data last loaded:
// the commands after it were meant for the data it did not load.
void skipWithoutLoadedData(const Session& session);

using CommandHandler = std::function<void(Session&, Args&)>;

// A command word is recognised by its full name or by an abbreviation of at
// least minLetters letters. Words of two-word commands ("CASE WEIGHT") are
// matched by the handler itself from its Args.
// Registering a word again replaces its handler. The synopsis is the
// command's form in one line, as the program's help shows it.
void registerCommand(std::string word, std::size_t minLetters, CommandHandler handler,
                     std::string synopsis = {});

struct CommandSummary {
  std::string word;  // upper case
  std::size_t minLetters;
  std::string synopsis;
};

// Every registered command, in the order they were first registered.
std::vector<CommandSummary> registeredCommands();

// The handler of a command word, or null when no command has that word. A
// full word wins over an abbreviation; among abbreviations the command
// registered first wins.
const CommandHandler* findCommand(std::string_view word);

}  // namespace engine
