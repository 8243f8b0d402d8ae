#include "platform/tty_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "platform/system.h"

namespace platform {

namespace {

constexpr int kEscTimeoutMs = 50;

// Everything that leaves the tty as the operator knew it.
constexpr char kRestore[] =
    "\x1b[?1000l\x1b[?1006l\x1b[0m\x1b[0 q\x1b[?25h\x1b[?7h";
constexpr char kLeaveAlternate[] = "\x1b[?1049l";

// Signals whose default action ends the program: crashes (GCC turns a
// provable null dereference into a trap that raises SIGILL), resource
// limits, and the usual ones another program may send.
constexpr int kFatalSignals[] = {SIGTERM, SIGSEGV, SIGABRT, SIGBUS,  SIGFPE,
                                 SIGILL,  SIGTRAP, SIGSYS,  SIGPIPE, SIGALRM,
                                 SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};
constexpr int kHarmlessSignals[] = {SIGINT, SIGQUIT, SIGHUP};

// What the signal handlers and the exit hook need to put the tty back. It
// must be reachable without any object, hence process-wide; only plain data
// that async-signal-safe calls can use.
struct TtySignalState {
  int in_fd = -1;
  int out_fd = -1;
  struct termios saved {};
  bool alternate = false;
  volatile sig_atomic_t active = 0;  // raw mode in force
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t continued = 0;
  int wake_read = -1;
  int wake_write = -1;
  bool handlers = false;
  bool exit_hook = false;
  struct sigaction old_fatal[std::size(kFatalSignals)] {};
  struct sigaction old_harmless[3] {};
  struct sigaction old_winch {};
  struct sigaction old_cont {};
};

TtySignalState& Sig() {
  static TtySignalState state;
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

// Async-signal-safe: write and tcsetattr only.
void RestoreTty() {
  TtySignalState& s = Sig();
  if (!s.active) return;
  s.active = 0;
  WriteAll(s.out_fd, kRestore, sizeof kRestore - 1);
  if (s.alternate) WriteAll(s.out_fd, kLeaveAlternate, sizeof kLeaveAlternate - 1);
  tcsetattr(s.in_fd, TCSANOW, &s.saved);
}

void OnFatal(int sig) {
  RestoreTty();
  // The handler was installed to reset itself: this ends the program the
  // way the signal would have.
  raise(sig);
}

void OnHarmless(int) {}

void Wake() {
  int saved = errno;
  if (Sig().wake_write >= 0) {
    char c = 'w';
    ssize_t ignored = ::write(Sig().wake_write, &c, 1);
    (void)ignored;
  }
  errno = saved;
}

void OnWinch(int) {
  Sig().resized = 1;
  Wake();
}

void OnCont(int) {
  Sig().continued = 1;
  Wake();
}

void AtExitRestore() { RestoreTty(); }

void InstallHandlers() {
  TtySignalState& s = Sig();
  if (s.handlers) return;
  struct sigaction sa {};
  sigemptyset(&sa.sa_mask);
  sa.sa_handler = OnFatal;
  sa.sa_flags = static_cast<int>(SA_RESETHAND | SA_NODEFER);
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
  s.handlers = true;
}

void RemoveHandlers() {
  TtySignalState& s = Sig();
  if (!s.handlers) return;
  for (size_t k = 0; k < std::size(kFatalSignals); ++k) {
    sigaction(kFatalSignals[k], &s.old_fatal[k], nullptr);
  }
  for (size_t k = 0; k < std::size(kHarmlessSignals); ++k) {
    sigaction(kHarmlessSignals[k], &s.old_harmless[k], nullptr);
  }
  sigaction(SIGWINCH, &s.old_winch, nullptr);
  sigaction(SIGCONT, &s.old_cont, nullptr);
  s.handlers = false;
}

void DrainWake() {
  char buf[64];
  while (Sig().wake_read >= 0 && ::read(Sig().wake_read, buf, sizeof buf) > 0) {
  }
}

// Console colour numbers (PC order) to ANSI colour numbers.
constexpr int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

void AppendNumber(std::string& out, int n) { out += std::to_string(n); }

void MoveTo(std::string& out, int row, int col) {
  out += "\x1b[";
  AppendNumber(out, row);
  out += ';';
  AppendNumber(out, col);
  out += 'H';
}

void Colours(std::string& out, uint8_t attr) {
  const int fg = attr & 0x0F;
  const int bg = attr >> 4;
  out += "\x1b[0;";
  AppendNumber(out, (fg < 8 ? 30 : 90) + kAnsi[fg & 7]);
  out += ';';
  AppendNumber(out, (bg < 8 ? 40 : 100) + kAnsi[bg & 7]);
  out += 'm';
}

}  // namespace

std::string Base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                 (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                 static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

TtyTerminal::TtyTerminal(int in_fd, int out_fd, Options options)
    : in_fd_(in_fd), out_fd_(out_fd), options_(options) {}

TtyTerminal::~TtyTerminal() { Shutdown(); }

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
  Sig().active = 1;
  return true;
}

bool TtyTerminal::Start() {
  if (started_) return true;
  if (!isatty(in_fd_) || tcgetattr(in_fd_, &saved_) != 0) return false;
  TtySignalState& s = Sig();
  s.in_fd = in_fd_;
  s.out_fd = out_fd_;
  s.saved = saved_;
  s.alternate = options_.alternate_screen;
  if (s.wake_read < 0) {
    int p[2];
    if (pipe2(p, O_CLOEXEC | O_NONBLOCK) == 0) {
      s.wake_read = p[0];
      s.wake_write = p[1];
    }
  }
  s.resized = 0;
  s.continued = 0;
  if (options_.handle_signals) InstallHandlers();
  if (!s.exit_hook) {
    std::atexit(AtExitRestore);
    s.exit_hook = true;
  }
  if (!EnterRaw()) {
    RemoveHandlers();
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
  if (options_.handle_signals) RemoveHandlers();
  started_ = false;
  Sig().active = 0;
}

void TtyTerminal::Send(const std::string& bytes) {
  if (!bytes.empty()) WriteAll(out_fd_, bytes.data(), bytes.size());
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

void TtyTerminal::ApplyMouse(std::string& out) {
  if (mouse_wanted_ == mouse_sent_) return;
  out += mouse_wanted_ ? "\x1b[?1000h\x1b[?1006h" : "\x1b[?1000l\x1b[?1006l";
  mouse_sent_ = mouse_wanted_;
}

void TtyTerminal::ShowNotice(std::string& out, int rows, int cols) {
  const std::string lines[3] = {
      "Cal una finestra de 80 x 25 com a m\xA1nim",  // code page 850
      "The window must be at least 80 x 25",
      "(" + std::to_string(cols) + " x " + std::to_string(rows) + ")"};
  out += "\x1b[0m\x1b[2J\x1b[?25l";
  cursor_visible_ = false;
  const int first = std::max(1, (rows - 3) / 2 + 1);
  for (int k = 0; k < 3 && first + k <= rows; ++k) {
    std::string line = lines[k].substr(0, static_cast<size_t>(cols));
    const int col = std::max(1, (cols - static_cast<int>(line.size())) / 2 + 1);
    MoveTo(out, first + k, col);
    out += Cp850ToUtf8(line);
  }
  cursor_placed_ = false;
}

void TtyTerminal::Present(const std::vector<Cell>& cells, int rows, int cols,
                          int cursor_row, int cursor_col, int cursor_size) {
  if (!started_ || suspended_) return;
  std::string out;
  ApplyMouse(out);
  int trows = 0;
  int tcols = 0;
  GetSize(trows, tcols);
  if (trows < kMinRows || tcols < kMinCols) {
    if (!notice_shown_ || notice_rows_ != trows || notice_cols_ != tcols) {
      ShowNotice(out, trows, tcols);
      notice_shown_ = true;
      notice_rows_ = trows;
      notice_cols_ = tcols;
    }
    Send(out);
    return;
  }
  if (notice_shown_) {
    notice_shown_ = false;
    full_repaint_ = true;
  }
  if (rows != last_rows_ || cols != last_cols_ ||
      last_.size() != static_cast<size_t>(rows) * cols ||
      cells.size() != static_cast<size_t>(rows) * cols) {
    full_repaint_ = true;
  }
  if (cells.size() < static_cast<size_t>(rows) * cols) return;  // not a grid
  const bool full = full_repaint_;
  if (full) out += "\x1b[0m\x1b[2J";
  int attr = -1;
  int at_row = 0;
  int at_col = 0;
  const int show_rows = std::min(rows, trows);
  const int show_cols = std::min(cols, tcols);
  for (int r = 1; r <= show_rows; ++r) {
    for (int c = 1; c <= show_cols; ++c) {
      const size_t i = static_cast<size_t>(r - 1) * cols + (c - 1);
      const Cell& cell = cells[i];
      if (!full && cell == last_[i]) continue;
      if (r != at_row || c != at_col) MoveTo(out, r, c);
      if (cell.attr != attr) {
        Colours(out, cell.attr);
        attr = cell.attr;
      }
      AppendUtf8(out, Cp850Glyph(cell.ch));
      at_row = r;
      at_col = c + 1;
    }
  }
  if (attr != -1) out += "\x1b[0m";
  last_ = cells;
  last_rows_ = rows;
  last_cols_ = cols;
  full_repaint_ = false;

  if (at_row != 0) cursor_placed_ = false;  // drawing moved it
  if (cursor_size <= 0 || cursor_row > show_rows || cursor_col > show_cols) {
    if (cursor_visible_) out += "\x1b[?25l";
    cursor_visible_ = false;
  } else {
    const int shape = cursor_size >= 75 ? 2 : 4;  // steady block / underline
    if (shape != cursor_shape_) {
      out += "\x1b[";
      AppendNumber(out, shape);
      out += " q";
      cursor_shape_ = shape;
    }
    if (!cursor_placed_ || cursor_row != cursor_row_ || cursor_col != cursor_col_) {
      MoveTo(out, cursor_row, cursor_col);
      cursor_placed_ = true;
    }
    if (!cursor_visible_) out += "\x1b[?25h";
    cursor_visible_ = true;
  }
  cursor_row_ = cursor_row;
  cursor_col_ = cursor_col;
  Send(out);
}

bool TtyTerminal::ReadEvent(InputEvent& ev, int timeout_ms) {
  if (!queue_.empty()) {
    ev = queue_.front();
    queue_.pop_front();
    return true;
  }
  if (!started_) return false;
  const int64_t deadline = MonotonicMs() + std::max(timeout_ms, 0);
  TtySignalState& s = Sig();
  std::vector<InputEvent> got;
  for (;;) {
    if (s.continued) {
      // Back from a stop: whoever had the tty meanwhile may have reset it.
      s.continued = 0;
      if (!suspended_) {
        EnterRaw();
        full_repaint_ = true;
        mouse_sent_ = !mouse_wanted_;
      }
    }
    if (s.resized) {
      s.resized = 0;
      DrainWake();
      ev = InputEvent();
      ev.kind = InputEvent::kResize;
      return true;
    }
    if (hung_up_) {
      // Nobody will type again: answer Esc, which leaves every screen, at
      // a pace that does not burn the processor.
      poll(nullptr, 0, std::clamp(timeout_ms, 10, 100));
      ev = InputEvent();
      ev.kind = InputEvent::kKey;
      ev.ch = 27;
      ev.scan = scan::kEsc;
      return true;
    }
    const int64_t now = MonotonicMs();
    int64_t wait = std::max<int64_t>(deadline - now, 0);
    if (DecodePending(decoder_)) {
      wait = std::min<int64_t>(wait, std::max<int64_t>(last_byte_ms_ + kEscTimeoutMs - now, 0));
    }
    struct pollfd fds[2] = {{in_fd_, POLLIN, 0}, {s.wake_read, POLLIN, 0}};
    const int rc = poll(fds, s.wake_read >= 0 ? 2 : 1, static_cast<int>(wait));
    if (rc < 0 && errno != EINTR) {
      hung_up_ = true;
      continue;
    }
    if (rc > 0 && fds[1].revents != 0) DrainWake();
    if (rc > 0 && fds[0].revents != 0) {
      char buf[512];
      ssize_t n = ::read(in_fd_, buf, sizeof buf);
      if (n > 0) {
        last_byte_ms_ = MonotonicMs();
        got.clear();
        DecodeInput(decoder_, std::string_view(buf, static_cast<size_t>(n)), got);
        queue_.insert(queue_.end(), got.begin(), got.end());
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        hung_up_ = true;
        continue;
      }
    }
    if (queue_.empty() && DecodePending(decoder_) &&
        MonotonicMs() - last_byte_ms_ >= kEscTimeoutMs) {
      got.clear();
      DecodeTimeout(decoder_, got);
      queue_.insert(queue_.end(), got.begin(), got.end());
    }
    if (!queue_.empty()) {
      ev = queue_.front();
      queue_.pop_front();
      return true;
    }
    if (s.resized || s.continued) continue;
    if (MonotonicMs() >= deadline) return false;
  }
}

void TtyTerminal::Beep() {
  if (started_ && !suspended_) Send("\x07");
}

void TtyTerminal::SendClipboard(const std::string& utf8) {
  if (started_ && !suspended_) Send("\x1b]52;c;" + Base64(utf8) + "\x07");
}

void TtyTerminal::Suspend() {
  if (!started_ || suspended_) return;
  RestoreTty();
  suspended_ = true;
  mouse_sent_ = false;
  cursor_visible_ = true;
  cursor_shape_ = -1;
}

void TtyTerminal::Resume() {
  if (!started_ || !suspended_) return;
  suspended_ = false;
  EnterRaw();
  std::string out;
  if (options_.alternate_screen) out += "\x1b[?1049h";
  out += "\x1b[?7l\x1b[?25l";
  cursor_visible_ = false;
  cursor_placed_ = false;
  Send(out);
  full_repaint_ = true;
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

}  // namespace platform
