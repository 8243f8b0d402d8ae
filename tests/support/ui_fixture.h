// A headless screen for interface tests: a fresh 25 x 80 (or given size)
// terminal, the screen, key and values state reset, the default colour
// table, and the temporary directory (where "WinPush.tmp" lives) pointed at
// a folder of the test's own. Header-only so that only the test programs
// that include it need the ui library.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "tests/support/temp_dir.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "values/values_state.h"

namespace testing_support {

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(25, 80); }

  void TearDown() override {
    ui::ResetKeyInputState();
    ui::ResetScreenState();
    platform::ResetConsoleState();
    config::ResetPathsState();
    config::ResetSettingsState();
    values::ResetValuesState();
  }

  // Starts again on a terminal of another size.
  void Start(int rows, int cols) {
    term_ = &platform::InstallHeadless(rows, cols);
    // A script that runs dry ends waiting loops soon with Esc.
    term_->SetDryLimit(200);
    ui::ResetKeyInputState();
    ui::ResetScreenState();
    config::ResetPathsState();
    config::ResetSettingsState();
    values::ResetValuesState();
    config::PathsState().temp_dir = dir_.path();
  }

  // Code page 850 bytes of the grid from (row, col), n cells.
  static std::string ScreenAt(int row, int col, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
      out.push_back(static_cast<char>(platform::ReadCell(row, col + i).ch));
    }
    return out;
  }

  static uint8_t AttrAt(int row, int col) { return platform::ReadCell(row, col).attr; }

  static std::pair<int, int> Cursor() {
    int r = 0, c = 0;
    platform::GetCursor(r, c);
    return {r, c};
  }

  std::string StackFile() const { return dir_.path() + "WinPush.tmp"; }

  platform::HeadlessTerminal& term() { return *term_; }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  platform::HeadlessTerminal* term_ = nullptr;
};

}  // namespace testing_support
