// Reading the print work file "kelprint.tmp". The parser is strict: it takes
// the file's bytes, in pieces of any size, and hands on each page as soon as
// it is complete, or names the first faulty record (1-based line number and
// a message in Catalan, UTF-8). It holds one page at a time, so a file of
// any length is read in bounded memory; any input at all, binary junk
// included, ends in pages or an error within time and output bounded by the
// size of the input and the limits below.
//
// Records, one per line, CR LF (a bare LF is accepted too):
//   "DEVICE" name   first line, once
//   "PAGE" n        new page of n lines (print form " 66 ")
//   "JUS" mode      C, D, A, E, or "N" n [" \x\"]
//   "*" letters     style: "@" reset, "e" emphasised, "q" condensed; other
//                   letters are printer codes this program has no use for
//   " c ,text, a "  item: column c, text, then advance a lines
// Lines past the page length go on to a new page of the same length, as on
// continuous paper.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tools/kelprint/document.h"

namespace tools {

// Limits that keep a damaged file from exhausting the machine.
constexpr size_t kMaxRecordBytes = 1024;
constexpr int kMaxPageLength = 500;
constexpr int kMaxPrintNumber = 32767;  // columns and advances are 16-bit
// Blank pages one advance may run over: a few bytes must not make millions
// of pages.
constexpr int64_t kMaxBlankPages = 10;

struct ParseError {
  int line = 0;         // 1-based record number
  std::string message;  // UTF-8
};

// Receives each page once it is complete, in order; false stops the reading.
using PageHandler = std::function<bool(const PrintPage& page)>;

// Where the reading stood just before a record that begins one or more
// pages (a page record, or an item that runs past the page's end). A parser
// resumed from it reads on from that record and hands on the same pages as
// a reading from the start, so that a page can be found again without
// reading all that comes before it.
struct PageMark {
  int64_t offset = 0;        // of the record's first byte in the file
  int records_before = 0;    // records read before it
  int64_t pages_before = 0;  // pages begun before it
  int length = 0;            // page length in force
  int64_t line = 0;          // current line on the page
  Alignment align;
  PrintStyle style;
};
using PageMarkHandler = std::function<void(const PageMark& mark)>;

class WorkFileParser {
 public:
  explicit WorkFileParser(PageHandler on_page) : on_page_(std::move(on_page)) {}
  // Reads on from a mark, with the bytes fed starting at mark.offset. The
  // page in progress at the mark is not handed on; the first page handed on
  // is page number mark.pages_before (0-based).
  WorkFileParser(PageHandler on_page, const PageMark& from);

  // Tells each record that begins pages, before those pages are handed on.
  void SetMarkHandler(PageMarkHandler on_mark) { on_mark_ = std::move(on_mark); }
  // Off: pages are handed on without their lines (counting them is cheaper).
  void SetKeepLines(bool keep) { keep_lines_ = keep; }

  // The next bytes of the file. False once a record is faulty or the
  // handler stopped the reading; everything after that is ignored.
  bool Feed(std::string_view bytes);
  // After the last bytes: the last record and the last page. False as Feed.
  bool Finish();

  bool failed() const { return !error_.message.empty(); }
  const ParseError& error() const { return error_; }
  bool stopped() const { return stopped_; }  // by the handler
  const std::string& device() const { return device_; }
  // Pages begun so far; while a page is handed on, its number (0-based) is
  // pages() - 1.
  int64_t pages() const { return pages_; }

 private:
  bool Line(std::string_view piece, bool ended);
  bool Fail(std::string message);
  bool CheckBytes(std::string_view rec, size_t length);
  bool Record(std::string_view rec);
  bool Page(std::string_view rest);
  bool NewPage(int length);
  bool HandOn();
  bool Justify(std::string_view rest);
  void Style(std::string_view letters);
  bool Item(std::string_view rec);

  PageHandler on_page_;
  PageMarkHandler on_mark_;
  bool keep_lines_ = true;
  bool drop_page_ = false;  // the page in progress when resumed mid-file
  int64_t fed_ = 0;         // file offset of the next byte fed
  int64_t record_start_ = 0;
  int marked_record_ = 0;   // the last record told to on_mark_
  ParseError error_;
  bool stopped_ = false;
  bool finished_ = false;
  std::string device_;
  int line_no_ = 0;
  // The record read so far when a piece ends inside it; past the length
  // limit only counted, since the record is refused anyway.
  std::string partial_;
  size_t partial_length_ = 0;
  char partial_last_ = '\0';
  bool have_page_ = false;
  PrintPage page_;
  int64_t pages_ = 0;
  int64_t line_ = 0;  // current line on the page, may run past its end
  Alignment align_;
  PrintStyle style_;
};

// The whole file at once into a document (true), or the first faulty record
// (false, doc empty).
bool ParseWorkFile(std::string_view bytes, PrintDocument& doc,
                   ParseError& error);

// Reads a number in print form: a blank or "-", digits, an optional trailing
// blank, nothing else. False when the text is not such a number or its value
// lies outside -kMaxPrintNumber..kMaxPrintNumber.
bool ParsePrintNumber(std::string_view text, int& value);

}  // namespace tools
