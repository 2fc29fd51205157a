// The JSON renderer: {"version":1,"items":[...]} written item by item, so a
// reader can follow a long run while it goes on. Procedures and headings are
// items with items of their own. docs/output-formats.md describes the schema.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

#include "engine/core/proximity_request.h"
#include "engine/core/shortest_number.h"
#include "engine/output/body_rows.h"
#include "engine/output/json_clustering.h"
#include "engine/output/matrix_table.h"
#include "engine/output/renderer.h"
#include "engine/output/table_layout.h"

namespace engine::output {

namespace {

// Texts from data may hold bytes that are not UTF-8; they are replaced rather
// than stopping the output.
std::string jsonString(std::string_view text) {
  // Printable ASCII without quotes or backslashes (every number's text) needs
  // no escaping: the library's answer would be the same.
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
  });
  if (plain) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
  }
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Shortest text that reads back to the same double; null for the
// system-missing value and for values JSON cannot hold.
std::string numberText(const Content& c) {
  if (c.missing || !std::isfinite(c.value)) return "null";
  if (c.integer) return std::to_string(static_cast<std::int64_t>(c.value));
  return nlohmann::json(c.value).dump();
}

void writeContentFields(std::ostream& out, const Content& c) {
  switch (c.kind) {
    case Content::Kind::Number:
      out << "\"kind\":\"number\",\"value\":" << numberText(c) << ",\"format\":\""
          << formatName(c.format) << "\",\"text\":" << jsonString(c.text);
      break;
    case Content::Kind::Variable:
      out << "\"kind\":\"variable\",\"text\":" << jsonString(c.text)
          << ",\"name\":" << jsonString(c.text)
          << ",\"variable_label\":" << jsonString(c.variableLabel);
      break;
    case Content::Kind::Text:
      out << "\"kind\":\"text\",\"text\":" << jsonString(c.text);
      break;
  }
}

void writeMarkers(std::ostream& out, const std::vector<int>& footnotes) {
  out << '[';
  for (std::size_t i = 0; i < footnotes.size(); ++i) {
    out << (i > 0 ? "," : "") << '"' << footnoteMarker(footnotes[i]) << '"';
  }
  out << ']';
}

void writeIndexList(std::ostream& out, const std::vector<int>& list) {
  out << '[';
  for (std::size_t i = 0; i < list.size(); ++i) out << (i > 0 ? "," : "") << list[i];
  out << ']';
}

void writeDimension(std::ostream& out, const PivotTable& table, int index) {
  const Dimension& d = table.dimensions()[static_cast<std::size_t>(index)];
  out << "{\"name\":" << jsonString(d.name) << ",\"axis\":\""
      << (axisOf(table, index) == Axis::Columns ? "columns" : "rows") << "\",\"level\":" << d.level
      << ",\"groups\":[";
  for (std::size_t g = 0; g < d.groups.size(); ++g) {
    out << (g > 0 ? "," : "") << "{\"label\":" << jsonString(d.groups[g].label) << ",\"parent\":";
    if (d.groups[g].parent < 0) {
      out << "null}";
    } else {
      out << d.groups[g].parent << '}';
    }
  }
  out << "],\"categories\":[";
  for (std::size_t c = 0; c < d.categories.size(); ++c) {
    const Category& category = d.categories[c];
    out << (c > 0 ? ",\n" : "\n") << '{';
    writeContentFields(out, category.label);
    if (category.group >= 0) out << ",\"group\":" << category.group;
    if (!category.footnotes.empty()) {
      out << ",\"footnotes\":";
      writeMarkers(out, category.footnotes);
    }
    out << '}';
  }
  out << "]}";
}

void writeCell(std::ostream& out, std::size_t dimensions, const BodyCell& cell, bool first) {
  out << (first ? "\n" : ",\n") << "{\"position\":[";
  for (std::size_t d = 0; d < dimensions; ++d) {
    out << (d > 0 ? "," : "");
    if (cell.position[d] < 0) {
      out << "null";
    } else {
      out << cell.position[d];
    }
  }
  out << "],";
  writeContentFields(out, cell.content);
  if (!cell.footnotes.empty()) {
    out << ",\"footnotes\":";
    writeMarkers(out, cell.footnotes);
  }
  out << '}';
}

// Cells in row order, then column order; a cell replaced by a later one at the
// same place is left out. A table too large for a grid lists every cell in the
// order it was placed (row by row when its rows were spooled).
void writeCells(std::ostream& out, const PivotTable& table, const TableLayout& layout) {
  out << "\"cells\":[";
  const std::size_t dimensions = table.dimensions().size();
  bool first = true;
  if (layout.tooLarge && !table.spooled()) {
    BodyCell cell;
    for (std::size_t i = 0; i < table.cells().size(); ++i, first = false) {
      cell.position = table.cells()[i].position;
      cell.content = table.cellContent(i);
      cell.footnotes = table.cellFootnotes(i);
      writeCell(out, dimensions, cell, first);
    }
  } else {
    BodyRows rows(table, layout);
    for (std::size_t r = 0; r < layout.rows.size; ++r) {
      for (const BodyCell& cell : rows.next()) {
        if (!cell.present) continue;
        writeCell(out, dimensions, cell, first);
        first = false;
      }
    }
  }
  out << "\n]";
}

void writeStringList(std::ostream& out, const std::vector<std::string>& list) {
  out << '[';
  for (std::size_t i = 0; i < list.size(); ++i) out << (i > 0 ? "," : "") << jsonString(list[i]);
  out << ']';
}

// A parameter as a number when it reads as one ("3"), else as typed.
std::string parameterJson(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size() && std::isfinite(value)) {
    return shortestNumber(value);
  }
  return jsonString(text);
}

void writeMeasure(std::ostream& out, const MatrixTable& m, const ProximityRequest& request) {
  out << "\"measure\":{\"keyword\":";
  if (request.matrixIn) {
    out << "null,\"parameters\":[]";  // the file's measure; its label is the name
  } else {
    out << jsonString(request.measureKeyword) << ",\"parameters\":[";
    for (std::size_t i = 0; i < request.measureParameters.size(); ++i) {
      out << (i > 0 ? "," : "") << parameterJson(request.measureParameters[i]);
    }
    out << ']';
  }
  out << ",\"name\":" << jsonString(m.measureName) << ",\"label\":" << jsonString(m.measureLabel)
      << '}';
}

void writeMatrixValues(std::ostream& out, const PivotTable& table, const MatrixTable& m) {
  out << "\"values\":[";
  writeMatrixRows(out, table, m.size(),
                  [&m](std::size_t i, const MatrixRow& row, std::string& text) {
                    text += i > 0 ? ",\n[" : "\n[";
                    for (std::size_t j = 0; j < m.size(); ++j) {
                      if (j > 0) text += ',';
                      if (j < row.size() && row[j]) {
                        appendShortestNumber(text, *row[j]);
                      } else {
                        text += "null";
                      }
                    }
                    text += ']';
                  });
  out << ']';
}

// The table as a plain matrix, so that a reader needs no knowledge of pivot
// tables: pd.DataFrame(m["values"], index=m["labels"], columns=m["labels"]).
// docs/matrix-output.schema.json describes it.
void writeMatrixObject(std::ostream& out, const PivotTable& table, const MatrixTable& m,
                       const ProximityRequest& request) {
  out << ",\"matrix\":{\"view\":\"" << (m.cases ? "case" : "variable") << "\",\"labels\":[";
  for (std::size_t i = 0; i < m.size(); ++i) {
    out << (i > 0 ? "," : "") << jsonString(m.items[i].label);
  }
  out << "],\"case_numbers\":";
  if (m.cases) {
    out << '[';
    for (std::size_t i = 0; i < m.size(); ++i) {
      const auto& number = m.items[i].number;
      out << (i > 0 ? "," : "") << (number ? std::to_string(*number) : std::string("null"));
    }
    out << ']';
  } else {
    out << "null";
  }
  out << ",\"kind\":\"" << (m.similarity ? "similarity" : "dissimilarity")
      << "\",\"absolute\":" << (m.absolute ? "true" : "false") << ',';
  writeMeasure(out, m, request);
  // In the order they are applied: absolute values, reversal, rescaling.
  std::vector<std::string> transformations;
  for (const char* word : {"absolute", "reverse", "rescale"}) {
    if (std::find(m.prefixes.begin(), m.prefixes.end(), word) != m.prefixes.end()) {
      transformations.emplace_back(word);
    }
  }
  out << ",\"transformations\":";
  writeStringList(out, transformations);
  out << ",\"standardization\":";
  if (request.standardization && !request.matrixIn) {
    out << "{\"method\":" << jsonString(request.standardization->method)
        << ",\"direction\":" << jsonString(request.standardization->direction) << '}';
  } else {
    out << "null";
  }
  out << ",\"group\":[";
  for (std::size_t g = 0; g < m.group.size(); ++g) {
    out << (g > 0 ? "," : "") << "{\"variable\":" << jsonString(m.group[g].first)
        << ",\"value\":" << jsonString(m.group[g].second) << '}';
  }
  out << "],";
  writeMatrixValues(out, table, m);
  writeMatrixClustering(out, table, m);
  out << '}';
}

void writeTable(std::ostream& out, const PivotTable& table, const ProximityRequest& request) {
  const TableLayout layout = layoutTable(table);
  out << "{\"type\":\"table\",\"name\":" << jsonString(table.name())
      << ",\"title\":" << jsonString(table.title()) << ",\"title_footnotes\":";
  writeMarkers(out, table.titleFootnotes());
  out << ",\"table_footnotes\":";
  writeMarkers(out, table.tableFootnotes());
  out << ",\"dimensions\":[";
  for (std::size_t d = 0; d < table.dimensions().size(); ++d) {
    out << (d > 0 ? ",\n" : "\n");
    writeDimension(out, table, static_cast<int>(d));
  }
  out << "],\"layout\":{\"rows\":";
  writeIndexList(out, layout.rows.dims);
  out << ",\"columns\":";
  writeIndexList(out, layout.columns.dims);
  out << "},";
  writeCells(out, table, layout);
  out << ",\"footnotes\":[";
  for (std::size_t i = 0; i < table.footnotes().size(); ++i) {
    out << (i > 0 ? "," : "") << "{\"marker\":\"" << footnoteMarker(static_cast<int>(i))
        << "\",\"text\":" << jsonString(table.footnotes()[i]) << '}';
  }
  out << ']';
  if (const std::optional<MatrixTable> m = readMatrixTable(table)) {
    writeMatrixObject(out, table, *m, request);
  }
  out << '}';
}

std::string commandJson(const CommandInfo* command) {
  if (command == nullptr) return "null";
  return "{\"text\":" + jsonString(command->text) +
         ",\"location\":" + jsonString(command->location) + "}";
}

class JsonRenderer : public Renderer {
 public:
  explicit JsonRenderer(std::ostream& out) : out_(out) {
    out_ << "{\"version\":1,\"items\":[";
    firstInList_.push_back(true);
  }

  void beginProcedure(const std::string& title, const CommandInfo* command) override {
    request_ = readProximityRequest(command ? command->text : std::string());
    beginItem();
    out_ << "{\"type\":\"procedure\",\"title\":" << jsonString(title)
         << ",\"command\":" << commandJson(command) << ",\"items\":[";
    firstInList_.push_back(true);
  }
  void endProcedure() override { closeList(); }
  void beginHeading(const std::string& title) override {
    beginItem();
    out_ << "{\"type\":\"heading\",\"title\":" << jsonString(title) << ",\"items\":[";
    firstInList_.push_back(true);
  }
  void endHeading() override { closeList(); }

  void notes(const NotesGroup& group) override {
    beginItem();
    out_ << "{\"type\":\"notes\",\"title\":" << jsonString(group.title) << ",\"entries\":[";
    for (std::size_t i = 0; i < group.entries.size(); ++i) {
      out_ << (i > 0 ? "," : "") << "{\"category\":" << jsonString(group.entries[i].first) << ',';
      writeContentFields(out_, group.entries[i].second);
      out_ << '}';
    }
    out_ << "]}";
  }

  void table(const PivotTable& table) override {
    beginItem();
    writeTable(out_, table, request_);
  }

  void message(const Message& m) override {
    beginItem();
    out_ << "{\"type\":\"message\",\"severity\":\"" << severityWord(m.severity, false)
         << "\",\"class\":";
    if (m.messageClass) {
      out_ << *m.messageClass;
    } else {
      out_ << "null";
    }
    out_ << ",\"text\":" << jsonString(m.text)
         << ",\"command\":" << commandJson(m.command ? &*m.command : nullptr) << '}';
  }

  void finish() override {
    if (firstInList_.empty()) return;
    while (firstInList_.size() > 1) closeList();
    out_ << "\n]}\n";
    firstInList_.clear();
    out_.flush();
  }

 private:
  void beginItem() {
    if (firstInList_.empty()) firstInList_.push_back(true);  // after finish(): never expected
    out_ << (firstInList_.back() ? "\n" : ",\n");
    firstInList_.back() = false;
  }
  // Ends the items of a procedure or heading; the outermost list is finish()'s.
  void closeList() {
    if (firstInList_.size() <= 1) return;
    out_ << "\n]}";
    firstInList_.pop_back();
  }

  std::ostream& out_;
  std::vector<bool> firstInList_;  // one per open list of items
  ProximityRequest request_;       // of the procedure being shown
};

}  // namespace

std::unique_ptr<Renderer> makeJsonRenderer(std::ostream& out) {
  return std::make_unique<JsonRenderer>(out);
}

}  // namespace engine::output
