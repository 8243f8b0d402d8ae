// What the program says when it cannot start: in the session's language.

#include "app/main_flow.h"

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "tests/support/ui_fixture.h"

namespace {

using testing_support::ScopedEnv;

class StartUpTest : public testing_support::UiTest {
 protected:
  void ResetState() override {
    app::ResetAppState();
    UiTest::ResetState();
  }
  // The standard error of a run that must fail.
  static std::string Failure() {
    testing::internal::CaptureStderr();
    EXPECT_EQ(app::RunOnTerminal(), app::kExitStartUpFailure);
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(StartUpTest, FailuresAreSaidInTheSessionLanguage) {
  testing_support::ScopedCurrentDir keep(dir().path());
  ScopedEnv tmp("KELTMP", dir().path());
  dir().Write("TavoTerm.ini", "[Sistema]\r\nIdioma=SPA\r\n");
  {
    ScopedEnv root("KELROOT", dir().path() + "gone/");
    EXPECT_EQ(Failure(), "RBPNDLST: NO SE PUEDE ENTRAR EN LA CARPETA DE INSTALACI\xC3\x93N " +
                             dir().path() + "gone/\n");
  }
  dir().Write("root/Tavo.ini", "");
  ScopedEnv root("KELROOT", dir().path() + "root/");
  EXPECT_EQ(Failure(), "RBPNDLST: " + dir().path() +
                           "root/FORMS\\RBPNDLST.KPN: NO SE PUEDE ABRIR EL FICHERO DE FORMULARIOS\n");
}

}  // namespace
