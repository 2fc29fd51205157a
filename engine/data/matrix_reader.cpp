#include "engine/data/matrix_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/data/csv_dataset.h"
#include "engine/data/split_title.h"

namespace engine {

namespace {

constexpr std::size_t kWordChars = 8;

Word wordsOf(const Variable& v) {
  return v.isString()
             ? (v.width + static_cast<Word>(kWordChars) - 1) / static_cast<Word>(kWordChars)
             : 1;
}

// The characters of a string value, blank-padded or cut to the target.
void copyChars(std::string_view text, std::span<Word> target) {
  const std::size_t bytes = target.size() * kWordChars;
  std::string padded(text.substr(0, std::min(text.size(), bytes)));
  padded.resize(bytes, ' ');
  std::memcpy(target.data(), padded.data(), bytes);
}

}  // namespace

MatrixReader::MatrixReader(std::shared_ptr<const Dataset> dataset, std::shared_ptr<Dataset> file,
                           std::vector<std::int64_t> splitVariables)
    : dataset_(std::move(dataset)),
      file_(std::move(file)),
      splitVariables_(std::move(splitVariables)) {
  Word next = 1;
  for (const Variable& v : dataset_->dictionary.variables()) {
    positions_.push_back(next);
    next += wordsOf(v);
  }
  recordLength_ = next - 1;
}

std::unique_ptr<MatrixReader> MatrixReader::fromFile(const std::filesystem::path& path) {
  return fromCsv(std::make_shared<data::FileDataset>(path, data::CsvDialect::strict()));
}

std::unique_ptr<MatrixReader> MatrixReader::fromCsv(std::shared_ptr<data::CsvDataset> file) {
  std::vector<std::int64_t> split;
  const std::int64_t rowtype = file->dictionary.find("ROWTYPE_");
  for (std::int64_t k = 1; k < rowtype; ++k) split.push_back(k);
  const bool empty = file->caseCount() == 0;
  std::unique_ptr<MatrixReader> reader(new MatrixReader(file, file, std::move(split)));
  reader->knownEmpty_ = empty;
  return reader;
}

std::unique_ptr<MatrixReader> MatrixReader::fromDataset(std::shared_ptr<const Dataset> dataset,
                                                        std::vector<std::int64_t> splitVariables) {
  return std::unique_ptr<MatrixReader>(
      new MatrixReader(std::move(dataset), nullptr, std::move(splitVariables)));
}

Word MatrixReader::recordPosition(Word variable) const {
  if (variable < 1 || variable > static_cast<Word>(positions_.size())) return 0;
  return positions_[static_cast<std::size_t>(variable - 1)];
}

bool MatrixReader::open() {
  cursor_ = dataset_->open();
  haveRow_ = false;
  haveGroup_ = false;
  groupEnded_ = false;
  advance();
  if (haveRow_) {
    groupRow_ = row_;
    haveGroup_ = true;
  }
  return haveRow_;
}

bool MatrixReader::groupHasRow() {
  if (!haveRow_) return false;
  if (groupEnded_) {
    groupEnded_ = false;
    groupRow_ = row_;
    return true;
  }
  if (sameGroup(groupRow_, row_)) return true;
  groupEnded_ = true;
  return false;
}

void MatrixReader::advance() {
  haveRow_ = cursor_ && cursor_->next(row_);
  if (!haveRow_) cursor_.reset();  // close the file as soon as it is read
}

bool MatrixReader::sameGroup(const Case& a, const Case& b) const {
  for (const std::int64_t index : splitVariables_) {
    const auto k = static_cast<std::size_t>(index - 1);
    if (k >= a.values.size() || k >= b.values.size()) continue;
    if (a.values[k] != b.values[k] || a.strings[k] != b.strings[k]) return false;
  }
  return true;
}

void MatrixReader::copyValue(std::size_t k, std::span<Word> target) const {
  const Variable& v = dictionary().variables()[k];
  if (v.isString()) {
    copyChars(row_.strings[k], target);
  } else {
    std::memcpy(target.data(), &row_.values[k], sizeof(double));
  }
}

bool MatrixReader::read(Word variable, std::span<Word> target) const {
  if (!haveRow_) return false;
  const auto& variables = dictionary().variables();
  if (variable == 0) {
    if (static_cast<Word>(target.size()) < recordLength_) return false;
    for (std::size_t k = 0; k < variables.size(); ++k) {
      copyValue(k, target.subspan(static_cast<std::size_t>(positions_[k] - 1),
                                  static_cast<std::size_t>(wordsOf(variables[k]))));
    }
    return true;
  }
  if (variable < 1 || variable > static_cast<Word>(variables.size())) return false;
  const auto k = static_cast<std::size_t>(variable - 1);
  if (target.empty() || (!variables[k].isString() && target.size() != 1)) return false;
  copyValue(k, target);
  return true;
}

std::vector<std::pair<std::string, std::string>> MatrixReader::groupTitle() const {
  std::vector<std::pair<std::string, std::string>> title;
  if (!haveGroup_) return title;
  const Dictionary& d = dictionary();
  for (const std::int64_t index : splitVariables_) {
    if (index < 1 || index > static_cast<std::int64_t>(d.size())) continue;
    const auto k = static_cast<std::size_t>(index - 1);
    title.emplace_back(d.at(index).name, splitValueText(d.at(index), groupRow_, k));
  }
  return title;
}

}  // namespace engine
