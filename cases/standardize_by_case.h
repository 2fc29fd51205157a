// Standardizing one vector of values in place, with statistics of that vector
// alone: a case across its variables, or one variable's column of a group.
#pragma once

#include <span>

#include "host/tavixwcom.h"

// method: 1 Z, 2 SD, 3 RANGE, 4 MAX, 5 MEAN, 6 RESCALE; others change nothing.
void prostc(std::span<double> x, Word method);
