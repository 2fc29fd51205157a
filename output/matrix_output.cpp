#include "output/matrix_output.h"

#include "proc/options.h"

void promeasure_text() {
  ProxOptions& o = options();
  FixedText<120> text = o.measureText;
  std::size_t length = o.measureText.trimmed().size();
  const auto add = [&](Logical flag, std::string_view word) {
    if (!isTrue(flag)) return;
    for (std::size_t i = 0; i < word.size(); ++i) {
      const std::size_t column = length + 2 + i;  // one blank after the text
      if (column <= text.chars.size()) text.chars[column - 1] = word[i];
    }
    length += 4;
  };
  add(o.rescale, "RES");
  add(o.reverse, "REV");
  add(o.absolute, "ABS");
  o.measureDocText = text;
}
