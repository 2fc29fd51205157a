#include "cli/matrix_file_set.h"

#include <iostream>

namespace cli {

namespace fs = std::filesystem;

fs::path MatrixFileSet::numberedPath(const fs::path& path, std::size_t k) {
  fs::path numbered = path;
  numbered.replace_filename(path.stem().string() + "-" + std::to_string(k) +
                            path.extension().string());
  return numbered;
}

std::ostream* MatrixFileSet::next(const std::string& group) {
  if (path_.empty()) {
    if (standardOutputUsed_) {
      problem(
          "standard output takes one CSV matrix; give -o NAME.csv for one file per matrix, "
          "or use --format long");
      return nullptr;
    }
    standardOutputUsed_ = true;
    return &single_;
  }
  // The temporary file is made beside the target, whatever name it gets.
  auto output = std::make_unique<OutputFile>(numberedPath(path_, files_.size() + 1).string());
  if (!output->ok()) {
    problem("cannot write " + numberedPath(path_, files_.size() + 1).string());
    return nullptr;
  }
  files_.push_back({std::move(output), group});
  return &files_.back().output->stream();
}

void MatrixFileSet::problem(const std::string& text) {
  std::cerr << "proximities: error: " << text << '\n';
  problems_ = true;
}

bool MatrixFileSet::commit() {
  if (path_.empty()) {
    single_.flush();
    return true;
  }
  if (files_.empty()) {
    // An older file of the name must not pass for this run's result.
    OutputFile empty(path_);
    std::cerr << "proximities: warning: no proximity matrix was shown, so " << path_
              << " is empty\n";
    return empty.commitAs(path_);
  }
  bool ok = true;
  for (std::size_t k = 0; k < files_.size(); ++k) {
    const fs::path target = files_.size() == 1 ? fs::path(path_) : numberedPath(path_, k + 1);
    ok = files_[k].output->commitAs(target) && ok;
    if (files_.size() > 1) {
      std::cerr << "proximities: note: wrote " << target.string()
                << (files_[k].group.empty() ? "" : " (" + files_[k].group + ")") << '\n';
    }
  }
  return ok;
}

}  // namespace cli
