// Writer of the print work file and the hand-over to KELPRINT.

#include "app/print_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/system.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "values/text.h"

namespace app {

namespace {

// Row of the screen where failure notices are centred.
constexpr int16_t kNoticeRow = 12;

// Records are held in memory up to this size, then written in one go.
constexpr size_t kPendingLimit = 64 * 1024;
// The block's room: any record short of the difference fits without a flush
// of its own.
constexpr size_t kPendingRoom = kPendingLimit + 4096;

void Flush(PrintFile& st) {
  if (st.pending_size == 0) return;
  // The block keeps its room for the records after these.
  if (!st.file.Write(std::string_view(st.pending.data(), st.pending_size)))
    st.write_failed = true;
  st.pending_size = 0;
}

// Writes what is held and makes the block hold at least n bytes.
[[gnu::noinline]] void MakeRoom(PrintFile& st, size_t n) {
  Flush(st);
  const size_t room = std::max(n, kPendingRoom);
  if (st.pending.size() < room) st.pending.resize(room);
}

// Where a record of at most n bytes is put together, at the end of the
// pending block; Appended takes it in.
inline char* Room(PrintFile& st, size_t n) {
  if (st.pending.size() - st.pending_size < n) MakeRoom(st, n);
  return st.pending.data() + st.pending_size;
}

// After a record of n bytes was put together in the room.
inline void Appended(PrintFile& st, size_t n) {
  st.pending_size += n;
  if (st.pending_size >= kPendingLimit) Flush(st);
}

// Ends the record begun at at whose text ends at end: CR LF, and takes it in.
inline void EndRecord(PrintFile& st, char* at, char* end) {
  end[0] = '\r';
  end[1] = '\n';
  Appended(st, static_cast<size_t>(end + 2 - at));
}

// Bytes the print program must not get in a text: they are written as blanks.
inline bool Unprintable(unsigned char b) { return b < 32 || b == 127 || b == 255; }

// Print forms of 0-999, the columns and advances of nearly every item: the
// digits and the trailing blank, four bytes whatever the length, and the
// length of the whole form.
struct SmallForm {
  char text[4];
  uint8_t size;
};
struct SmallForms {
  SmallForm form[1000];
};

constexpr SmallForms MakeSmallForms() {
  SmallForms forms{};
  for (int v = 0; v < 1000; ++v) {
    char* p = forms.form[v].text;
    if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
    if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
    *p++ = static_cast<char>('0' + v % 10);
    *p++ = ' ';
    forms.form[v].size = static_cast<uint8_t>(1 + (p - forms.form[v].text));
  }
  return forms;
}

constexpr SmallForms kSmallForms = MakeSmallForms();

// Print form into a buffer of at least 16 bytes; returns its length. A short
// form may leave bytes past its end written.
[[gnu::always_inline]] inline size_t PutPrintForm(char* at, int32_t value) {
  if (value >= 0 && value < 1000) {
    const SmallForm& form = kSmallForms.form[value];
    *at = ' ';
    std::memcpy(at + 1, form.text, 4);
    return form.size;
  }
  char* p = at;
  if (value >= 0) *p++ = ' ';
  p = std::to_chars(p, at + 16, value).ptr;
  *p++ = ' ';
  return static_cast<size_t>(p - at);
}

// True when any of the eight bytes in w is 0-31, 127 or 255: a byte below
// 32 has none of its top three bits, 127 and 255 have all of the low seven.
// Each test looks for a zero byte; a borrow that runs on from one can only
// mark bytes above a zero byte already found.
inline bool HasUnprintable(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const uint64_t top = w & (kOnes * 0xE0), low = ~w & (kOnes * 0x7F);
  return ((((top - kOnes) & ~top) | (low - kOnes)) & kHighs) != 0;
}

[[gnu::noinline]] void PutCleanBytes(char* at, const char* c, size_t n) {
  for (size_t i = 0; i < n; ++i) at[i] = Unprintable(static_cast<unsigned char>(c[i])) ? ' ' : c[i];
}

// Eight bytes of text as they are written.
inline void PutCleanWord(char* at, const char* c) {
  uint64_t w;
  std::memcpy(&w, c, 8);
  std::memcpy(at, &w, 8);
  if (HasUnprintable(w)) PutCleanBytes(at, c, 8);
}

// text with bytes 0-31, 127 and 255 as blanks, into at; returns the end.
// Whole words at a time, the last one overlapping the one before: texts are
// mostly clean, and mostly dates and amounts of 8 to 15 bytes.
[[gnu::always_inline]] inline char* PutCleanText(char* at, std::string_view text) {
  const char* c = text.data();
  const size_t n = text.size();
  if (n >= 8) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) PutCleanWord(at + i, c + i);
    if (i < n) PutCleanWord(at + n - 8, c + n - 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, c, 4);
    std::memcpy(&tail, c + n - 4, 4);
    if (HasUnprintable(head | uint64_t{tail} << 32)) {
      PutCleanBytes(at, c, n);
    } else {
      std::memcpy(at, &head, 4);
      std::memcpy(at + n - 4, &tail, 4);
    }
  } else if (n > 0) {
    PutCleanBytes(at, c, n);
  }
  return at + n;
}

// An item record around its text: two print forms, two commas, CR LF.
constexpr size_t kItemFrame = 2 * 16 + 4;

// The item record into a buffer of text.size() + kItemFrame bytes; returns
// its length.
size_t PutItem(char* at, int16_t column, std::string_view text, int16_t advance) {
  char* p = at + PutPrintForm(at, column);
  *p++ = ',';
  p = PutCleanText(p, text);
  *p++ = ',';
  p += PutPrintForm(p, advance);
  *p++ = '\r';
  *p++ = '\n';
  return static_cast<size_t>(p - at);
}

void AppendPrintForm(std::string& out, int32_t value) {
  char form[16];
  out.append(form, PutPrintForm(form, value));
}

// A record of head and rest, when a file is open.
inline void WriteRecord(std::string_view head, std::string_view rest) {
  PrintFile& st = PrintFileState();
  if (!st.file.IsOpen()) return;
  char* at = Room(st, head.size() + rest.size() + 2);
  std::memcpy(at, head.data(), head.size());
  if (!rest.empty()) std::memcpy(at + head.size(), rest.data(), rest.size());
  EndRecord(st, at, at + head.size() + rest.size());
}

int16_t ClampToInt16(int32_t v) {
  if (v > std::numeric_limits<int16_t>::max())
    return std::numeric_limits<int16_t>::max();
  if (v < std::numeric_limits<int16_t>::min())
    return std::numeric_limits<int16_t>::min();
  return static_cast<int16_t>(v);
}

// The whole-number part of a number written at the start of text, as the
// print program expects it for mode N: blanks skipped, an optional sign,
// digits; its absolute value, held within 32 bits.
int32_t LeadingWholeNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > std::numeric_limits<int32_t>::max())
      v = std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(v);
}

}  // namespace

void ResetPrintFileState() {
  PrintFile& st = PrintFileState();
  st.file.Close();
  st.path.clear();
  st.pending.clear();
  st.pending_size = 0;
  st.write_failed = false;
  st.page_length = 0;
  st.line_count = 0;
  st.notice = nullptr;
}

std::string PrintProgramPath() {
  return config::PathsState().exe_dir + "KELPRINT";
}

std::string PrintForm(int32_t value) {
  std::string out;
  AppendPrintForm(out, value);
  return out;
}

std::string NormaliseAlignment(const std::string& mode) {
  size_t first = mode.find_first_not_of(' ');
  if (first == std::string::npos) return "E";
  switch (mode[first]) {
    case 'C': case 'c': return "C";
    case 'D': case 'd': case 'R': case 'r': return "D";
    case 'A': case 'a': case 'B': case 'b': return "A";
    case 'N': case 'n': break;
    default: return "E";
  }
  std::string rest = mode.substr(first + 1);
  std::string column = PrintForm(LeadingWholeNumber(rest));
  column.pop_back();  // the trailing blank of the print form is not written
  size_t open = rest.find('\\');
  size_t close = open == std::string::npos ? open : rest.find('\\', open + 1);
  // Without a character between two backslashes the print program gets the
  // column alone, never a stray backslash.
  if (close == std::string::npos) return "N" + column;
  return "N" + column + " " + rest.substr(open, close - open + 1);
}

std::string CleanPrintText(const std::string& text) {
  std::string out(text.size(), ' ');
  PutCleanText(out.data(), text);
  return out;
}

int16_t OpenPrintFile(const std::string& device) {
  PrintFile& st = PrintFileState();
  st.file.Close();
  st.pending_size = 0;
  st.write_failed = false;
  st.path = config::PrintFilePath();
  // The temporary directory may be shared: the report goes only into a
  // regular file of the operator (never through a link, never into someone
  // else's file), and never while KELPRINT still reads it.
  if (!st.file.Open(st.path, platform::File::Mode::kOutputOwn,
                    /*no_follow=*/true, /*exclusive=*/true)) {
    const int err = platform::ErrorNumber();
    const bool planted = err == ELOOP || err == EPERM || err == ENXIO || err == EISDIR;
    ShowPrintNotice(planted ? ui::WorkFileNotOursText(platform::OsPath(st.path))
                            : CannotCreateText(st.path));
    return kPrintCannotCreate;
  }
  WriteRecord("DEVICE", device);
  // A file that takes nothing is told at once, before the report runs.
  Flush(st);
  if (st.write_failed) {
    st.file.Close();
    ShowPrintNotice(CannotWriteText(st.path));
    return kPrintCannotWrite;
  }
  return kPrintOk;
}

bool PrintFileIsOpen() { return PrintFileState().file.IsOpen(); }

void PrintPage(int16_t length) {
  PrintFile& st = PrintFileState();
  if (st.file.IsOpen()) {
    char* at = Room(st, 4 + 16 + 2);
    std::memcpy(at, "PAGE", 4);
    EndRecord(st, at, at + 4 + PutPrintForm(at + 4, length));
  }
  st.page_length = length;
  st.line_count = 0;
}

namespace {

[[gnu::noinline]] void PrintOtherAlign(std::string_view mode) {
  WriteRecord("JUS", NormaliseAlignment(std::string(mode)));
}

}  // namespace

void PrintAlign(std::string_view mode) {
  // The report switches between two one-letter modes on every row: those
  // need no normalising, and their record has a fixed length.
  if (mode.size() != 1 || (mode[0] != 'D' && mode[0] != 'E')) {
    PrintOtherAlign(mode);
    return;
  }
  PrintFile& st = PrintFileState();
  if (!st.file.IsOpen()) return;
  char* at = Room(st, 6);
  std::memcpy(at, "JUS", 3);
  at[3] = mode[0];
  EndRecord(st, at, at + 4);
}

void PrintStyle(std::string_view code) { WriteRecord("*", code); }

void PrintItem(int16_t column, std::string_view text, int16_t advance) {
  PrintFile& st = PrintFileState();
  // A page length of 0 (no page record yet) would otherwise break before
  // every single item.
  if (st.page_length > 0 && st.line_count >= st.page_length)
    PrintPage(st.page_length);
  if (st.file.IsOpen()) {
    // Millions of items a report: each is put together in place.
    char* at = Room(st, text.size() + kItemFrame);
    Appended(st, PutItem(at, column, text, advance));
  }
  if (advance != 0)
    st.line_count = ClampToInt16(int32_t{st.line_count} + advance);
}

int16_t PrintLineCount() { return PrintFileState().line_count; }

int16_t ClosePrintFile() {
  PrintFile& st = PrintFileState();
  if (!st.file.IsOpen()) return kPrintOk;
  Flush(st);
  st.file.Close();
  if (st.write_failed) {
    st.write_failed = false;
    ShowPrintNotice(CannotWriteText(st.path));
    return kPrintCannotWrite;
  }
  return kPrintOk;
}

void DiscardPrintFile() {
  PrintFile& st = PrintFileState();
  st.pending_size = 0;
  st.write_failed = false;
  st.file.Truncate(0);
  st.file.Close();
}

int16_t HandOverPrintFile() {
  std::string program = PrintProgramPath();
  std::string os_path = platform::OsPath(program);
  // An empty executable directory means the current directory, as it does
  // for every other path of the installation; never a search of PATH.
  if (os_path.find('/') == std::string::npos) os_path = "./" + os_path;
  // The program itself, never a command line: blanks or quotes in the
  // executable directory must not make it another program with arguments.
  std::string said;
  // The print program may take long; no read snapshot is held meanwhile.
  ui::GoingIdle();
  int rc = platform::RunCommand(std::vector<std::string>{os_path}, &said);
  if (rc < 0) {
    ShowPrintNotice(CannotRunText(program));
    return kPrintCannotRun;
  }
  ShowPrintResult(said);
  return kPrintOk;
}

std::string LastLine(const std::string& output) {
  const std::string said = platform::TrimTrailingWhiteSpace(output);
  const size_t start = said.rfind('\n');
  std::string line = platform::Utf8ToCp850(said.substr(start == std::string::npos ? 0 : start + 1));
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  return line;
}

void ShowPrintResult(const std::string& output) {
  PrintFile& st = PrintFileState();
  st.last_result = LastLine(output);
  // The bottom row is outside every form, so the line stays in view while
  // the operator fills in the next parameters.
  const size_t cols = static_cast<size_t>(ui::ScreenCols());
  std::string line = values::CutMiddle(st.last_result, cols);
  line.resize(cols, ' ');
  ui::SetColour("+n");
  platform::SetCursor(ui::ScreenRows(), 1);
  platform::WriteText(line);
  ui::SetColour("-");
}

std::string CannotCreateText(const std::string& path) {
  return config::ByLanguage(config::SettingsState().language,
                            "NO ES POT CREAR EL FITXER ",
                            "NO SE PUEDE CREAR EL FICHERO ",
                            "NON SE PODE CREAR O FICHEIRO ",
                            "NON SE P\xE3T CREAR ETH FICH\xD4R ") +
         path;
}

std::string CannotWriteText(const std::string& path) {
  return config::ByLanguage(config::SettingsState().language,
                            "NO ES POT ESCRIURE EL FITXER ",
                            "NO SE PUEDE ESCRIBIR EL FICHERO ",
                            "NON SE PODE ESCRIBIR O FICHEIRO ",
                            "NON SE P\xE3T ESCRIVER ETH FICH\xD4R ") +
         path;
}

std::string CannotRunText(const std::string& path) {
  return config::ByLanguage(config::SettingsState().language,
                            "NO ES POT EXECUTAR EL PROGRAMA ",
                            "NO SE PUEDE EJECUTAR EL PROGRAMA ",
                            "NON SE PODE EXECUTAR O PROGRAMA ",
                            "NON SE P\xE3T EXECUTAR ETH PROGRAMA ") +
         path;
}

void ShowPrintNotice(const std::string& text) {
  PrintFile& st = PrintFileState();
  if (st.notice) {
    st.notice(text);
    return;
  }
  ui::ShowMessage(kNoticeRow, text);
  int16_t key = 0;
  ui::WaitKey(key);
  ui::WinPop();
}

}  // namespace app
