// ASSERT: a procedure's internal check failed. That is a bug, not a user
// error, but the user must learn that the results of the command cannot be
// trusted, so it is shown as an error (which also stops the command at its
// next check of the host's error flag).
#include <string>

#include "engine/core/session.h"
#include "host/tavixwlib.h"

namespace {

std::string_view trimmedBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

void ASSERT(std::string_view routine, std::string_view condition) {
  std::string text = "Internal error in ";
  text.append(trimmedBlanks(routine));
  text.append(": the check ");
  text.append(trimmedBlanks(condition));
  text.append(" failed.");
  engine::Session::current().message(3, text);
}
