#include "engine/data/csv_dialect.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

#include "engine/data/csv_table.h"

namespace engine::data {

namespace {

constexpr std::size_t kCandidates = std::size(kDetectedSeparators);
// Enough lines to tell a regular separator from a chance one.
constexpr std::size_t kSampleRecords = 100;

using Counts = std::array<std::size_t, kCandidates>;

// The separator counts outside quotes of each record at the start of the
// text, blank records left out. A quoted field may span lines.
std::vector<Counts> countSeparators(std::string_view text, bool complete) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<Counts> records;
  Counts counts{};
  bool inQuotes = false;
  bool blank = true;
  for (const char c : text) {
    if (records.size() == kSampleRecords) return records;
    if (c == '"') {
      inQuotes = !inQuotes;
      blank = false;
    } else if (inQuotes) {
      continue;
    } else if (c == '\n') {
      if (!blank) records.push_back(counts);
      counts = {};
      blank = true;
    } else {
      for (std::size_t k = 0; k < kCandidates; ++k) {
        if (c == kDetectedSeparators[k]) ++counts[k];
      }
      if (c != ' ' && c != '\r') blank = false;
    }
  }
  // The last line counts when it is the end of the text, or when it is the
  // header and longer than the whole sample.
  if ((complete || records.empty()) && !blank) records.push_back(counts);
  return records;
}

bool isAsciiAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Letters are ASCII letters and the bytes of any non-ASCII character, as in
// the command language.
bool isNameChar(char c) {
  return isAsciiAlnum(c) || static_cast<unsigned char>(c) >= 0x80 || c == '_' || c == '$' ||
         c == '@' || c == '#';
}

std::string lowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

// At most `limit` bytes of the text, not cutting a UTF-8 character in two.
std::string_view cutToBytes(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// The header text made a name by the rule's replacement steps (not yet unique).
std::string cleanedName(std::string_view text, std::size_t column) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::string name;
  bool gap = false;
  for (const char c : text) {
    if (isNameChar(c)) {
      if (gap && !name.empty()) name += '_';
      gap = false;
      name += c;
    } else {
      gap = true;
    }
  }
  // (Names are built by appending: GCC 12 warns wrongly of "V" + string.)
  std::string result("V");
  if (name.empty()) return result.append(std::to_string(column));
  const char first = name.front();
  if (!std::isdigit(static_cast<unsigned char>(first)) && first != '$' && first != '@' &&
      first != '#') {
    result.clear();
  }
  result.append(name);
  // ALL and TO are words of variable lists: "to" as a name would make
  // "a TO b" mean something else.
  if (isReservedWord(result)) result.append("_");
  return std::string(cutToBytes(result, kMaxNameLength));
}

}  // namespace

bool isUsableSeparator(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (c == kTab) return true;
  return u > ' ' && u < 0x7F && !isAsciiAlnum(c) && c != '"';
}

std::string separatorName(char c) {
  switch (c) {
    case ',':
      return "comma";
    case ';':
      return "semicolon";
    case kTab:
      return "tab";
    case '|':
      return "vertical bar";
    default:
      return std::string{'"', c, '"'};
  }
}

char detectSeparator(std::string_view start, bool complete) {
  const std::vector<Counts> records = countSeparators(start, complete);
  if (records.empty()) return ',';
  const Counts& header = records.front();
  std::size_t best = kCandidates;
  std::size_t bestMatching = 0;  // data records with the header's count
  for (std::size_t k = 0; k < kCandidates; ++k) {
    if (header[k] == 0) continue;
    std::size_t matching = 0;
    for (std::size_t r = 1; r < records.size(); ++r) matching += records[r][k] == header[k];
    // The most lines like the header, then the most fields; earlier wins ties.
    if (best == kCandidates || matching > bestMatching ||
        (matching == bestMatching && header[k] > header[best])) {
      best = k;
      bestMatching = matching;
    }
  }
  return best == kCandidates ? ',' : kDetectedSeparators[best];
}

std::vector<HeaderName> makeVariableNames(const std::vector<std::string>& header) {
  std::vector<HeaderName> names(header.size());
  std::unordered_set<std::string> taken;  // lower case
  // Texts that are valid names keep them, the first of each.
  for (std::size_t k = 0; k < header.size(); ++k) {
    names[k].original = header[k];
    if (isValidVariableName(header[k]) && taken.insert(lowerCase(header[k])).second) {
      names[k].name = header[k];
    }
  }
  // The next suffix to try for each base: names are only ever added, so a
  // suffix once taken stays taken, and a header of a million equal texts
  // does not try 2, 3, ... afresh for every column.
  std::unordered_map<std::string, int> nextSuffix;  // lower-case base -> suffix
  for (std::size_t k = 0; k < header.size(); ++k) {
    HeaderName& entry = names[k];
    if (!entry.name.empty()) continue;
    entry.index =
        k == 0 && header.size() > 1 && header[0].find_first_not_of(" \t") == std::string::npos;
    const std::string base =
        entry.index ? std::string(kIndexColumnName) : cleanedName(header[k], k + 1);
    std::string name = base;
    int& suffix = nextSuffix.try_emplace(lowerCase(base), 2).first->second;
    for (; !taken.insert(lowerCase(name)).second; ++suffix) {
      std::string tail("_");
      tail.append(std::to_string(suffix));
      name.assign(cutToBytes(base, kMaxNameLength - tail.size()));
      name.append(tail);
    }
    entry.name = std::move(name);
    entry.renamed = !entry.index;
  }
  return names;
}

std::string quotedExcerpt(std::string_view text, std::size_t limit) {
  std::string quoted("\"");
  quoted.append(text.size() <= limit ? text : cutToBytes(text, limit));
  quoted.append(text.size() <= limit ? "\"" : "...\"");
  return quoted;
}

}  // namespace engine::data
