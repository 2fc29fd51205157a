#include "engine/data/piece_scan.h"

#include <algorithm>
#include <cstring>

#include "engine/core/session.h"
#include "engine/core/worker_threads.h"

namespace engine::data {

namespace {

// How many pieces a batch has per thread: a batch is read, cut and parsed
// at once; several pieces per thread even out their speeds. Memory: one
// batch of text and its parsed copy.
constexpr std::size_t kSlicesPerThread = 4;
// A record longer than this leaves the text to the single reader.
constexpr std::size_t kMostRecordBytes = 64 << 20;
constexpr std::size_t kFirstExtension = 64 << 10;

// What one slice of a batch holds: its quotes, its line breaks, and for
// each parity of the quotes before it in the slice, the first line break
// after that many quotes (where the slice's first cut may go).
struct SliceFacts {
  std::size_t quotes = 0;
  std::int64_t lineBreaks = 0;
  std::optional<std::size_t> firstBreak[2];  // offset in the slice
  std::int64_t breaksBefore[2] = {0, 0};     // line breaks before that one
};

SliceFacts factsOf(std::string_view slice) {
  SliceFacts facts;
  const char* pos = slice.data();
  const char* end = pos + slice.size();
  int parity = 0;
  for (;;) {
    const auto* quote = static_cast<const char*>(std::memchr(pos, '"', end - pos));
    const char* stop = quote != nullptr ? quote : end;
    if (!facts.firstBreak[parity]) {
      if (const auto* lf = static_cast<const char*>(std::memchr(pos, '\n', stop - pos))) {
        facts.firstBreak[parity] = static_cast<std::size_t>(lf - slice.data());
        facts.breaksBefore[parity] = facts.lineBreaks;
      }
    }
    facts.lineBreaks += std::count(pos, stop, '\n');
    if (quote == nullptr) break;
    ++facts.quotes;
    parity ^= 1;
    pos = quote + 1;
  }
  return facts;
}

struct Piece {
  std::size_t begin = 0;  // in the batch buffer
  std::size_t end = 0;
  std::int64_t line = 1;
  std::vector<ColumnScan> scans;
  std::string error;  // the DataError the piece's reader threw
};

struct Batch {
  std::string bytes;  // from the batch's first byte on
  std::vector<Piece> pieces;
  // The pieces' parsed cases, blocks[k] of pieces[k]; kept from batch to
  // batch with their memory, which fresh memory for every batch would cost
  // a page fault per page to clear.
  std::vector<CopyBlock> blocks;
  std::int64_t nextOffset = 0;  // of the record after the batch
  std::int64_t nextLine = 1;
};

std::size_t readInto(const RandomText& text, std::int64_t offset, std::string& bytes,
                     std::size_t at, std::size_t count) {
  bytes.resize(at + count);
  const std::size_t n = text.readAt(offset, std::span<char>(bytes).subspan(at, count));
  bytes.resize(at + n);
  return n;
}

[[noreturn]] void failShorter() {
  throw DataError("The data file became shorter while it was read.");
}

// The batch ends after the first line break past its first `want` bytes
// that has an even number of quotes before it (`parity`: of those in the
// first `want`), or at the end of the text; the bytes up to there are read
// into `bytes`. The end and the line it starts (0: no record follows).
// False when no such line break comes within kMostRecordBytes.
bool findBatchEnd(const RandomText& text, RecordBoundary start, std::size_t want, int parity,
                  std::int64_t lines, std::string& bytes, std::size_t& end, std::int64_t& endLine) {
  std::size_t extension = kFirstExtension;
  for (;;) {
    if (start.offset + static_cast<std::int64_t>(bytes.size()) == text.size()) {
      end = bytes.size();
      endLine = 0;
      return true;
    }
    const SliceFacts tail = factsOf(std::string_view(bytes).substr(want));
    if (tail.firstBreak[parity]) {
      end = want + *tail.firstBreak[parity] + 1;
      endLine = lines + tail.breaksBefore[parity] + 1;
      return true;
    }
    if (bytes.size() - want > kMostRecordBytes) return false;
    if (readInto(text, start.offset + static_cast<std::int64_t>(bytes.size()), bytes, bytes.size(),
                 extension) == 0) {
      failShorter();
    }
    extension *= 2;
  }
}

// Reads the batch starting at the boundary and cuts it into pieces; false
// when a record is longer than kMostRecordBytes.
bool cutBatch(const RandomText& text, RecordBoundary start, std::size_t slices,
              std::size_t sliceBytes, std::size_t threads, Batch& batch) {
  const std::int64_t left = text.size() - start.offset;
  const std::size_t want = static_cast<std::size_t>(
      std::min<std::int64_t>(left, static_cast<std::int64_t>(slices * sliceBytes)));
  batch.bytes.resize(want);
  const std::size_t count = (want + sliceBytes - 1) / sliceBytes;
  std::vector<SliceFacts> facts(count);
  runInParallel(
      count,
      [&](std::size_t k) {
        const std::size_t from = k * sliceBytes;
        const std::size_t size = std::min(sliceBytes, want - from);
        const std::size_t n = text.readAt(start.offset + static_cast<std::int64_t>(from),
                                          std::span<char>(batch.bytes).subspan(from, size));
        if (n != size) failShorter();
        facts[k] = factsOf(std::string_view(batch.bytes).substr(from, size));
      },
      threads);

  std::vector<std::pair<std::size_t, std::int64_t>> cuts{{0, start.line}};  // offset, line
  int parity = 0;
  std::int64_t lines = start.line;
  for (std::size_t k = 0; k < count; ++k) {
    if (k > 0 && facts[k].firstBreak[parity]) {
      cuts.emplace_back(k * sliceBytes + *facts[k].firstBreak[parity] + 1,
                        lines + facts[k].breaksBefore[parity] + 1);
    }
    parity ^= static_cast<int>(facts[k].quotes % 2);
    lines += facts[k].lineBreaks;
  }
  std::size_t end = 0;
  std::int64_t endLine = 0;
  if (!findBatchEnd(text, start, want, parity, lines, batch.bytes, end, endLine)) return false;
  batch.bytes.resize(end);
  batch.pieces.clear();
  batch.pieces.resize(cuts.size());
  if (batch.blocks.size() < cuts.size()) batch.blocks.resize(cuts.size());
  for (CopyBlock& block : batch.blocks) block.clear();
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    batch.pieces[k].begin = cuts[k].first;
    batch.pieces[k].end = k + 1 < cuts.size() ? cuts[k + 1].first : end;
    batch.pieces[k].line = cuts[k].second;
  }
  batch.nextOffset = start.offset + static_cast<std::int64_t>(end);
  batch.nextLine = endLine;
  return true;
}

void scanPiece(const PieceScanRequest& request, const Batch& batch, Piece& piece,
               CopyBlock& block) {
  CsvRecordReader reader(
      openSpanSource(
          std::span<const char>(batch.bytes).subspan(piece.begin, piece.end - piece.begin)),
      request.sourceName, request.separator);
  reader.startAtLine(piece.line);
  try {
    piece.scans =
        scanColumnsInto(reader, *request.layout, request.keepText, block, request.decimal);
  } catch (const DataError& e) {
    piece.error = e.what();
  }
}

void checkInterrupt() {
  Session& session = Session::current();
  if (session.interruptRequested == 0) return;
  session.interruptRequested = 0;
  throw Interrupted{};
}

}  // namespace

void mergeScans(std::vector<ColumnScan>& total, std::int64_t totalRecords,
                const std::vector<ColumnScan>& piece, std::int64_t pieceRecords) {
  for (std::size_t k = 0; k < total.size(); ++k) {
    ColumnScan& t = total[k];
    const ColumnScan& p = piece[k];
    if (t.numeric) {
      // Every field so far was a number, blank or missing.
      const bool earlierNumber = totalRecords > t.missing + t.blank;
      t.blank += p.blank;
      if (!p.numeric) {
        t.numeric = false;
        t.textLine = p.textLine;
        t.text = p.text;
        t.holdsNumber = earlierNumber || p.holdsNumber;
      }
    } else if (!t.holdsNumber) {
      t.holdsNumber = p.numeric ? pieceRecords > p.missing + p.blank : p.holdsNumber;
    }
    t.missing += p.missing;
    t.longest = std::max(t.longest, p.longest);
  }
}

std::optional<PieceScan> scanInPieces(const PieceScanRequest& request, RecordBoundary start) {
  const std::size_t threads = request.threads == 0 ? workerThreads() : request.threads;
  const std::size_t columns = request.layout->size();
  PieceScan result;
  result.scans.assign(columns, ColumnScan{});
  result.copy = std::make_shared<CaseCopy>(columns, request.copyMemoryBytes);
  Batch batch;
  while (start.offset < request.text->size()) {
    checkInterrupt();
    if (!cutBatch(*request.text, start, threads * kSlicesPerThread, request.sliceBytes, threads,
                  batch)) {
      return std::nullopt;
    }
    runInParallel(
        batch.pieces.size(),
        [&](std::size_t k) { scanPiece(request, batch, batch.pieces[k], batch.blocks[k]); },
        threads);
    for (std::size_t k = 0; k < batch.pieces.size(); ++k) {
      const Piece& piece = batch.pieces[k];
      if (!piece.error.empty()) throw DataError(piece.error);
      mergeScans(result.scans, result.records, piece.scans, batch.blocks[k].records);
      result.records += batch.blocks[k].records;
    }
    if (result.copy) {
      try {
        result.copy->append(std::span(batch.blocks).first(batch.pieces.size()), threads);
      } catch (const DataError&) {
        result.copy.reset();  // no room for it: the passes read the text
      }
    }
    if (batch.nextLine == 0) break;
    start = {batch.nextOffset, batch.nextLine};
  }
  return result;
}

}  // namespace engine::data
