// The engine's state for one run of the program: the working dataset and its
// settings, the workspace, the command being run, and the shared areas the
// procedure sees. There is one Session per process: the procedure library
// fetches the addresses of the shared areas once, when it is loaded (which may
// be before any Engine exists), so the areas must never move. An Engine resets
// the session when it starts; the host services reach it through
// Session::current(). One Engine at a time.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ios>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/dataset.h"
#include "engine/core/message_sink.h"
#include "engine/core/scanner.h"
#include "engine/core/workspace_memory.h"
#include "host/tavixwcom.h"
#include "host/tavixwdat.h"

namespace engine {

class OutputBuilder;  // engine/output/builder.h

// Values of HostDictionaryState::selected.
inline constexpr std::int64_t kWorkingDictionary = 1;
inline constexpr std::int64_t kMatrixDictionary = 2;        // the matrix input file's
inline constexpr std::int64_t kMatrixOutputDictionary = 3;  // the matrix output file's

struct SplitSettings {
  std::vector<std::int64_t> variables;  // dictionary indices, in split order
  bool layered = false;
};

// One reading of the command's tokens (SSTACK): its storage is a workspace
// block, so that a workspace too small for the command fails cleanly.
struct ScannerStack {
  std::int64_t offset = 0;        // workspace block
  std::int64_t words = 0;         // its size
  std::int64_t lastPosition = 0;  // position of the current token; the next read is +1
};

class Session {
 public:
  static Session& current();  // the session of the process

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Back to the state of a fresh engine: no data, default settings, every
  // workspace block released, no output. The workspace limit is kept.
  void reset();

  // ---- the working data and its settings
  std::shared_ptr<Dataset> dataset;  // null until data are loaded
  Dictionary& dictionary();          // the working dictionary (empty one without data)
  SplitSettings split;
  std::int64_t weightVariable = 0;  // 0: none
  // Set when a LOAD or INLINE fails: "LOAD at file:line". Until data load
  // again, the commands that need data are skipped (CommandSkipped).
  std::string failedLoad;

  // The dictionary the dictionary services act on, as dictionaryState.selected
  // says: 0 or 1 the working data, 2 the matrix input file's, 3 the matrix
  // output file's (an empty one while there is no such file).
  Dictionary& selectedDictionary();
  // Dictionaries of the matrix input file once one is open and of the matrix
  // output file being built; owned by the matrix file services.
  Dictionary* matrixDictionary = nullptr;
  Dictionary* matrixOutputDictionary = nullptr;

  // The entry in hand of the dictionary services (DICGET, DICCLR, DICPUT),
  // whole, and the labels made for it (VRLBLD handles are 1-based positions
  // in madeLabels; VLBPTL keeps longLabel until VLBPDE attaches it). Cleared
  // after every procedure.
  struct EntryWork {
    Variable inHand;
    std::vector<std::string> madeLabels;
    std::string longLabel;
  } entryWork;

  // ---- the shared areas the procedure sees (host/tavixwcom.h)
  HostGlobal global;
  MachineConstants constants;
  HostToken token;
  HostDictEntry entry;
  HostDictionaryState dictionaryState;
  MatrixFileState matrix;
  HostCase currentCase;
  HostSharedAreas areas;
  HostDictionaryHandles dictionaryHandles;

  // ---- the command being run
  std::vector<Token> commandTokens;                    // tokens of the command, command name first
  std::string commandName;                             // as typed, for messages
  std::string sourceLocation;                          // "file:line" of the command, for messages
  std::map<std::int64_t, ScannerStack> scannerStacks;  // by handle (SSTACK)
  std::int64_t nextStackHandle = 1;
  std::string statusName;  // what the procedure recorded with STATOP (may be empty)

  WorkspaceMemory workspace;

  // The running engine's output (null: none), which also shows message()'s
  // messages. Any builder given here is a MessageSink; taking it as a
  // template spares this folder the builder's definition.
  OutputBuilder* output() const { return output_; }
  template <class Builder>
  void setOutput(Builder* builder) {
    output_ = builder;
    messages_ = builder;
  }
  void setOutput(std::nullptr_t) {
    output_ = nullptr;
    messages_ = nullptr;
  }

  // Copy split settings and weight into the shared areas before a procedure
  // runs, so that the procedure sees them in HostGlobal.
  void publishSettings();

  // Shows a message tied to the current command: severity 1 note, 2 warning,
  // 3 error (which also sets global.errorFlag). Without an output builder
  // (some unit tests) only the flag is set.
  void message(int severity, std::string_view text);

  volatile std::sig_atomic_t interruptRequested = 0;

  // The stream the running engine writes its document to (null: none). Once
  // a write to it has failed (the reader of a pipe went away, the disk is
  // full) nothing more can be shown: the interrupt check stops the command.
  const std::ios* document = nullptr;
  bool documentLost() const { return document != nullptr && document->bad(); }

 private:
  Session();
  Dictionary emptyDictionary_;  // what dictionary() gives without data
  OutputBuilder* output_ = nullptr;
  MessageSink* messages_ = nullptr;
};

// Thrown by ATNJMP when the user interrupted: the engine abandons the command.
struct Interrupted {};

}  // namespace engine
