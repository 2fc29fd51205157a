// Bytes a table puts aside while it is being built: the rows of a large table
// are written here as soon as they are complete, so that memory holds about one
// row rather than every cell. The first bytes stay in memory; beyond a budget
// they go to an unnamed temporary file (in $TMPDIR, else /tmp). When no such
// file can be made or written, the bytes simply stay in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace engine::output {

class CellSpool {
 public:
  explicit CellSpool(std::size_t memoryBudget = kDefaultMemoryBudget);
  ~CellSpool();
  CellSpool(const CellSpool&) = delete;
  CellSpool& operator=(const CellSpool&) = delete;

  void append(std::span<const char> bytes);
  std::uint64_t size() const { return fileBytes_ + memory_.size(); }
  // Bytes held in memory (for the tests: the budget is respected).
  std::size_t memoryBytes() const { return memory_.capacity(); }
  bool onDisk() const { return fileBytes_ > 0; }

  // Reads the bytes back in order; any number of readers may be open.
  class Reader {
   public:
    explicit Reader(const CellSpool& spool) : spool_(&spool) {}
    // False (and nothing read) when fewer than `out.size()` bytes remain.
    bool read(std::span<char> out);
    bool atEnd() const { return used_ == buffer_.size() && offset_ >= spool_->size(); }

   private:
    bool refill();
    const CellSpool* spool_;
    std::uint64_t offset_ = 0;  // of the next byte not yet in buffer_
    std::vector<char> buffer_;
    std::size_t used_ = 0;  // bytes of buffer_ already read
  };

  static constexpr std::size_t kDefaultMemoryBudget = std::size_t{1} << 20;

 private:
  void moveToFile();
  std::size_t readAt(std::uint64_t offset, std::span<char> out) const;

  std::size_t budget_;
  int fd_ = -1;
  bool fileFailed_ = false;
  std::uint64_t fileBytes_ = 0;  // the first bytes, in the file
  std::vector<char> memory_;     // the bytes after them
};

}  // namespace engine::output
