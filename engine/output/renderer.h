// Renderers turn the builder's finished items into text, JSON or HTML as soon as
// they are complete; nothing is kept after an item has been written.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>

#include "engine/output/document.h"
#include "engine/output/matrix_files.h"

namespace engine::output {

class Renderer {
 public:
  virtual ~Renderer() = default;
  virtual void beginProcedure(const std::string& title, const CommandInfo* command) = 0;
  virtual void endProcedure() = 0;
  virtual void beginHeading(const std::string& title) = 0;
  virtual void endHeading() = 0;
  virtual void notes(const NotesGroup& group) = 0;
  virtual void table(const PivotTable& table) = 0;
  virtual void message(const Message& message) = 0;
  // Closes the document; no item follows.
  virtual void finish() = 0;
};

// How the text rendering lays out its tables.
struct TextOptions {
  // Lines a table may fill: one wider is shown in blocks of columns, each
  // under the row labels and its own column labels. 0: no limit.
  std::size_t pageWidth = 0;
  // Memory for the lines of later blocks while the body is read for the
  // first; when they need more, the body is read again for the rest.
  std::size_t heldBlockBytes = std::size_t{16} << 20;
};

// The text renderer flushes after every item, and after every block of a
// table, so that a reader at the other end of a pipe sees each as it comes.
std::unique_ptr<Renderer> makeTextRenderer(std::ostream& out);
std::unique_ptr<Renderer> makeTextRenderer(std::ostream& out, const TextOptions& options);
std::unique_ptr<Renderer> makeJsonRenderer(std::ostream& out);

// Each "Proximity Matrix" as a square CSV, items' labels in the header and the
// first column; everything else of the document is left out (messages reach
// standard error through the diagnostics copy). `files` may be null: then the
// first matrix goes to `out` and any later one is refused.
std::unique_ptr<Renderer> makeSquareCsvRenderer(std::ostream& out, MatrixFiles* files);
// Every matrix as rows "group..., item1, item2, value" of its lower triangle,
// with the diagonal when asked; one stream, one header.
std::unique_ptr<Renderer> makeLongCsvRenderer(std::ostream& out, MatrixFiles* files, bool diagonal);

// "Error", "Warning", "Note" (text) and "error", "warning", "note" (JSON).
std::string severityWord(Severity severity, bool capitalized);

}  // namespace engine::output
