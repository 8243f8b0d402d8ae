#include "app/config/paths.h"

#include <gtest/gtest.h>

#include "app/config/settings.h"
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;

TEST(PathsTest, CompletionRule) {
  EXPECT_EQ(config::CompleteDirectory("C:\\TMP"), "C:\\TMP\\");
  EXPECT_EQ(config::CompleteDirectory("C:\\TMP\\"), "C:\\TMP\\");
  EXPECT_EQ(config::CompleteDirectory("C:"), "C:");
  EXPECT_EQ(config::CompleteDirectory("/srv/kel/tmp/"), "/srv/kel/tmp/");
  EXPECT_EQ(config::CompleteDirectory(""), "");
}

class PathsSetUp : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    config::ResetSettingsState();
  }
  TempDir dir;
  ScopedEnv no_agent{"HTTP_USER_AGENT", ""};
  ScopedEnv no_accept{"HTTP_ACCEPT", ""};
  ScopedEnv no_windir{"WINDIR", ""};
  ScopedEnv no_root{"SYSTEMROOT", ""};
};

TEST_F(PathsSetUp, TemporaryFolderFallsBackToTerminalFolder) {
  // With KELTMP empty the session file is read from the current folder;
  // point the current folder at our temporary one for that.
  std::string here = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path());
  dir.Write("Sessio.ini", "[Terminal]\r\nDir=" + dir.path() + "term1\r\n");
  ScopedEnv tmp("KELTMP", "");
  ScopedEnv exe("KELEXE", "/opt/kel/bin/");
  ScopedEnv root("KELROOT", "/srv/kel");
  config::SetUpPaths();
  std::filesystem::current_path(here);
  const config::Paths& p = config::PathsState();
  EXPECT_EQ(p.term_dir, dir.path() + "term1\\");
  EXPECT_EQ(p.temp_dir, p.term_dir);
  EXPECT_EQ(p.exe_dir, "/opt/kel/bin/");
  EXPECT_EQ(p.root, "/srv/kel");  // used as it stands: no separator inserted
  EXPECT_EQ(config::MainSettingsFile(), "/srv/kelTavo.ini");
}

TEST_F(PathsSetUp, TermCountsOnlyWhenItIsAFolder) {
  ScopedEnv tmp("KELTMP", dir.path());
  ScopedEnv term("TERM", dir.path() + "t");
  dir.Write("t/x", "");
  config::SetUpPaths();
  EXPECT_EQ(config::PathsState().term_dir, dir.path() + "t\\");

  config::ResetPathsState();
  ScopedEnv term2("TERM", "xterm-256color");
  config::SetUpPaths();
  EXPECT_EQ(config::PathsState().term_dir, "");
}

TEST_F(PathsSetUp, EnvironmentKind) {
  ScopedEnv tmp("KELTMP", dir.path());
  {
    ScopedEnv accept("HTTP_ACCEPT", "text/html");
    ScopedEnv windir("WINDIR", "C:\\WINDOWS");
    config::SetUpPaths();
    EXPECT_EQ(config::PathsState().env_kind, "CGI");
  }
  {
    ScopedEnv windir("SYSTEMROOT", "C:\\WINDOWS");
    config::SetUpPaths();
    EXPECT_EQ(config::PathsState().env_kind, "WIN");
  }
  config::SetUpPaths();
  EXPECT_EQ(config::PathsState().env_kind, "DOS");
}

}  // namespace
