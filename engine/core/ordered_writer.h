// Output made of many rows of text (a matrix file, a CSV table, the values
// of a JSON matrix), formatted on the worker threads a block of rows at a
// time and written in row order. A row's text depends only on the row, so
// the bytes written are the same whatever the number of threads.
//
// While the worker threads format one block, the caller gathers the next:
// the rows reach a writer one at a time from the procedure, which runs on
// the calling thread, so the two kinds of work overlap.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace engine {

class OrderedWriter {
 public:
  // Adds row's text to `text`, which comes empty.
  using Format = std::function<void(std::size_t row, std::string& text)>;

  // threads: as for runInParallel (0: workerThreads()). With one, every
  // block is formatted and written at once on the calling thread.
  explicit OrderedWriter(std::ostream& out, std::size_t threads = 0);
  // Waits for a block still being formatted; writes nothing more.
  ~OrderedWriter();
  OrderedWriter(const OrderedWriter&) = delete;
  OrderedWriter& operator=(const OrderedWriter&) = delete;

  // How many rows of `valuesPerRow` values a block should hold: enough to
  // give every thread several rows, few enough that a block's text stays
  // about a megabyte, so that memory follows the side of a matrix.
  std::size_t blockRows(std::size_t valuesPerRow) const;

  // Hands over a block of rows 0 .. count - 1. The block handed over before
  // it is completed and written first; this one is formatted while the
  // caller goes on, so whatever `format` reads must stay as it is until the
  // next write() or finish() returns (two blocks of input, used in turn).
  // Throws the first exception a format call of the earlier block threw,
  // before anything of that block is written.
  void write(std::size_t count, Format format);
  // Completes and writes the block handed over last.
  void finish();

 private:
  struct Block {
    std::size_t count = 0;
    Format format;
    std::vector<std::string> texts;  // kept between blocks for their capacity
    std::atomic<std::size_t> next{0};
    std::mutex errorLock;
    std::exception_ptr error;
  };

  void formatRows(Block& block);
  void complete(Block& block);

  std::ostream& out_;
  std::size_t threads_;
  Block blocks_[2];            // used in turn
  std::size_t nextBlock_ = 0;  // the one the next write() fills
  Block* pending_ = nullptr;   // handed over, not yet written
  std::jthread helpers_;       // runs the other threads' share of *pending_
};

}  // namespace engine
