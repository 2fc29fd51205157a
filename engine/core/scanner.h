// The command language's scanner: splits a command file into commands (a
// period before white space or at the end of the input ends one) and a
// command into tokens. The rules are written down in docs/command-language.md.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/tavixwcom.h"

namespace engine {

struct Token {
  TokenClass cls = kTokenDelimiter;
  DelimiterCode delim = kDelimNone;
  double number = 0.0;  // number tokens
  std::string text;     // as typed; string tokens without their quotes
  int line = 0;         // line of the command file, for messages
};

struct Command {
  std::vector<Token> tokens;  // the first token is the command word
  std::string text;           // the command as typed, on one line, blanks collapsed
  int line = 0;               // first line
  // Inline data that follow the command (INLINE ... END INLINE), raw lines.
  std::vector<std::string> inlineLines;
};

struct ScanError : std::runtime_error {
  using std::runtime_error::runtime_error;
  ScanError(int atLine, const std::string& what)
      : std::runtime_error("Line " + std::to_string(atLine) + ": " + what), line(atLine) {}
  int line = 0;  // line of the source where the problem is, 0 when unknown
};

// Splits source text into commands. Throws ScanError on an unterminated
// string, an unknown character or inline data without their end line, with
// the line in the message. Empty commands (a lone period) are dropped.
std::vector<Command> splitCommands(std::string_view source);

}  // namespace engine
