// The real terminal: what ties its parts together. Raw mode in and out,
// the start and the end, the hand-over to a child program and back.
#include "platform/tty_terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/tty_signals.h"

namespace platform {

TtyTerminal::TtyTerminal(int in_fd, int out_fd, Options options)
    : in_fd_(in_fd), out_fd_(out_fd), options_(options) {}

TtyTerminal::~TtyTerminal() {
  Shutdown();
  if (options_.close_fd) ::close(in_fd_);
}

bool TtyTerminal::EnterRaw() {
  struct termios raw = saved_;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP |
                                        INLCR | IGNCR | ICRNL | IXON | IXOFF);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(in_fd_, TCSANOW, &raw) != 0) return false;
  TtySignalsState().active = 1;
  return true;
}

bool TtyTerminal::Start() {
  if (started_) return true;
  if (!isatty(in_fd_) || tcgetattr(in_fd_, &saved_) != 0) return false;
  ArmTtySignals(in_fd_, out_fd_, saved_, options_.alternate_screen,
                options_.handle_signals);
  if (!EnterRaw()) {
    RemoveTtySignalHandlers();
    return false;
  }
  started_ = true;
  std::string out;
  if (options_.alternate_screen) out += "\x1b[?1049h";
  out += "\x1b[?7l\x1b[?25l\x1b[0m\x1b[2J";
  Send(out);
  cursor_visible_ = false;
  cursor_placed_ = false;
  full_repaint_ = true;
  return true;
}

void TtyTerminal::Shutdown() {
  if (!started_) return;
  if (!suspended_) RestoreTty();
  suspended_ = false;
  if (options_.handle_signals) RemoveTtySignalHandlers();
  started_ = false;
  TtySignalsState().active = 0;
}

void TtyTerminal::GetSize(int& rows, int& cols) {
  struct winsize ws {};
  if ((ioctl(out_fd_, TIOCGWINSZ, &ws) == 0 || ioctl(in_fd_, TIOCGWINSZ, &ws) == 0) &&
      ws.ws_row > 0 && ws.ws_col > 0) {
    rows = ws.ws_row;
    cols = ws.ws_col;
    return;
  }
  rows = kMinRows;
  cols = kMinCols;
}

void TtyTerminal::Suspend() {
  if (!started_ || suspended_) return;
  RestoreTty();
  suspended_ = true;
  mouse_sent_ = false;
  cursor_visible_ = true;
  cursor_shape_ = -1;
}

void TtyTerminal::TakeScreen() {
  EnterRaw();
  std::string out;
  if (options_.alternate_screen) out += "\x1b[?1049h";
  out += "\x1b[?7l\x1b[?25l";
  Send(out);
  cursor_visible_ = false;
  cursor_placed_ = false;
  cursor_shape_ = -1;
  mouse_sent_ = false;  // a restore switched reporting off
  full_repaint_ = true;
}

bool TtyTerminal::TakeBackAfterStop() {
  TtySignals& s = TtySignalsState();
  if (!s.continued) return false;
  s.continued = 0;
  // While a child has the tty, Resume takes it back.
  if (!started_ || suspended_) return false;
  TakeScreen();
  return true;
}

bool TtyTerminal::HungUp() {
  if (TtySignalsState().hung_up) hung_up_ = true;
  return started_ && hung_up_;
}

void TtyTerminal::Resume() {
  if (!started_ || !suspended_) return;
  suspended_ = false;
  TakeScreen();
  // Keys typed for the child are not ours.
  tcflush(in_fd_, TCIFLUSH);
  decoder_ = KeyDecoderState();
  queue_.clear();
}

int TtyTerminal::MouseButtonCount() {
  // The Linux text console reports no mouse without a helper.
  const char* term = std::getenv("TERM");
  if (term == nullptr || std::string(term) == "linux" || std::string(term) == "dumb") {
    return 0;
  }
  return 3;
}

std::unique_ptr<Terminal> MakeTtyTerminal() {
  const int in = isatty(0) ? 0 : -1;
  const int out = isatty(1) ? 1 : (isatty(2) ? 2 : -1);
  if (in < 0 || out < 0) return nullptr;
  auto term = std::make_unique<TtyTerminal>(in, out);
  if (!term->Start()) return nullptr;
  return term;
}

std::unique_ptr<Terminal> MakeControllingTtyTerminal() {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  TtyTerminal::Options options;
  options.close_fd = true;
  auto term = std::make_unique<TtyTerminal>(fd, fd, options);
  if (!term->Start()) return nullptr;  // the descriptor goes with it
  return term;
}

}  // namespace platform
