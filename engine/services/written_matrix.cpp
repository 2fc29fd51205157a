#include "engine/services/written_matrix.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "engine/data/csv_table.h"

namespace engine {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::size_t kWordChars = 8;

std::string_view withoutTrailingBlanks(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

// The matrix of the command being run, row by row, and where its standard
// variables are among the leading columns.
struct Building {
  bool started = false;
  std::size_t splitCount = 0;
  std::size_t rowtypeColumn = 0, idColumn = kNone, casenoColumn = kNone, varnameColumn = 0;
  std::size_t idWords = 0;
  WrittenMatrix matrix;
  // The row being built.
  std::string rowtype, varname;
  std::vector<Word> leading;
  std::size_t rowStart = 0;  // where its values begin in matrix.values
};

struct Keeping {
  bool on = false;
  WrittenMatrix kept;
  Building building;
};

Keeping& keeping() {
  static Keeping state;
  return state;
}

// The leading columns and the item names, from the matrix output's
// dictionary: everything up to VARNAME_ leads, everything after is an item.
void startMatrix(Building& b, const Dictionary& dictionary) {
  const auto& variables = dictionary.variables();
  const std::size_t varname = static_cast<std::size_t>(dictionary.find("VARNAME_"));
  const std::size_t rowtype = static_cast<std::size_t>(dictionary.find("ROWTYPE_"));
  if (varname == 0 || rowtype == 0 || rowtype > varname) {
    throw DataError("The matrix output has no ROWTYPE_ and VARNAME_ to keep it by.");
  }
  for (std::size_t k = 0; k < varname; ++k) {
    const Variable& v = variables[k];
    b.matrix.leading.push_back(WrittenMatrix::Column{v.name, v.isString(), {}, {}});
    if (k + 1 > rowtype && v.name == "ID" && v.isString()) {
      b.idColumn = k;
      b.idWords = (static_cast<std::size_t>(v.width) + kWordChars - 1) / kWordChars;
    }
    if (k + 1 > rowtype && v.name == "CASENO_" && !v.isString()) b.casenoColumn = k;
  }
  for (std::size_t k = varname; k < variables.size(); ++k) {
    b.matrix.items.push_back(variables[k].name);
  }
  b.splitCount = rowtype - 1;
  b.rowtypeColumn = rowtype - 1;
  b.varnameColumn = varname - 1;
  // Between cases without split groups the matrix is square: one reservation
  // for all of it (untouched pages cost nothing until written).
  b.matrix.values.reserve(b.matrix.items.size() * b.matrix.items.size());
  b.started = true;
}

void addText(WrittenMatrix::Column& column, std::string_view text) {
  column.texts.emplace_back(withoutTrailingBlanks(text));
}

void addSplitValues(Building& b, const Case* groupRow, std::span<const std::int64_t> indices) {
  for (std::size_t i = 0; i < b.splitCount; ++i) {
    WrittenMatrix::Column& column = b.matrix.leading[i];
    const bool have = groupRow != nullptr && i < indices.size() && indices[i] >= 1 &&
                      static_cast<std::size_t>(indices[i]) <= groupRow->values.size();
    const std::size_t from = have ? static_cast<std::size_t>(indices[i] - 1) : 0;
    if (column.isString) {
      addText(column, have ? std::string_view(groupRow->strings[from]) : std::string_view{});
    } else {
      column.numbers.push_back(have ? kept::keptNumber(groupRow->values[from]) : kNaN);
    }
  }
}

void addStandardValues(Building& b) {
  WrittenMatrix& m = b.matrix;
  addText(m.leading[b.rowtypeColumn], b.rowtype);
  if (b.idColumn != kNone) {
    std::string label(b.idWords * kWordChars, ' ');
    std::memcpy(label.data(), b.leading.data(), label.size());
    addText(m.leading[b.idColumn], label);
  }
  if (b.casenoColumn != kNone) {
    double number = 0;
    std::memcpy(&number, &b.leading.back(), sizeof number);
    m.leading[b.casenoColumn].numbers.push_back(kept::keptNumber(number));
  }
  addText(m.leading[b.varnameColumn], b.varname);
}

}  // namespace

void keepWrittenMatrices(bool keep) {
  Keeping& k = keeping();
  k.on = keep;
  if (!keep) k = Keeping{};
}

bool keepingWrittenMatrices() { return keeping().on; }

WrittenMatrix takeWrittenMatrix() { return std::exchange(keeping().kept, WrittenMatrix{}); }

namespace kept {

std::vector<double>& startRow(const Dictionary& dictionary, std::string_view rowtype,
                              std::string_view varname, std::span<const Word> leading) {
  Building& b = keeping().building;
  if (!b.started) startMatrix(b, dictionary);
  b.rowtype = rowtype;
  b.varname = varname;
  b.leading.assign(leading.begin(), leading.end());
  b.rowStart = b.matrix.values.size();
  return b.matrix.values;
}

void writeRow(const Case* groupRow, std::span<const std::int64_t> groupIndices) {
  Building& b = keeping().building;
  const std::size_t expectedWords =
      (b.idColumn != kNone ? b.idWords : 0) + (b.casenoColumn != kNone ? 1 : 0);
  const std::size_t items = b.matrix.items.size();
  if (!b.started || b.leading.size() != expectedWords ||
      b.matrix.values.size() - b.rowStart > items) {
    throw DataError("A matrix file row does not fit the file's variables.");
  }
  b.matrix.values.resize(b.rowStart + items, kNaN);  // the items the row did not reach
  addSplitValues(b, groupRow, groupIndices);
  addStandardValues(b);
  ++b.matrix.rows;
}

void finish() {
  Keeping& k = keeping();
  k.kept = std::move(k.building.matrix);  // one of no rows, if the command wrote none
  k.building = Building{};
}

void drop() { keeping().building = Building{}; }

}  // namespace kept

}  // namespace engine
