#include "engine/data/csv_reader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/dataset.h"

namespace engine::data {

namespace {

constexpr std::size_t kPieceBytes = 64 * 1024;

class FileSource : public ByteSource {
 public:
  FileSource(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {}
  ~FileSource() override { std::fclose(file_); }
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file_);
    if (n == 0 && std::ferror(file_)) {
      throw DataError("Cannot read " + name_ + ": " + std::strerror(errno) + ".");
    }
    return n;
  }

 private:
  std::FILE* file_;
  std::string name_;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min(buffer.size(), text_->size() - position_);
    std::memcpy(buffer.data(), text_->data() + position_, n);
    position_ += n;
    return n;
  }

 private:
  std::shared_ptr<const std::string> text_;
  std::size_t position_ = 0;
};

class SpanSource : public ByteSource {
 public:
  explicit SpanSource(std::span<const char> bytes) : bytes_(bytes) {}
  std::size_t read(std::span<char> buffer) override {
    const std::size_t n = std::min(buffer.size(), bytes_.size());
    std::memcpy(buffer.data(), bytes_.data(), n);
    bytes_ = bytes_.subspan(n);
    return n;
  }

 private:
  std::span<const char> bytes_;
};

class DescriptorText : public RandomText {
 public:
  DescriptorText(int fd, std::int64_t size, std::string name, bool owned)
      : fd_(fd), size_(size), name_(std::move(name)), owned_(owned) {}
  ~DescriptorText() override {
    if (owned_) ::close(fd_);
  }
  std::int64_t size() const override { return size_; }
  std::size_t readAt(std::int64_t offset, std::span<char> buffer) const override {
    std::size_t done = 0;
    while (done < buffer.size()) {
      const ssize_t n = ::pread(fd_, buffer.data() + done, buffer.size() - done,
                                static_cast<off_t>(offset) + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw DataError("Cannot read " + name_ + ": " + std::strerror(errno) + ".");
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

 private:
  int fd_;
  std::int64_t size_;
  std::string name_;
  bool owned_;
};

class StringText : public RandomText {
 public:
  explicit StringText(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}
  std::int64_t size() const override { return static_cast<std::int64_t>(text_->size()); }
  std::size_t readAt(std::int64_t offset, std::span<char> buffer) const override {
    const auto from = std::min(static_cast<std::size_t>(offset), text_->size());
    const std::size_t n = std::min(buffer.size(), text_->size() - from);
    std::memcpy(buffer.data(), text_->data() + from, n);
    return n;
  }

 private:
  std::shared_ptr<const std::string> text_;
};

// The callbacks run inside libcsv, which is C: an exception must not cross
// it, so running out of memory is noted there and thrown after it returns.
extern "C" void fieldCallback(void* text, std::size_t length, void* reader) {
  auto* self = static_cast<CsvRecordReader*>(reader);
  try {
    self->onField(static_cast<const char*>(text), length);
  } catch (const std::bad_alloc&) {
    self->noteMemoryFailure();
  }
}

extern "C" void recordCallback(int, void* reader) {
  auto* self = static_cast<CsvRecordReader*>(reader);
  try {
    self->onRecordEnd();
  } catch (const std::bad_alloc&) {
    self->noteMemoryFailure();
  }
}

// Commas are found eight bytes at a time, each eight read as one word (the
// first byte lowest) and compared all at once: unlike a search from one
// comma to the next, this does not wait for the field before.
constexpr std::uint64_t kEveryByte = 0x0101010101010101;
constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7F;
constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

std::uint64_t loadWord(const char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The high bit of each byte of the word that equals `byte`, and no other bit.
std::uint64_t bytesEqual(std::uint64_t word, unsigned char byte) {
  const std::uint64_t x = word ^ (kEveryByte * byte);
  // (x & 0x7F) + 0x7F sets the high bit of a byte unless its low bits are 0,
  // and never carries into the next byte.
  return ~(((x & kLowBits) + kLowBits) | x | kLowBits);
}

// What a line holds, told in one pass written without an early exit so
// that the compiler checks 16 bytes at a time.
struct LineBytes {
  // A byte that needs libcsv's rules (a quote, a CR that ends a record
  // mid-line) or its checks (NUL, UTF-8).
  bool unusual = false;
  bool blanks = false;  // a space or tab, which may need trimming
};

// otherBlank: the tab, or the space when the tab is the separator.
LineBytes classifyBytes(std::string_view line, char otherBlank) {
  unsigned char unusual = 0;
  unsigned char blanks = 0;
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    unusual |= (b == '"' || b == '\r' || b == 0 || b >= 0x80) ? 1 : 0;
    blanks |= (c == ' ' || c == otherBlank) ? 1 : 0;
  }
  return {unusual != 0, blanks != 0};
}

// libcsv drops spaces and tabs around an unquoted field (but never the
// separator).
std::string_view trimBlanks(std::string_view field, char otherBlank) {
  auto isBlank = [otherBlank](char c) { return c == ' ' || c == otherBlank; };
  while (!field.empty() && isBlank(field.front())) field.remove_prefix(1);
  while (!field.empty() && isBlank(field.back())) field.remove_suffix(1);
  return field;
}

bool isBlankPiece(std::span<const char> piece, char otherBlank) {
  for (char c : piece) {
    if (c != ' ' && c != otherBlank && c != '\r' && c != '\n') return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<ByteSource> openFileSource(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw DataError(path.string() + " is a folder, not a CSV file.");
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw DataError("Cannot open " + path.string() + ": " + std::strerror(errno) + ".");
  }
  return std::make_unique<FileSource>(file, path.string());
}

std::unique_ptr<ByteSource> openMemorySource(std::shared_ptr<const std::string> text) {
  return std::make_unique<MemorySource>(std::move(text));
}

std::unique_ptr<ByteSource> openSpanSource(std::span<const char> bytes) {
  return std::make_unique<SpanSource>(bytes);
}

std::unique_ptr<RandomText> openRandomFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw DataError("Cannot open " + path.string() + ": " + std::strerror(errno) + ".");
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const std::string reason = std::strerror(errno);
    ::close(fd);
    throw DataError("Cannot read " + path.string() + ": " + reason + ".");
  }
  return std::make_unique<DescriptorText>(fd, static_cast<std::int64_t>(info.st_size),
                                          path.string(), true);
}

std::unique_ptr<RandomText> openRandomString(std::shared_ptr<const std::string> text) {
  return std::make_unique<StringText>(std::move(text));
}

std::unique_ptr<RandomText> openRandomDescriptor(int fd, std::int64_t size, std::string name) {
  return std::make_unique<DescriptorText>(fd, size, std::move(name), false);
}

CsvRecordReader::CsvRecordReader(std::unique_ptr<ByteSource> source, std::string sourceName,
                                 char separator)
    : source_(std::move(source)),
      sourceName_(std::move(sourceName)),
      separator_(separator),
      otherBlank_(separator == kTab ? ' ' : kTab),
      buffer_(std::make_unique_for_overwrite<char[]>(kPieceBytes)) {
  // Strict: a stray quote is an error rather than a silently different value.
  if (csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI) != 0) {
    throw DataError("Out of memory starting the CSV parser.");
  }
  // libcsv trims spaces and tabs, but tests for the separator first, so that
  // a tab separator separates.
  csv_set_delim(&parser_, static_cast<unsigned char>(separator));
}

CsvRecordReader::~CsvRecordReader() { csv_free(&parser_); }

bool CsvRecordReader::next(CsvRecord& record) {
  while (ready_.empty()) {
    if (!pendingError_.empty()) throw DataError(pendingError_);
    if (readPlainLine(record)) return true;
    if (!feedNextPiece()) return false;
  }
  record = std::move(ready_.front());
  ready_.pop_front();
  record.plainLine = {};
  // Only now, with the strings in their final place, do views of them hold.
  record.fields.assign(record.unquoted.begin(), record.unquoted.end());
  return true;
}

void CsvRecordReader::startAtLine(std::int64_t line) {
  completedLines_ = line - 1;
  recordStartLine_ = line;
  atStart_ = false;
}

std::optional<RecordBoundary> CsvRecordReader::boundary() const {
  const bool between = ready_.empty() && pendingError_.empty() && callbackError_.empty() &&
                       libcsvBetweenRecords_ && !finished_ && fields_.empty() && fieldCount_ == 0;
  if (!between) return std::nullopt;
  const auto unread = static_cast<std::int64_t>(bufferUsed_ - bufferStart_);
  return RecordBoundary{bytesRead_ - unread, completedLines_ + 1};
}

void CsvRecordReader::fail(std::int64_t line, const std::string& message) const {
  throw DataError(sourceName_ + ", line " + std::to_string(line) + ": " + message + ".");
}

void CsvRecordReader::failLater(std::int64_t line, const std::string& message) {
  if (pendingError_.empty()) {
    pendingError_ = sourceName_ + ", line " + std::to_string(line) + ": " + message + ".";
  }
}

// The first bytes tell a byte-order mark (skipped) from text in an encoding
// we do not read.
void CsvRecordReader::checkStart() {
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_.get());
  if (bufferUsed_ >= 2 &&
      ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    fail(1, "the file is UTF-16 text; save it as UTF-8");
  }
  if (bufferUsed_ >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    bufferStart_ = 3;
  }
}

// Reads the next plain line straight from the buffer, skipping blank ones.
// False when the next line needs libcsv, which then has the input from the
// start of that line on.
bool CsvRecordReader::readPlainLine(CsvRecord& record) {
  while (plainLineShortcut_ && !finished_ && libcsvBetweenRecords_) {
    const char* begin = buffer_.get() + bufferStart_;
    auto* lineBreak =
        static_cast<const char*>(std::memchr(begin, '\n', bufferUsed_ - bufferStart_));
    if (lineBreak == nullptr) {
      if (!refill()) return false;
      continue;
    }
    const LineKind kind = splitPlainLine({begin, lineBreak}, record);
    if (kind == LineKind::unusual) return false;
    const std::int64_t line = ++completedLines_;
    bufferStart_ = static_cast<std::size_t>(lineBreak + 1 - buffer_.get());
    if (kind == LineKind::record) {
      record.line = line;
      return true;
    }
  }
  return false;
}

// Splits a line (without its LF) as libcsv would, into the record's fields,
// reusing their storage. Says whether the line was blank, or is one only
// libcsv may read.
CsvRecordReader::LineKind CsvRecordReader::splitPlainLine(std::string_view line,
                                                          CsvRecord& record) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const LineBytes bytes = classifyBytes(line, otherBlank_);
  if (bytes.unusual) return LineKind::unusual;
  const std::size_t separators = findSeparators(line);
  const std::size_t count = separators + 1;
  const std::size_t kept = fieldLimit_ == 0 ? count : std::min(count, fieldLimit_);
  if (record.fields.size() < kept) record.fields.resize(kept);
  std::string_view field;
  std::size_t start = 0;
  if (!bytes.blanks && line.size() <= kMaxFieldBytes) {
    // The everyday line: no field to trim, none too long.
    for (std::size_t k = 0; k < kept; ++k) {
      const std::size_t end = k < separators ? separatorOffsets_[k] : line.size();
      record.fields[k] = field = {line.data() + start, end - start};
      start = end + 1;
    }
  } else {
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t end = k < separators ? separatorOffsets_[k] : line.size();
      field = trimBlanks({line.data() + start, end - start}, otherBlank_);
      // Fields past the limit are only counted; but an overlong one is
      // libcsv's to report all the same. libcsv counts the blanks after a
      // field until it ends, so the length before trimming decides.
      if (end - start > kMaxFieldBytes) return LineKind::unusual;
      if (k < kept) record.fields[k] = field;
      start = end + 1;
    }
  }
  if (count == 1 && field.empty()) return LineKind::blank;
  record.fields.resize(kept);
  record.unquoted.clear();
  record.fieldCount = count;
  record.plainLine = line;
  return LineKind::record;
}

// Puts the offset of every separator (a comma, say) of the line into
// separatorOffsets_, in order, and returns their number. The line is read
// eight bytes at a time, and the first two commas of each eight are stored
// whether there are any or not (the count only moves past those there are):
// a branch on how many commas each eight bytes hold would often be
// mispredicted.
std::size_t CsvRecordReader::findSeparators(std::string_view line) {
  // Room for a comma in every byte, and for the two stores past the last.
  if (separatorOffsets_.size() < line.size() + 2) separatorOffsets_.resize(line.size() + 2);
  std::uint32_t* offsets = separatorOffsets_.data();
  const auto separator = static_cast<unsigned char>(separator_);
  std::size_t count = 0;
  auto storeCommas = [&](std::size_t offset, std::uint64_t word) {
    std::uint64_t commas = bytesEqual(word, separator);
    std::uint32_t* out = offsets + count;
    count += static_cast<std::size_t>(((commas >> 7) * kEveryByte) >> 56);
    // The top bit keeps the argument of countr_zero nonzero: with no comma
    // left it makes a harmless offset past the count.
    auto firstComma = [&] {
      return static_cast<std::uint32_t>(offset) +
             static_cast<std::uint32_t>(std::countr_zero(commas | kTopBit) / 8);
    };
    out[0] = firstComma();
    commas &= commas - 1;
    out[1] = firstComma();
    commas &= commas - 1;
    for (out += 2; commas != 0; commas &= commas - 1) *out++ = firstComma();
  };
  std::size_t offset = 0;
  for (; line.size() - offset >= 8; offset += 8)
    storeCommas(offset, loadWord(line.data() + offset));
  if (offset != line.size()) {
    char tail[8];
    std::memset(tail, '\n', sizeof tail);  // not in the line, so not a separator
    std::memcpy(tail, line.data() + offset, line.size() - offset);
    storeCommas(offset, loadWord(tail));
  }
  return count;
}

// Moves the unread input to the front of the buffer and reads more behind it,
// so that a line cut by the end of one read is whole in the buffer.
bool CsvRecordReader::refill() {
  if (sourceEnded_) return false;
  const std::size_t unread = bufferUsed_ - bufferStart_;
  if (bufferStart_ > 0) std::memmove(buffer_.get(), buffer_.get() + bufferStart_, unread);
  bufferStart_ = 0;
  bufferUsed_ = unread;
  if (bufferUsed_ == kPieceBytes) return false;
  if (!readMore()) return false;
  if (atStart_) {
    // A byte-order mark is told by the first three bytes, however few the
    // source hands over at a time.
    while (bufferUsed_ < 3 && readMore()) {
    }
    atStart_ = false;
    checkStart();
  }
  return true;
}

bool CsvRecordReader::readMore() {
  const std::size_t n =
      source_->read(std::span<char>(buffer_.get() + bufferUsed_, kPieceBytes - bufferUsed_));
  if (n == 0) {
    sourceEnded_ = true;
    return false;
  }
  bufferUsed_ += n;
  bytesRead_ += static_cast<std::int64_t>(n);
  return true;
}

// Hands the parser the input up to and including the next line break, so
// that the line number is known whenever a callback runs.
bool CsvRecordReader::feedNextPiece() {
  if (finished_) return false;
  if (bufferStart_ == bufferUsed_ && !refill()) {
    finished_ = true;
    finishParsing();
    return true;
  }
  const char* begin = buffer_.get() + bufferStart_;
  const char* end = buffer_.get() + bufferUsed_;
  const auto* lineBreak = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
  // A piece also ends at a CR, which may end a record in mid-line: the next
  // record then starts in the next piece, and on this line.
  const auto* carriageReturn = static_cast<const char*>(
      std::memchr(begin, '\r', (lineBreak != nullptr ? lineBreak : end) - begin));
  if (carriageReturn != nullptr) lineBreak = nullptr;
  const char* pieceEnd = carriageReturn != nullptr ? carriageReturn + 1
                         : lineBreak != nullptr    ? lineBreak + 1
                                                   : end;
  parsePiece({begin, pieceEnd});
  bufferStart_ += static_cast<std::size_t>(pieceEnd - begin);
  if (lineBreak != nullptr) ++completedLines_;
  // A line break outside quotes ends any record libcsv was reading, so it is
  // between records and the next line may be split without it. libcsv
  // refuses a quote inside an unquoted field or after a closing quote, so
  // in what it accepted every quote opens or closes a quoted field (a
  // doubled quote does both).
  quotesOpen_ ^= (std::count(begin, pieceEnd, '"') % 2) != 0;
  libcsvBetweenRecords_ = lineBreak != nullptr && !quotesOpen_;
  return true;
}

// Parses the piece up to its first byte that is not UTF-8 text; an error of
// libcsv's before that byte comes first, else that byte's.
void CsvRecordReader::parsePiece(std::span<const char> piece) {
  const std::int64_t line = completedLines_ + 1;
  if (recordStartPending_ && !isBlankPiece(piece, otherBlank_)) {
    recordStartLine_ = line;
    recordStartPending_ = false;
  }
  const Utf8Check::Finding bad = utf8_.scan(piece);
  const std::size_t good = bad.problem == Utf8Check::Problem::none ? piece.size() : bad.offset;
  if (!parseBytes(piece.first(good), line)) return;
  if (bad.problem == Utf8Check::Problem::nul) {
    failLater(line, "the file holds a NUL byte, so it is not UTF-8 text (UTF-16 or binary data?)");
  } else if (bad.problem == Utf8Check::Problem::utf8) {
    failLater(line, "the text is not valid UTF-8 (save the file with UTF-8 encoding)");
  }
}

// Hands the bytes to libcsv in chunks no longer than the field being read
// may still grow: a field that passes the limit then does so at the last
// byte of a chunk, and is reported before anything after that byte. False
// once an error is pending.
bool CsvRecordReader::parseBytes(std::span<const char> bytes, std::int64_t line) {
  while (!bytes.empty()) {
    const std::size_t room = kMaxFieldBytes + 1 - std::min(parser_.entry_pos, kMaxFieldBytes);
    const std::span<const char> chunk = bytes.first(std::min(room, bytes.size()));
    const std::size_t parsed =
        csv_parse(&parser_, chunk.data(), chunk.size(), fieldCallback, recordCallback, this);
    if (memoryFailed_) throw std::bad_alloc();
    if (!callbackError_.empty()) {
      failLater(line, callbackError_);
    } else if (parsed < chunk.size() && csv_error(&parser_) == CSV_EPARSE) {
      failLater(line,
                "bad quoting: a quote inside an unquoted field, or text after a closing quote");
    } else if (parsed < chunk.size()) {
      failLater(line, std::string("cannot parse: ") + csv_strerror(csv_error(&parser_)));
    } else if (parser_.entry_pos > kMaxFieldBytes) {
      failLater(recordStartLine_,
                "a field is longer than " + std::to_string(kMaxFieldBytes) + " bytes");
    }
    if (!pendingError_.empty()) return false;
    bytes = bytes.subspan(chunk.size());
  }
  return true;
}

// The end of the input: a character or a quoted field left open is an error.
void CsvRecordReader::finishParsing() {
  if (utf8_.insideCharacter()) {
    failLater(completedLines_ + 1,
              "the text is not valid UTF-8 (save the file with UTF-8 encoding)");
    return;
  }
  const int status = csv_fini(&parser_, fieldCallback, recordCallback, this);
  if (memoryFailed_) throw std::bad_alloc();
  if (!callbackError_.empty()) {
    failLater(completedLines_ + 1, callbackError_);
  } else if (status != 0) {
    failLater(recordStartLine_, "a quoted field of the record starting here is never closed");
  }
}

void CsvRecordReader::onField(const char* text, std::size_t length) {
  if (!callbackError_.empty()) return;  // libcsv goes on to the end of the piece
  const std::string_view field(text == nullptr ? "" : text, text == nullptr ? 0 : length);
  // (Its bytes were checked as UTF-8 before libcsv had them.)
  if (field.size() > kMaxFieldBytes) {
    callbackError_ = "a field is longer than " + std::to_string(kMaxFieldBytes) + " bytes";
    return;
  }
  ++fieldCount_;
  if (fieldLimit_ == 0 || fields_.size() < fieldLimit_) fields_.emplace_back(field);
}

void CsvRecordReader::onRecordEnd() {
  if (!callbackError_.empty()) return;
  CsvRecord record;
  record.unquoted = std::move(fields_);
  record.fieldCount = fieldCount_;
  record.line = recordStartLine_;
  ready_.push_back(std::move(record));
  fields_.clear();
  fieldCount_ = 0;
  recordStartPending_ = true;
}

Utf8Check::Finding Utf8Check::scan(std::span<const char> piece) {
  for (std::size_t i = 0; i < piece.size(); ++i) {
    const auto byte = static_cast<unsigned char>(piece[i]);
    if (byte == 0) return {Problem::nul, i};
    if (byte < 0x80 && pending_ == 0) continue;
    if (!accept(byte)) return {Problem::utf8, i};
  }
  return {};
}

bool Utf8Check::accept(unsigned char byte) {
  if (pending_ == 0) {
    // The lead byte says how many continuation bytes follow and the smallest
    // code point that needs that many (anything below is an overlong form).
    if ((byte & 0xE0) == 0xC0) {
      pending_ = 1, lowest_ = 0x80, code_ = byte & 0x1Fu;
    } else if ((byte & 0xF0) == 0xE0) {
      pending_ = 2, lowest_ = 0x800, code_ = byte & 0x0Fu;
    } else if ((byte & 0xF8) == 0xF0) {
      pending_ = 3, lowest_ = 0x10000, code_ = byte & 0x07u;
    } else {
      return false;  // a continuation byte without a lead, or no lead at all
    }
    return true;
  }
  if ((byte & 0xC0) != 0x80) return false;
  code_ = (code_ << 6) | (byte & 0x3Fu);
  if (--pending_ > 0) return true;
  return code_ >= lowest_ && code_ <= 0x10FFFF && (code_ < 0xD800 || code_ > 0xDFFF);
}

}  // namespace engine::data
