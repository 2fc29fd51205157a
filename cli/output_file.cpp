#include "cli/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

OutputFile::OutputFile(const std::string& path) : path_(path) {
  if (path_.empty()) return;
  temporary_ = path_;
  temporary_ += ".part" + std::to_string(getpid());
  file_.open(temporary_, std::ios::binary | std::ios::trunc);
}

OutputFile::~OutputFile() {
  if (path_.empty() || committed_) return;
  file_.close();
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
}

std::string OutputFile::commit() {
  if (path_.empty()) {
    std::cout.flush();
    return {};
  }
  file_.close();
  // The write that failed left its errno (EFBIG, ENOSPC) behind; the
  // destructor removes the temporary file.
  if (!file_) return std::strerror(errno);
  std::error_code error;
  std::filesystem::rename(temporary_, path_, error);
  committed_ = !error;
  return error ? error.message() : std::string();
}

bool OutputFile::commitAs(const std::filesystem::path& target) {
  if (path_.empty()) return false;
  file_.close();
  if (!file_) {  // a write was lost: the destructor removes the temporary file
    std::cerr << "proximities: cannot write " << target.string() << ": " << std::strerror(errno)
              << '\n';
    return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary_, target, error);
  committed_ = !error;
  return committed_;
}
