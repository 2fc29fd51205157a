// The memory services of the host interface: blocks of the workspace and the
// small array helpers the procedure uses on them.
#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/core/session.h"
#include "engine/services/keyword_hints.h"
#include "host/tavixwlib.h"

namespace {

constexpr Word kWordBytes = 8;

// Words that count elements of elementSize bytes take, or -1 when the request
// is negative or too large to express.
Word wordsFor(Word elementSize, Word count) {
  if (count < 0 || elementSize <= 0) return -1;
  if (count > std::numeric_limits<Word>::max() / elementSize) return -1;
  const Word bytes = count * elementSize;
  return bytes / kWordBytes + (bytes % kWordBytes != 0 ? 1 : 0);
}

}  // namespace

// The procedure always passes 8 as the element size; other sizes are rounded
// up to whole words so that the service stays correct for any caller.
Logical QNOMEM(Word& offset, Word elementSize, Word count, Word /*elementSize2*/,
               ProxWorkspace& /*ws*/) {
  const Word words = wordsFor(elementSize, count);
  engine::WorkspaceMemory& workspace = engine::Session::current().workspace;
  offset = words < 0 ? 0 : workspace.allocate(words);
  if (offset == 0 && words >= 0) {
    engine::recordWorkspaceRefusal(words * kWordBytes, workspace.bytesInUse(),
                                   workspace.limitBytes(), workspace.machineBytes());
  }
  return logical(offset == 0);
}

void FREMEM(Word& offset, Word elementSize, Word /*elementSize2*/, Word count,
            ProxWorkspace& /*ws*/) {
  if (offset == 0) return;
  engine::Session::current().workspace.release(offset, wordsFor(elementSize, count));
  offset = 0;
}

// Both size codes (4 and 8) stand for eight-byte words in this engine: every
// element of the workspace is one word.
Word MEMALU(Word count, Word /*sizeCode*/) { return count * kWordBytes; }

void LRZERO(std::span<double> values) { std::fill(values.begin(), values.end(), 0.0); }

void IZERO(std::span<Word> values) { std::fill(values.begin(), values.end(), Word{0}); }

void DLOAD(std::span<double> values, double value) {
  std::fill(values.begin(), values.end(), value);
}

// The two spans may overlap (both are views of the workspace).
void IMOVE(std::span<const Word> from, std::span<Word> to) {
  const std::size_t n = std::min(from.size(), to.size());
  if (n > 0) std::memmove(to.data(), from.data(), n * sizeof(Word));
}
