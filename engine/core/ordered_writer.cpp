#include "engine/core/ordered_writer.h"

#include <algorithm>

#include "engine/core/worker_threads.h"

namespace engine {

namespace {

// About a megabyte of text per block at 16 to 20 characters a value.
constexpr std::size_t kValuesPerBlock = 65536;
// Rows per thread at least, so that a slow row does not leave the others idle.
constexpr std::size_t kRowsPerThread = 4;

}  // namespace

OrderedWriter::OrderedWriter(std::ostream& out, std::size_t threads)
    : out_(out), threads_(threads == 0 ? workerThreads() : threads) {}

OrderedWriter::~OrderedWriter() {
  if (pending_ != nullptr) pending_->next = pending_->count;  // rows not begun are skipped
  if (helpers_.joinable()) helpers_.join();
}

std::size_t OrderedWriter::blockRows(std::size_t valuesPerRow) const {
  const std::size_t byValues = kValuesPerBlock / std::max<std::size_t>(valuesPerRow, 1);
  return std::max(byValues, kRowsPerThread * threads_);
}

// Takes the block's rows one after another, on whichever threads run this,
// until none is left; after a failure the rest are skipped.
void OrderedWriter::formatRows(Block& block) {
  for (std::size_t row = block.next++; row < block.count; row = block.next++) {
    try {
      std::string& text = block.texts[row];
      text.clear();
      block.format(row, text);
    } catch (...) {
      const std::lock_guard<std::mutex> guard(block.errorLock);
      if (!block.error) block.error = std::current_exception();
      block.next = block.count;
    }
  }
}

// The calling thread joins in with the rows left, then writes them all.
void OrderedWriter::complete(Block& block) {
  formatRows(block);
  if (helpers_.joinable()) helpers_.join();
  pending_ = nullptr;
  if (block.error) std::rethrow_exception(block.error);
  for (std::size_t row = 0; row < block.count; ++row) {
    out_.write(block.texts[row].data(), static_cast<std::streamsize>(block.texts[row].size()));
  }
}

void OrderedWriter::write(std::size_t count, Format format) {
  if (pending_ != nullptr) complete(*pending_);
  Block& next = blocks_[nextBlock_];
  nextBlock_ = 1 - nextBlock_;
  next.count = count;
  next.format = std::move(format);
  if (next.texts.size() < count) next.texts.resize(count);
  next.next = 0;
  next.error = nullptr;
  pending_ = &next;
  if (threads_ <= 1) {
    complete(next);
    return;
  }
  // The other threads start now; the calling thread joins them once it has
  // gathered the next block.
  const std::size_t others = threads_ - 1;
  helpers_ = std::jthread([this, &next, others] {
    runInParallel(
        others, [this, &next](std::size_t) { formatRows(next); }, others);
  });
}

void OrderedWriter::finish() {
  if (pending_ != nullptr) complete(*pending_);
}

}  // namespace engine
