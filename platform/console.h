// Console services. The screen is an in-memory grid of cells (a code page 850
// character byte and an attribute byte: low nibble foreground, high nibble
// background, the 16 console colours) that a Terminal backend shows. Rows and
// columns are 1-based. Input arrives as PC-style events: a character byte, or
// 0 plus a PC scan code for an extended key, with the modifier state of the
// event. Nothing here throws or stops the program; failures set ErrorNumber().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The standard console. The grid never gets smaller, so that screens laid
// out for it stay whole; a smaller window shows a notice instead.
constexpr int kMinRows = 25;
constexpr int kMinCols = 80;

struct Cell {
  uint8_t ch = ' ';
  uint8_t attr = 0x07;
  bool operator==(const Cell&) const = default;
};

// Modifier bits of an input event, as the PC console reports them.
constexpr uint16_t kRightAlt = 0x01;
constexpr uint16_t kLeftAlt = 0x02;
constexpr uint16_t kRightCtrl = 0x04;
constexpr uint16_t kLeftCtrl = 0x08;
constexpr uint16_t kShift = 0x10;

struct InputEvent {
  // kHangUp: the terminal is gone (hang-up, end of its input); nothing will
  // ever be typed again.
  enum Kind : uint8_t { kNone, kKey, kMouse, kResize, kHangUp };
  Kind kind = kNone;
  uint8_t ch = 0;          // character byte (code page 850); 0 for an extended key
  uint8_t scan = 0;        // PC scan code of an extended key (F1 0x3B, Up 0x48)
  uint16_t modifiers = 0;  // kRightAlt | kLeftAlt | ... of this event
  bool keypad = false;     // the key came from the numeric keypad
  uint16_t buttons = 0;    // mouse press: 1 left, 2 right
  int16_t row = 0;         // mouse press: 1-based screen position
  int16_t col = 0;
};

// The one seam to the terminal. The real backend drives a tty with raw mode
// and xterm sequences; the headless one takes scripted events and keeps the
// last presented grid for tests.
class Terminal {
 public:
  virtual ~Terminal() = default;
  // Visible size of the terminal window.
  virtual void GetSize(int& rows, int& cols) = 0;
  // Waits up to timeout_ms (0: only looks) for one input event.
  virtual bool ReadEvent(InputEvent& ev, int timeout_ms) = 0;
  // Shows the grid (rows x cols, row-major) and the cursor; cursor_size 0
  // hides it. A backend may send only the cells that changed since the last
  // call, unless Invalidate() was called.
  virtual void Present(const std::vector<Cell>& cells, int rows, int cols,
                       int cursor_row, int cursor_col, int cursor_size) = 0;
  virtual void Invalidate() {}
  virtual void SetMouseReporting(bool on) = 0;
  virtual void Beep() = 0;
  // Copies text to the operator's clipboard through the terminal itself
  // (OSC 52); a backend without such a channel ignores it.
  virtual void SendClipboard(const std::string& utf8) { (void)utf8; }
  // Hands the terminal to a child program (normal screen, cooked mode) and
  // takes it back; after Resume the next Present repaints everything.
  virtual void Suspend() {}
  virtual void Resume() {}
  // Number of mouse buttons the terminal can report (0: no mouse).
  virtual int MouseButtonCount() { return 0; }
  // How long the modifiers of the last event count as still held once no
  // further input comes (a terminal reports no key releases); 0: released
  // as soon as a poll finds nothing.
  virtual int ModifierHoldMs() { return 0; }
  // The line shown (with the size) while the window is smaller than the
  // standard console, code page 850; empty: the backend's own text.
  virtual void SetSmallWindowNotice(const std::string& cp850) { (void)cp850; }
  // Drops every input already typed, a sequence or a lone Esc not yet told
  // apart included.
  virtual void DiscardInput() {}
  // The terminal has hung up (its reads report kHangUp from now on).
  virtual bool HungUp() { return false; }
  // Restores the terminal for good (also done by the destructor).
  virtual void Shutdown() {}
};

// Installs the backend used by every operation below (tests install a
// headless one). Without one, a headless 25 x 80 backend is used.
void InstallTerminal(std::unique_ptr<Terminal> terminal);
Terminal& CurrentTerminal();
// Restores the terminal (alternate screen off, cooked mode); safe to call
// more than once and from a signal-free exit path.
void ShutdownTerminal();

// What a hang-up of the terminal (or the end of its input) does: the
// program's orderly end, which does not come back. Without one, or when it
// comes back, every read after the hang-up gives Esc.
void SetHangUpHandler(std::function<void()> handler);
// Ends the program through the hang-up handler when the terminal has hung
// up; loops that wait without reading keys call it.
void CheckHangUp();

// The notice line of a window smaller than the standard console, in the
// session's language (code page 850); kept for terminals installed later.
void SetSmallWindowNotice(const std::string& cp850);

// Size of the screen grid (the terminal's visible size).
int ConsoleRows();
int ConsoleCols();

// Cursor, 1-based. A coordinate outside the screen leaves that coordinate
// unchanged.
void GetCursor(int& row, int& col);
void SetCursor(int row, int col);
// 0 hides the cursor, otherwise a percentage of the cell.
void SetCursorSize(int percent);
int CursorSize();

// Writes code page 850 text at the cursor in the current colours; the cursor
// advances and wraps at the end of a row; writing stops at the last cell.
// Control bytes are not obeyed: they land in cells like any other byte.
void WriteText(const std::string& text);
Cell ReadCell(int row, int col);
// Foreground and background 0-15; a value of 16 or more keeps the current one.
void SetTextColours(int fg, int bg);
uint8_t CurrentAttribute();
// Moves the contents of the rectangle (1-based, inclusive) up by n lines
// (down for negative n); freed lines are blank in the current colours.
void ScrollRect(int top, int left, int bottom, int right, int n);

// Sends the grid to the terminal (only what changed). Polling for input does
// this too, so the screen is current whenever the program waits.
void Refresh();

// Input. PollKey never waits; key releases and lone modifiers never appear,
// nor mouse presses while reporting is off. A change of the window size is
// dealt with here (the grid follows it, at least 25 x 80, and is repainted)
// and is not handed out.
bool PollKey(InputEvent& ev);
// Waits up to timeout_ms for an event (so waiting loops need not spin).
bool WaitEvent(InputEvent& ev, int timeout_ms);
// Drops everything typed so far, even an Esc the terminal has not yet told
// apart from the start of a key sequence.
void DiscardInput();
// Modifier state of the last input event.
uint16_t ModifierState();
// The Insert toggle; nothing here flips it, the editor does on Insert.
bool InsertToggle();
void SetInsertToggle(bool on);

// Mouse: number of buttons (0 when the terminal reports none), reporting of
// presses on or off, position of the last press.
int MouseButtons();
void SetMouseReporting(bool on);
void MousePosition(int& row, int& col);

// Clipboard, code page 850 text.
std::string ClipboardGet();
void ClipboardSet(const std::string& text);

void Beep();

// Code page 850 <-> UTF-8, for the borders of the program.
std::string Cp850ToUtf8(const std::string& text);
// Characters without a code page 850 form become '?' unless ok is given, in
// which case ok is set to false and they are still replaced.
std::string Utf8ToCp850(const std::string& text, bool* ok = nullptr);
// Unicode code point of one code page 850 byte, and the reverse (-1: none).
// Bytes below 32 and 127 stay control characters here.
char32_t Cp850ToUnicode(uint8_t byte);
int UnicodeToCp850(char32_t cp);
// What a screen cell of this byte shows: as Cp850ToUnicode, except that the
// control bytes show their PC glyphs (0x10 is the right-pointing triangle,
// 0x11 the left-pointing one) and the soft hyphen a plain hyphen, so that no
// cell ever sends a control character or a zero-width one to the terminal.
char32_t Cp850Glyph(uint8_t byte);
// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t cp);

// Process-wide console state, one struct so that tests can reset it.
struct Console {
  std::unique_ptr<Terminal> terminal;
  std::vector<Cell> cells;
  int rows = 0;
  int cols = 0;
  int cursor_row = 1;
  int cursor_col = 1;
  int cursor_size = 25;
  uint8_t attr = 0x07;
  uint16_t modifiers = 0;
  bool insert = true;
  bool mouse_on = false;
  int mouse_row = 0;
  int mouse_col = 0;
  std::string clipboard;  // kept in the program when no system tool works
  int64_t last_event_ms = 0;  // monotonic time of the last input event
  std::function<void()> hang_up;
  std::string small_window_notice;
};
Console& ConsoleState();
// Drops the backend and the grid; the next operation starts afresh.
void ResetConsoleState();

}  // namespace platform
