// The real terminal: a tty driven with xterm sequences. While it runs the tty
// is in raw mode (no echo, no line editing, Ctrl+C, Ctrl+S and Ctrl+Q arrive
// as characters) on the alternate screen; only the cells that changed since
// the last Present are sent, as UTF-8. Keys and mouse presses are decoded by
// the key decoder. Interrupt and quit signals do not end the program; a
// hang-up (the signal, or the end of the tty's input) becomes a hang-up
// event; a window resize becomes a resize event. A stop gives the tty back
// to the shell, and a continue takes it again and repaints everything (a
// resize event). The terminal is restored on every way out: Shutdown, the
// destructor, exit(), and fatal signals (which are then raised again with
// their default action). Only one such terminal can be active in a process.
#pragma once

#include <termios.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/key_decoder.h"

namespace platform {

class TtyTerminal : public Terminal {
 public:
  struct Options {
    bool handle_signals = true;  // tests over a pseudo-terminal may say no
    bool alternate_screen = true;
    bool close_fd = false;  // in_fd (also out_fd) is the terminal's to close
  };
  TtyTerminal(int in_fd, int out_fd, Options options);
  TtyTerminal(int in_fd, int out_fd) : TtyTerminal(in_fd, out_fd, Options()) {}
  ~TtyTerminal() override;
  TtyTerminal(const TtyTerminal&) = delete;
  TtyTerminal& operator=(const TtyTerminal&) = delete;

  // Raw mode, alternate screen, signals. False when in_fd is not a tty.
  bool Start();

  void GetSize(int& rows, int& cols) override;
  bool ReadEvent(InputEvent& ev, int timeout_ms) override;
  void Present(const std::vector<Cell>& cells, int rows, int cols,
               int cursor_row, int cursor_col, int cursor_size) override;
  void Invalidate() override { full_repaint_ = true; }
  void SetMouseReporting(bool on) override { mouse_wanted_ = on; }
  void Beep() override;
  void SendClipboard(const std::string& utf8) override;
  void Suspend() override;
  void Resume() override;
  int MouseButtonCount() override;
  int ModifierHoldMs() override { return 1000; }
  void SetSmallWindowNotice(const std::string& cp850) override {
    notice_line_ = cp850;
    notice_shown_ = false;  // shown again in the new words
  }
  bool HungUp() override;
  void DiscardInput() override;
  void Shutdown() override;

 private:
  void Send(const std::string& bytes);
  void ApplyMouse(std::string& out);
  void ShowNotice(std::string& out, int rows, int cols);
  bool EnterRaw();
  // Raw mode and the alternate screen once more, after the tty was given
  // away; everything is sent anew at the next Present.
  void TakeScreen();
  // After a stop (or anyone else's use of the tty meanwhile): raw mode and
  // the alternate screen again, everything sent anew. True when it did.
  bool TakeBackAfterStop();

  int in_fd_;
  int out_fd_;
  Options options_;
  bool started_ = false;
  bool suspended_ = false;
  bool hung_up_ = false;
  struct termios saved_ {};
  KeyDecoderState decoder_;
  int64_t last_byte_ms_ = 0;
  std::deque<InputEvent> queue_;
  std::vector<Cell> last_;
  int last_rows_ = 0;
  int last_cols_ = 0;
  bool full_repaint_ = true;
  bool notice_shown_ = false;
  std::string notice_line_;
  int notice_rows_ = 0;
  int notice_cols_ = 0;
  bool mouse_wanted_ = false;
  bool mouse_sent_ = false;
  bool cursor_visible_ = true;
  bool cursor_placed_ = false;  // the tty's cursor stands at cursor_row_/col_
  int cursor_shape_ = -1;
  int cursor_row_ = 0;
  int cursor_col_ = 0;
};

// A started terminal on the standard input and output (the standard error
// when the output is redirected), or nullptr when there is no tty.
std::unique_ptr<Terminal> MakeTtyTerminal();
// A started terminal on the controlling terminal ("/dev/tty"), whatever the
// standard streams are: a program whose output another program collects
// can still show a screen. nullptr when the process has none.
std::unique_ptr<Terminal> MakeControllingTtyTerminal();

// Base64 of a byte string (the clipboard channel carries it).
std::string Base64(const std::string& bytes);

}  // namespace platform
