// The HTML report as a renderer of the table builder's items.
#pragma once

#include <memory>
#include <ostream>

#include "engine/output/renderer.h"

namespace engine::output {

std::unique_ptr<Renderer> makeHtmlRenderer(std::ostream& out);

}  // namespace engine::output
