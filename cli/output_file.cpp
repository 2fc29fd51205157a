#include "cli/output_file.h"

#include <unistd.h>

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

void OutputFile::commit() {
  if (path_.empty()) {
    std::cout.flush();
    return;
  }
  file_.close();
  std::error_code error;
  std::filesystem::rename(temporary_, path_, error);
  committed_ = !error;
}

bool OutputFile::commitAs(const std::filesystem::path& target) {
  if (path_.empty()) return false;
  file_.close();
  std::error_code error;
  std::filesystem::rename(temporary_, target, error);
  committed_ = !error;
  return committed_;
}
