// The print work file and its hand-over to the print program. A report does
// not drive a device: it writes "kelprint.tmp" in the temporary directory, a
// file of CRLF-ended code page 850 records (device, page length, alignment,
// style, positioned items), then runs KELPRINT from the executable directory
// and waits for it. The writer counts the lines advanced since the last page
// record; reports read that count to break pages themselves, and an item
// written when the count has reached the page length gets a page record of
// its own first.
//
// Failures never stop the program: a work file that cannot be created or
// written, or a print program that cannot be started, is reported to the
// operator through ShowPrintNotice and by the status returned.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace app {

struct PrintFile {
  platform::File file;
  std::string path;         // of the file now open, for notices
  // Records not yet written: a report writes hundreds of thousands of them,
  // which go out in large blocks and at the latest when the file closes.
  // Records are put together in place: the first pending_size bytes hold
  // them, the rest is room for the next.
  std::string pending;
  size_t pending_size = 0;
  bool write_failed = false;
  int16_t page_length = 0;  // of the last page record
  int16_t line_count = 0;   // lines advanced since the last page record
  // Where operator notices go; empty means the screen (a framed message and
  // a key wait). Tests capture them here.
  std::function<void(const std::string&)> notice;
  std::string last_result;  // what the print program said last time
};
// Every printed item goes through it: defined here so that it inlines.
inline PrintFile& PrintFileState() {
  static PrintFile state;
  return state;
}
void ResetPrintFileState();

// Statuses of the writer and the hand-over.
constexpr int16_t kPrintOk = 0;
constexpr int16_t kPrintCannotCreate = 1;
constexpr int16_t kPrintCannotWrite = 2;
constexpr int16_t kPrintCannotRun = 3;

// executable directory (as it stands, no separator added) + "KELPRINT".
std::string PrintProgramPath();

// Pieces of the records.
// Print form of a number: " " or "-", the digits, one blank (66 -> " 66 ").
std::string PrintForm(int32_t value);
// The alignment mode as written after "JUS": "C", "D" (D or R), "A" (A or
// B), "N" + column + " " + "\c\" for N, "E" for anything else. An "N"
// without two backslashes keeps only its column ("N 113").
std::string NormaliseAlignment(const std::string& mode);
// A copy with bytes 0-31, 127 and 255 replaced by blanks, so that an item
// never spans lines.
std::string CleanPrintText(const std::string& text);

// Creates or empties the work file (no symbolic link followed, exclusive)
// and writes the device record. On failure the operator is told which file.
int16_t OpenPrintFile(const std::string& device);
bool PrintFileIsOpen();
void PrintPage(int16_t length);
void PrintAlign(std::string_view mode);
void PrintStyle(std::string_view code);
// Places text at column (1 = first) on the current line, then moves down by
// advance lines. Once the line count has reached the length of the last
// page record, a page record of that length goes first (none before the
// first page record).
void PrintItem(int16_t column, std::string_view text, int16_t advance);
int16_t PrintLineCount();
// Writes what is still held and closes the work file; kPrintCannotWrite
// (with a notice) when any record was lost on the way, the last block
// included.
int16_t ClosePrintFile();

// Drops what is still held, empties the work file and closes it: a listing
// cut short must never be printed as if it were whole.
void DiscardPrintFile();

// Runs the print program and waits for it; the screen is repainted after and
// the last line the program said is shown on the bottom row. Its exit status
// is not examined. kPrintCannotRun (with a notice) when it could not be
// started.
int16_t HandOverPrintFile();
// The last non-blank line of a program's output, as code page 850 text
// without control bytes.
std::string LastLine(const std::string& output);
// Shows that line on the bottom row of the screen and keeps it in
// PrintFileState().last_result.
void ShowPrintResult(const std::string& output);

// The notices in the session's language; path is appended.
std::string CannotCreateText(const std::string& path);
std::string CannotWriteText(const std::string& path);
std::string CannotRunText(const std::string& path);
// Shows a notice to the operator and waits for a key (or hands it to the
// capturing hook).
void ShowPrintNotice(const std::string& text);

}  // namespace app
