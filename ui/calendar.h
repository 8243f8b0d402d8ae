// The pop-up calendar behind Alt+C. It shows a calendar quarter, three
// months one under the other, in a single-framed window at rows 1-24 and
// columns 59-80, with the year in the top frame line, and starts on the work
// date (today when the work date names no real month). The cursor keys move
// the highlighted day and carry it into the next or previous quarter and
// year; PgUp/PgDn move three months, Home/End to January/December of the
// year shown. "F", "f" or Alt+F picks the day, Esc cancels. Nothing survives
// between openings.
#pragma once

#include <string>

namespace ui {

// The picked day as FormatDate mode 0 "dma" ("7/12/2026 " with the default
// settings), or "" when the operator cancels. The screen under the window,
// the colours, the cursor and the field editor's exit keys come back as
// they were.
std::string Calendar();

}  // namespace ui
