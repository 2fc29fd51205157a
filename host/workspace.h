// The workspace: the host's array of eight-byte words, addressed by 1-based
// offsets. Every array of the procedure is a block of it; offset 0 means "not
// allocated". A block is read as integers, reals or eight-character words, as
// its content requires; the views below give typed access to one block.
#pragma once

#include <cstddef>
#include <span>

#include "host/tavixwcom.h"

struct ProxWorkspace {
  Word* words = nullptr;  // words[0] is word 1
  Word capacity = 0;      // words the host can hand out in all
};

namespace ws {

inline Word* wordAt(ProxWorkspace& w, Word offset) { return w.words + (offset - 1); }

inline std::span<Word> integers(ProxWorkspace& w, Word offset, Word count) {
  return {wordAt(w, offset), static_cast<std::size_t>(count)};
}

inline std::span<double> reals(ProxWorkspace& w, Word offset, Word count) {
  return {reinterpret_cast<double*>(wordAt(w, offset)), static_cast<std::size_t>(count)};
}

inline std::span<char> chars(ProxWorkspace& w, Word offset, Word wordCount) {
  return {reinterpret_cast<char*>(wordAt(w, offset)), static_cast<std::size_t>(wordCount) * 8};
}

}  // namespace ws
