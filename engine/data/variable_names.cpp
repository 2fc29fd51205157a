#include "engine/data/variable_names.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "engine/data/csv_table.h"

namespace engine::data {

namespace {

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }

bool isNameRest(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '@' ||
         c == '#';
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string lowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

}  // namespace

std::string validVariableName(std::string_view header, std::size_t column) {
  if (isValidVariableName(header)) return std::string(header);
  std::string name;
  for (const char c : header) {
    if (isContinuationByte(c)) continue;  // the rest of a character already replaced
    name += isNameRest(c) ? c : '_';
  }
  if (name.empty()) name = std::to_string(column);
  if (!isNameStart(name.front())) name.insert(name.begin(), 'v');
  name.resize(std::min(name.size(), kMaxNameLength));
  return name;
}

std::vector<std::string> variableNames(const std::vector<std::string>& headers) {
  std::vector<std::string> names;
  names.reserve(headers.size());
  std::set<std::string> taken;  // lower case
  // Valid names are kept as they are, so they are taken first: a made name
  // never pushes a valid one aside.
  std::vector<bool> kept(headers.size(), false);
  for (std::size_t k = 0; k < headers.size(); ++k) {
    if (isValidVariableName(headers[k])) kept[k] = taken.insert(lowerCase(headers[k])).second;
  }
  for (std::size_t k = 0; k < headers.size(); ++k) {
    if (kept[k]) {
      names.push_back(headers[k]);
      continue;
    }
    const std::string base = validVariableName(headers[k], k + 1);
    std::string name = base;
    for (int n = 2; taken.contains(lowerCase(name)); ++n) {
      // Built by appending: GCC 12 warns falsely (-Wrestrict) on "_" + text.
      std::string suffix(1, '_');
      suffix += std::to_string(n);
      name = base.substr(0, kMaxNameLength - suffix.size());
      name += suffix;
    }
    taken.insert(lowerCase(name));
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace engine::data
