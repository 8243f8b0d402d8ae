// A pseudo-terminal for tests of the real terminal: the program's side
// (slave) and the operator's side (master), 25 x 80 to start with. The
// operator types on the master and reads there what the program sent.
// Header-only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

namespace testing_support {

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    SetSize(25, 80);
  }
  ~PseudoTerminal() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master >= 0 && slave >= 0; }
  void SetSize(int rows, int cols) {
    struct winsize ws {};
    ws.ws_row = static_cast<unsigned short>(rows);
    ws.ws_col = static_cast<unsigned short>(cols);
    ioctl(master, TIOCSWINSZ, &ws);
  }
  bool Type(const std::string& bytes) {
    return write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Everything the program has sent so far (what came within quiet_ms of
  // the last byte).
  std::string Output(int quiet_ms = 50) {
    std::string out;
    char buf[4096];
    struct pollfd p = {master, POLLIN, 0};
    while (poll(&p, 1, quiet_ms) > 0) {
      ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }
  // The operator's side goes away: the program's reads end.
  void HangUp() {
    if (master >= 0) close(master);
    master = -1;
  }

  int master = -1;
  int slave = -1;
};

}  // namespace testing_support
