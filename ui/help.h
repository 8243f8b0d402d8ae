// The help of a topic (F1 in a form). Under the environment kind "WIN" the
// suite's HTML viewer HLPVUE is run through the command processor named by
// COMSPEC and waited for; otherwise a built-in viewer pages through the text
// help file "AJUDA\<topic>.HLP" (relative to the current directory) in a
// double-line window on rows 4 to ScreenRows - 3.
//
// A text help file is a sequence of fixed records of 80 code page 850 bytes,
// one per line, whatever the width of the terminal; the line count is the
// file length divided by 80, rounded to the nearest whole number. Three
// control bytes inside a line switch colours and are not shown; at most 76
// other bytes of a line are shown.
#pragma once

#include <string>

namespace ui {

constexpr int kHelpRecordBytes = 80;
constexpr int kHelpShownChars = 76;
// Colour toggles inside a record: highlight ("h"/"n", ignored while
// underlining), underline ("u"/"n") and reverse video ("r"/"n").
constexpr char kHelpHighlight = '\x1E';
constexpr char kHelpUnderline = '\x1F';
constexpr char kHelpReverse = '\x10';
// Lines read from one help file at most; the rest of a larger file is left.
constexpr int kHelpMaxLines = 10000;

// The general help of the suite, offered with F1 inside the viewer.
inline constexpr char kGeneralHelpTopic[] = "QOPSHELL";

// Shows the help of topic (no trailing blanks) and returns when the operator
// closes it (Esc in the viewer). The screen, the cursor and the colours are
// as before. A missing help file is created empty where its folder allows
// it; one that cannot be read shows an empty viewer. A topic holding a path
// separator, ":" or a control byte names no file.
void ShowHelp(const std::string& topic);

}  // namespace ui
