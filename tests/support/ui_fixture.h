// The headless screen of headless_fixture.h with the interface's own state
// reset as well: key input, screen and window stack, the form hooks and the
// form input. Header-only so that only the test programs that include it
// need the ui library.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/headless_fixture.h"
#include "ui/field_editor.h"
#include "ui/form_hooks.h"
#include "ui/form_input.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace testing_support {

class UiTest : public HeadlessTest {
 protected:
  void ResetState() override {
    ui::ResetKeyInputState();
    ui::ResetScreenState();
    ui::ResetFormHooksState();
    ui::ResetFormInputState();
    HeadlessTest::ResetState();
  }

  // Paints every cell with a character and a colour that depend on its
  // place, so that any cell a pop-up puts back wrongly shows.
  static void PaintPattern() {
    for (int r = 1; r <= platform::ConsoleRows(); ++r) {
      for (int c = 1; c <= platform::ConsoleCols(); ++c) {
        platform::SetTextColours((r + c) % 16, (r * 3 + c) % 16);
        platform::SetCursor(r, c);
        platform::WriteText(std::string(1, static_cast<char>('!' + (r * 7 + c) % 90)));
      }
    }
  }

  static std::vector<platform::Cell> Snapshot() {
    std::vector<platform::Cell> cells;
    for (int r = 1; r <= platform::ConsoleRows(); ++r) {
      for (int c = 1; c <= platform::ConsoleCols(); ++c) cells.push_back(platform::ReadCell(r, c));
    }
    return cells;
  }

  // Edits a blank field of length characters as a form does (its table of
  // exit keys Enter and Esc set, a copy saved), on the keys scripted before.
  // Returns the text; key is the key that ended the editing.
  static std::string EditAsForm(size_t length, int16_t& key) {
    ui::KeyMap("+ea", "d,1b");
    int16_t row = 5, col = 10, width = 0, position = 1;
    std::string text(length, ' ');
    ui::EditField(row, col, width, text, position, key);
    return text;
  }

  std::string StackFile() const { return dir().path() + "WinPush.tmp"; }
};

}  // namespace testing_support
