// Display widths as a terminal shows them, from the Unicode character data of
// utf8proc: "東京" takes four columns, a decomposed "Café" (e and U+0301)
// four, "Café" precomposed four as well.
#include <utf8proc.h>

#include <algorithm>

#include "engine/output/document.h"

namespace engine::output {

namespace {

// Most texts are numbers and plain labels: printable ASCII, one column each.
bool printableAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

std::size_t displayWidth(std::string_view text) {
  if (printableAscii(text)) return text.size();
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  std::size_t width = 0;
  // A grapheme cluster (a letter and its marks, an emoji sequence joined by
  // U+200D) takes the room of its widest code point, not their sum.
  int cluster = 0;
  utf8proc_int32_t previous = -1;
  utf8proc_int32_t state = 0;
  for (utf8proc_ssize_t i = 0; i < size;) {
    utf8proc_int32_t c = 0;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + i, size - i, &c);
    if (length < 0) {  // a byte that is not UTF-8 shows as one replacement character
      c = 0xFFFD;
      length = 1;
    }
    if (previous >= 0 && utf8proc_grapheme_break_stateful(previous, c, &state)) {
      width += static_cast<std::size_t>(cluster);
      cluster = 0;
    }
    cluster = std::max(cluster, utf8proc_charwidth(c));
    previous = c;
    i += length;
  }
  return width + static_cast<std::size_t>(cluster);
}

}  // namespace engine::output
