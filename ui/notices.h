// On-screen notices the record-file layer needs and may not draw itself:
// the "file locked, please wait" box, its removal, and the wait for a key
// after the fatal "cannot open" message. The module wires these into the
// store's hooks; the texts are built by the caller.
#pragma once

#include <string>

namespace ui {

// Framed message at the foot of the screen (row 24); stays until
// RemoveNotice.
void ShowLockNotice(const std::string& text);
// Takes the last notice (or any ShowMessage box) off the screen.
void RemoveNotice();
// Drops the keys typed ahead, then waits for one key.
void WaitForAnyKey();

}  // namespace ui
