// Output made of many rows of text (a matrix file, a CSV table, the values
// of a JSON matrix), formatted on the worker threads a block of rows at a
// time and written in row order. A row's text depends only on the row, so
// the bytes written are the same whatever the number of threads.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace engine {

class OrderedWriter {
 public:
  // threads: as for runInParallel (0: workerThreads()).
  explicit OrderedWriter(std::ostream& out, std::size_t threads = 0);

  // How many rows of `valuesPerRow` values a block should hold: enough to
  // give every thread several rows, few enough that a block's text stays a
  // few megabytes, so that memory follows the side of a matrix, not its size.
  std::size_t blockRows(std::size_t valuesPerRow) const;

  // Formats rows 0 .. count - 1 of a block, format(row, text) adding row's
  // text to an empty string, then writes the texts in row order. The first
  // exception a format call throws is thrown here, before anything of the
  // block is written.
  void write(std::size_t count, const std::function<void(std::size_t, std::string&)>& format);

 private:
  std::ostream& out_;
  std::size_t threads_;
  std::vector<std::string> texts_;  // kept between blocks for their capacity
};

}  // namespace engine
