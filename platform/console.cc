#include "platform/console.h"

#include <algorithm>

#include "platform/headless.h"
#include "platform/key_decoder.h"
#include "platform/system.h"

namespace platform {

namespace {

void GridSizeFor(Terminal& t, int& rows, int& cols) {
  int tr = 0;
  int tc = 0;
  t.GetSize(tr, tc);
  rows = std::max(tr, kMinRows);
  cols = std::max(tc, kMinCols);
}

// Resizes the grid keeping its top-left contents; new cells are blank.
void ResizeGrid(Console& s, int rows, int cols) {
  std::vector<Cell> cells(static_cast<size_t>(rows) * cols, Cell());
  for (int r = 0; r < std::min(rows, s.rows); ++r) {
    for (int c = 0; c < std::min(cols, s.cols); ++c) {
      cells[static_cast<size_t>(r) * cols + c] =
          s.cells[static_cast<size_t>(r) * s.cols + c];
    }
  }
  s.cells = std::move(cells);
  s.rows = rows;
  s.cols = cols;
  s.cursor_row = std::clamp(s.cursor_row, 1, rows);
  s.cursor_col = std::clamp(s.cursor_col, 1, cols);
}

Console& Ready() {
  Console& s = ConsoleState();
  if (!s.terminal) s.terminal = std::make_unique<HeadlessTerminal>();
  if (s.cells.empty()) {
    int rows = 0;
    int cols = 0;
    GridSizeFor(*s.terminal, rows, cols);
    ResizeGrid(s, rows, cols);
  }
  return s;
}

Cell& At(Console& s, int row, int col) {
  return s.cells[static_cast<size_t>(row - 1) * s.cols + (col - 1)];
}

void HandleResize(Console& s) {
  int rows = 0;
  int cols = 0;
  GridSizeFor(*s.terminal, rows, cols);
  if (rows != s.rows || cols != s.cols) ResizeGrid(s, rows, cols);
  s.terminal->Invalidate();
  Refresh();
}

// The orderly end, when the program has one; otherwise the hang-up reads
// as Esc, which leaves every screen.
void HangUp(Console& s, InputEvent& ev) {
  if (s.hang_up) s.hang_up();
  ev = InputEvent();
  ev.kind = InputEvent::kKey;
  ev.ch = 27;
  ev.scan = scan::kEsc;
}

// Keeps only what the callers are promised: characters, extended keys and
// (while reporting is on) mouse presses. Records modifiers and position.
bool Accept(Console& s, InputEvent& ev) {
  if (ev.kind == InputEvent::kHangUp) HangUp(s, ev);
  switch (ev.kind) {
    case InputEvent::kKey:
      if (ev.ch == 0 && ev.scan == 0) return false;  // a lone modifier
      break;
    case InputEvent::kMouse:
      if (!s.mouse_on || ev.buttons == 0) return false;
      if (ev.row < 1 || ev.col < 1) return false;
      s.mouse_row = std::min<int>(ev.row, s.rows);
      s.mouse_col = std::min<int>(ev.col, s.cols);
      break;
    case InputEvent::kResize:
      HandleResize(s);
      return false;
    default:
      return false;
  }
  s.modifiers = ev.modifiers;
  s.last_event_ms = MonotonicMs();
  return true;
}

// A terminal reports no releases: modifiers count as released once nothing
// came for the terminal's hold time.
void NothingCame(Console& s) {
  if (s.modifiers == 0) return;
  if (MonotonicMs() - s.last_event_ms >= s.terminal->ModifierHoldMs()) {
    s.modifiers = 0;
  }
}

}  // namespace

Console& ConsoleState() {
  static Console state;
  return state;
}

void ResetConsoleState() {
  Console& s = ConsoleState();
  std::unique_ptr<Terminal> old = std::move(s.terminal);
  s = Console();
  old.reset();  // restores a real terminal
}

void InstallTerminal(std::unique_ptr<Terminal> terminal) {
  Console& s = ConsoleState();
  std::unique_ptr<Terminal> old = std::move(s.terminal);
  old.reset();
  s.terminal = terminal ? std::move(terminal)
                        : std::make_unique<HeadlessTerminal>();
  int rows = 0;
  int cols = 0;
  GridSizeFor(*s.terminal, rows, cols);
  if (s.cells.empty()) {
    s.rows = 0;
    s.cols = 0;
  }
  ResizeGrid(s, rows, cols);
  s.terminal->SetMouseReporting(s.mouse_on);
  s.terminal->SetSmallWindowNotice(s.small_window_notice);
  s.terminal->Invalidate();
}

void SetHangUpHandler(std::function<void()> handler) {
  ConsoleState().hang_up = std::move(handler);
}

void CheckHangUp() {
  Console& s = ConsoleState();
  if (s.hang_up && s.terminal && s.terminal->HungUp()) s.hang_up();
}

void SetSmallWindowNotice(const std::string& cp850) {
  Console& s = Ready();
  s.small_window_notice = cp850;
  s.terminal->SetSmallWindowNotice(cp850);
}

Terminal& CurrentTerminal() { return *Ready().terminal; }

void ShutdownTerminal() {
  Console& s = ConsoleState();
  if (!s.terminal) return;
  s.terminal->Shutdown();
  // The grid stays; from now on it is shown nowhere.
  s.terminal = std::make_unique<HeadlessTerminal>();
}

int ConsoleRows() { return Ready().rows; }
int ConsoleCols() { return Ready().cols; }

void GetCursor(int& row, int& col) {
  Console& s = Ready();
  row = s.cursor_row;
  col = s.cursor_col;
}

void SetCursor(int row, int col) {
  Console& s = Ready();
  if (row >= 1 && row <= s.rows) s.cursor_row = row;
  if (col >= 1 && col <= s.cols) s.cursor_col = col;
}

void SetCursorSize(int percent) { Ready().cursor_size = std::clamp(percent, 0, 100); }
int CursorSize() { return Ready().cursor_size; }

void WriteText(const std::string& text) {
  Console& s = Ready();
  for (char c : text) {
    Cell& cell = At(s, s.cursor_row, s.cursor_col);
    cell.ch = static_cast<uint8_t>(c);
    cell.attr = s.attr;
    if (s.cursor_col < s.cols) {
      ++s.cursor_col;
    } else if (s.cursor_row < s.rows) {
      ++s.cursor_row;
      s.cursor_col = 1;
    } else {
      break;  // the last cell is written; the rest has no room
    }
  }
}

Cell ReadCell(int row, int col) {
  Console& s = Ready();
  if (row < 1 || row > s.rows || col < 1 || col > s.cols) return Cell();
  return At(s, row, col);
}

void SetTextColours(int fg, int bg) {
  Console& s = Ready();
  uint8_t attr = s.attr;
  if (fg >= 0 && fg <= 15) attr = static_cast<uint8_t>((attr & 0xF0) | fg);
  if (bg >= 0 && bg <= 15) attr = static_cast<uint8_t>((attr & 0x0F) | (bg << 4));
  s.attr = attr;
}

uint8_t CurrentAttribute() { return Ready().attr; }

void ScrollRect(int top, int left, int bottom, int right, int n) {
  Console& s = Ready();
  top = std::max(top, 1);
  left = std::max(left, 1);
  bottom = std::min(bottom, s.rows);
  right = std::min(right, s.cols);
  if (top > bottom || left > right || n == 0) return;
  const int height = bottom - top + 1;
  const Cell blank{' ', s.attr};
  const int shift = n > 0 ? std::min(n, height) : std::max(n, -height);
  if (shift > 0) {
    for (int r = top; r <= bottom; ++r) {
      for (int c = left; c <= right; ++c) {
        At(s, r, c) = r + shift <= bottom ? At(s, r + shift, c) : blank;
      }
    }
  } else {
    for (int r = bottom; r >= top; --r) {
      for (int c = left; c <= right; ++c) {
        At(s, r, c) = r + shift >= top ? At(s, r + shift, c) : blank;
      }
    }
  }
}

void Refresh() {
  Console& s = Ready();
  s.terminal->Present(s.cells, s.rows, s.cols, s.cursor_row, s.cursor_col,
                      s.cursor_size);
}

bool PollKey(InputEvent& ev) {
  Console& s = Ready();
  Refresh();
  InputEvent got;
  while (s.terminal->ReadEvent(got, 0)) {
    if (Accept(s, got)) {
      ev = got;
      return true;
    }
  }
  NothingCame(s);
  return false;
}

bool WaitEvent(InputEvent& ev, int timeout_ms) {
  Console& s = Ready();
  Refresh();
  const int64_t deadline = MonotonicMs() + std::max(timeout_ms, 0);
  InputEvent got;
  for (;;) {
    int left = static_cast<int>(std::max<int64_t>(deadline - MonotonicMs(), 0));
    if (!s.terminal->ReadEvent(got, left)) break;
    if (Accept(s, got)) {
      ev = got;
      return true;
    }
  }
  NothingCame(s);
  return false;
}

void DiscardInput() {
  Console& s = Ready();
  s.terminal->DiscardInput();
  // What is left is the scripted input of a backend without a tty, and
  // events that are not keys (a resize is still taken in).
  InputEvent ev;
  for (int i = 0; i < 1000 && PollKey(ev); ++i) {
  }
}

uint16_t ModifierState() { return Ready().modifiers; }
bool InsertToggle() { return Ready().insert; }
void SetInsertToggle(bool on) { Ready().insert = on; }

int MouseButtons() { return Ready().terminal->MouseButtonCount(); }

void SetMouseReporting(bool on) {
  Console& s = Ready();
  s.mouse_on = on;
  s.terminal->SetMouseReporting(on);
}

void MousePosition(int& row, int& col) {
  Console& s = Ready();
  row = s.mouse_row;
  col = s.mouse_col;
}

void Beep() { Ready().terminal->Beep(); }

}  // namespace platform
