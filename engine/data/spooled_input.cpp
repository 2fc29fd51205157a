#include "engine/data/spooled_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/core/session.h"

namespace engine::data {

namespace {

std::string systemError() { return std::strerror(errno); }

}  // namespace

int makeUnnamedFile(const std::string& name) {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) folder = "/tmp";
#ifdef O_TMPFILE
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
#endif
  // No O_TMPFILE (or a file system without it): a named file, unlinked at once.
  std::string pattern = (folder / "proximities-input-XXXXXX").string();
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back('\0');
  const int named = ::mkstemp(path.data());
  if (named < 0) {
    throw DataError("Cannot keep a copy of " + name + " in " + folder.string() + ": " +
                    systemError() + ".");
  }
  ::unlink(path.data());
  return named;
}

namespace {

void writeAll(int fd, const char* data, std::size_t size, const std::string& name) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      throw DataError("Cannot keep a copy of " + name +
                      " in the temporary folder: " + systemError() + ".");
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// Reads the copy from its start with pread, so that readings do not share
// an offset.
class SpooledSource : public ByteSource {
 public:
  SpooledSource(std::shared_ptr<const SpooledInput> keep, int fd)
      : keep_(std::move(keep)), fd_(fd) {}
  std::size_t read(std::span<char> buffer) override {
    for (;;) {
      const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), offset_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw DataError("Cannot read the copy of the input: " + systemError() + ".");
      offset_ += n;
      return static_cast<std::size_t>(n);
    }
  }

 private:
  std::shared_ptr<const SpooledInput> keep_;  // the copy outlives every reading
  int fd_;
  off_t offset_ = 0;
};

struct StandardInput {
  std::shared_ptr<const SpooledInput> copy;
  std::string failure;  // why it cannot be had, once that is known
};

StandardInput& standardInput() {
  static StandardInput input;
  return input;
}

}  // namespace

std::shared_ptr<const SpooledInput> SpooledInput::copy(int fd, const std::string& name) {
  // Owned from the start, so that the file is closed whatever is thrown.
  std::shared_ptr<SpooledInput> result(new SpooledInput(makeUnnamedFile(name), 0));
  const auto interrupted = [] {
    Session& session = Session::current();
    if (session.interruptRequested == 0) return false;
    session.interruptRequested = 0;
    return true;
  };
  std::vector<char> buffer(1 << 16);
  for (;;) {
    if (interrupted()) throw Interrupted{};
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw DataError("Cannot read " + name + ": " + systemError() + ".");
    if (n == 0) break;
    writeAll(result->fd_, buffer.data(), static_cast<std::size_t>(n), name);
    result->size_ += n;
  }
  return result;
}

SpooledInput::~SpooledInput() { ::close(fd_); }

std::unique_ptr<RandomText> SpooledInput::openRandom() const {
  return openRandomDescriptor(fd_, size_, "the copy of the input");
}

std::unique_ptr<ByteSource> SpooledInput::open() const {
  return std::make_unique<SpooledSource>(shared_from_this(), fd_);
}

std::shared_ptr<const SpooledInput> standardInputCopy() {
  StandardInput& input = standardInput();
  if (input.copy) return input.copy;
  if (!input.failure.empty()) throw DataError(input.failure);
  try {
    input.copy = SpooledInput::copy(STDIN_FILENO, kStandardInputName);
  } catch (const DataError& e) {
    input.failure = std::string(e.what()) + " (standard input is read only once)";
    throw;
  } catch (const Interrupted&) {
    input.failure = "Reading standard input was interrupted; it is read only once.";
    throw;
  }
  return input.copy;
}

void reserveStandardInputForCommands() {
  standardInput().failure =
      "Standard input holds the commands, so it cannot hold the data too: give the commands "
      "in a file or with -e, or the data in a file.";
}

}  // namespace engine::data
