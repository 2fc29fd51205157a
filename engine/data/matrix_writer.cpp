#include "engine/data/matrix_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/ordered_writer.h"
#include "engine/core/proximity_request.h"
#include "engine/core/session.h"
#include "engine/data/csv_table.h"
#include "engine/data/number_text.h"
#include "engine/data/schema.h"

namespace engine {

namespace {

constexpr std::size_t kWordChars = 8;

std::size_t wordsFor(int width) {
  return (static_cast<std::size_t>(width) + kWordChars - 1) / kWordChars;
}

std::string_view withoutTrailingBlanks(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

}  // namespace

MatrixWriter::MatrixWriter(std::optional<std::filesystem::path> file) : file_(std::move(file)) {}

Variable MatrixWriter::stringVariable(std::string name, int width) const {
  Variable v;
  v.name = std::move(name);
  v.width = std::max(width, 1);
  v.print = v.write = data::defaultFormat(v.width);
  return v;
}

void MatrixWriter::startDictionary(const Standard& standard) {
  dictionary_ = Dictionary{};
  const auto add = [this](Variable v) {
    if (dictionary_.find(v.name) != 0) {
      throw DataError("The matrix file cannot have two variables named " + v.name +
                      "; rename the split-file variable " + v.name + ".");
    }
    dictionary_.add(std::move(v));
    return static_cast<std::int64_t>(dictionary_.size());
  };
  for (const Variable& v : standard.splitVariables) add(v);
  splitCount_ = standard.splitVariables.size();
  rowtypeIndex_ = add(stringVariable("ROWTYPE_", 8));
  caseLabelIndex_ = 0;
  if (standard.caseLabelWidth > 0) {
    Variable id = stringVariable("ID", standard.caseLabelWidth);
    id.label = standard.caseLabelTitle;
    caseLabelIndex_ = add(std::move(id));
  }
  casenoIndex_ = 0;
  if (standard.caseNumbers) {
    Variable caseno;
    caseno.name = "CASENO_";
    caseno.print = caseno.write = Format{5, 8, 0};
    casenoIndex_ = add(std::move(caseno));
  }
  varnameIndex_ = add(stringVariable("VARNAME_", standard.varnameWidth));
  started_ = true;
}

std::int64_t MatrixWriter::itemCount() const {
  return started_ ? static_cast<std::int64_t>(dictionary_.size()) - varnameIndex_ : 0;
}

std::string MatrixWriter::itemName(std::int64_t row) const {
  if (row < 1 || row > itemCount()) return {};
  return dictionary_.at(varnameIndex_ + row).name;
}

void MatrixWriter::begin() {
  if (!file_ || output_) return;
  output_ = std::make_unique<data::TemporaryFile>(*file_);
  data::writeHeader(output_->stream(), dictionary_);
  rowWriter_ = std::make_unique<OrderedWriter>(output_->stream());
  blockRows_ = rowWriter_->blockRows(dictionary_.size());
}

// Hands the block being filled to the worker threads and fills the other
// one, which the writer is done with once write() returns.
void MatrixWriter::writePending() {
  std::vector<Case>& block = pending_[filling_];
  if (block.empty()) return;
  rowWriter_->write(block.size(), [this, &block](std::size_t k, std::string& text) {
    data::appendCase(text, dictionary_, block[k]);
  });
  filling_ = 1 - filling_;
  pending_[filling_].clear();
}

void MatrixWriter::startRow(std::string_view rowtype, std::string_view varname,
                            std::span<const Word> leading) {
  rowStarted_ = true;
  rowtype_ = std::string(withoutTrailingBlanks(rowtype));
  varname_ = std::string(withoutTrailingBlanks(varname));
  leading_.assign(leading.begin(), leading.end());
  values_.clear();
  // Room for the whole row now, while the row is being started: adding a
  // value then never allocates (a row longer than the items is refused when
  // it is written).
  values_.reserve(static_cast<std::size_t>(std::max<std::int64_t>(itemCount(), 0)));
}

void MatrixWriter::setString(Case& row, std::size_t k, std::string_view text) const {
  const auto width = static_cast<std::size_t>(dictionary_.variables()[k].width);
  std::string value(text.substr(0, std::min(text.size(), width)));
  value.resize(width, ' ');
  row.strings[k] = std::move(value);
}

void MatrixWriter::writeRow(const Case* groupRow, std::span<const std::int64_t> groupIndices) {
  if (!rowStarted_) throw DataError("A matrix file row was written before it was started.");
  const std::size_t caseLabelWords =
      caseLabelIndex_ != 0 ? wordsFor(dictionary_.at(caseLabelIndex_).width) : 0;
  const std::size_t expected = caseLabelWords + (casenoIndex_ != 0 ? 1 : 0);
  if (leading_.size() != expected || static_cast<std::int64_t>(values_.size()) > itemCount()) {
    throw DataError("A matrix file row does not fit the file's variables.");
  }
  const std::size_t n = dictionary_.size();
  Case row;
  row.values.assign(n, data::kSystemMissing);
  row.strings.assign(n, std::string());
  for (std::size_t k = 0; k < n; ++k) {
    if (dictionary_.variables()[k].isString()) setString(row, k, "");
  }
  for (std::size_t i = 0; i < splitCount_ && groupRow != nullptr && i < groupIndices.size(); ++i) {
    const auto from = static_cast<std::size_t>(groupIndices[i] - 1);
    if (groupIndices[i] < 1 || from >= groupRow->values.size()) continue;
    row.values[i] = groupRow->values[from];
    if (dictionary_.variables()[i].isString()) setString(row, i, groupRow->strings[from]);
  }
  setString(row, static_cast<std::size_t>(rowtypeIndex_ - 1), rowtype_);
  if (caseLabelIndex_ != 0) {
    std::string label(caseLabelWords * kWordChars, ' ');
    std::memcpy(label.data(), leading_.data(), label.size());
    setString(row, static_cast<std::size_t>(caseLabelIndex_ - 1), label);
  }
  if (casenoIndex_ != 0) {
    std::memcpy(&row.values[static_cast<std::size_t>(casenoIndex_ - 1)], &leading_.back(),
                sizeof(double));
  }
  setString(row, static_cast<std::size_t>(varnameIndex_ - 1), varname_);
  for (std::size_t j = 0; j < values_.size(); ++j) {
    // A value that is not a finite number has no CSV form that reads back
    // as a number, so it is written as missing.
    const double v = values_[j];
    row.values[static_cast<std::size_t>(varnameIndex_) + j] =
        std::isfinite(v) ? v : data::kSystemMissing;
  }
  if (file_ && !output_) throw DataError("A matrix file row came before the file was started.");
  if (casenoIndex_ != 0) {
    caseNumbers_.push_back(row.values[static_cast<std::size_t>(casenoIndex_ - 1)]);
  }
  if (output_) {
    noteItem(row);
    pending_[filling_].push_back(std::move(row));
    if (pending_[filling_].size() >= blockRows_) writePending();
  } else {
    if (memoryColumns_.empty()) {
      for (const Variable& v : dictionary_.variables()) {
        memoryColumns_.push_back(data::Column{v.isString(), {}, {}});
      }
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (memoryColumns_[k].isString) {
        memoryColumns_[k].texts.push_back(std::move(row.strings[k]));
      } else {
        memoryColumns_[k].numbers.push_back(row.values[k]);
      }
    }
  }
  ++rows_;
  rowStarted_ = false;
}

// Between cases without split files the procedure labels item variable k
// "Case k", by its place in the matrix. Once cases with missing values are
// left out, the k-th item is not case k of the data (row k's CASENO_ and
// case label say which it is), so the title is made to name the case the
// column holds, as the row does.
void MatrixWriter::retitleCaseItems() {
  if (splitCount_ != 0 || casenoIndex_ == 0) return;
  for (std::size_t k = 0; k < caseNumbers_.size(); ++k) {
    if (static_cast<std::int64_t>(k) >= itemCount()) break;
    Variable& item = dictionary_.at(varnameIndex_ + static_cast<std::int64_t>(k) + 1);
    const double number = caseNumbers_[k];
    if (item.label != "Case " + std::to_string(k + 1) || number == data::kSystemMissing) continue;
    item.label = "Case " + data::formatNumber(number);
  }
}

// A row's item: its case label (the padding rows of a smaller group have
// none and are no item), or the item variable it belongs to.
void MatrixWriter::noteItem(const Case& row) {
  data::MatrixGroupItems group;
  for (std::size_t i = 0; i < splitCount_; ++i) {
    const Variable& v = dictionary_.variables()[i];
    group.split.emplace_back(v.name, v.isString()
                                         ? std::string(withoutTrailingBlanks(row.strings[i]))
                                         : data::formatNumber(row.values[i]));
  }
  if (groups_.empty() || groups_.back().split != group.split) groups_.push_back(std::move(group));
  std::string label = varname_;
  if (caseLabelIndex_ != 0) {
    label = std::string(
        withoutTrailingBlanks(row.strings[static_cast<std::size_t>(caseLabelIndex_ - 1)]));
    const bool padding =
        casenoIndex_ != 0 &&
        row.values[static_cast<std::size_t>(casenoIndex_ - 1)] == data::kSystemMissing;
    if (label.empty() && padding) return;
  }
  groups_.back().labels.push_back(std::move(label));
}

void MatrixWriter::commit() {
  if (!output_) return;
  writePending();
  rowWriter_->finish();
  output_->close();
  retitleCaseItems();
  data::TemporaryFile sidecar(data::sidecarPath(*file_));
  const std::string& proximityLabel = dictionary_.at(rowtypeIndex_).label;
  sidecar.stream() << data::matrixSidecarText(
      dictionary_, proximityLabel, caseLabelIndex_ != 0 || casenoIndex_ != 0, groups_,
      readProximityRequest(Session::current().commandTokens));
  sidecar.close();
  sidecar.commit();
  output_->commit();
  rowWriter_.reset();
  output_.reset();
}

std::shared_ptr<Dataset> MatrixWriter::toDataset(std::string source) {
  retitleCaseItems();
  if (memoryColumns_.empty()) {  // no rows
    for (const Variable& v : dictionary_.variables()) {
      memoryColumns_.push_back(data::Column{v.isString(), {}, {}});
    }
  }
  return std::make_shared<data::ColumnDataset>(dictionary_, std::move(memoryColumns_),
                                               std::move(source));
}

}  // namespace engine
