#include "engine/data/csv_export.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "engine/data/csv_table.h"
#include "engine/data/number_text.h"
#include "engine/data/schema.h"

namespace engine::data {

namespace {

// A file written under a temporary name and renamed into place by commit();
// removed when dropped uncommitted.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::filesystem::path target) : target_(std::move(target)) {
    static int counter = 0;
    // A hidden name in the same folder, so that the rename stays on one file
    // system; the process id and a counter keep two writers apart.
    std::string name = ".";
    name += target_.filename().string();
    name += ".tmp";
    name += std::to_string(getpid());
    name += '-';
    name += std::to_string(++counter);
    temporary_ = target_;
    temporary_.replace_filename(name);
    stream_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!stream_) failWrite();
  }
  ~TemporaryFile() {
    if (committed_) return;
    stream_.close();
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  std::ofstream& stream() { return stream_; }
  void close() {
    stream_.close();
    if (!stream_) failWrite();
  }
  void commit() {
    std::error_code ec;
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) throw DataError("Cannot write " + target_.string() + ": " + ec.message() + ".");
    committed_ = true;
  }

 private:
  [[noreturn]] void failWrite() const {
    throw DataError("Cannot write " + target_.string() + ": " + std::strerror(errno) + ".");
  }
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::ofstream stream_;
  bool committed_ = false;
};

void writeQuoted(std::ostream& out, std::string_view text) {
  out << '"';
  for (char c : text) {
    if (c == '"') out << '"';
    out << c;
  }
  out << '"';
}

std::string_view withoutTrailingBlanks(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

void writeCase(std::ostream& out, const Dictionary& dictionary, const Case& c) {
  const auto& variables = dictionary.variables();
  for (std::size_t k = 0; k < variables.size(); ++k) {
    if (k > 0) out << ',';
    if (variables[k].isString()) {
      writeQuoted(out, withoutTrailingBlanks(c.strings[k]));
    } else if (c.values[k] != kSystemMissing) {
      out << formatNumber(c.values[k]);
    } else if (variables.size() == 1) {
      out << "\"\"";  // a blank line would be skipped when read back
    }
  }
  out << '\n';
}

}  // namespace

std::int64_t exportDataset(const Dataset& dataset, const std::filesystem::path& path) {
  const Dictionary& dictionary = dataset.dictionary;
  TemporaryFile csv(path);
  std::ofstream& out = csv.stream();
  for (std::size_t k = 0; k < dictionary.size(); ++k) {
    if (k > 0) out << ',';
    writeQuoted(out, dictionary.variables()[k].name);
  }
  out << '\n';
  std::int64_t count = 0;
  const auto cursor = dataset.open();
  Case c;
  while (cursor->next(c)) {
    writeCase(out, dictionary, c);
    ++count;
    if (!out) break;
  }
  csv.close();

  TemporaryFile sidecar(sidecarPath(path));
  sidecar.stream() << schemaText(dictionary);
  sidecar.close();
  sidecar.commit();
  csv.commit();
  return count;
}

}  // namespace engine::data
