// The working data as LOAD parsed them: a binary copy of every case, so that
// the passes of a procedure read numbers instead of parsing text again. Kept
// in memory while small, in an unnamed temporary file beyond that (removed
// by the system however the program ends), and read back one block at a
// time, so that resident memory stays one block whatever the data's size.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/dataset.h"

namespace engine::data {

// The cases of one piece of the text, in order. Every field has a double
// (its number, or the system-missing value when it is empty, blank or a
// missing text); a field of text has its bytes as well. A field with no
// entry in `texts` is blank as a string.
struct CopyBlock {
  struct Text {
    std::uint32_t record = 0;  // within the block
    std::uint32_t column = 0;
    std::uint32_t offset = 0;  // into textBytes
    std::uint32_t length = 0;
  };
  std::int64_t records = 0;
  std::size_t columns = 0;
  std::vector<double> values;  // records x columns, a record's values together
  std::vector<Text> texts;     // in the order of record, then column
  std::string textBytes;

  void addText(std::size_t column, std::string_view text);
  void clear();  // keeps the memory
};

// The blocks of the copy, appended in the order of the text.
class CaseCopy : public std::enable_shared_from_this<CaseCopy> {
 public:
  // Bytes kept in memory before the copy moves to a temporary file.
  static constexpr std::size_t kMemoryBytes = 16 << 20;

  explicit CaseCopy(std::size_t columns, std::size_t memoryBytes = kMemoryBytes)
      : columns_(columns), memoryBytes_(memoryBytes) {}
  ~CaseCopy();
  CaseCopy(const CaseCopy&) = delete;
  CaseCopy& operator=(const CaseCopy&) = delete;

  // Appends the blocks in order; the blocks' bytes are laid out first, then
  // written by up to `threads` threads. Throws DataError when the temporary
  // file cannot be made or written (a full disk, say).
  void append(std::span<const CopyBlock> blocks, std::size_t threads);
  std::int64_t records() const { return records_; }

  // A new pass over the cases. `stringWidths` has, per column, 0 for a
  // numeric variable or the string width to pad to.
  std::unique_ptr<CaseCursor> open(std::vector<int> stringWidths) const;

  std::size_t blockCount() const { return starts_.size() - 1; }
  // Block `index` as kept (see case_copy.cpp): a view of the memory, or of
  // the buffer it was read into from the file.
  std::string_view block(std::size_t index, std::string& buffer) const;

 private:
  std::size_t columns_;
  std::size_t memoryBytes_;
  std::int64_t records_ = 0;
  std::vector<std::int64_t> starts_{0};  // of each block, and the end
  std::string memory_;                   // while the copy is small
  int fd_ = -1;                          // once it is not
};

}  // namespace engine::data
