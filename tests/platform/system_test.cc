#include "platform/system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/headless.h"

namespace platform {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroup) {
  EXPECT_EQ(SplitCommandLine("KELPRINT  kelprint.tmp\tX"),
            (Args{"KELPRINT", "kelprint.tmp", "X"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\KEL\\KELPRINT\" \"a b\"c"),
            (Args{"C:\\Program Files\\KEL\\KELPRINT", "a bc"}));
  EXPECT_EQ(SplitCommandLine("prog \"\" end"), (Args{"prog", "", "end"}));
  EXPECT_EQ(SplitCommandLine("   "), Args{});
  EXPECT_EQ(SplitCommandLine("x \"unclosed quote"), (Args{"x", "unclosed quote"}));
  EXPECT_EQ(SplitCommandLine("dir\\ file"), (Args{"dir\\", "file"}));
}

TEST(System, ClockAndSleepCanBeReplaced) {
  ResetSystemState();
  LocalTime real = Now();
  EXPECT_GE(real.year, 2024);
  EXPECT_GE(real.month, 1);
  EXPECT_LE(real.month, 12);
  EXPECT_LE(real.millisecond, 999);
  SetClock([] {
    LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 7;
    return t;
  });
  EXPECT_EQ(Now().day, 7);
  int slept = 0;
  SetSleep([&](int ms) { slept += ms; });
  SleepMs(3000);
  EXPECT_EQ(slept, 3000);
  SetClock(nullptr);
  SetSleep(nullptr);
  EXPECT_GE(Now().year, 2024);
  auto t0 = std::chrono::steady_clock::now();
  SleepMs(20);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(19));
  SleepMs(-5);  // nothing to wait
}

TEST(System, EnvironmentAndExecutableDirectory) {
  setenv("KEL_TEST_VALUE", "C:\\KEL", 1);
  EXPECT_EQ(GetEnv("KEL_TEST_VALUE"), "C:\\KEL");
  unsetenv("KEL_TEST_VALUE");
  EXPECT_EQ(GetEnv("KEL_TEST_VALUE"), "");
  EXPECT_EQ(GetEnv(""), "");
  std::string dir = ExecutableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(FileExists(dir + "kel_platform_tests"));
}

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    term_ = &InstallHeadless();
    char tmpl[] = "/tmp/kel_run_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    ResetConsoleState();
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string Script(const std::string& name, const std::string& body) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
  }
  HeadlessTerminal* term_ = nullptr;
  std::string dir_;
};

TEST_F(RunTest, RunsWithoutAShellAndHandsTheTerminalOver) {
  EXPECT_EQ(RunCommand("/bin/true"), 0);
  EXPECT_EQ(RunCommand("/bin/false"), 1);
  EXPECT_EQ(term_->Suspends(), 2);
  EXPECT_EQ(term_->Resumes(), 2);
  EXPECT_GE(term_->Invalidations(), 2);
  const int presents = term_->Presents();
  EXPECT_EQ(RunCommand("true"), 0);  // no slash: found in PATH
  EXPECT_GT(term_->Presents(), presents);  // repainted afterwards
}

TEST_F(RunTest, ArgumentsArriveWholeAndNothingIsInterpretedByAShell) {
  std::string out = dir_ + "/args";
  std::string prog = Script("echoargs", "for a in \"$@\"; do echo \"[$a]\"; done > " + out);
  EXPECT_EQ(RunCommand(prog + " \"two words\" ';' '$HOME' \"\""), 0);
  std::string s;
  ASSERT_TRUE(ReadWholeFile(out, s));
  EXPECT_EQ(s, "[two words]\n[';']\n['$HOME']\n[]\n");
}

TEST_F(RunTest, ExitStatusOfTheChild) {
  EXPECT_EQ(RunCommand(Script("seven", "exit 7")), 7);
  EXPECT_EQ(RunCommand(Script("killed", "kill -9 $$")), 128 + 9);
}

TEST_F(RunTest, MissingProgramReportsMinusOne) {
  ErrorNumber() = 0;
  EXPECT_EQ(RunCommand(dir_ + "\\no_such_program"), -1);
  EXPECT_EQ(ErrorNumber(), ENOENT);
  EXPECT_EQ(RunCommand("kel_no_such_program_anywhere"), -1);
  EXPECT_EQ(RunCommand(""), -1);
  EXPECT_EQ(term_->Suspends(), term_->Resumes());  // never left suspended
}

TEST_F(RunTest, CapturedRunFeedsInputAndCollectsOutput) {
  std::string out;
  EXPECT_EQ(RunCaptured({"/bin/cat"}, "l\xC3\xADnia\n", &out, 2000), 0);
  EXPECT_EQ(out, "l\xC3\xADnia\n");
  std::string big(300000, 'x');  // more than a pipe holds
  EXPECT_EQ(RunCaptured({"cat"}, big, &out, 5000), 0);
  EXPECT_EQ(out.size(), big.size());
  EXPECT_EQ(RunCaptured({"/bin/true"}, big, nullptr, 2000), 0);  // unread input
  EXPECT_EQ(RunCaptured({"kel_missing_tool"}, "", &out, 2000), -1);
}

TEST_F(RunTest, CapturedRunCanCollectTheErrorStreamWithoutATimeLimit) {
  const std::string talk = Script("talk", "echo out; echo err >&2; sleep 0.3; exit 3");
  std::string said;
  EXPECT_EQ(RunCaptured({talk}, "", &said, kNoTimeLimit, Captured::kStandardError), 3);
  EXPECT_EQ(said, "err\n");
  EXPECT_EQ(RunCaptured({Script("killed", "kill -9 $$")}, "", &said, kNoTimeLimit),
            kSignalledStatus + 9);
  std::string flood;  // a child that talks without end cannot fill memory
  EXPECT_EQ(RunCaptured({"head", "-c", "3000000", "/dev/zero"}, "", &flood, kNoTimeLimit), 0);
  EXPECT_EQ(flood.size(), size_t{1} << 20);
}

TEST_F(RunTest, CapturedRunKillsAChildThatHangs) {
  auto t0 = std::chrono::steady_clock::now();
  std::string out;
  EXPECT_EQ(RunCaptured({Script("hang", "exec sleep 30")}, "", &out, 200), -1);
  EXPECT_EQ(ErrorNumber(), ETIMEDOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
}

TEST_F(RunTest, ClipboardGoesThroughTheDesktopTool) {
  // Stand-ins for xsel: one stores what it is given, one prints it back.
  std::string store = dir_ + "/clip";
  Script("xsel",
         "if [ \"$2\" = --input ]; then cat > " + store + "; else cat " + store + "; fi");
  const std::string path = GetEnv("PATH");
  const std::string display = GetEnv("DISPLAY");
  const std::string wayland = GetEnv("WAYLAND_DISPLAY");
  setenv("PATH", (dir_ + ":" + path).c_str(), 1);
  setenv("DISPLAY", ":99", 1);
  unsetenv("WAYLAND_DISPLAY");
  ClipboardSet("Ca\x87" "a");
  std::string stored;
  EXPECT_TRUE(ReadWholeFile(store, stored));
  EXPECT_EQ(stored, "Ca\xC3\xA7" "a");
  std::ofstream(store) << "de fora \xE2\x82\xAC";
  EXPECT_EQ(ClipboardGet(), "de fora \xD5");
  setenv("PATH", path.c_str(), 1);
  if (display.empty()) unsetenv("DISPLAY"); else setenv("DISPLAY", display.c_str(), 1);
  if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
}

}  // namespace
}  // namespace platform
