// The tty's output: cells presented as xterm sequences in UTF-8, sending only
// the cells that changed since the last Present, the cursor's place and
// shape, mouse reporting, the bell and the clipboard channel; a notice
// instead of the screen while the window is smaller than the standard one.
#include <algorithm>

#include "platform/tty_signals.h"
#include "platform/tty_terminal.h"

namespace platform {

namespace {

// Console colour numbers (PC order) to ANSI colour numbers.
constexpr int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

void AppendNumber(std::string& out, int n) { out += std::to_string(n); }

void MoveTo(std::string& out, int row, int col) {
  out += "\x1b[";
  AppendNumber(out, row);
  out += ';';
  AppendNumber(out, col);
  out += 'H';
}

void Colours(std::string& out, uint8_t attr) {
  const int fg = attr & 0x0F;
  const int bg = attr >> 4;
  out += "\x1b[0;";
  AppendNumber(out, (fg < 8 ? 30 : 90) + kAnsi[fg & 7]);
  out += ';';
  AppendNumber(out, (bg < 8 ? 40 : 100) + kAnsi[bg & 7]);
  out += 'm';
}

}  // namespace

std::string Base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                 (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                 static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

void TtyTerminal::Send(const std::string& bytes) {
  if (!bytes.empty()) WriteAll(out_fd_, bytes.data(), bytes.size());
}

void TtyTerminal::ApplyMouse(std::string& out) {
  if (mouse_wanted_ == mouse_sent_) return;
  out += mouse_wanted_ ? "\x1b[?1000h\x1b[?1006h" : "\x1b[?1000l\x1b[?1006l";
  mouse_sent_ = mouse_wanted_;
}

void TtyTerminal::ShowNotice(std::string& out, int rows, int cols) {
  // Until the program knows its language, Catalan and English.
  std::vector<std::string> lines;
  if (notice_line_.empty()) {
    lines = {"Cal una finestra de 80 x 25 com a m\xA1nim",  // code page 850
             "The window must be at least 80 x 25"};
  } else {
    lines = {notice_line_};
  }
  lines.push_back("(" + std::to_string(cols) + " x " + std::to_string(rows) + ")");
  out += "\x1b[0m\x1b[2J\x1b[?25l";
  cursor_visible_ = false;
  const int count = static_cast<int>(lines.size());
  const int first = std::max(1, (rows - count) / 2 + 1);
  for (int k = 0; k < count && first + k <= rows; ++k) {
    std::string line = lines[static_cast<size_t>(k)].substr(0, static_cast<size_t>(cols));
    const int col = std::max(1, (cols - static_cast<int>(line.size())) / 2 + 1);
    MoveTo(out, first + k, col);
    out += Cp850ToUtf8(line);
  }
  cursor_placed_ = false;
}

void TtyTerminal::Present(const std::vector<Cell>& cells, int rows, int cols,
                          int cursor_row, int cursor_col, int cursor_size) {
  if (!started_ || suspended_) return;
  TakeBackAfterStop();
  std::string out;
  ApplyMouse(out);
  int trows = 0;
  int tcols = 0;
  GetSize(trows, tcols);
  if (trows < kMinRows || tcols < kMinCols) {
    if (!notice_shown_ || notice_rows_ != trows || notice_cols_ != tcols) {
      ShowNotice(out, trows, tcols);
      notice_shown_ = true;
      notice_rows_ = trows;
      notice_cols_ = tcols;
    }
    Send(out);
    return;
  }
  if (notice_shown_) {
    notice_shown_ = false;
    full_repaint_ = true;
  }
  if (rows != last_rows_ || cols != last_cols_ ||
      last_.size() != static_cast<size_t>(rows) * cols ||
      cells.size() != static_cast<size_t>(rows) * cols) {
    full_repaint_ = true;
  }
  if (cells.size() < static_cast<size_t>(rows) * cols) return;  // not a grid
  const bool full = full_repaint_;
  if (full) out += "\x1b[0m\x1b[2J";
  int attr = -1;
  int at_row = 0;
  int at_col = 0;
  const int show_rows = std::min(rows, trows);
  const int show_cols = std::min(cols, tcols);
  for (int r = 1; r <= show_rows; ++r) {
    for (int c = 1; c <= show_cols; ++c) {
      const size_t i = static_cast<size_t>(r - 1) * cols + (c - 1);
      const Cell& cell = cells[i];
      if (!full && cell == last_[i]) continue;
      if (r != at_row || c != at_col) MoveTo(out, r, c);
      if (cell.attr != attr) {
        Colours(out, cell.attr);
        attr = cell.attr;
      }
      AppendUtf8(out, Cp850Glyph(cell.ch));
      at_row = r;
      at_col = c + 1;
    }
  }
  if (attr != -1) out += "\x1b[0m";
  last_ = cells;
  last_rows_ = rows;
  last_cols_ = cols;
  full_repaint_ = false;

  if (at_row != 0) cursor_placed_ = false;  // drawing moved it
  if (cursor_size <= 0 || cursor_row > show_rows || cursor_col > show_cols) {
    if (cursor_visible_) out += "\x1b[?25l";
    cursor_visible_ = false;
  } else {
    const int shape = cursor_size >= 75 ? 2 : 4;  // steady block / underline
    if (shape != cursor_shape_) {
      out += "\x1b[";
      AppendNumber(out, shape);
      out += " q";
      cursor_shape_ = shape;
    }
    if (!cursor_placed_ || cursor_row != cursor_row_ || cursor_col != cursor_col_) {
      MoveTo(out, cursor_row, cursor_col);
      cursor_placed_ = true;
    }
    if (!cursor_visible_) out += "\x1b[?25h";
    cursor_visible_ = true;
  }
  cursor_row_ = cursor_row;
  cursor_col_ = cursor_col;
  Send(out);
}

void TtyTerminal::Beep() {
  if (started_ && !suspended_) Send("\x07");
}

void TtyTerminal::SendClipboard(const std::string& utf8) {
  if (started_ && !suspended_) Send("\x1b]52;c;" + Base64(utf8) + "\x07");
}

}  // namespace platform
