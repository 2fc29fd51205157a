// Input that can be read only once (standard input, a pipe, a FIFO such as
// bash's <(...)) copied into a temporary file, so that every pass of a
// procedure reads it again. The file has no name: it is unlinked as soon as it
// is made, and the system removes it when the last descriptor closes, however
// the program ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/data/csv_reader.h"

namespace engine::data {

class SpooledInput : public std::enable_shared_from_this<SpooledInput> {
 public:
  // Reads the descriptor to its end into a new temporary file (in TMPDIR, or
  // /tmp). `name` is for messages. Throws DataError; engine::Interrupted when
  // the user interrupts.
  static std::shared_ptr<const SpooledInput> copy(int fd, const std::string& name);
  ~SpooledInput();
  SpooledInput(const SpooledInput&) = delete;
  SpooledInput& operator=(const SpooledInput&) = delete;

  // A new reading from the start; any number may be open at once.
  std::unique_ptr<ByteSource> open() const;
  // For reading at any offset; the copy must outlive it.
  std::unique_ptr<RandomText> openRandom() const;
  std::int64_t size() const { return size_; }

 private:
  SpooledInput(int fd, std::int64_t size) : fd_(fd), size_(size) {}
  int fd_;
  std::int64_t size_;
};

// An unnamed file open for reading and writing in the temporary folder
// (TMPDIR, or /tmp), removed by the system when it is closed. `name` says in
// the message what the copy was for. Throws DataError.
int makeUnnamedFile(const std::string& name);

// The name standard input goes by: in LOAD "-" and in messages.
inline constexpr const char* kStandardInputName = "standard input";

// Standard input, copied the first time it is asked for: it is read once per
// process. Throws DataError when it was copied before and failed, or when
// standard input holds the commands (see below).
std::shared_ptr<const SpooledInput> standardInputCopy();

// Says that the program reads its commands from standard input, so that a
// LOAD "-" is refused with a message instead of finding no data.
void reserveStandardInputForCommands();

}  // namespace engine::data
