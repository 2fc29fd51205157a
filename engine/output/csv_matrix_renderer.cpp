// The CSV renderers (--format csv and long): only the proximity matrices of
// the document, in the shapes that data-frame readers and databases take
// without a recipe. Labels and values come from readMatrixTable, values in
// their shortest exact text, so a matrix read back is the one computed.
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/core/shortest_number.h"
#include "engine/output/matrix_table.h"
#include "engine/output/renderer.h"

namespace engine::output {

namespace {

// A field as RFC 4180 has it: quoted when it holds a separator, a quote, a
// line break or blanks at its ends, which a reader would otherwise trim.
std::string csvField(std::string_view text) {
  const bool plain = text.find_first_of(",\"\r\n") == std::string_view::npos &&
                     (text.empty() || (text.front() != ' ' && text.back() != ' '));
  if (plain) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

// An empty field where the value is missing.
void appendValueField(std::string& text, const MatrixRow& row, std::size_t j) {
  if (j < row.size() && row[j]) appendShortestNumber(text, *row[j]);
}

std::string groupText(const PivotTable::GroupValues& group) {
  std::string text;
  for (const auto& [name, value] : group) {
    text += (text.empty() ? "" : ", ") + name + " = " + value;
  }
  return text;
}

// The first matrix to `out`; a second has nowhere to go.
class SingleStream : public MatrixFiles {
 public:
  explicit SingleStream(std::ostream& out) : out_(out) {}
  std::ostream* next(const std::string&) override {
    if (used_) {
      problem("the CSV output holds one matrix; give -o NAME.csv for one file per matrix");
      return nullptr;
    }
    used_ = true;
    return &out_;
  }
  void problem(const std::string& text) override { std::cerr << "proximities: " << text << '\n'; }

 private:
  std::ostream& out_;
  bool used_ = false;
};

// What both shapes share: everything but tables is left out.
class MatrixRenderer : public Renderer {
 public:
  MatrixRenderer(std::ostream& out, MatrixFiles* files)
      : own_(files ? nullptr : std::make_unique<SingleStream>(out)),
        files_(files ? *files : *own_) {}
  void beginProcedure(const std::string&, const CommandInfo*) override {}
  void endProcedure() override {}
  void beginHeading(const std::string&) override {}
  void endHeading() override {}
  void notes(const NotesGroup&) override {}
  void message(const Message&) override {}
  void finish() override {}
  void table(const PivotTable& table) override {
    if (const std::optional<MatrixTable> m = readMatrixTable(table)) write(table, *m);
  }

 protected:
  virtual void write(const PivotTable& table, const MatrixTable& m) = 0;
  MatrixFiles& files() { return files_; }

 private:
  std::unique_ptr<MatrixFiles> own_;
  MatrixFiles& files_;
};

class SquareCsvRenderer : public MatrixRenderer {
 public:
  using MatrixRenderer::MatrixRenderer;

 private:
  void write(const PivotTable& table, const MatrixTable& m) override {
    std::ostream* out = files().next(groupText(m.group));
    if (out == nullptr) return;
    // The corner is empty: pandas' index_col=0 and R's row.names=1 take the
    // first column as the labels and give the index no name.
    std::string line;
    for (const MatrixItem& item : m.items) line += ',' + csvField(item.label);
    *out << line << '\n';
    writeMatrixRows(*out, table, m.size(),
                    [&](std::size_t i, const MatrixRow& row, std::string& text) {
                      text += csvField(m.items[i].label);
                      for (std::size_t j = 0; j < m.size(); ++j) {
                        text += ',';
                        appendValueField(text, row, j);
                      }
                      text += '\n';
                    });
  }
};

class LongCsvRenderer : public MatrixRenderer {
 public:
  LongCsvRenderer(std::ostream& out, MatrixFiles* files, bool diagonal)
      : MatrixRenderer(out, files), diagonal_(diagonal) {}

 private:
  void write(const PivotTable& table, const MatrixTable& m) override {
    std::vector<std::string> names;
    for (const auto& [name, value] : m.group) names.push_back(name);
    if (out_ == nullptr && !refused_) {
      out_ = files().next(std::string());
      refused_ = out_ == nullptr;
      columns_ = names;
      if (out_) writeHeader();
    }
    if (out_ == nullptr) return;
    if (names != columns_) {
      files().problem(
          "a matrix of other split-file variables than the first one's is left out "
          "of the long output; run its command on its own");
      return;
    }
    std::string prefix;
    for (const auto& [name, value] : m.group) prefix += csvField(value) + ',';
    std::vector<std::string> labels;
    labels.reserve(m.size());
    for (const MatrixItem& item : m.items) labels.push_back(csvField(item.label));
    writeMatrixRows(*out_, table, m.size(),
                    [&](std::size_t i, const MatrixRow& row, std::string& text) {
                      const std::size_t last = diagonal_ ? i + 1 : i;
                      for (std::size_t j = 0; j < last; ++j) {
                        text += prefix;
                        text += labels[i];
                        text += ',';
                        text += labels[j];
                        text += ',';
                        appendValueField(text, row, j);
                        text += '\n';
                      }
                    });
  }

  void writeHeader() {
    for (const std::string& name : columns_) *out_ << csvField(name) << ',';
    *out_ << "item1,item2,value\n";
  }

  bool diagonal_;
  std::ostream* out_ = nullptr;
  bool refused_ = false;
  std::vector<std::string> columns_;
};

}  // namespace

std::unique_ptr<Renderer> makeSquareCsvRenderer(std::ostream& out, MatrixFiles* files) {
  return std::make_unique<SquareCsvRenderer>(out, files);
}

std::unique_ptr<Renderer> makeLongCsvRenderer(std::ostream& out, MatrixFiles* files,
                                              bool diagonal) {
  return std::make_unique<LongCsvRenderer>(out, files, diagonal);
}

}  // namespace engine::output
