// A copy of the run's errors and warnings for the person at the terminal,
// when the document itself goes somewhere they do not read as it runs: a
// file, a pipe, JSON or HTML.
#pragma once

#include <memory>
#include <ostream>

#include "engine/output/renderer.h"

namespace engine::output {

// A renderer that passes every item on to `document` and also writes each
// error and warning, with its command and location, to `echo` as the text
// rendering shows it. A note that directly follows an echoed message of the
// same command (the engine's hint after an error) is echoed with it.
std::unique_ptr<Renderer> makeMessageEcho(std::unique_ptr<Renderer> document, std::ostream& echo);

}  // namespace engine::output
