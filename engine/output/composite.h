// Composite strings: a template whose "^1", "^2" ... are filled by parameters
// in order, and whose bracketed repeat lists "[A:B:]n" render parameter n, a
// list, with pattern A for its first element and pattern B for every later
// one (fields %1, %2 ... in A and ^1, ^2 ... in B). "\x" shows x itself, so
// that "\:" can stand in a template without ending a pattern.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace engine::output {

// One parameter: a single text, or a list whose elements have one or more
// fields (a split group's variable and value, for instance).
struct CompositeParameter {
  std::vector<std::vector<std::string>> elements;
  bool isList = false;

  static CompositeParameter single(std::string text);
};

// Fills the template. A missing parameter or field is empty. A blank of the
// template is not repeated after a blank, so that parameters which end in a
// blank (the prefixes of a measure label) carry their own separator. The
// result is not trimmed.
std::string fillTemplate(std::string_view templ, std::span<const CompositeParameter> parameters);
// The same into `out`, replacing what it held: its room is reused.
void fillTemplate(std::string_view templ, std::span<const CompositeParameter> parameters,
                  std::string& out);

}  // namespace engine::output
