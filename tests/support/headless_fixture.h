// A headless screen for tests that read the screen back: a fresh 25 x 80
// (or given size) terminal, the paths, settings, form table and values
// state reset, and the temporary directory pointed at a folder of the
// test's own. Keys are scripted as the program
// sees them; cells are read back as code page 850. Needs only the platform,
// config and values libraries; UiTest (ui_fixture.h) adds the interface's
// own state. Header-only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "app/config/form_table.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/console.h"
#include "platform/headless.h"
#include "tests/support/temp_dir.h"
#include "values/values_state.h"

namespace testing_support {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(25, 80); }

  void TearDown() override {
    ResetState();
    platform::ResetConsoleState();
  }

  // Starts again on a terminal of another size.
  void Start(int rows, int cols) {
    term_ = &platform::InstallHeadless(rows, cols);
    // A script that runs dry ends waiting loops soon with Esc.
    term_->SetDryLimit(200);
    ResetState();
    config::PathsState().temp_dir = dir_.path();
  }

  // The process-wide state of the layers the test uses, as at start-up.
  virtual void ResetState() {
    config::ResetPathsState();
    config::ResetSettingsState();
    config::ResetFormTableState();
    values::ResetValuesState();
  }

  // Queues key codes as the key input gives them: a character as its byte,
  // an extended key as its scan code times 256 (0x5000 is Down).
  void Keys(std::initializer_list<int16_t> keys) {
    for (int16_t k : keys) {
      if (k > 0 && k < 256) {
        term_->PushKey(static_cast<uint8_t>(k));
      } else {
        term_->PushExtended(static_cast<uint8_t>((k >> 8) & 0xFF));
      }
    }
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

  platform::HeadlessTerminal& term() { return *term_; }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  platform::HeadlessTerminal* term_ = nullptr;
};

}  // namespace testing_support
