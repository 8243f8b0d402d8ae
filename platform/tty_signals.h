// Signal handling and terminal restore behind the tty terminal. What the
// handlers and the exit hook need to put the tty back must be reachable
// without any object, hence process-wide, and only plain data that
// async-signal-safe calls can use. A resize, a hang-up or a continue after
// a stop is recorded here and wakes a reader waiting in poll through a
// self-pipe. A stop (SIGTSTP) first gives the tty back, so that the shell
// does not print into the form.
#pragma once

#include <signal.h>
#include <termios.h>

#include <cstddef>
#include <iterator>
#include <string>

namespace platform {

// Signals whose default action ends the program: crashes (GCC turns a
// provable null dereference into a trap that raises SIGILL), resource
// limits, and the usual ones another program may send.
inline constexpr int kFatalSignals[] = {SIGTERM, SIGSEGV, SIGABRT, SIGBUS,  SIGFPE,
                                        SIGILL,  SIGTRAP, SIGSYS,  SIGPIPE, SIGALRM,
                                        SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};
// Signals that must not end the program at all. A hang-up is not among
// them: it is recorded, and the program ends in order when it next reads.
inline constexpr int kHarmlessSignals[] = {SIGINT, SIGQUIT};

struct TtySignals {
  int in_fd = -1;
  int out_fd = -1;
  struct termios saved {};
  bool alternate = false;
  volatile sig_atomic_t active = 0;  // raw mode in force
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t continued = 0;
  volatile sig_atomic_t hung_up = 0;
  int wake_read = -1;  // readable after a resize or a continue
  int wake_write = -1;
  bool handlers = false;
  bool exit_hook = false;
  struct sigaction old_fatal[std::size(kFatalSignals)] {};
  struct sigaction old_harmless[std::size(kHarmlessSignals)] {};
  struct sigaction old_winch {};
  struct sigaction old_cont {};
  struct sigaction old_hup {};
  struct sigaction old_tstp {};
  // What a bus error says on standard error (UTF-8, ending in a new line);
  // none: the signal ends the program as it would.
  char bus_text[1024] = {};
  size_t bus_text_size = 0;
};
TtySignals& TtySignalsState();

// Records what a restore needs for the terminal about to start, makes the
// wake pipe, installs the handlers when asked and the exit hook once.
void ArmTtySignals(int in_fd, int out_fd, const struct termios& saved,
                   bool alternate_screen, bool install_handlers);
// Puts back the handlers that were there before ArmTtySignals.
void RemoveTtySignalHandlers();

// A read through the memory map of a file that shrank or failed underneath
// (SQLite maps the record files) raises SIGBUS, which no status can answer.
// From this call on such a fault ends the program in order wherever it
// happens: the terminal given back, text (code page 850) and a new line on
// standard error, exit code kBusErrorStatus (as a shell reports SIGBUS).
constexpr int kBusErrorStatus = 128 + SIGBUS;
void EndOnBusError(const std::string& text);

// Leaves raw mode, mouse reporting and the alternate screen; nothing when
// raw mode is not in force. Async-signal-safe: write and tcsetattr only.
void RestoreTty();

// Empties the wake pipe.
void DrainWake();

// Writes everything, riding out interruptions and a full non-blocking tty;
// gives up quietly on a tty that is gone. Async-signal-safe.
void WriteAll(int fd, const char* data, size_t n);

}  // namespace platform
