// LOAD's scan of the records after the header, on every core: the text is
// cut into pieces at record boundaries, the pieces are parsed at once, and
// what they found is put together in the order of the text, so that the
// dictionary, the counts, the notes and every message (its line number
// included) are what one reader going through the text would give.
//
// A cut must not fall inside a quoted field that spans lines. Every quote
// of a text libcsv accepts opens or closes a quoted field, so a line break
// lies between records exactly when an even number of quotes precede it;
// each piece counts its own quotes, and the cuts follow from the counts. A
// text with a stray quote is malformed; its first error is still the one
// the single reader gives, as the pieces before the stray quote are cut
// where that reader would be between records.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/data/case_copy.h"
#include "engine/data/csv_reader.h"
#include "engine/data/csv_table.h"

namespace engine::data {

struct PieceScan {
  std::vector<ColumnScan> scans;
  std::int64_t records = 0;
  // Every case, parsed; null when it could not be kept (no room in the
  // temporary folder), and the passes then read the text again.
  std::shared_ptr<CaseCopy> copy;
};

struct PieceScanRequest {
  const RandomText* text = nullptr;
  std::string sourceName;
  char separator = ',';
  char decimal = '.';
  const Layout* layout = nullptr;
  std::vector<bool> keepText;  // per column: keep every field's text
  std::size_t threads = 0;     // 0: workerThreads()
  // The text a piece is cut from, and the copy's bytes kept in memory
  // (smaller in tests, to cut often and reach the temporary file).
  std::size_t sliceBytes = 2 << 20;
  std::size_t copyMemoryBytes = CaseCopy::kMemoryBytes;
};

// Scans from `start`, a record boundary, to the end of the text. Throws the
// DataError the single reader would throw first; nothing when a record is
// too long for a piece to hold (then the single reader must do it).
std::optional<PieceScan> scanInPieces(const PieceScanRequest& request, RecordBoundary start);

// What the pieces found, put together in order: the scan of the text they
// make up, one after the other.
void mergeScans(std::vector<ColumnScan>& total, std::int64_t totalRecords,
                const std::vector<ColumnScan>& piece, std::int64_t pieceRecords);

}  // namespace engine::data
