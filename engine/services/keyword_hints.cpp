#include "engine/services/keyword_hints.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <utility>
#include <vector>

namespace engine {

namespace {

struct Spelling {
  std::string_view entry;
  std::string_view word;
  bool offered = true;  // listed among the valid keywords (READ, WRITE, OUTFILE are refused)
};

// The procedure's shortened entries and the words they stand for, as the
// documentation gives them (docs/proximities.md). Entries that are already
// whole words (MISSING, CASE, RR, ...) need no line here.
constexpr std::array kSpellings = {
    Spelling{"STANDARD", "STANDARDIZE"},
    Spelling{"READ", "READ", false},
    Spelling{"WRITE", "WRITE", false},
    Spelling{"OUTFILE", "OUTFILE", false},
    Spelling{"EUC", "EUCLID"},
    Spelling{"COS", "COSINE"},
    Spelling{"POW", "POWER"},
    Spelling{"MIN", "MINKOWSKI"},
    Spelling{"DEF", "DEFAULT"},
    Spelling{"SEU", "SEUCLID"},
    Spelling{"BLO", "BLOCK"},
    Spelling{"CHE", "CHEBYCHEV"},
    Spelling{"COR", "CORRELATION"},
    Spelling{"CHI", "CHISQ"},
    Spelling{"JAC", "JACCARD"},
    Spelling{"HAM", "HAMANN"},
    Spelling{"OCH", "OCHIAI"},
    Spelling{"LAM", "LAMBDA"},
    Spelling{"BEU", "BEUCLID"},
    Spelling{"SIZ", "SIZE"},
    Spelling{"PAT", "PATTERN"},
    Spelling{"BSE", "BSEUCLID"},
    Spelling{"BSH", "BSHAPE"},
    Spelling{"DIS", "DISPER"},
    Spelling{"VAR", "VARIANCE"},
    Spelling{"BLW", "BLWMN"},
    Spelling{"NON", "NONE"},
    Spelling{"RES", "RESCALE"},
    Spelling{"REV", "REVERSE"},
    Spelling{"ABS", "ABSOLUTE"},
};

const Spelling* spellingOf(std::string_view entry) {
  for (const Spelling& s : kSpellings) {
    if (s.entry == entry) return &s;
  }
  return nullptr;
}

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

struct KeywordMiss {
  std::string token;
  std::vector<std::string> valid;
};

struct Refusal {
  std::int64_t requested = 0;
  std::int64_t inUse = 0;
  std::int64_t limit = 0;
  std::int64_t machine = 0;
};

std::optional<KeywordMiss>& keywordMiss() {
  static std::optional<KeywordMiss> miss;
  return miss;
}

std::optional<Refusal>& refusal() {
  static std::optional<Refusal> refused;
  return refused;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

}  // namespace

std::string_view fullKeyword(std::string_view entry) {
  const Spelling* s = spellingOf(entry);
  return s != nullptr ? s->word : entry;
}

void recordKeywordMiss(std::string_view token, std::span<const Keyword> table) {
  KeywordMiss miss{trimmed(token), {}};
  for (const Keyword& k : table) {
    const std::string entry = trimmed(k.view());
    if (entry.empty()) continue;
    const Spelling* s = spellingOf(entry);
    if (s != nullptr && !s->offered) continue;
    miss.valid.emplace_back(fullKeyword(entry));
  }
  keywordMiss() = std::move(miss);
}

void clearKeywordMiss() { keywordMiss().reset(); }

void recordWorkspaceRefusal(std::int64_t requestedBytes, std::int64_t inUseBytes,
                            std::int64_t limitBytes, std::int64_t machineBytes) {
  Refusal& r = refusal().emplace();
  r.requested = requestedBytes;
  r.inUse = inUseBytes;
  r.limit = limitBytes;
  r.machine = machineBytes;
}

namespace {

// Within the limit but beyond the machine: raising --workspace cannot help.
bool refusedByMachine(const Refusal& r) {
  const std::int64_t needed = r.inUse + r.requested;
  return r.machine > 0 && needed <= r.limit && needed > r.machine;
}

}  // namespace

void clearHints() {
  keywordMiss().reset();
  refusal().reset();
}

std::string hintAfterMessage(std::string_view text, std::int64_t severity) {
  std::string hint;
  if (severity >= 3 && refusal()) {
    const Refusal& r = *refusal();
    hint = "The command needed at least " + std::to_string(r.inUse + r.requested) +
           " bytes of workspace (" + std::to_string(r.inUse) + " in use and " +
           std::to_string(r.requested) + " more); ";
    hint += refusedByMachine(r)
                ? "this machine can give at most " + std::to_string(r.machine) +
                      " bytes (physical memory and swap, or the memory limit of its control "
                      "group), below the workspace limit of " +
                      std::to_string(r.limit) + " bytes."
                : "the limit is " + std::to_string(r.limit) +
                      " bytes. The program's --workspace option raises it.";
  } else if (severity >= 2 && keywordMiss() && !keywordMiss()->token.empty() &&
             upper(text).find(upper(keywordMiss()->token)) != std::string::npos) {
    // The message is about the word that matched nothing: say what would have.
    hint = "The keywords accepted here are:";
    const std::vector<std::string>& valid = keywordMiss()->valid;
    for (std::size_t i = 0; i < valid.size(); ++i) hint += (i == 0 ? " " : ", ") + valid[i];
    hint += '.';
  }
  clearHints();
  return hint;
}

}  // namespace engine
