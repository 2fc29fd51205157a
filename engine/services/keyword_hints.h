// Notes the engine adds after a procedure's own error message, to say what it
// cannot: which keywords a place takes, how much workspace a command needed.
// The services record what they saw (a keyword that matched nothing, a
// workspace request refused); BP_ERROR asks for the note once the procedure's
// message is shown.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/fixed_text.h"

namespace engine {

// The keyword an entry of a procedure's table stands for: tables hold
// shortened entries ("EUC", "STANDARD"), people type the words ("EUCLID",
// "STANDARDIZE"). An entry the engine does not know stands for itself.
std::string_view fullKeyword(std::string_view entry);

// QABMCH found no entry for `token` in `table` / found one.
void recordKeywordMiss(std::string_view token, std::span<const Keyword> table);
void clearKeywordMiss();

// A workspace request of `requestedBytes` was refused while `inUseBytes`
// were taken, under a limit of `limitBytes`, on a machine that can give
// `machineBytes` (0: unknown).
void recordWorkspaceRefusal(std::int64_t requestedBytes, std::int64_t inUseBytes,
                            std::int64_t limitBytes, std::int64_t machineBytes = 0);

// Forgets what was recorded: a new command starts.
void clearHints();

// After the procedure showed `text` with `severity`: the engine's note that
// goes with it, if any (empty otherwise); what it was about is forgotten.
std::string hintAfterMessage(std::string_view text, std::int64_t severity);

}  // namespace engine
