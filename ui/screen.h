// The screen model shared by every interactive part: the colour pairs chosen
// by letter codes (with a stack for pop-ups), the stack of saved windows kept
// in the work file "WinPush.tmp", window-relative drawing and the framed
// message box. Rows and columns are 1-based screen coordinates unless a
// function says otherwise. All text is code page 850. Nothing here reports
// an error: a refused request changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ui {

// Visible size of the terminal at the time of the call.
int16_t ScreenRows();
int16_t ScreenCols();

// The five colour pairs (foreground, background) of the terminal settings.
const std::array<std::pair<int16_t, int16_t>, 5>& ColourTable();

// Selects a colour pair by code: "U" index 4, else 2 for "R" plus 1 for "N".
// "+" saves the pair in force first, "-" takes the saved one back (index 0
// when none is saved). Case-insensitive; a blank code changes nothing.
void SetColour(const std::string& code);

// Window stack. WinPush saves the rectangle (frame included) with its
// characters, colours and the cursor, and makes it the current window; the
// screen itself is left alone. A rectangle partly off the screen is refused.
// WinPop repaints the top saved rectangle, puts the cursor back and makes the
// enclosing window current again; the work file goes when the stack empties.
// Pushes and pops must nest strictly. A run starts with an empty stack,
// whatever an earlier run left in the file. The file is used only when it is
// a regular file of the operator; when it is not, or cannot be written, the
// window is kept in memory instead (it still opens and closes as it should)
// and the operator is told so, once per run.
void WinPush(int16_t r1, int16_t c1, int16_t r2, int16_t c2);
void WinPop();
// Path of the stack file in the temporary directory.
std::string WinStackFile();
// The notice, in the session's language, that a work file under that name
// is not the operator's own regular file (a link, a pipe, someone else's).
std::string WorkFileNotOursText(const std::string& os_path);

// Frame style 0 blank, 1 single, 2 double, in the current colour; the
// interior is blanked. Nothing while no window is open.
void WinFrame(int16_t style);
// Cursor to (row, col) relative to the current window's frame, so (1, 1) is
// the first interior cell; screen coordinates while no window is open.
void WinLocate(int16_t row, int16_t col);
// Interior bounds of the current window; 1, 1, ScreenCols with none open.
int16_t WinFirstRow();
int16_t WinFirstCol();
int16_t WinLastCol();

// Scrolls a rectangle given in 0-based coordinates (inclusive) up n lines,
// down for negative n; freed lines are blank in the current colour.
void WinScroll(int16_t top, int16_t left, int16_t bottom, int16_t right,
               int16_t n);

// Draws the text as a framed box centred on column 41 around the given row
// (row 12 for "cannot open", row 24 for "please wait"). The box is pushed on
// the window stack, always exactly once, so the caller's WinPop removes it.
void ShowMessage(int16_t row, const std::string& text);

// Blanks the whole screen in the current colour; cursor to 1, 1.
void ClearScreen();

// Process-wide screen state.
struct Screen {
  int16_t current_colour = 0;  // index into ColourTable
  std::string colour_stack;    // one byte per saved index, top last
  int16_t win_depth = 0;
  int16_t win_top = 0, win_left = 0, win_bottom = 0, win_right = 0;
  // Windows the stack file could not take: the depth each was pushed at
  // and its record, oldest first.
  std::vector<std::pair<int16_t, std::string>> held_windows;
  bool told_stack_file = false;  // the operator has been told once
};
Screen& ScreenState();
// Back to the start state; the stack file is left alone.
void ResetScreenState();

}  // namespace ui
