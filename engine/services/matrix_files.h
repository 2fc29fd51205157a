// The engine's side of the matrix-file services (host/tavixwlib.h, "Matrix
// files"): what the engine itself must do with the files of a command.
#pragma once

namespace engine {

// Closes the matrix input and drops the matrix output of the command that
// ran last: a file not yet renamed into place is removed, so that an
// abandoned command leaves neither a partial file nor a changed older one.
void abandonMatrixFiles();

}  // namespace engine
