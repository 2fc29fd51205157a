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

std::size_t OrderedWriter::blockRows(std::size_t valuesPerRow) const {
  const std::size_t byValues = kValuesPerBlock / std::max<std::size_t>(valuesPerRow, 1);
  return std::max(byValues, kRowsPerThread * threads_);
}

void OrderedWriter::write(std::size_t count,
                          const std::function<void(std::size_t, std::string&)>& format) {
  if (texts_.size() < count) texts_.resize(count);
  runInParallel(
      count,
      [&](std::size_t row) {
        std::string& text = texts_[row];
        text.clear();
        format(row, text);
      },
      threads_);
  for (std::size_t row = 0; row < count; ++row)
    out_.write(texts_[row].data(), static_cast<std::streamsize>(texts_[row].size()));
}

}  // namespace engine
