// How a split-file variable's value is shown in a split group's title: a
// number in its shortest round-trip form (1, 2.5), the value label when it
// has one, a string without trailing blanks, "(missing)" for the
// system-missing value. The case reader and the matrix-file reader title
// their groups alike.
#pragma once

#include <cstddef>
#include <string>

#include "engine/core/dataset.h"

namespace engine {

// The k-th value of the case, of `variable`.
std::string splitValueText(const Variable& variable, const Case& c, std::size_t k);

}  // namespace engine
