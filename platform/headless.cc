#include "platform/headless.h"

#include <algorithm>

#include "platform/key_decoder.h"

namespace platform {

HeadlessTerminal::HeadlessTerminal(int rows, int cols)
    : rows_(std::max(rows, 1)), cols_(std::max(cols, 1)) {}

void HeadlessTerminal::SetSize(int rows, int cols) {
  rows_ = std::max(rows, 1);
  cols_ = std::max(cols, 1);
  InputEvent ev;
  ev.kind = InputEvent::kResize;
  script_.push_back(ev);
}

void HeadlessTerminal::PushKey(uint8_t ch, uint16_t modifiers) {
  InputEvent ev;
  ev.kind = InputEvent::kKey;
  ev.ch = ch;
  ev.scan = ScanCodeForChar(ch);
  ev.modifiers = modifiers;
  script_.push_back(ev);
}

void HeadlessTerminal::PushExtended(uint8_t scan, uint16_t modifiers,
                                    bool keypad) {
  InputEvent ev;
  ev.kind = InputEvent::kKey;
  ev.scan = scan;
  ev.modifiers = modifiers;
  ev.keypad = keypad;
  script_.push_back(ev);
}

void HeadlessTerminal::PushMouse(int row, int col, uint16_t buttons,
                                 uint16_t modifiers) {
  InputEvent ev;
  ev.kind = InputEvent::kMouse;
  ev.row = static_cast<int16_t>(row);
  ev.col = static_cast<int16_t>(col);
  ev.buttons = buttons;
  ev.modifiers = modifiers;
  script_.push_back(ev);
}

void HeadlessTerminal::PushText(const std::string& cp850) {
  for (char c : cp850) PushKey(static_cast<uint8_t>(c));
}

void HeadlessTerminal::PushEvent(const InputEvent& ev) { script_.push_back(ev); }

std::string HeadlessTerminal::Text(int row) const {
  std::string out;
  if (row < 1 || row > rows_shown_) return out;
  out.reserve(static_cast<size_t>(cols_shown_));
  for (int c = 1; c <= cols_shown_; ++c) out.push_back(static_cast<char>(CellAt(row, c).ch));
  return out;
}

std::string HeadlessTerminal::ScreenText() const {
  std::string out;
  for (int r = 1; r <= rows_shown_; ++r) {
    out += Text(r);
    out.push_back('\n');
  }
  return out;
}

Cell HeadlessTerminal::CellAt(int row, int col) const {
  if (row < 1 || row > rows_shown_ || col < 1 || col > cols_shown_) return Cell();
  return shown_[static_cast<size_t>(row - 1) * cols_shown_ + (col - 1)];
}

void HeadlessTerminal::GetSize(int& rows, int& cols) {
  rows = rows_;
  cols = cols_;
}

bool HeadlessTerminal::ReadEvent(InputEvent& ev, int timeout_ms) {
  (void)timeout_ms;  // a script never makes anyone wait
  if (!script_.empty()) {
    dry_reads_ = 0;
    ev = script_.front();
    script_.pop_front();
    return true;
  }
  if (++dry_reads_ <= dry_limit_) return false;
  ev = InputEvent();
  ev.kind = InputEvent::kKey;
  ev.ch = 27;
  ev.scan = scan::kEsc;
  ++dry_escapes_;
  return true;
}

void HeadlessTerminal::Present(const std::vector<Cell>& cells, int rows,
                               int cols, int cursor_row, int cursor_col,
                               int cursor_size) {
  ++presents_;
  shown_ = cells;
  rows_shown_ = rows;
  cols_shown_ = cols;
  cursor_row_ = cursor_row;
  cursor_col_ = cursor_col;
  cursor_size_ = cursor_size;
}

HeadlessTerminal& InstallHeadless(int rows, int cols) {
  ResetConsoleState();
  auto term = std::make_unique<HeadlessTerminal>(rows, cols);
  HeadlessTerminal& ref = *term;
  InstallTerminal(std::move(term));
  return ref;
}

HeadlessTerminal* CurrentHeadless() {
  return dynamic_cast<HeadlessTerminal*>(&CurrentTerminal());
}

}  // namespace platform
