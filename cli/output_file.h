// Where the output goes: standard output, or a file that is written under a
// temporary name in the same folder and renamed into place only when the run
// completes, so that an interrupted run never leaves a partial file nor
// destroys an older one.
#pragma once

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

class OutputFile {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();  // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool ok() const { return path_.empty() || file_.is_open(); }
  std::ostream& stream() { return path_.empty() ? std::cout : file_; }
  // Renames the file into place; when anything written was lost (a full
  // disk, a file-size limit), removes it instead and says why.
  std::string commit();
  // Renames the temporary file to `target` instead (a file of the same folder).
  bool commitAs(const std::filesystem::path& target);

 private:
  std::filesystem::path path_;
  std::filesystem::path temporary_;
  std::ofstream file_;
  bool committed_ = false;
};
