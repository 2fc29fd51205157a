#include "engine/data/split_title.h"

#include "engine/core/session.h"
#include "engine/data/number_text.h"

namespace engine {

std::string splitValueText(const Variable& variable, const Case& c, std::size_t k) {
  if (variable.isString()) {
    const std::string& text = c.strings[k];
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
  const double value = c.values[k];
  if (const auto label = variable.valueLabels.find(value); label != variable.valueLabels.end()) {
    return label->second;
  }
  if (value == Session::current().constants.systemMissing) return "(missing)";
  return data::formatNumber(value);
}

}  // namespace engine
