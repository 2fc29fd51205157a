// The files the CSV renderers write (--format csv and long); the program
// implements this (cli/matrix_file_set.h), so it lives apart from the
// renderers, reachable through the engine's front door.
#pragma once

#include <ostream>
#include <string>

namespace engine::output {

// Where the CSV renderers put their matrices: a stream for each square
// matrix, or one stream for the long form of all of them. The program names
// the files (cli/matrix_file_set.h).
class MatrixFiles {
 public:
  virtual ~MatrixFiles() = default;
  // The stream for the next matrix; `group` describes its split-file group
  // ("species = setosa"; empty without groups). Null: refused, and said why
  // through problem().
  virtual std::ostream* next(const std::string& group) = 0;
  // Something the renderer could not write: an error of the run.
  virtual void problem(const std::string& text) = 0;
};

}  // namespace engine::output
