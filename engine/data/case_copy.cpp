#include "engine/data/case_copy.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/core/worker_threads.h"
#include "engine/data/spooled_input.h"

namespace engine::data {

namespace {

// A block as kept: this header, the values (records x columns doubles), the
// text entries, the text bytes. Nothing in it is aligned: it is read with
// memcpy.
struct BlockHeader {
  std::int64_t records = 0;
  std::uint64_t texts = 0;
  std::uint64_t textBytes = 0;
};

std::size_t valueBytes(const CopyBlock& block) { return block.values.size() * sizeof(double); }

std::size_t keptBytes(const CopyBlock& block) {
  return sizeof(BlockHeader) + valueBytes(block) + block.texts.size() * sizeof(CopyBlock::Text) +
         block.textBytes.size();
}

BlockHeader headerOf(const CopyBlock& block) {
  return {block.records, block.texts.size(), block.textBytes.size()};
}

[[noreturn]] void failWriting() {
  throw DataError(std::string("Cannot keep the parsed copy of the data in the temporary folder: ") +
                  std::strerror(errno) + ".");
}

// Writes the parts, in order, at the offset.
void writeParts(int fd, std::int64_t offset, iovec* parts, int count) {
  int first = 0;
  while (first < count) {
    const ssize_t n = ::pwritev(fd, parts + first, count - first, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failWriting();
    offset += n;
    auto left = static_cast<std::size_t>(n);
    while (first < count && left >= parts[first].iov_len) left -= parts[first++].iov_len;
    if (first < count) {
      parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + left;
      parts[first].iov_len -= left;
    }
  }
}

void writeBlock(int fd, std::int64_t offset, const CopyBlock& block) {
  BlockHeader header = headerOf(block);
  iovec parts[4] = {
      {&header, sizeof header},
      {const_cast<double*>(block.values.data()), valueBytes(block)},
      {const_cast<CopyBlock::Text*>(block.texts.data()),
       block.texts.size() * sizeof(CopyBlock::Text)},
      {const_cast<char*>(block.textBytes.data()), block.textBytes.size()},
  };
  writeParts(fd, offset, parts, 4);
}

void appendBlock(std::string& memory, const CopyBlock& block) {
  const BlockHeader header = headerOf(block);
  memory.append(reinterpret_cast<const char*>(&header), sizeof header);
  memory.append(reinterpret_cast<const char*>(block.values.data()), valueBytes(block));
  memory.append(reinterpret_cast<const char*>(block.texts.data()),
                block.texts.size() * sizeof(CopyBlock::Text));
  memory.append(block.textBytes);
}

}  // namespace

void CopyBlock::addText(std::size_t column, std::string_view text) {
  texts.push_back({static_cast<std::uint32_t>(records), static_cast<std::uint32_t>(column),
                   static_cast<std::uint32_t>(textBytes.size()),
                   static_cast<std::uint32_t>(text.size())});
  textBytes.append(text);
}

void CopyBlock::clear() {
  records = 0;
  values.clear();
  texts.clear();
  textBytes.clear();
}

CaseCopy::~CaseCopy() {
  if (fd_ >= 0) ::close(fd_);
}

void CaseCopy::append(std::span<const CopyBlock> blocks, std::size_t threads) {
  std::vector<std::int64_t> offsets;
  std::int64_t end = starts_.back();
  for (const CopyBlock& block : blocks) {
    offsets.push_back(end);
    end += static_cast<std::int64_t>(keptBytes(block));
  }
  if (fd_ < 0 && static_cast<std::size_t>(end) > memoryBytes_) {
    fd_ = makeUnnamedFile("the parsed data");
    // What was kept in memory goes first, as it is.
    iovec part{memory_.data(), memory_.size()};
    writeParts(fd_, 0, &part, 1);
    memory_ = std::string();
  }
  if (fd_ >= 0) {
    runInParallel(
        blocks.size(), [&](std::size_t k) { writeBlock(fd_, offsets[k], blocks[k]); }, threads);
  } else {
    for (const CopyBlock& block : blocks) appendBlock(memory_, block);
  }
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    starts_.push_back(k + 1 < blocks.size() ? offsets[k + 1] : end);
    records_ += blocks[k].records;
  }
}

std::string_view CaseCopy::block(std::size_t index, std::string& buffer) const {
  const std::int64_t start = starts_[index];
  const auto size = static_cast<std::size_t>(starts_[index + 1] - start);
  if (fd_ < 0) return std::string_view(memory_).substr(static_cast<std::size_t>(start), size);
  buffer.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, buffer.data() + done, size - done,
                              static_cast<off_t>(start) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      throw DataError(std::string("Cannot read the parsed copy of the data: ") +
                      (n < 0 ? std::strerror(errno) : "it ends early") + ".");
    }
    done += static_cast<std::size_t>(n);
  }
  return buffer;
}

namespace {

// A pass over the copy, block by block.
class CopyCursor : public CaseCursor {
 public:
  CopyCursor(std::shared_ptr<const CaseCopy> copy, std::size_t columns, std::vector<int> widths)
      : copy_(std::move(copy)), columns_(columns), widths_(std::move(widths)) {}

  bool next(Case& c) override {
    while (record_ == records_) {
      if (nextBlock_ == copy_->blockCount()) return false;
      openBlock(nextBlock_++);
    }
    c.values.resize(columns_);
    c.strings.resize(columns_);
    std::memcpy(c.values.data(), values_ + record_ * columns_ * sizeof(double),
                columns_ * sizeof(double));
    for (std::size_t k = 0; k < columns_; ++k) {
      std::string& text = c.strings[k];
      text.clear();
      if (widths_[k] == 0) continue;
      c.values[k] = 0.0;
      CopyBlock::Text entry;
      if (textAt(k, entry)) text.assign(textBytes_ + entry.offset, entry.length);
      text.resize(static_cast<std::size_t>(widths_[k]), ' ');
    }
    ++record_;
    return true;
  }

 private:
  // The text of column k in the current record, when it has one. Entries
  // come in the order of record and column, so the search only moves on.
  bool textAt(std::size_t k, CopyBlock::Text& entry) {
    for (; nextText_ < textCount_; ++nextText_) {
      std::memcpy(&entry, texts_ + nextText_ * sizeof entry, sizeof entry);
      if (entry.record > record_ || (entry.record == record_ && entry.column > k)) return false;
      if (entry.record == record_ && entry.column == k) return true;
    }
    return false;
  }

  void openBlock(std::size_t index) {
    const std::string_view bytes = copy_->block(index, buffer_);
    BlockHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    records_ = static_cast<std::size_t>(header.records);
    textCount_ = static_cast<std::size_t>(header.texts);
    values_ = bytes.data() + sizeof header;
    texts_ = values_ + records_ * columns_ * sizeof(double);
    textBytes_ = texts_ + textCount_ * sizeof(CopyBlock::Text);
    record_ = 0;
    nextText_ = 0;
  }

  std::shared_ptr<const CaseCopy> copy_;
  std::size_t columns_;
  std::vector<int> widths_;
  std::string buffer_;
  std::size_t nextBlock_ = 0;
  std::size_t records_ = 0;
  std::size_t record_ = 0;
  std::size_t textCount_ = 0;
  std::size_t nextText_ = 0;
  const char* values_ = nullptr;
  const char* texts_ = nullptr;
  const char* textBytes_ = nullptr;
};

}  // namespace

std::unique_ptr<CaseCursor> CaseCopy::open(std::vector<int> stringWidths) const {
  return std::make_unique<CopyCursor>(shared_from_this(), columns_, std::move(stringWidths));
}

}  // namespace engine::data
