// Screen size, the window state and window-relative drawing.

#include "ui/screen.h"

#include <algorithm>

#include "platform/console.h"

namespace ui {

Screen& ScreenState() {
  static Screen state;
  return state;
}

void ResetScreenState() { ScreenState() = Screen(); }

int16_t ScreenRows() {
  return static_cast<int16_t>(std::clamp(platform::ConsoleRows(), 0, 32767));
}

int16_t ScreenCols() {
  return static_cast<int16_t>(std::clamp(platform::ConsoleCols(), 0, 32767));
}

namespace {

struct FrameGlyphs {
  char top_left, top_right, bottom_left, bottom_right, horizontal, vertical;
};

FrameGlyphs GlyphsFor(int16_t style) {
  switch (style) {
    case 1:
      return {'\xDA', '\xBF', '\xC0', '\xD9', '\xC4', '\xB3'};
    case 2:
      return {'\xC9', '\xBB', '\xC8', '\xBC', '\xCD', '\xBA'};
    default:
      return {' ', ' ', ' ', ' ', ' ', ' '};
  }
}

// Writes text at a screen position, cut at the right edge so that nothing
// wraps onto the next row.
void PutAt(int row, int col, const std::string& text) {
  int cols = platform::ConsoleCols();
  if (row < 1 || row > platform::ConsoleRows() || col > cols) return;
  std::string shown = text;
  if (col < 1) {
    size_t skip = static_cast<size_t>(1 - col);
    shown = skip < shown.size() ? shown.substr(skip) : std::string();
    col = 1;
  }
  size_t room = static_cast<size_t>(cols - col + 1);
  if (shown.size() > room) shown.resize(room);
  if (shown.empty()) return;
  platform::SetCursor(row, col);
  platform::WriteText(shown);
}

}  // namespace

void WinFrame(int16_t style) {
  const Screen& s = ScreenState();
  if (s.win_depth == 0) return;
  FrameGlyphs g = GlyphsFor(style);
  int inner = std::max(0, s.win_right - s.win_left - 1);
  std::string top = std::string(1, g.top_left) + std::string(inner, g.horizontal) +
                    std::string(1, g.top_right);
  std::string middle = std::string(1, g.vertical) + std::string(inner, ' ') +
                       std::string(1, g.vertical);
  std::string bottom = std::string(1, g.bottom_left) +
                       std::string(inner, g.horizontal) +
                       std::string(1, g.bottom_right);
  PutAt(s.win_top, s.win_left, top);
  for (int r = s.win_top + 1; r <= s.win_bottom - 1; ++r) PutAt(r, s.win_left, middle);
  if (s.win_bottom > s.win_top) PutAt(s.win_bottom, s.win_left, bottom);
}

void WinLocate(int16_t row, int16_t col) {
  const Screen& s = ScreenState();
  if (s.win_depth == 0) {
    platform::SetCursor(row, col);
  } else {
    platform::SetCursor(s.win_top + row, s.win_left + col);
  }
}

int16_t WinFirstRow() {
  const Screen& s = ScreenState();
  return s.win_depth == 0 ? 1 : static_cast<int16_t>(s.win_top + 1);
}

int16_t WinFirstCol() {
  const Screen& s = ScreenState();
  return s.win_depth == 0 ? 1 : static_cast<int16_t>(s.win_left + 1);
}

int16_t WinLastCol() {
  const Screen& s = ScreenState();
  return s.win_depth == 0 ? ScreenCols() : static_cast<int16_t>(s.win_right - 1);
}

void WinScroll(int16_t top, int16_t left, int16_t bottom, int16_t right,
               int16_t n) {
  // Clip to the screen so that a careless rectangle cannot touch memory
  // outside the grid; an empty rectangle does nothing.
  int t = std::max(1, top + 1);
  int l = std::max(1, left + 1);
  int b = std::min(platform::ConsoleRows(), bottom + 1);
  int r = std::min(platform::ConsoleCols(), right + 1);
  if (t > b || l > r || n == 0) return;
  platform::ScrollRect(t, l, b, r, n);
}

void ClearScreen() {
  int rows = platform::ConsoleRows();
  int cols = platform::ConsoleCols();
  std::string blanks(static_cast<size_t>(std::max(0, cols)), ' ');
  for (int r = 1; r <= rows; ++r) PutAt(r, 1, blanks);
  platform::SetCursor(1, 1);
}

}  // namespace ui
