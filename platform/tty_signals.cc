// The tty's signal handlers and its restore on every way out: fatal signals
// put the terminal back and are raised again with their default action,
// interrupt and quit are claimed, a hang-up, a resize or a continue wakes
// the reader, and a stop gives the terminal back before the program stops.
#include "platform/tty_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/console.h"

namespace platform {

namespace {

// Everything that leaves the tty as the operator knew it.
constexpr char kRestore[] =
    "\x1b[?1000l\x1b[?1006l\x1b[0m\x1b[0 q\x1b[?25h\x1b[?7h";
constexpr char kLeaveAlternate[] = "\x1b[?1049l";

void OnFatal(int sig) {
  RestoreTty();
  const TtySignals& s = TtySignalsState();
  if (sig == SIGBUS && s.bus_text_size > 0) {
    WriteAll(STDERR_FILENO, s.bus_text, s.bus_text_size);
    _exit(kBusErrorStatus);
  }
  // The handler was installed to reset itself: this ends the program the
  // way the signal would have.
  raise(sig);
}

// The flags of every fatal signal's handler: a second fault in it ends the
// program by the default action.
constexpr int kFatalFlags = static_cast<int>(SA_RESETHAND | SA_NODEFER);

void OnHarmless(int) {}

void Wake() {
  int saved = errno;
  if (TtySignalsState().wake_write >= 0) {
    char c = 'w';
    ssize_t ignored = ::write(TtySignalsState().wake_write, &c, 1);
    (void)ignored;
  }
  errno = saved;
}

void OnWinch(int) {
  TtySignalsState().resized = 1;
  Wake();
}

void OnCont(int) {
  TtySignalsState().continued = 1;
  Wake();
}

void OnHangUp(int) {
  TtySignalsState().hung_up = 1;
  Wake();
}

// The shell gets its terminal back while the program is stopped; the
// reader takes it again (and repaints) once the program runs on.
void OnStop(int) {
  const int saved = errno;
  RestoreTty();
  struct sigaction stop {};
  struct sigaction ours {};
  sigemptyset(&stop.sa_mask);
  stop.sa_handler = SIG_DFL;
  sigaction(SIGTSTP, &stop, &ours);
  sigset_t just_stop;
  sigemptyset(&just_stop);
  sigaddset(&just_stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &just_stop, nullptr);
  raise(SIGTSTP);
  // Continued, or never stopped (an orphaned process group may not stop).
  sigprocmask(SIG_BLOCK, &just_stop, nullptr);
  sigaction(SIGTSTP, &ours, nullptr);
  TtySignalsState().continued = 1;
  Wake();
  errno = saved;
}

void AtExitRestore() { RestoreTty(); }

void InstallHandlers() {
  TtySignals& s = TtySignalsState();
  if (s.handlers) return;
  struct sigaction sa {};
  sigemptyset(&sa.sa_mask);
  sa.sa_handler = OnFatal;
  sa.sa_flags = kFatalFlags;
  for (size_t k = 0; k < std::size(kFatalSignals); ++k) {
    sigaction(kFatalSignals[k], &sa, &s.old_fatal[k]);
  }
  // A handler rather than SIG_IGN: children get the default back at exec.
  sa.sa_handler = OnHarmless;
  sa.sa_flags = SA_RESTART;
  for (size_t k = 0; k < std::size(kHarmlessSignals); ++k) {
    sigaction(kHarmlessSignals[k], &sa, &s.old_harmless[k]);
  }
  sa.sa_handler = OnWinch;
  sigaction(SIGWINCH, &sa, &s.old_winch);
  sa.sa_handler = OnCont;
  sigaction(SIGCONT, &sa, &s.old_cont);
  sa.sa_handler = OnHangUp;
  sigaction(SIGHUP, &sa, &s.old_hup);
  sa.sa_handler = OnStop;
  sigaction(SIGTSTP, &sa, &s.old_tstp);
  s.handlers = true;
}

}  // namespace

TtySignals& TtySignalsState() {
  static TtySignals state;
  return state;
}

void WriteAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    ssize_t put = ::write(fd, data, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        struct pollfd p = {fd, POLLOUT, 0};
        if (poll(&p, 1, 1000) > 0) continue;
      }
      return;  // a tty that is gone takes nothing
    }
    data += put;
    n -= static_cast<size_t>(put);
  }
}

void RestoreTty() {
  TtySignals& s = TtySignalsState();
  if (!s.active) return;
  s.active = 0;
  WriteAll(s.out_fd, kRestore, sizeof kRestore - 1);
  if (s.alternate) WriteAll(s.out_fd, kLeaveAlternate, sizeof kLeaveAlternate - 1);
  tcsetattr(s.in_fd, TCSANOW, &s.saved);
}

void ArmTtySignals(int in_fd, int out_fd, const struct termios& saved,
                   bool alternate_screen, bool install_handlers) {
  TtySignals& s = TtySignalsState();
  s.in_fd = in_fd;
  s.out_fd = out_fd;
  s.saved = saved;
  s.alternate = alternate_screen;
  if (s.wake_read < 0) {
    int p[2];
    if (pipe2(p, O_CLOEXEC | O_NONBLOCK) == 0) {
      s.wake_read = p[0];
      s.wake_write = p[1];
    }
  }
  s.resized = 0;
  s.continued = 0;
  s.hung_up = 0;
  if (install_handlers) InstallHandlers();
  if (!s.exit_hook) {
    std::atexit(AtExitRestore);
    s.exit_hook = true;
  }
}

void RemoveTtySignalHandlers() {
  TtySignals& s = TtySignalsState();
  if (!s.handlers) return;
  for (size_t k = 0; k < std::size(kFatalSignals); ++k) {
    sigaction(kFatalSignals[k], &s.old_fatal[k], nullptr);
  }
  for (size_t k = 0; k < std::size(kHarmlessSignals); ++k) {
    sigaction(kHarmlessSignals[k], &s.old_harmless[k], nullptr);
  }
  sigaction(SIGWINCH, &s.old_winch, nullptr);
  sigaction(SIGCONT, &s.old_cont, nullptr);
  sigaction(SIGHUP, &s.old_hup, nullptr);
  sigaction(SIGTSTP, &s.old_tstp, nullptr);
  s.handlers = false;
}

void EndOnBusError(const std::string& text) {
  TtySignals& s = TtySignalsState();
  const std::string line = Cp850ToUtf8(text) + "\n";
  s.bus_text_size = std::min(line.size(), sizeof s.bus_text);
  std::memcpy(s.bus_text, line.data(), s.bus_text_size);
  // Without a terminal's handlers the fault still ends in order.
  if (s.handlers) return;
  struct sigaction sa {};
  sigemptyset(&sa.sa_mask);
  sa.sa_handler = OnFatal;
  sa.sa_flags = kFatalFlags;
  sigaction(SIGBUS, &sa, nullptr);
}

void DrainWake() {
  TtySignals& s = TtySignalsState();
  char buf[64];
  while (s.wake_read >= 0 && ::read(s.wake_read, buf, sizeof buf) > 0) {
  }
}

}  // namespace platform
