#include "engine/output/composite.h"

#include <optional>

namespace engine::output {

namespace {

// Collects the output; the blank rule applies to template characters only,
// parameter texts are copied as they are.
class Assembler {
 public:
  explicit Assembler(std::string& out) : out_(out) { out_.clear(); }
  void literal(char c) {
    if (c == ' ' && (out_.empty() || out_.back() == ' ')) return;
    out_ += c;
  }
  void parameter(std::string_view text) { out_ += text; }

 private:
  std::string& out_;
};

bool isParameterDigit(char c) { return c >= '1' && c <= '9'; }

// Renders a pattern of a repeat list for one element: `marker` + digit is a field.
void renderPattern(std::string_view pattern, char marker, const std::vector<std::string>& fields,
                   Assembler& out) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '\\' && i + 1 < pattern.size()) {
      out.literal(pattern[++i]);
    } else if (c == marker && i + 1 < pattern.size() && isParameterDigit(pattern[i + 1])) {
      const std::size_t field = static_cast<std::size_t>(pattern[++i] - '1');
      if (field < fields.size()) out.parameter(fields[field]);
    } else {
      out.literal(c);
    }
  }
}

struct RepeatList {
  std::string_view first;  // pattern A
  std::string_view later;  // pattern B
  std::size_t parameter;   // 0-based
  std::size_t length;      // characters of the template it covers
};

// Finds the next unescaped `c` at or after `from`.
std::size_t findUnescaped(std::string_view text, char c, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == c) {
      return i;
    }
  }
  return std::string_view::npos;
}

// Parses "[A:B:]n" at the start of `text`; nullopt when it is not one, and the
// bracket is then shown as it is.
std::optional<RepeatList> parseRepeatList(std::string_view text) {
  const std::size_t colon1 = findUnescaped(text, ':', 1);
  if (colon1 == std::string_view::npos) return std::nullopt;
  const std::size_t colon2 = findUnescaped(text, ':', colon1 + 1);
  if (colon2 == std::string_view::npos || colon2 + 2 >= text.size()) return std::nullopt;
  if (text[colon2 + 1] != ']' || !isParameterDigit(text[colon2 + 2])) return std::nullopt;
  return RepeatList{text.substr(1, colon1 - 1), text.substr(colon1 + 1, colon2 - colon1 - 1),
                    static_cast<std::size_t>(text[colon2 + 2] - '1'), colon2 + 3};
}

void renderList(const RepeatList& list, std::span<const CompositeParameter> parameters,
                Assembler& out) {
  if (list.parameter >= parameters.size()) return;
  const auto& elements = parameters[list.parameter].elements;
  for (std::size_t k = 0; k < elements.size(); ++k) {
    if (k == 0) {
      renderPattern(list.first, '%', elements[k], out);
    } else {
      renderPattern(list.later, '^', elements[k], out);
    }
  }
}

// A list used as a plain "^n": its elements' fields joined by blanks, the
// elements by ", ".
void renderPlain(const CompositeParameter& parameter, Assembler& out) {
  for (std::size_t k = 0; k < parameter.elements.size(); ++k) {
    if (k > 0) out.parameter(", ");
    const auto& fields = parameter.elements[k];
    for (std::size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) out.parameter(" ");
      out.parameter(fields[f]);
    }
  }
}

}  // namespace

CompositeParameter CompositeParameter::single(std::string text) {
  CompositeParameter p;
  p.elements.push_back({std::move(text)});
  return p;
}

std::string fillTemplate(std::string_view templ, std::span<const CompositeParameter> parameters) {
  std::string text;
  fillTemplate(templ, parameters, text);
  return text;
}

void fillTemplate(std::string_view templ, std::span<const CompositeParameter> parameters,
                  std::string& text) {
  Assembler out(text);
  for (std::size_t i = 0; i < templ.size(); ++i) {
    const char c = templ[i];
    if (c == '\\' && i + 1 < templ.size()) {
      out.literal(templ[++i]);
    } else if (c == '^' && i + 1 < templ.size() && isParameterDigit(templ[i + 1])) {
      const std::size_t index = static_cast<std::size_t>(templ[++i] - '1');
      if (index < parameters.size()) renderPlain(parameters[index], out);
    } else if (c == '[') {
      const std::optional<RepeatList> list = parseRepeatList(templ.substr(i));
      if (list) {
        renderList(*list, parameters, out);
        i += list->length - 1;
      } else {
        out.literal(c);
      }
    } else {
      out.literal(c);
    }
  }
}

}  // namespace engine::output
