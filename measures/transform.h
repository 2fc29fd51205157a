// ABSOLUTE, REVERSE and RESCALE applied to a finished triangle, with the
// record of what the numbers now mean (direction, absolute values).
#pragma once

#include <span>

void protransform(std::span<double> t);
