#include "platform/tty_terminal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/pseudo_terminal.h"

namespace platform {
namespace {

// A pseudo-terminal: the program side (slave) and the operator side (master).
class TtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    slave_ = pty_.slave;
  }
  void TearDown() override { term_.reset(); }
  void SetSize(int rows, int cols) { pty_.SetSize(rows, cols); }
  void Start(bool signals = false) {
    TtyTerminal::Options opt;
    opt.handle_signals = signals;
    term_ = std::make_unique<TtyTerminal>(slave_, slave_, opt);
    ASSERT_TRUE(term_->Start());
  }
  // Everything the program has sent so far.
  std::string Output() { return pty_.Output(); }
  void Type(const std::string& bytes) { ASSERT_TRUE(pty_.Type(bytes)); }
  void Present(const std::vector<Cell>& grid, int row = 1, int col = 1, int size = 0) {
    term_->Present(grid, 25, 80, row, col, size);
  }
  testing_support::PseudoTerminal pty_;
  int slave_ = -1;
  std::unique_ptr<TtyTerminal> term_;
};

std::vector<Cell> Blank() { return std::vector<Cell>(25 * 80, Cell()); }

bool Contains(const std::string& hay, const std::string& needle) {
  return hay.find(needle) != std::string::npos;
}

TEST_F(TtyTest, StartEntersRawModeAndShutdownRestoresTheSettings) {
  struct termios before {};
  ASSERT_EQ(tcgetattr(slave_, &before), 0);
  ASSERT_TRUE(before.c_lflag & ECHO);
  Start();
  struct termios raw {};
  ASSERT_EQ(tcgetattr(slave_, &raw), 0);
  EXPECT_FALSE(raw.c_lflag & (ECHO | ICANON | ISIG));
  EXPECT_FALSE(raw.c_iflag & (IXON | ICRNL));
  std::string out = Output();
  EXPECT_TRUE(Contains(out, "\x1b[?1049h"));  // alternate screen
  EXPECT_TRUE(Contains(out, "\x1b[?25l"));    // cursor hidden
  term_->Shutdown();
  struct termios after {};
  ASSERT_EQ(tcgetattr(slave_, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  out = Output();
  EXPECT_TRUE(Contains(out, "\x1b[?1049l"));
  EXPECT_TRUE(Contains(out, "\x1b[?25h"));
  term_->Shutdown();  // twice is harmless
  EXPECT_EQ(Output(), "");
}

TEST_F(TtyTest, DestructorRestoresToo) {
  struct termios before {};
  ASSERT_EQ(tcgetattr(slave_, &before), 0);
  Start();
  term_.reset();
  struct termios after {};
  ASSERT_EQ(tcgetattr(slave_, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
}

TEST_F(TtyTest, FirstPresentPaintsAllThenOnlyChangedCellsAreSent) {
  Start();
  Output();
  std::vector<Cell> grid = Blank();
  grid[0] = Cell{'A', 0x1E};                 // yellow on blue
  grid[1] = Cell{0xB7, 0x1E};                // À
  grid[24 * 80 + 79] = Cell{0xC4, 0x4F};     // ─ white on red, last cell
  Present(grid);
  std::string first = Output();
  EXPECT_TRUE(Contains(first, "\x1b[2J"));
  EXPECT_TRUE(Contains(first, "\x1b[1;1H\x1b[0;93;44mA\xC3\x80"));
  EXPECT_TRUE(Contains(first, "\x1b[0;97;41m\xE2\x94\x80"));
  EXPECT_GT(first.size(), 2000u);  // every cell

  Present(grid);
  EXPECT_EQ(Output(), "");  // nothing changed, nothing sent

  grid[5 * 80 + 9] = Cell{'x', 0x07};
  grid[5 * 80 + 10] = Cell{'y', 0x07};
  Present(grid);
  EXPECT_EQ(Output(), "\x1b[6;10H\x1b[0;37;40mxy\x1b[0m");

  term_->Invalidate();
  Present(grid);
  EXPECT_GT(Output().size(), 2000u);
}

TEST_F(TtyTest, ControlBytesAreNeverSentRaw) {
  Start();
  Output();
  std::vector<Cell> grid = Blank();
  grid[0] = Cell{0x07, 0x07};  // BEL
  grid[1] = Cell{0x1B, 0x07};  // ESC
  grid[2] = Cell{0x11, 0x07};  // ◄
  Present(grid);
  std::string out = Output();
  EXPECT_TRUE(Contains(out, "\xE2\x80\xA2\xE2\x86\x90\xE2\x97\x84"));  // • ← ◄
  EXPECT_FALSE(Contains(out, "\x07"));
}

TEST_F(TtyTest, CursorShapeFollowsItsSize) {
  Start();
  Present(Blank(), 3, 4, 25);
  std::string out = Output();
  EXPECT_TRUE(Contains(out, "\x1b[4 q\x1b[3;4H\x1b[?25h"));
  Present(Blank(), 3, 5, 100);
  EXPECT_EQ(Output(), "\x1b[2 q\x1b[3;5H");
  Present(Blank(), 3, 5, 0);
  EXPECT_EQ(Output(), "\x1b[?25l");
}

TEST_F(TtyTest, SmallWindowShowsANoticeUntilItGrows) {
  SetSize(20, 60);
  Start();
  Output();
  std::vector<Cell> grid = Blank();
  grid[0] = Cell{'Q', 0x07};
  Present(grid);
  std::string out = Output();
  EXPECT_TRUE(Contains(out, "Cal una finestra de 80 x 25 com a m\xC3\xADnim"));
  EXPECT_TRUE(Contains(out, "60 x 20"));
  EXPECT_FALSE(Contains(out, "Q"));
  Present(grid);
  EXPECT_EQ(Output(), "");  // the notice is not repeated
  SetSize(30, 100);
  Present(grid);
  out = Output();
  EXPECT_TRUE(Contains(out, "\x1b[2J"));
  EXPECT_TRUE(Contains(out, "Q"));
  int rows = 0, cols = 0;
  term_->GetSize(rows, cols);
  EXPECT_EQ(rows, 30);
  EXPECT_EQ(cols, 100);
}

TEST_F(TtyTest, KeysAndMouseArriveDecoded) {
  Start();
  Type("\x1b[A\x03\xC3\xB1");
  InputEvent ev;
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.scan, 0x48);
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.ch, 3);  // Ctrl+C is a key, not a signal
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.ch, 0xA4);  // ñ
  Type("\x1b[<0;10;4M");
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.kind, InputEvent::kMouse);
  EXPECT_EQ(ev.row, 4);
  EXPECT_EQ(ev.col, 10);
  EXPECT_FALSE(term_->ReadEvent(ev, 0));
}

TEST_F(TtyTest, LoneEscIsDeliveredAfterAShortPause) {
  Start();
  Type("\x1b");
  InputEvent ev;
  EXPECT_FALSE(term_->ReadEvent(ev, 0));  // might still be a sequence
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(term_->ReadEvent(ev, 1000));
  auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(ev.ch, 27);
  EXPECT_LT(waited, std::chrono::milliseconds(500));
}

TEST_F(TtyTest, WaitingTimesOutWithoutInput) {
  Start();
  InputEvent ev;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(term_->ReadEvent(ev, 100));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(95));
}

TEST_F(TtyTest, MouseReportingIsSwitchedWithThePresent) {
  Start();
  Output();
  term_->SetMouseReporting(true);
  term_->SetMouseReporting(false);
  term_->SetMouseReporting(true);
  Present(Blank());
  std::string out = Output();
  EXPECT_EQ(out.find("\x1b[?1000h\x1b[?1006h"), 0u);
  term_->SetMouseReporting(true);
  Present(Blank());
  EXPECT_EQ(Output(), "");
}

TEST_F(TtyTest, BeepAndClipboardChannel) {
  Start();
  Output();
  term_->Beep();
  EXPECT_EQ(Output(), "\x07");
  term_->SendClipboard("Pla\xC3\xA7" "a");
  EXPECT_EQ(Output(), "\x1b]52;c;" + Base64("Pla\xC3\xA7" "a") + "\x07");
  EXPECT_EQ(Base64("Man"), "TWFu");
  EXPECT_EQ(Base64("Ma"), "TWE=");
  EXPECT_EQ(Base64("M"), "TQ==");
}

TEST_F(TtyTest, SuspendGivesTheTtyBackAndResumeRepaints) {
  struct termios before {};
  ASSERT_EQ(tcgetattr(slave_, &before), 0);
  Start();
  Present(Blank());
  Output();
  term_->Suspend();
  struct termios during {};
  ASSERT_EQ(tcgetattr(slave_, &during), 0);
  EXPECT_EQ(during.c_lflag, before.c_lflag);
  EXPECT_TRUE(Contains(Output(), "\x1b[?1049l"));
  Present(Blank());
  EXPECT_EQ(Output(), "");  // the child owns the screen
  term_->Resume();
  struct termios again {};
  ASSERT_EQ(tcgetattr(slave_, &again), 0);
  EXPECT_FALSE(again.c_lflag & ECHO);
  Present(Blank());
  std::string out = Output();
  EXPECT_TRUE(Contains(out, "\x1b[?1049h"));
  EXPECT_GT(out.size(), 2000u);
}

TEST_F(TtyTest, WindowChangeBecomesAResizeEvent) {
  Start(/*signals=*/true);
  SetSize(40, 120);
  raise(SIGWINCH);
  InputEvent ev;
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.kind, InputEvent::kResize);
  int rows = 0, cols = 0;
  term_->GetSize(rows, cols);
  EXPECT_EQ(rows, 40);
  EXPECT_EQ(cols, 120);
  // Interrupt and quit signals are claimed while it runs.
  raise(SIGINT);
  raise(SIGQUIT);
  term_->Shutdown();
  struct sigaction now {};
  sigaction(SIGWINCH, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);  // the old handling is back
}

TEST_F(TtyTest, FatalSignalRestoresTheTerminalBeforeTheProgramEnds) {
  struct termios before {};
  ASSERT_EQ(tcgetattr(slave_, &before), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    TtyTerminal::Options opt;
    TtyTerminal t(slave_, slave_, opt);
    if (!t.Start()) _exit(3);
    raise(SIGTERM);
    _exit(4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  struct termios after {};
  ASSERT_EQ(tcgetattr(slave_, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_TRUE(Contains(Output(), "\x1b[?1049l"));
}

TEST_F(TtyTest, EveryDeadlySignalRestoresTheTerminal) {
  // Crashes that are not segmentation faults (a trap GCC plants on a
  // provable null dereference raises SIGILL), resource limits and stray
  // signals whose default is to end the program.
  for (int sig : {SIGILL, SIGTRAP, SIGSYS, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2,
                  SIGXCPU, SIGXFSZ}) {
    SCOPED_TRACE(sig);
    struct termios before {};
    ASSERT_EQ(tcgetattr(slave_, &before), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      struct rlimit no_core {};
      setrlimit(RLIMIT_CORE, &no_core);
      TtyTerminal t(slave_, slave_, TtyTerminal::Options());
      if (!t.Start()) _exit(3);
      raise(sig);
      _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), sig);
    struct termios after {};
    ASSERT_EQ(tcgetattr(slave_, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_TRUE(Contains(Output(), "\x1b[?1049l"));
  }
}

TEST_F(TtyTest, HangUpIsReportedOnEveryRead) {
  Start(/*signals=*/true);
  raise(SIGHUP);
  InputEvent ev;
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.kind, InputEvent::kHangUp);
  term_->Shutdown();

  // The end of the tty's input says the same.
  Start();
  pty_.HangUp();
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.kind, InputEvent::kHangUp);
  ASSERT_TRUE(term_->ReadEvent(ev, 500));
  EXPECT_EQ(ev.kind, InputEvent::kHangUp);
  EXPECT_TRUE(term_->HungUp());
}

TEST_F(TtyTest, StopGivesTheTerminalBackAndContinueTakesItAgain) {
  struct termios before {};
  ASSERT_EQ(tcgetattr(slave_, &before), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setpgid(0, 0);  // a process group of its own, which may be stopped
    TtyTerminal t(slave_, slave_, TtyTerminal::Options());
    if (!t.Start()) _exit(3);
    InputEvent ev;
    if (!t.ReadEvent(ev, 20000) || ev.kind != InputEvent::kResize) _exit(4);
    std::vector<Cell> grid(25 * 80, Cell{'Q', 0x07});
    t.Present(grid, 25, 80, 1, 1, 0);
    _exit(0);
  }
  std::string out;
  for (int i = 0; i < 100 && !Contains(out, "\x1b[?1049h"); ++i) out += Output();
  ASSERT_TRUE(Contains(out, "\x1b[?1049h"));
  kill(pid, SIGTSTP);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
  ASSERT_TRUE(WIFSTOPPED(status));
  struct termios stopped {};
  ASSERT_EQ(tcgetattr(slave_, &stopped), 0);
  EXPECT_EQ(stopped.c_lflag, before.c_lflag) << "the shell gets a cooked tty";
  EXPECT_TRUE(Contains(Output(), "\x1b[?1049l"));

  kill(pid, SIGCONT);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  out = Output();
  EXPECT_TRUE(Contains(out, "\x1b[?1049h")) << "the alternate screen again";
  EXPECT_GT(std::count(out.begin(), out.end(), 'Q'), 1000) << "everything painted again";
}

}  // namespace
}  // namespace platform
