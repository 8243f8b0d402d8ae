// A terminal without a screen, for tests and for runs without a tty. Input
// comes from a script of events pushed in advance; ReadEvent never waits.
// What the console presented is kept and can be read back as code page 850
// text. A script that has run dry answers "nothing" a great many times and
// then Esc, again and again, so that a loop waiting for a key that no test
// supplied ends instead of hanging.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/console.h"

namespace platform {

class HeadlessTerminal : public Terminal {
 public:
  explicit HeadlessTerminal(int rows = 25, int cols = 80);

  // Changes the visible size and queues a resize event.
  void SetSize(int rows, int cols);

  // Script. A character key gets the PC scan code of its key.
  void PushKey(uint8_t ch, uint16_t modifiers = 0);
  void PushExtended(uint8_t scan, uint16_t modifiers = 0, bool keypad = false);
  void PushMouse(int row, int col, uint16_t buttons = 1,
                 uint16_t modifiers = 0);
  void PushText(const std::string& cp850);  // one key per byte
  void PushEvent(const InputEvent& ev);
  size_t Pending() const { return script_.size(); }
  // Empty reads allowed once the script is dry before Esc is delivered.
  void SetDryLimit(int reads) { dry_limit_ = reads; }
  int DryEscapes() const { return dry_escapes_; }

  // The last presented screen. Rows and columns are 1-based.
  std::string Text(int row) const;
  std::string ScreenText() const;  // all rows, each ended by "\n"
  Cell CellAt(int row, int col) const;
  int PresentedRows() const { return rows_shown_; }
  int PresentedCols() const { return cols_shown_; }
  int CursorRow() const { return cursor_row_; }
  int CursorCol() const { return cursor_col_; }
  int CursorSizeShown() const { return cursor_size_; }

  int Beeps() const { return beeps_; }
  int Presents() const { return presents_; }
  int Invalidations() const { return invalidations_; }
  int Suspends() const { return suspends_; }
  int Resumes() const { return resumes_; }
  bool MouseReporting() const { return mouse_reporting_; }
  void SetMouseButtonCount(int n) { mouse_buttons_ = n; }
  const std::vector<std::string>& ClipboardSent() const { return clipboard_; }

  void GetSize(int& rows, int& cols) override;
  bool ReadEvent(InputEvent& ev, int timeout_ms) override;
  void Present(const std::vector<Cell>& cells, int rows, int cols,
               int cursor_row, int cursor_col, int cursor_size) override;
  void Invalidate() override { ++invalidations_; }
  void SetMouseReporting(bool on) override { mouse_reporting_ = on; }
  void Beep() override { ++beeps_; }
  void SendClipboard(const std::string& utf8) override {
    clipboard_.push_back(utf8);
  }
  void Suspend() override { ++suspends_; }
  void Resume() override { ++resumes_; }
  int MouseButtonCount() override { return mouse_buttons_; }

 private:
  int rows_;
  int cols_;
  std::deque<InputEvent> script_;
  int dry_limit_ = 100000;
  int dry_reads_ = 0;
  int dry_escapes_ = 0;
  std::vector<Cell> shown_;
  int rows_shown_ = 0;
  int cols_shown_ = 0;
  int cursor_row_ = 0;
  int cursor_col_ = 0;
  int cursor_size_ = 0;
  int beeps_ = 0;
  int presents_ = 0;
  int invalidations_ = 0;
  int suspends_ = 0;
  int resumes_ = 0;
  bool mouse_reporting_ = false;
  int mouse_buttons_ = 2;
  std::vector<std::string> clipboard_;
};

// Starts the console afresh on a new headless terminal and returns it (the
// console owns it).
HeadlessTerminal& InstallHeadless(int rows = 25, int cols = 80);
// The installed terminal when it is a headless one, else nullptr.
HeadlessTerminal* CurrentHeadless();

}  // namespace platform
