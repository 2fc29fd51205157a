// Writing data files as the engine reads them (docs/data-files.md): the
// header row and strings quoted, numbers in the shortest form that reads back
// as the same double, the system-missing value as an empty field, strings
// without their trailing blanks; and files written under a temporary name
// that take their real name only once complete.
#pragma once

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "engine/core/dataset.h"
#include "engine/core/dictionary.h"

namespace engine::data {

// A file written under a hidden temporary name in the target's folder and
// renamed into place by commit(); removed when dropped uncommitted, so that
// a failure or an abandoned command leaves any earlier file untouched.
class TemporaryFile {
 public:
  // Throws DataError when the file cannot be created.
  explicit TemporaryFile(std::filesystem::path target);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  std::ofstream& stream() { return stream_; }
  void close();   // throws DataError when anything written was lost
  void commit();  // throws DataError when the rename fails
  const std::filesystem::path& target() const { return target_; }

 private:
  [[noreturn]] void failWrite() const;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::ofstream stream_;
  bool committed_ = false;
};

// The header row: every variable's name, quoted.
void writeHeader(std::ostream& out, const Dictionary& dictionary);
// One case as a CSV row, its line break included: added to `text` (which a
// worker thread may make while others make other rows) or written.
void appendCase(std::string& text, const Dictionary& dictionary, const Case& c);
void writeCase(std::ostream& out, const Dictionary& dictionary, const Case& c);

}  // namespace engine::data
