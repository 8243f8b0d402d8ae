// The start of the program: what it says when it cannot start.

#include "app/main_flow.h"

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "tests/support/ui_fixture.h"

namespace {

using testing_support::ScopedCurrentDir;
using testing_support::ScopedEnv;

class StartUpTest : public testing_support::UiTest {
 protected:
  void ResetState() override {
    app::ResetAppState();
    UiTest::ResetState();
  }
  // What the program wrote on its standard error, and its exit code.
  std::string Run(int& code) {
    testing::internal::CaptureStderr();
    code = app::RunOnTerminal();
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(StartUpTest, FailuresAreSaidInTheSessionLanguage) {
  ScopedCurrentDir keep(dir().path());
  ScopedEnv tmp("KELTMP", dir().path());
  dir().Write("TavoTerm.ini", "[Sistema]\r\nIdioma=SPA\r\n");
  int code = 0;
  {
    ScopedEnv root("KELROOT", dir().path() + "gone/");
    EXPECT_EQ(Run(code), "RBPNDLST: NO SE PUEDE ENTRAR EN LA CARPETA DE INSTALACI\xC3\x93N " +
                             dir().path() + "gone/\n");
    EXPECT_EQ(code, app::kExitStartUpFailure);
  }
  dir().Write("root/Tavo.ini", "");
  ScopedEnv root("KELROOT", dir().path() + "root/");
  EXPECT_EQ(Run(code), "RBPNDLST: " + dir().path() +
                           "root/FORMS\\RBPNDLST.KPN: NO SE PUEDE ABRIR EL FICHERO DE FORMULARIOS\n");
  EXPECT_EQ(code, app::kExitStartUpFailure);
}

}  // namespace
