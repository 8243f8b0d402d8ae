// Comma-separated values as kelrec reads and writes them: fields separated by
// commas, a field in double quotes may hold commas, line ends and doubled
// quotes; records end at LF or CR LF. Text is UTF-8 and passed through as is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace tools {

// Reads a CSV file record by record, a block at a time, so that a file of
// millions of rows never sits in memory whole. Empty lines are skipped and a
// leading UTF-8 byte-order mark is dropped. A record's fields are views into
// the reader's buffer, valid until the next call of Next.
class CsvReader {
 public:
  // Records longer than this are refused rather than buffered without end.
  static constexpr size_t kMaxRecordBytes = 1 << 20;

  // block: bytes read from the file at a time.
  explicit CsvReader(size_t block = 1 << 20) : block_(block) {}
  // False when the file cannot be opened or read.
  bool Open(const std::string& path);
  // The next record; false at the end of the file or on a malformed record
  // or a read failure (then failed() and error() tell, with error_line()).
  bool Next();

  const std::vector<std::string_view>& fields() const { return fields_; }
  int line() const { return record_line_; }  // 1-based line the record starts on
  bool failed() const { return !error_.empty(); }
  int error_line() const { return error_line_; }
  const std::string& error() const { return error_; }
  // How far the reading is, for progress reports.
  int64_t bytes_done() const { return consumed_ + static_cast<int64_t>(pos_); }
  int64_t file_size() const { return size_; }

 private:
  enum class Scan { kRecord, kMore, kBad };
  bool Fill();
  bool SkipEmptyLines();
  Scan ScanRecord();
  Scan ScanField(size_t& i, int& line);
  bool Fail(int line, std::string what);
  bool TooLong();

  platform::File file_;
  size_t block_;
  std::string buf_;
  size_t pos_ = 0;  // start of the unread part of buf_
  size_t end_ = 0;  // end of the data in buf_
  bool eof_ = false;
  int64_t consumed_ = 0;  // file bytes dropped from the front of buf_
  int64_t size_ = 0;
  int line_ = 1;  // line at pos_
  int record_line_ = 0;
  std::vector<std::string_view> fields_;
  struct Span {
    size_t begin, end;
    bool doubled_quotes;
  };
  std::vector<Span> spans_;
  int error_line_ = 0;
  std::string error_;
};

// One field as written: quoted when it holds a comma, a quote, a line end or
// blanks at either end; quotes doubled.
std::string CsvField(std::string_view text);
// A record of fields joined by commas, ended by LF.
std::string CsvLine(const std::vector<std::string>& fields);

// A field of the input as messages quote it, in double quotes: what could
// steer a terminal (control bytes, C1 controls, bytes that are not UTF-8)
// written as escapes ("\x1b", "\u009b", a backslash as "\\"), and no more
// than kShownCharacters characters of it, "..." marking the cut.
constexpr size_t kShownCharacters = 40;
std::string QuotedInput(std::string_view utf8);

}  // namespace tools
