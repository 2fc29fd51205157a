#include "engine/data/csv_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/core/shortest_number.h"
#include "engine/data/csv_table.h"

namespace engine::data {

namespace {

void appendQuoted(std::string& text, std::string_view field) {
  text += '"';
  for (char c : field) {
    if (c == '"') text += '"';
    text += c;
  }
  text += '"';
}

std::string_view withoutTrailingBlanks(std::string_view text) {
  const auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

}  // namespace

TemporaryFile::TemporaryFile(std::filesystem::path target) : target_(std::move(target)) {
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

TemporaryFile::~TemporaryFile() {
  if (committed_) return;
  stream_.close();
  std::error_code ec;
  std::filesystem::remove(temporary_, ec);
}

void TemporaryFile::close() {
  stream_.close();
  if (!stream_) failWrite();
}

void TemporaryFile::commit() {
  std::error_code ec;
  std::filesystem::rename(temporary_, target_, ec);
  if (ec) throw DataError("Cannot write " + target_.string() + ": " + ec.message() + ".");
  committed_ = true;
}

void TemporaryFile::failWrite() const {
  throw DataError("Cannot write " + target_.string() + ": " + std::strerror(errno) + ".");
}

void writeHeader(std::ostream& out, const Dictionary& dictionary) {
  std::string text;
  for (std::size_t k = 0; k < dictionary.size(); ++k) {
    if (k > 0) text += ',';
    appendQuoted(text, dictionary.variables()[k].name);
  }
  text += '\n';
  out << text;
}

void appendCase(std::string& text, const Dictionary& dictionary, const Case& c) {
  const auto& variables = dictionary.variables();
  for (std::size_t k = 0; k < variables.size(); ++k) {
    if (k > 0) text += ',';
    if (variables[k].isString()) {
      appendQuoted(text, withoutTrailingBlanks(c.strings[k]));
    } else if (c.values[k] != kSystemMissing) {
      appendShortestNumber(text, c.values[k]);
    } else if (variables.size() == 1) {
      text += "\"\"";  // a blank line would be skipped when read back
    }
  }
  text += '\n';
}

void writeCase(std::ostream& out, const Dictionary& dictionary, const Case& c) {
  std::string text;
  appendCase(text, dictionary, c);
  out << text;
}

}  // namespace engine::data
