// The engine's data commands: LOAD, INLINE, DECLARE MISSING, LABEL, GROUP,
// CASE WEIGHT and EXPORT (see docs/command-language.md, "Data commands").
#pragma once

namespace engine {

// Adds the data commands to the command table; the Engine calls it once.
void registerDataCommands();

}  // namespace engine
