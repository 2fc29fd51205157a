// The 27 binary measures, computed from the 2 x 2 table of matches a, b, c, d
// of two items: a kernel that counts present values per feature, the
// finishing step, and the measure formulas themselves.
#pragma once

#include <span>

#include "host/tavixwcom.h"

// Counts the present values of one feature: G(i) += 1 for every item with
// the present value, T(i, j) += 1 for every pair that both have it.
void proacc_binary(std::span<const double> x, std::span<double> t, std::span<double> g,
                   Word present, std::span<Logical> presentFlags);
// Replaces each pair's joint count by the measure and G by the self-proximity.
void profinish_binary(std::span<double> t, std::span<double> g, Word features, Word code);

// One measure; system-missing where it is undefined.
double probinary_measure(Word code, double a, double b, double c, double d);
// An item with itself (b = c = 0).
double probinary_self(Word code, double a, double b, double c, double d);
