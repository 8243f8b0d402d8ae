// Help launch and the built-in text help viewer.

#include "ui/help.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "app/config/paths.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/system.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace ui {

namespace {

// The topic becomes part of a file name inside AJUDA; nothing in it may lead
// out of that folder.
bool IsPlainTopic(const std::string& topic) {
  if (topic.empty()) return false;
  return std::none_of(topic.begin(), topic.end(), [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c < 32 || c == 127 || c == ':' || platform::IsPathSeparator(ch);
  });
}

// The lines of the topic's help file, each exactly one record (a short last
// record is padded with blanks). A missing file is created empty, as the
// suite expects, unless the folder refuses it; anything but a regular file
// (a FIFO would block, a device never ends) is left unread.
std::vector<std::string> ReadHelpFile(const std::string& topic) {
  std::vector<std::string> lines;
  if (!IsPlainTopic(topic)) return lines;
  const std::string path = "AJUDA\\" + topic + ".HLP";
  platform::File file;
  // Opened as a plain file or not at all, in one step: a name checked first
  // and opened later could be a FIFO by then.
  if (!file.Open(path, platform::File::Mode::kReadPlain)) {
    // no_follow: a dangling link must not make a file somewhere else.
    if (platform::ErrorNumber() == ENOENT && !platform::FileExists(path))
      file.Open(path, platform::File::Mode::kAppend, true);
    return lines;
  }
  const int64_t length = file.Length();
  if (length <= 0) return lines;
  const int64_t count = std::min<int64_t>(
      (length + kHelpRecordBytes / 2) / kHelpRecordBytes, kHelpMaxLines);
  std::string bytes(static_cast<size_t>(count * kHelpRecordBytes), ' ');
  file.ReadAt(0, bytes.data(), bytes.size());
  for (int64_t k = 0; k < count; ++k)
    lines.push_back(bytes.substr(static_cast<size_t>(k * kHelpRecordBytes), kHelpRecordBytes));
  return lines;
}

struct HelpView {
  std::vector<std::string> lines;
  int16_t top = 0, left = 0, bottom = 0, right = 0;  // the frame
  int rows = 0;  // interior lines
  int next = 0;  // number of the first line below the window
  int Count() const { return static_cast<int>(lines.size()); }
};

// Line `number` (1-based; past the end nothing) at interior row `row`.
void ShowLine(const HelpView& v, int row, int number) {
  SetColour("n");
  WinLocate(static_cast<int16_t>(row), 2);
  if (number < 1 || number > v.Count()) return;
  const std::string& record = v.lines[static_cast<size_t>(number - 1)];
  static const char kToggles[] = {kHelpHighlight, kHelpUnderline, kHelpReverse, '\0'};
  if (record.find_first_of(kToggles) == std::string::npos) {
    platform::WriteText(record.substr(0, kHelpShownChars));
    return;
  }
  bool high = false, under = false, reverse = false;
  int shown = 0;
  for (char c : record) {
    if (c == kHelpHighlight) {
      if (under) continue;
      high = !high;
      SetColour(high ? "h" : "n");
    } else if (c == kHelpUnderline) {
      under = !under;
      SetColour(under ? "u" : "n");
    } else if (c == kHelpReverse) {
      reverse = !reverse;
      SetColour(reverse ? "r" : "n");
    } else if (++shown <= kHelpShownChars) {
      platform::WriteText(std::string(1, c));
    }
  }
}

// Moves the interior up n lines (down for negative n); n = rows blanks it.
void ScrollInterior(const HelpView& v, int n) {
  SetColour("n");
  WinScroll(v.top, v.left, static_cast<int16_t>(v.bottom - 2),
            static_cast<int16_t>(v.right - 2), static_cast<int16_t>(n));
}

// Blanks the interior and shows the lines from `first` on.
void ShowPage(const HelpView& v, int first) {
  ScrollInterior(v, v.rows);
  for (int r = 1; r <= v.rows; ++r) ShowLine(v, r, first + r - 1);
}

// Acts on one key; false when the viewer closes. A page up moves exactly one
// page, as a page down does, so that the two undo each other and the window
// always shows the lines just above `next`.
bool HelpKey(HelpView& v, const std::string& topic, int16_t key) {
  const int n = v.Count();
  const int rows = v.rows;
  int& i = v.next;
  switch (key) {
    case kKeyEsc:
      return false;
    case kKeyF1:
      if (topic != kGeneralHelpTopic) ShowHelp(kGeneralHelpTopic);
      break;
    case kKeyDown:
      if (n < i) break;
      ScrollInterior(v, 1);
      ShowLine(v, rows, i++);
      break;
    case kKeyUp:
      if (i - rows <= 1) break;
      --i;
      ScrollInterior(v, -1);
      ShowLine(v, 1, i - rows);
      break;
    case kKeyPgDn:
      if (n < i) break;
      i = std::min(i, n - rows + 1);
      ShowPage(v, i);
      i += rows;
      break;
    case kKeyPgUp:
      if (i <= rows + 1) break;
      i = std::max(1, i - 2 * rows);
      ShowPage(v, i);
      i += rows;
      break;
    case kKeyHome:
      if (i <= rows + 1) break;
      ShowPage(v, 1);
      i = rows + 1;
      break;
    case kKeyEnd:
      if (n < i) break;
      ShowPage(v, n - rows + 1);
      i = n + 1;
      break;
    default:
      break;
  }
  return true;
}

void ViewHelp(const std::string& topic) {
  HelpView v;
  // Records are 80 bytes wide on any terminal: a wider one gets the window
  // centred rather than lines read with its own width.
  if (ScreenCols() < kHelpRecordBytes) return;  // no room for a record
  const int width = kHelpRecordBytes;
  v.top = 4;
  v.bottom = static_cast<int16_t>(ScreenRows() - 3);
  v.left = static_cast<int16_t>(1 + (ScreenCols() - width) / 2);
  v.right = static_cast<int16_t>(v.left + width - 1);
  v.rows = v.bottom - v.top - 1;
  if (v.rows < 1) return;
  v.lines = ReadHelpFile(topic);

  const int cursor = platform::CursorSize();
  platform::SetCursorSize(0);
  SetColour("+h");
  WinPush(v.top, v.left, v.bottom, v.right);
  WinFrame(2);
  for (int r = 1; r <= v.rows; ++r) ShowLine(v, r, r);
  v.next = v.rows + 1;
  int16_t key = 0;
  do {
    WaitKey(key);
  } while (HelpKey(v, topic, key));
  WinPop();
  SetColour("-");
  platform::SetCursorSize(cursor);
}

// HLPVUE through the command processor; what it answers is not examined,
// and without a command processor there is nothing to run.
void RunHelpCommand(const std::string& topic) {
  const std::string comspec = platform::GetEnv("COMSPEC");
  if (comspec.empty()) return;
  const std::vector<std::string> argv = {comspec, "/C", "HLPVUE",
                                         platform::OsPath("AJUDA\\" + topic + ".HTM")};
  GoingIdle();
  platform::RunCommand(argv);
}

}  // namespace

void ShowHelp(const std::string& topic) {
  if (config::PathsState().env_kind == "WIN") {
    RunHelpCommand(topic);
  } else {
    ViewHelp(topic);
  }
}

}  // namespace ui
