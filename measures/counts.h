// Chi-square and phi-square between sets of frequencies: a kernel that adds
// one feature's counts to every pair, and the finishing step.
#pragma once

#include <span>

#include "host/tavixwcom.h"

// G gathers each item's total; T and B the two partial sums
// sum x_i^2/(x_i+x_j) and sum x_j^2/(x_i+x_j).
void proacc_chisq(std::span<const double> x, std::span<double> t, std::span<double> b,
                  std::span<double> g);
// Turns the sums into chi-square (code 8) or phi-square (9); G becomes 0.
// An item whose total does not exceed features * epsilon counts as empty.
void profinish_chisq(std::span<double> t, std::span<const double> b, std::span<double> g,
                     Word features, Word code);
