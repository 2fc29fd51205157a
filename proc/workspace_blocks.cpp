#include "proc/workspace_blocks.h"

#include <algorithm>

#include "host/host.h"
#include "host/messages.h"
#include "measures/catalogue.h"
#include "proc/options.h"

namespace {

constexpr Word kWordBytes = 8;

// Releases a block whose offset is set.
void releaseIfSet(Word& offset, Word count, ProxWorkspace& ws) {
  if (offset != 0) releaseWords(offset, count, ws);
}

// Requests a result array; a failure is reported once and ends proalloc.
bool place(Word& offset, Word count, ProxWorkspace& ws) {
  if (!allocateWords(offset, count, ws)) return true;
  ProxOptions& o = options();
  o.errorFlag = kTrue;
  host::report(host::kNoMemory, 1, 3);
  return false;
}

}  // namespace

bool allocateWords(Word& offset, Word count, ProxWorkspace& ws) {
  return isTrue(QNOMEM(offset, kWordBytes, count, kWordBytes, ws));
}

void releaseWords(Word& offset, Word count, ProxWorkspace& ws) {
  FREMEM(offset, kWordBytes, kWordBytes, count, ws);
  offset = 0;
}

Word triangleWords() {
  const ProxOptions& o = options();
  const Word n = isTrue(o.viewCases) ? o.ncase : o.nvar;
  return n * (n - 1) / 2;
}

void proalloc(ProxWorkspace& ws) {
  ProxOptions& o = options();
  ProxBlocks& b = o.blocks;
  const Word codeIfComputed = isTrue(o.matrixIn) ? -1 : o.measureCode;

  if (o.idVariable != 0 && !place(b.caseLabels, labelWords(o) * o.ncase, ws)) return;
  if (!place(b.triangle, triangleWords(), ws)) return;
  if (isCountMeasure(codeIfComputed) && !place(b.triangle2, triangleWords(), ws)) return;
  if (!place(b.itemVector, o.itemCount, ws)) return;
  b.itemVectorSize = o.itemCount;

  if (isTrue(o.matrixIn)) {
    const Word recordWords = host::matrix().recordLength;
    if (!place(b.matrixRecord, recordWords, ws)) return;
    b.matrixRecordSize = recordWords;
    if (!place(b.matrixSquare, o.nvar * o.nvar, ws)) return;
    b.matrixSquareSize = o.nvar * o.nvar;
    return;
  }
  if (codeIfComputed == 7) {
    place(b.corrVector, o.itemCount, ws);
  } else if (isBinaryMeasure(codeIfComputed)) {
    place(b.binaryVector, o.itemCount, ws);
  }
}

void proreset_results(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  const double missing = host::systemMissing();
  if (o.blocks.triangle != 0) {
    auto triangle = ws::reals(ws, o.blocks.triangle, triangleWords());
    std::fill(triangle.begin(), triangle.end(), missing);
  }
  if (o.blocks.itemVector != 0) {
    auto items = ws::reals(ws, o.blocks.itemVector, o.itemCount);
    std::fill(items.begin(), items.end(), missing);
  }
}

void profree(ProxWorkspace& ws, ProxWorkspace& ws2) {
  ProxOptions& o = options();
  ProxBlocks& b = o.blocks;
  SSDELS(ws, o.scanner);

  releaseIfSet(b.varList, o.nvar, ws);
  releaseIfSet(b.caseValues, o.nvar, ws);
  releaseIfSet(b.dataMatrix, o.nvar * o.ncase, ws);
  if (b.caseNumbers > 0) releaseWords(b.caseNumbers, o.ncase, ws);

  releaseIfSet(b.triangle, triangleWords(), ws);
  releaseIfSet(b.triangle2, triangleWords(), ws);

  releaseIfSet(b.itemVector, b.itemVectorSize, ws);
  releaseIfSet(b.corrVector, b.itemVectorSize, ws);
  releaseIfSet(b.binaryVector, b.itemVectorSize, ws);

  releaseIfSet(b.screenFlags, o.nvar, ws);
  if (o.idVariable > 0) releaseIfSet(b.caseLabels, labelWords(o) * o.ncase, ws);
  if (b.outCaseNumbers > 0) releaseWords(b.outCaseNumbers, o.ncase, ws);

  if (b.matrixMapSize > 0) releaseIfSet(b.matrixMap, b.matrixMapSize, ws);
  if (b.matrixRecordSize > 0) releaseIfSet(b.matrixRecord, b.matrixRecordSize, ws);
  if (b.matrixSquareSize > 0) releaseIfSet(b.matrixSquare, b.matrixSquareSize, ws);

  if (b.stdHead != 0) profree_std_blocks(ws, ws2);
}

void profree_std_blocks(ProxWorkspace& ws, ProxWorkspace& /*ws2*/) {
  ProxOptions& o = options();
  ProxBlocks& b = o.blocks;
  b.stdCursor = b.stdHead;
  while (b.stdCursor != 0) {
    auto node = ws::integers(ws, b.stdCursor, 2);
    const Word next = node[0];
    if (node[1] != 0) releaseWords(node[1], 2 * o.nvar, ws);
    releaseWords(b.stdCursor, 2, ws);
    b.stdCursor = next;
  }
  b.stdHead = 0;
}
