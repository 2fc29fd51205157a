// A running engine for tests of the procedure's routines: the shared areas
// the routines read are the engine's, attached as the loaded library would.
#pragma once

#include <sstream>
#include <string>

#include "engine/engine.h"
#include "host/host.h"

namespace testing_host {

// The engine of the test process, created on first use. PROXIMITIES runs the
// procedure; PARSETEST runs only its set-up and parsing stages and keeps the
// settings they produced in parsedOptions().
engine::Engine& engineForTests();

// Attaches the procedure to the test engine (idempotent).
void attach();

// Runs commands and returns what they showed (text rendering).
std::string run(const std::string& commands);

}  // namespace testing_host

struct ProxOptions;
namespace testing_host {
ProxOptions& parsedOptions();

}  // namespace testing_host
