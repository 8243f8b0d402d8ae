// The pop-up calculator behind Alt+X: an adding machine 26 columns wide over
// rows 1-25, with a paper tape of the last 22 lines above the entry line. It
// can be slid left and right with the arrow keys. "F" (or Alt+F) hands the
// result back as the amount in hundredths, the way a money field is typed;
// Esc hands back nothing. Its whole state (position, tape, total, pending
// operation, a number half typed) is kept in "KELCALC.TMP" between uses and
// between runs.
#pragma once

#include <string>

namespace ui {

// The digits to be typed into the field ("4200" for 42), or "".
std::string Calculator();

// Where the state is kept: the terminal directory, else the session's
// temporary directory; "" when there is neither, and then nothing is kept
// (the current directory is the installation root all operators share).
std::string CalculatorStateFile();

}  // namespace ui
