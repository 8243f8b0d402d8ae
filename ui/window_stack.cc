// The window stack: saved rectangles in the work file "WinPush.tmp".
//
// The file is a 4-byte little-endian header holding the 1-based position of
// the first free byte (5 when empty), followed by one text record per window:
// cursor row and column, the enclosing window's top, left, bottom and right,
// the saved rectangle r1, c1, r2, c2 (all two digits), then character and
// attribute byte of every cell row by row, then the record length in five
// digits so that a pop can find the record's start from the header alone.
// Other programs of the suite read the same layout, so it must not change.
// A window the file cannot take (the temporary folder is missing or not
// writable, or something else than the operator's own file stands under the
// name) is kept in memory with the depth it was pushed at, and popped from
// there when the stack is back at that depth.
// Terminals wider or taller than 99 cells have coordinates the two-digit
// fields cannot hold; those are written as a letter for the tens from 10 on
// ("A0" is 100), which leaves every value below 100 as it always was.

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "values/digits.h"

namespace ui {

namespace {

constexpr int64_t kFirstRecord = 5;  // 1-based position after the header
constexpr int64_t kFixedPart = 20;   // ten two-digit numbers
constexpr int64_t kLengthField = 5;
constexpr int16_t kNoticeRow = 12;

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

// Why the stack file could not be used.
enum class StackFile { kOk, kFolder, kNotOurs };

// Only a regular file of the operator, never through a link: the temporary
// folder may be one other people can write to.
StackFile OpenStack(platform::File& file) {
  const std::string path = platform::OsPath(WinStackFile());
  if (!file.Open(path, platform::File::Mode::kReadWrite, /*no_follow=*/true)) {
    const bool planted = platform::ErrorNumber() == ELOOP || platform::FileExists(path) ||
                         platform::DirectoryExists(path);
    return planted ? StackFile::kNotOurs : StackFile::kFolder;
  }
  if (!file.IsOwnRegularFile()) {
    file.Close();
    return StackFile::kNotOurs;
  }
  return StackFile::kOk;
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

bool WriteHeader(platform::File& file, int64_t next) {
  uint32_t raw = static_cast<uint32_t>(static_cast<int32_t>(next));
  unsigned char bytes[4] = {static_cast<unsigned char>(raw & 0xFF),
                            static_cast<unsigned char>((raw >> 8) & 0xFF),
                            static_cast<unsigned char>((raw >> 16) & 0xFF),
                            static_cast<unsigned char>((raw >> 24) & 0xFF)};
  return file.WriteAt(0, bytes, 4);
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

// The fields of one record; false when they do not hold together.
bool ParseRecord(const std::string& record, SavedWindow& w) {
  if (record.size() < static_cast<size_t>(kFixedPart + kLengthField)) return false;
  int* fields[] = {&w.cursor_row, &w.cursor_col, &w.top, &w.left, &w.bottom,
                   &w.right, &w.r1, &w.c1, &w.r2, &w.c2};
  for (size_t i = 0; i < 10; ++i) {
    if (!ParseCoordinate(record, i * 2, *fields[i])) return false;
  }
  if (w.r2 < w.r1 || w.c2 < w.c1) return false;
  int64_t cells = static_cast<int64_t>(w.r2 - w.r1 + 1) * (w.c2 - w.c1 + 1);
  if (kFixedPart + 2 * cells + kLengthField != static_cast<int64_t>(record.size())) return false;
  w.cells = record.substr(kFixedPart, static_cast<size_t>(2 * cells));
  return true;
}

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
  return ParseRecord(record, w);
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

// Cursor, enclosing window, rectangle, its cells, the record's length.
std::string BuildRecord(int16_t r1, int16_t c1, int16_t r2, int16_t c2) {
  const Screen& s = ScreenState();
  int cursor_row = 0, cursor_col = 0;
  platform::GetCursor(cursor_row, cursor_col);
  std::string record;
  for (int v : {cursor_row, cursor_col, int{s.win_top}, int{s.win_left}, int{s.win_bottom},
                int{s.win_right}, int{r1}, int{c1}, int{r2}, int{c2}}) {
    record += Coordinate(v);
  }
  for (int r = r1; r <= r2; ++r) {
    for (int c = c1; c <= c2; ++c) {
      platform::Cell cell = platform::ReadCell(r, c);
      record.push_back(static_cast<char>(cell.ch));
      record.push_back(static_cast<char>(cell.attr));
    }
  }
  record += values::ZeroPad(static_cast<int64_t>(record.size()) + kLengthField, 5);
  return record;
}

// How many of the windows on the stack are records in the file.
int FileRecords() {
  const Screen& s = ScreenState();
  return s.win_depth - static_cast<int>(s.held_windows.size());
}

StackFile WriteRecord(const std::string& record) {
  platform::File file;
  const StackFile opened = OpenStack(file);
  if (opened != StackFile::kOk) return opened;
  // Only this run's records count: one left by a run that was killed is
  // written over, never stacked on.
  int64_t next = kFirstRecord;
  if (FileRecords() > 0 && file.Length() > 3 && !ReadHeader(file, next)) next = kFirstRecord;
  if (next < kFirstRecord || next - 1 > file.Length()) next = kFirstRecord;
  if (!file.WriteAt(next - 1, record.data(), record.size()) ||
      !WriteHeader(file, next + static_cast<int64_t>(record.size()))) {
    return StackFile::kFolder;
  }
  return StackFile::kOk;
}

std::string CannotWriteFolderText() {
  const std::string& dir = config::PathsState().temp_dir;
  return config::ByLanguage<std::string>(config::SettingsState().language,
                                         "NO ES POT ESCRIURE A LA CARPETA TEMPORAL ",
                                         "NO SE PUEDE ESCRIBIR EN LA CARPETA TEMPORAL ",
                                         "NOM SE PODE ESCREVER NO CARTAFOL TEMPORAL ",
                                         "NON SE P\xE3T ESCRIVER ENA CARPETA TEMPORAU ") +
         (dir.empty() ? std::string(".") : platform::OsPath(dir));
}

// Once per run; the window just pushed stays current and the drawing colour
// is what the caller had set.
void TellOnce(StackFile why) {
  Screen& s = ScreenState();
  if (s.told_stack_file) return;
  s.told_stack_file = true;
  const uint8_t attr = platform::CurrentAttribute();
  ShowMessage(kNoticeRow, why == StackFile::kNotOurs
                              ? WorkFileNotOursText(platform::OsPath(WinStackFile()))
                              : CannotWriteFolderText());
  int16_t key = 0;
  WaitKey(key);
  WinPop();
  platform::SetTextColours(attr % 16, attr / 16);
}

// Gives back what the record saved: the enclosing window, the cells, the
// cursor.
void Restore(const SavedWindow& w) {
  Screen& s = ScreenState();
  if (s.win_depth > 0) --s.win_depth;
  s.win_top = static_cast<int16_t>(w.top);
  s.win_left = static_cast<int16_t>(w.left);
  s.win_bottom = static_cast<int16_t>(w.bottom);
  s.win_right = static_cast<int16_t>(w.right);
  Repaint(w);
  platform::SetCursor(w.cursor_row, w.cursor_col);
}

void PopFromFile() {
  int64_t next = kFirstRecord;
  {
    platform::File file;
    // Nothing to read, and nothing written, in a file that is not ours.
    if (OpenStack(file) != StackFile::kOk) return;
    if (file.Length() > 3) {
      int64_t header = kFirstRecord;
      SavedWindow w;
      if (ReadHeader(file, header) && header > kFirstRecord &&
          ReadTopRecord(file, header, w)) {
        Restore(w);
        next = w.start;
        WriteHeader(file, next);
      } else if (header > kFirstRecord) {
        // A damaged stack cannot be unwound; forget it rather than paint
        // garbage, and fall back to the whole screen.
        Screen& s = ScreenState();
        s.win_depth = 0;
        s.win_top = s.win_left = s.win_bottom = s.win_right = 0;
        s.held_windows.clear();
      }
    }
  }
  if (next < 6) platform::DeleteFile(platform::OsPath(WinStackFile()));
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

  std::string record = BuildRecord(r1, c1, r2, c2);
  const StackFile written = WriteRecord(record);
  Screen& s = ScreenState();
  if (written != StackFile::kOk) {
    s.held_windows.emplace_back(static_cast<int16_t>(s.win_depth + 1), std::move(record));
  }
  s.win_top = r1;
  s.win_left = c1;
  s.win_bottom = r2;
  s.win_right = c2;
  ++s.win_depth;
  if (written != StackFile::kOk) TellOnce(written);
}

void WinPop() {
  Screen& s = ScreenState();
  if (!s.held_windows.empty() && s.held_windows.back().first == s.win_depth) {
    SavedWindow w;
    const bool whole = ParseRecord(s.held_windows.back().second, w);
    s.held_windows.pop_back();
    if (whole) Restore(w);
    return;
  }
  if (FileRecords() > 0) {
    PopFromFile();
    return;
  }
  // Nothing of this run is on the stack: a file left by an earlier run is
  // dropped, never painted.
  platform::File stale;
  if (stale.Open(platform::OsPath(WinStackFile()), platform::File::Mode::kReadOwn)) {
    stale.Close();
    platform::DeleteFile(platform::OsPath(WinStackFile()));
  }
}

std::string WorkFileNotOursText(const std::string& os_path) {
  return config::ByLanguage<std::string>(config::SettingsState().language,
                                         "EL FITXER DE TREBALL NO \x90S DE L'OPERADOR: ",
                                         "EL FICHERO DE TRABAJO NO ES DEL OPERADOR: ",
                                         "O FICHEIRO DE TRABALHO NOM \x90 DO OPERADOR: ",
                                         "ETH FICH\xD4R DE TREBALH NON \x90S DER OPERADOR: ") +
         os_path;
}

}  // namespace ui
