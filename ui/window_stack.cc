// The window stack: saved rectangles in the work file "WinPush.tmp".
//
// The file is a 4-byte little-endian header holding the 1-based position of
// the first free byte (5 when empty), followed by one text record per window:
// cursor row and column, the enclosing window's top, left, bottom and right,
// the saved rectangle r1, c1, r2, c2 (all two digits), then character and
// attribute byte of every cell row by row, then the record length in five
// digits so that a pop can find the record's start from the header alone.
// Other programs of the suite read the same layout, so it must not change.
// Terminals wider or taller than 99 cells have coordinates the two-digit
// fields cannot hold; those are written as a letter for the tens from 10 on
// ("A0" is 100), which leaves every value below 100 as it always was.

#include <algorithm>
#include <cstring>

#include "app/config/paths.h"
#include "platform/console.h"
#include "platform/files.h"
#include "ui/screen.h"
#include "values/digits.h"

namespace ui {

namespace {

constexpr int64_t kFirstRecord = 5;  // 1-based position after the header
constexpr int64_t kFixedPart = 20;   // ten two-digit numbers
constexpr int64_t kLengthField = 5;

// Reads a field of decimal digits; false when any byte is not a digit.
bool ParseDigits(const std::string& text, size_t at, size_t width, int& out) {
  if (at + width > text.size()) return false;
  int value = 0;
  for (size_t i = at; i < at + width; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

constexpr int kLargestCoordinate = 359;  // "Z9"

std::string Coordinate(int value) {
  if (value < 100) return values::ZeroPad(value, 2);
  value = std::min(value, kLargestCoordinate);
  return std::string(1, static_cast<char>('A' + value / 10 - 10)) +
         static_cast<char>('0' + value % 10);
}

bool ParseCoordinate(const std::string& text, size_t at, int& out) {
  if (at + 2 > text.size()) return false;
  char tens = text[at];
  char units = text[at + 1];
  if (units < '0' || units > '9') return false;
  if (tens >= '0' && tens <= '9') {
    out = (tens - '0') * 10 + (units - '0');
  } else if (tens >= 'A' && tens <= 'Z') {
    out = (tens - 'A' + 10) * 10 + (units - '0');
  } else {
    return false;
  }
  return true;
}

bool OpenStack(platform::File& file) {
  return file.Open(platform::OsPath(WinStackFile()),
                   platform::File::Mode::kReadWrite, /*no_follow=*/true);
}

bool ReadHeader(platform::File& file, int64_t& next) {
  unsigned char bytes[4];
  if (file.ReadAt(0, bytes, 4) != 4) return false;
  uint32_t raw = static_cast<uint32_t>(bytes[0]) |
                 (static_cast<uint32_t>(bytes[1]) << 8) |
                 (static_cast<uint32_t>(bytes[2]) << 16) |
                 (static_cast<uint32_t>(bytes[3]) << 24);
  next = static_cast<int32_t>(raw);
  return true;
}

void WriteHeader(platform::File& file, int64_t next) {
  uint32_t raw = static_cast<uint32_t>(static_cast<int32_t>(next));
  unsigned char bytes[4] = {static_cast<unsigned char>(raw & 0xFF),
                            static_cast<unsigned char>((raw >> 8) & 0xFF),
                            static_cast<unsigned char>((raw >> 16) & 0xFF),
                            static_cast<unsigned char>((raw >> 24) & 0xFF)};
  file.WriteAt(0, bytes, 4);
}

// A record read back from the file, checked for consistency before the
// screen is touched.
struct SavedWindow {
  int cursor_row = 0, cursor_col = 0;
  int top = 0, left = 0, bottom = 0, right = 0;
  int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  std::string cells;
  int64_t start = 0;  // 1-based position of the record
};

bool ReadTopRecord(platform::File& file, int64_t next, SavedWindow& w) {
  int64_t length = file.Length();
  if (next < kFirstRecord + kFixedPart + kLengthField || next - 1 > length) {
    return false;
  }
  char len_text[kLengthField];
  if (file.ReadAt(next - 1 - kLengthField, len_text, kLengthField) !=
      static_cast<size_t>(kLengthField)) {
    return false;
  }
  int record_length = 0;
  if (!ParseDigits(std::string(len_text, kLengthField), 0, kLengthField,
                   record_length)) {
    return false;
  }
  w.start = next - record_length;
  if (record_length < kFixedPart + kLengthField || w.start < kFirstRecord) {
    return false;
  }
  std::string record(static_cast<size_t>(record_length), '\0');
  if (file.ReadAt(w.start - 1, record.data(), record.size()) != record.size()) {
    return false;
  }
  int* fields[] = {&w.cursor_row, &w.cursor_col, &w.top, &w.left, &w.bottom,
                   &w.right, &w.r1, &w.c1, &w.r2, &w.c2};
  for (size_t i = 0; i < 10; ++i) {
    if (!ParseCoordinate(record, i * 2, *fields[i])) return false;
  }
  if (w.r2 < w.r1 || w.c2 < w.c1) return false;
  int64_t cells = static_cast<int64_t>(w.r2 - w.r1 + 1) * (w.c2 - w.c1 + 1);
  if (kFixedPart + 2 * cells + kLengthField != record_length) return false;
  w.cells = record.substr(kFixedPart, static_cast<size_t>(2 * cells));
  return true;
}

void Repaint(const SavedWindow& w) {
  int rows = platform::ConsoleRows();
  int cols = platform::ConsoleCols();
  size_t i = 0;
  for (int r = w.r1; r <= w.r2; ++r) {
    for (int c = w.c1; c <= w.c2; ++c, i += 2) {
      // The terminal may have shrunk since the push.
      if (r > rows || c > cols) continue;
      auto attr = static_cast<unsigned char>(w.cells[i + 1]);
      platform::SetTextColours(attr % 16, attr / 16);
      platform::SetCursor(r, c);
      platform::WriteText(std::string(1, w.cells[i]));
    }
  }
}

}  // namespace

std::string WinStackFile() {
  return config::PathsState().temp_dir + "WinPush.tmp";
}

void WinPush(int16_t r1, int16_t c1, int16_t r2, int16_t c2) {
  int16_t rows = ScreenRows();
  int16_t cols = ScreenCols();
  auto on_rows = [rows](int16_t r) { return r >= 1 && r <= rows; };
  auto on_cols = [cols](int16_t c) { return c >= 1 && c <= cols; };
  if (!on_rows(r1) || !on_rows(r2) || !on_cols(c1) || !on_cols(c2)) return;
  // An inverted rectangle has no cells; saving it would corrupt the record.
  if (r2 < r1 || c2 < c1) return;
  if (r2 > kLargestCoordinate || c2 > kLargestCoordinate) return;
  int64_t cells = static_cast<int64_t>(r2 - r1 + 1) * (c2 - c1 + 1);
  if (kFixedPart + 2 * cells + kLengthField > 99999) return;

  platform::File file;
  if (!OpenStack(file)) return;
  int64_t next = kFirstRecord;
  if (file.Length() > 3 && !ReadHeader(file, next)) next = kFirstRecord;
  if (next < kFirstRecord || next - 1 > file.Length()) next = kFirstRecord;

  Screen& s = ScreenState();
  int cursor_row = 0, cursor_col = 0;
  platform::GetCursor(cursor_row, cursor_col);
  std::string record;
  for (int64_t v : {int64_t{cursor_row}, int64_t{cursor_col},
                    int64_t{s.win_top}, int64_t{s.win_left},
                    int64_t{s.win_bottom}, int64_t{s.win_right}, int64_t{r1},
                    int64_t{c1}, int64_t{r2}, int64_t{c2}}) {
    record += Coordinate(static_cast<int>(v));
  }
  for (int r = r1; r <= r2; ++r) {
    for (int c = c1; c <= c2; ++c) {
      platform::Cell cell = platform::ReadCell(r, c);
      record.push_back(static_cast<char>(cell.ch));
      record.push_back(static_cast<char>(cell.attr));
    }
  }
  record += values::ZeroPad(static_cast<int64_t>(record.size()) + kLengthField, 5);
  if (!file.WriteAt(next - 1, record.data(), record.size())) return;

  next += static_cast<int64_t>(record.size());
  s.win_top = r1;
  s.win_left = c1;
  s.win_bottom = r2;
  s.win_right = c2;
  ++s.win_depth;
  WriteHeader(file, next);
}

void WinPop() {
  int64_t next = kFirstRecord;
  {
    platform::File file;
    if (!OpenStack(file)) return;
    if (file.Length() > 3) {
      int64_t header = kFirstRecord;
      SavedWindow w;
      if (ReadHeader(file, header) && header > kFirstRecord &&
          ReadTopRecord(file, header, w)) {
        Screen& s = ScreenState();
        if (s.win_depth > 0) --s.win_depth;
        s.win_top = static_cast<int16_t>(w.top);
        s.win_left = static_cast<int16_t>(w.left);
        s.win_bottom = static_cast<int16_t>(w.bottom);
        s.win_right = static_cast<int16_t>(w.right);
        Repaint(w);
        platform::SetCursor(w.cursor_row, w.cursor_col);
        next = w.start;
        WriteHeader(file, next);
      } else if (header > kFirstRecord) {
        // A damaged stack cannot be unwound; forget it rather than paint
        // garbage, and fall back to the whole screen.
        Screen& s = ScreenState();
        s.win_depth = 0;
        s.win_top = s.win_left = s.win_bottom = s.win_right = 0;
      }
    }
  }
  if (next < 6) platform::DeleteFile(platform::OsPath(WinStackFile()));
}

}  // namespace ui
