// The headless screen of headless_fixture.h with the interface's own state
// reset as well: key input, screen and window stack, the form hooks and the
// form input. Header-only so that only the test programs that include it
// need the ui library.
#pragma once

#include <string>

#include "tests/support/headless_fixture.h"
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

  std::string StackFile() const { return dir().path() + "WinPush.tmp"; }
};

}  // namespace testing_support
