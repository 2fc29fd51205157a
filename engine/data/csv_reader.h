// Streaming CSV records out of a file or an in-memory text. The reader holds
// one piece of input and the records completed from it, never the whole file,
// so that files far larger than memory can be read pass after pass.
#pragma once

#include <csv.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace engine::data {

// Bytes to parse, read piece by piece.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills the front of the buffer; returns the bytes read, 0 at the end.
  virtual std::size_t read(std::span<char> buffer) = 0;
};

// Throws DataError when the file cannot be opened.
std::unique_ptr<ByteSource> openFileSource(const std::filesystem::path& path);
std::unique_ptr<ByteSource> openMemorySource(std::shared_ptr<const std::string> text);
// Bytes that stay where they are while the reading lasts (a piece of a
// larger buffer); nothing is copied.
std::unique_ptr<ByteSource> openSpanSource(std::span<const char> bytes);

// Text that can be read at any offset, by several threads at once: a file,
// the copy of standard input, a string. What LOAD reads in pieces.
class RandomText {
 public:
  virtual ~RandomText() = default;
  virtual std::int64_t size() const = 0;
  // Fills the buffer from the offset on; fewer bytes only at the end.
  // Throws DataError when the text cannot be read.
  virtual std::size_t readAt(std::int64_t offset, std::span<char> buffer) const = 0;
};

// Throws DataError when the file cannot be opened.
std::unique_ptr<RandomText> openRandomFile(const std::filesystem::path& path);
std::unique_ptr<RandomText> openRandomString(std::shared_ptr<const std::string> text);
// Reads the descriptor with pread; the descriptor stays the caller's.
std::unique_ptr<RandomText> openRandomDescriptor(int fd, std::int64_t size, std::string name);

// Where a reader stands between two records: the offset of the next byte
// of the source and the line it is on.
struct RecordBoundary {
  std::int64_t offset = 0;
  std::int64_t line = 1;
};

// A field longer than this is refused rather than buffered: string variables
// are no wider, and it keeps a file without line breaks from filling memory.
inline constexpr std::size_t kMaxFieldBytes = 32767;

struct CsvRecord {
  // At most the field limit (see below). They stay valid until the next call
  // of next(): they point into the reader's buffer, or into `unquoted` for a
  // record libcsv read.
  std::vector<std::string_view> fields;
  std::vector<std::string> unquoted;
  std::size_t fieldCount = 0;  // fields the record had, kept or not
  std::int64_t line = 0;       // line of the source on which the record starts
  // For a line split straight from the buffer, the line (without its line
  // break), which holds every field: a reader of numbers may look at the
  // bytes after a field up to its end. Empty for a record libcsv read.
  std::string_view plainLine;
};

// The tab: a blank trimmed around fields, unless it is the separator.
inline constexpr char kTab = '\t';

// Checks text handed over in pieces for NUL bytes and for malformed UTF-8
// (overlong forms, surrogates, code points past U+10FFFF), a character cut
// by the end of one piece going on in the next.
class Utf8Check {
 public:
  enum class Problem { none, nul, utf8 };
  struct Finding {
    Problem problem = Problem::none;
    std::size_t offset = 0;  // of the first offending byte in the piece
  };
  Finding scan(std::span<const char> piece);
  bool insideCharacter() const { return pending_ > 0; }

 private:
  bool accept(unsigned char byte);  // false at the byte that makes the text malformed
  int pending_ = 0;                 // continuation bytes still to come
  char32_t code_ = 0;
  char32_t lowest_ = 0;  // the smallest code point of the form being read
};

// Reads records in order. Blank lines are skipped; blanks (spaces, and tabs
// unless the tab separates the fields) around unquoted fields are dropped; a
// UTF-8 byte-order mark is skipped. Every problem throws DataError with
// "<source name> line N: ..." in the message.
//
// Most lines of a data file are plain: ASCII without quotes, ending in LF or
// CRLF. Those are split straight from the buffer, which is several times
// faster than libcsv's byte-by-byte state machine; every other line (quotes,
// a lone CR, NUL, non-ASCII text, an overlong field, a line longer than the
// buffer or without a final line break) goes through libcsv, which also makes
// every message. Both give the same records and the same errors, however
// the source cuts its input: the first offending byte in file order decides
// the error, and the records before it come out first.
class CsvRecordReader {
 public:
  CsvRecordReader(std::unique_ptr<ByteSource> source, std::string sourceName, char separator = ',');
  ~CsvRecordReader();
  CsvRecordReader(const CsvRecordReader&) = delete;
  CsvRecordReader& operator=(const CsvRecordReader&) = delete;

  // The next record, or false at the end of the input.
  bool next(CsvRecord& record);
  // Fields past this many are counted but not kept, so that a ragged line of
  // a million commas costs no memory. 0: no limit.
  void setFieldLimit(std::size_t limit) { fieldLimit_ = limit; }
  // Off: every line goes through libcsv. For checking that both agree.
  void setPlainLineShortcut(bool enabled) { plainLineShortcut_ = enabled; }
  const std::string& sourceName() const { return sourceName_; }
  // For a reader of a piece that starts at a record boundary in the middle
  // of the text: its first byte is on this line, and is not the start of
  // the file (no byte-order mark is looked for).
  void startAtLine(std::int64_t line);
  // Where the reader stands, when it is between records with nothing of the
  // next one read and no error pending; else nothing. For carrying on from
  // the end of the header in pieces.
  std::optional<RecordBoundary> boundary() const;

  // libcsv callbacks; public only so that the C callbacks can reach them.
  void onField(const char* text, std::size_t length);
  void onRecordEnd();
  void noteMemoryFailure() {
    memoryFailed_ = true;
    callbackError_ = "out of memory";  // stops the callbacks until the parse returns
  }

 private:
  enum class LineKind { unusual, blank, record };

  bool readPlainLine(CsvRecord& record);
  LineKind splitPlainLine(std::string_view line, CsvRecord& record);
  std::size_t findSeparators(std::string_view line);
  bool refill();         // false once the source is used up or the buffer is full
  bool readMore();       // false once the source is used up
  bool feedNextPiece();  // false once the input is used up
  void parsePiece(std::span<const char> piece);
  bool parseBytes(std::span<const char> bytes, std::int64_t line);
  void finishParsing();
  void checkStart();
  [[noreturn]] void fail(std::int64_t line, const std::string& message) const;
  void failLater(std::int64_t line, const std::string& message);

  std::unique_ptr<ByteSource> source_;
  std::string sourceName_;
  char separator_;
  // Besides the space, the byte trimmed around fields and making a line
  // blank: the tab, or the space again when the tab is the separator.
  char otherBlank_;
  csv_parser parser_{};
  // Not cleared when made: only the bytes read into it are looked at, and a
  // LOAD opens several readers.
  std::unique_ptr<char[]> buffer_;
  std::size_t bufferUsed_ = 0;   // bytes of buffer_ holding input
  std::size_t bufferStart_ = 0;  // first byte not yet given to the parser
  std::int64_t bytesRead_ = 0;   // from the source, in all
  bool atStart_ = true;
  bool sourceEnded_ = false;
  bool finished_ = false;
  bool plainLineShortcut_ = true;
  bool libcsvBetweenRecords_ = true;  // libcsv has no part of a record
  bool quotesOpen_ = false;           // what libcsv was given ends inside quotes
  std::int64_t completedLines_ = 0;
  std::int64_t recordStartLine_ = 1;
  bool recordStartPending_ = true;  // the next non-blank piece starts a record
  std::size_t fieldLimit_ = 0;
  std::size_t fieldCount_ = 0;
  std::vector<std::uint32_t> separatorOffsets_;  // in the plain line being split
  std::vector<std::string> fields_;              // fields of the record being parsed
  std::deque<CsvRecord> ready_;                  // completed records not yet handed out
  std::string callbackError_;                    // set by a callback; thrown after parsing
  // The first problem met, thrown once the records completed before it are
  // handed out: whatever the pieces the source gives, every record before
  // the first offending byte comes out and then that byte's error.
  std::string pendingError_;
  bool memoryFailed_ = false;
  Utf8Check utf8_;  // the bytes given to libcsv so far
};

}  // namespace engine::data
