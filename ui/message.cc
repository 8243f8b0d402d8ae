// The framed message box used for "cannot open" and "please wait" notices.

#include <algorithm>

#include "platform/ascii.h"
#include "platform/console.h"
#include "ui/screen.h"
#include "values/text.h"

namespace ui {

namespace {

using platform::TrimTrailingBlanks;

constexpr int kLineWidth = 76;

}  // namespace

void ShowMessage(int16_t row, const std::string& text) {
  SetColour("+rh");

  // Bytes below the blank would be taken for attribute codes by the line
  // breaker and then written raw; the box shows plain text only.
  std::string lines;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 32) lines.push_back(c);
  }
  values::FormatParagraph(lines, 0, kLineWidth, "i");
  int n = static_cast<int>(lines.size()) / kLineWidth;

  int rows = ScreenRows();
  int cols = ScreenCols();
  int top = std::max(1, row - (n + 1) / 2 - 2);
  int bottom = top + n + 1;
  if (bottom > rows) {
    bottom = rows;
    top = rows - n - 1;
    if (top < 1) {
      // Too tall for the screen: nothing is shown, but an invisible window
      // is still pushed so that the caller's WinPop stays balanced instead
      // of removing the window underneath.
      WinPush(1, 1, 1, 1);
      SetColour("-");
      return;
    }
  }

  size_t longest = 0;
  for (int j = 0; j < n; ++j) {
    longest = std::max(longest,
                       TrimTrailingBlanks(lines.substr(static_cast<size_t>(j) * kLineWidth,
                                              kLineWidth)).size());
  }
  int l = static_cast<int>(longest);
  int left = 39 - (l + 1) / 2;
  int right = 42 + l / 2;
  // The box is laid out for 80 columns; on a narrower terminal it moves left
  // and, when it must, the lines are cut.
  if (right > cols) {
    left -= right - cols;
    right = cols;
  }
  left = std::max(1, left);
  size_t text_room = static_cast<size_t>(std::max(0, right - left - 3));

  WinPush(static_cast<int16_t>(top), static_cast<int16_t>(left),
          static_cast<int16_t>(bottom), static_cast<int16_t>(right));
  WinFrame(1);
  for (int j = 1; j <= n; ++j) {
    std::string line = TrimTrailingBlanks(
        lines.substr(static_cast<size_t>(j - 1) * kLineWidth, kLineWidth));
    if (line.size() > text_room) line.resize(text_room);
    if (line.empty()) continue;
    WinLocate(static_cast<int16_t>(j), 2);
    platform::WriteText(line);
  }
  SetColour("-");
}

}  // namespace ui
