// The tty's input: bytes read from the tty (or a wake-up from the signal
// handlers) decoded into events, a lone Esc told apart from the start of a
// sequence by a short pause, a continue after a stop turned into a resize
// (everything is painted again), and a tty that hung up reported as such on
// every read.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/system.h"
#include "platform/tty_signals.h"
#include "platform/tty_terminal.h"

namespace platform {

namespace {

constexpr int kEscTimeoutMs = 50;

}  // namespace

bool TtyTerminal::ReadEvent(InputEvent& ev, int timeout_ms) {
  if (!queue_.empty()) {
    ev = queue_.front();
    queue_.pop_front();
    return true;
  }
  if (!started_) return false;
  const int64_t deadline = MonotonicMs() + std::max(timeout_ms, 0);
  TtySignals& s = TtySignalsState();
  std::vector<InputEvent> got;
  for (;;) {
    // Back from a stop: whoever had the tty meanwhile may have reset it, and
    // the window may have changed size.
    if (TakeBackAfterStop()) s.resized = 1;
    if (s.resized) {
      s.resized = 0;
      DrainWake();
      ev = InputEvent();
      ev.kind = InputEvent::kResize;
      return true;
    }
    if (HungUp()) {
      // Nobody will type again. Said on every read, at a pace that does not
      // burn the processor should a caller go on reading.
      poll(nullptr, 0, std::clamp(timeout_ms, 10, 100));
      ev = InputEvent();
      ev.kind = InputEvent::kHangUp;
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

void TtyTerminal::DiscardInput() {
  if (!started_) return;
  queue_.clear();
  decoder_ = KeyDecoderState();
  tcflush(in_fd_, TCIFLUSH);
}

}  // namespace platform
