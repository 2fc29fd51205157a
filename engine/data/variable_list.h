// Variable lists in the engine's own commands: names, "first TO last" (every
// variable from first to last in dictionary order) and ALL.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "engine/core/commands.h"
#include "engine/core/dictionary.h"

namespace engine::data {

// Reads a list from the command's next tokens up to the end of the command,
// a "/" or "=", or a name among stopWords (left unread). Returns 1-based
// dictionary indices without repeats, in the order given. An empty list, an
// unknown name or a reversed TO range fails the command.
std::vector<std::int64_t> parseVariableList(Args& args, const Dictionary& dictionary,
                                            std::initializer_list<std::string_view> stopWords = {});

}  // namespace engine::data
