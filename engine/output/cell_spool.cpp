#include "engine/output/cell_spool.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace engine::output {

namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 16;

// An unnamed file: it is unlinked at once, so nothing is left behind whatever
// way the program ends. -1 when none can be made.
int openUnnamedFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  path += "/proximities-spool-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd >= 0) ::unlink(path.c_str());
  return fd;
}

// Writes all of `bytes`; returns how many were written before an error.
std::size_t writeAll(int fd, std::span<const char> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace

CellSpool::CellSpool(std::size_t memoryBudget) : budget_(memoryBudget) {}

CellSpool::~CellSpool() {
  if (fd_ >= 0) ::close(fd_);
}

void CellSpool::append(std::span<const char> bytes) {
  memory_.insert(memory_.end(), bytes.begin(), bytes.end());
  if (memory_.size() > budget_ && !fileFailed_) moveToFile();
}

// The bytes in memory go to the end of the file. A failure keeps them (and
// every later byte) in memory: the table is still shown, at a cost in memory.
void CellSpool::moveToFile() {
  if (fd_ < 0) fd_ = openUnnamedFile();
  if (fd_ < 0) {
    fileFailed_ = true;
    return;
  }
  const std::size_t written = writeAll(fd_, memory_);
  fileBytes_ += written;
  if (written < memory_.size()) {
    memory_.erase(memory_.begin(), memory_.begin() + static_cast<std::ptrdiff_t>(written));
    fileFailed_ = true;
    return;
  }
  memory_.clear();  // the capacity stays: the next bytes need it again
}

std::size_t CellSpool::readAt(std::uint64_t offset, std::span<char> out) const {
  std::size_t done = 0;
  while (done < out.size() && offset + done < fileBytes_) {
    const std::uint64_t left = fileBytes_ - (offset + done);
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size() - done, left));
    const ssize_t n = ::pread(fd_, out.data() + done, want, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done;
    done += static_cast<std::size_t>(n);
  }
  const std::uint64_t at = offset + done;
  if (done < out.size() && at >= fileBytes_) {
    const std::size_t from = static_cast<std::size_t>(at - fileBytes_);
    const std::size_t take =
        std::min(out.size() - done, memory_.size() - std::min(from, memory_.size()));
    std::copy_n(memory_.begin() + static_cast<std::ptrdiff_t>(from), take,
                out.begin() + static_cast<std::ptrdiff_t>(done));
    done += take;
  }
  return done;
}

bool CellSpool::Reader::refill() {
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
  used_ = 0;
  const std::size_t have = buffer_.size();
  buffer_.resize(have + kReadChunk);
  const std::size_t got = spool_->readAt(offset_, std::span<char>(buffer_).subspan(have));
  buffer_.resize(have + got);
  offset_ += got;
  return got > 0;
}

bool CellSpool::Reader::read(std::span<char> out) {
  while (buffer_.size() - used_ < out.size()) {
    if (!refill()) return false;
  }
  std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(used_), out.size(), out.begin());
  used_ += out.size();
  return true;
}

}  // namespace engine::output
