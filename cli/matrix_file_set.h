// The files of --format csv and long. Without -o the one matrix (square) or
// the long rows go to standard output. With -o NAME.csv a single square matrix
// is NAME.csv; several (split-file groups, several commands) are NAME-1.csv,
// NAME-2.csv ... in the order shown, each named in a note on standard error.
// Every file is written under a temporary name and renamed into place only
// when the run completes, like any -o file.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/output_file.h"
#include "engine/engine.h"

namespace cli {

class MatrixFileSet : public engine::output::MatrixFiles {
 public:
  // Without a path the one stream is `single` (standard output, or the -o
  // file of the long form).
  MatrixFileSet(std::string path, std::ostream& single) : path_(std::move(path)), single_(single) {}

  std::ostream* next(const std::string& group) override;
  void problem(const std::string& text) override;

  // Renames the files into place; false when one could not be written.
  bool commit();
  bool problemsShown() const { return problems_; }

  // NAME-k.ext for NAME.ext (k from 1).
  static std::filesystem::path numberedPath(const std::filesystem::path& path, std::size_t k);

 private:
  struct File {
    std::unique_ptr<OutputFile> output;
    std::string group;
  };
  std::string path_;
  std::ostream& single_;
  std::vector<File> files_;
  bool standardOutputUsed_ = false;
  bool problems_ = false;
};

}  // namespace cli
