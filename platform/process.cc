// Child programs: the print program and the help command (with the terminal
// handed over), and the clipboard tools (captured, with a time-out).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/system.h"

extern char** environ;

namespace platform {

namespace {

// Attributes that give the child default signal handling and an empty
// signal mask, whatever this program ignores or blocks.
struct SpawnAttr {
  posix_spawnattr_t attr;
  SpawnAttr() {
    posix_spawnattr_init(&attr);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&attr, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~SpawnAttr() { posix_spawnattr_destroy(&attr); }
  SpawnAttr(const SpawnAttr&) = delete;
  SpawnAttr& operator=(const SpawnAttr&) = delete;
};

struct FileActions {
  posix_spawn_file_actions_t fa;
  FileActions() { posix_spawn_file_actions_init(&fa); }
  ~FileActions() { posix_spawn_file_actions_destroy(&fa); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
};

class Fd {
 public:
  Fd() = default;
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int* ptr() { return &fd_; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Starts argv[0]: as a path when it holds a "/", else searched in PATH.
// Returns the process id, or -1 with ErrorNumber set.
pid_t Spawn(const std::vector<std::string>& argv, posix_spawn_file_actions_t* fa) {
  if (argv.empty() || argv[0].empty()) {
    ErrorNumber() = ENOENT;
    return -1;
  }
  std::vector<std::string> args = argv;
  args[0] = OsPath(args[0]);
  std::vector<char*> cargs;
  for (std::string& a : args) cargs.push_back(a.data());
  cargs.push_back(nullptr);
  SpawnAttr attr;
  pid_t pid = -1;
  int rc = args[0].find('/') != std::string::npos
               ? posix_spawn(&pid, cargs[0], fa, &attr.attr, cargs.data(), environ)
               : posix_spawnp(&pid, cargs[0], fa, &attr.attr, cargs.data(), environ);
  if (rc != 0) {
    ErrorNumber() = rc;
    return -1;
  }
  return pid;
}

int ExitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return kSignalledStatus + WTERMSIG(status);
  return -1;
}

int WaitFor(pid_t pid) {
  int status = 0;
  for (;;) {
    pid_t r = waitpid(pid, &status, 0);
    if (r == pid) return ExitStatus(status);
    if (r < 0 && errno != EINTR) {
      ErrorNumber() = errno;
      return -1;
    }
  }
}

// A write into a pipe whose reader has gone must not end this program.
ssize_t WriteNoSigpipe(int fd, const char* data, size_t n) {
  sigset_t pipe_set;
  sigset_t old;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_set, &old);
  ssize_t put = ::write(fd, data, n);
  int err = errno;
  sigset_t pending;
  sigpending(&pending);
  if (sigismember(&pending, SIGPIPE) && !sigismember(&old, SIGPIPE)) {
    struct timespec zero = {0, 0};
    sigtimedwait(&pipe_set, nullptr, &zero);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = err;
  return put;
}

// What RunCaptured and RunCommand keep of a child's output; the rest is read
// and dropped, so that a child that talks without end cannot exhaust memory.
constexpr size_t kMaxCapturedOutput = 1u << 20;

void KeepOutput(std::string& output, const char* data, size_t n) {
  output.append(data, std::min(n, kMaxCapturedOutput - std::min(output.size(), kMaxCapturedOutput)));
}

// The parent's ends of the pipes to a captured child.
struct CapturedChild {
  pid_t pid = -1;
  Fd in_write;  // the child's standard input
  Fd out_read;  // the stream collected, when one is
};

bool OpenPipe(Fd& read_end, Fd& write_end) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    ErrorNumber() = errno;
    return false;
  }
  *read_end.ptr() = fds[0];
  *write_end.ptr() = fds[1];
  return true;
}

// Starts argv with its standard input on a pipe and, when collect is set,
// the chosen stream on another; whatever is not collected goes to /dev/null.
bool StartCaptured(const std::vector<std::string>& argv, bool collect, Captured which,
                   CapturedChild& child) {
  Fd in_read, out_write;
  if (!OpenPipe(in_read, child.in_write)) return false;
  if (collect && !OpenPipe(child.out_read, out_write)) return false;
  const int collected = which == Captured::kStandardError ? 2 : 1;
  FileActions fa;
  posix_spawn_file_actions_adddup2(&fa.fa, in_read.get(), 0);
  for (int fd : {1, 2}) {
    if (collect && fd == collected) {
      posix_spawn_file_actions_adddup2(&fa.fa, out_write.get(), fd);
    } else {
      posix_spawn_file_actions_addopen(&fa.fa, fd, "/dev/null", O_WRONLY, 0);
    }
  }
  child.pid = Spawn(argv, &fa.fa);
  if (child.pid < 0) return false;
  fcntl(child.in_write.get(), F_SETFL, O_NONBLOCK);
  if (collect) fcntl(child.out_read.get(), F_SETFL, O_NONBLOCK);
  return true;
}

// Feeds the input and collects the output until the child has ended and
// its pipes are done with, or the deadline (-1: none) has passed. Returns
// whether the child ended, with its wait status.
bool Pump(CapturedChild& child, const std::string& input, std::string* output,
          int64_t deadline, int& status) {
  size_t written = 0;
  if (input.empty()) child.in_write.Reset();
  bool exited = false;
  for (;;) {
    if (!exited && waitpid(child.pid, &status, WNOHANG) == child.pid) exited = true;
    if (exited && child.in_write.get() < 0 && child.out_read.get() < 0) break;
    const int64_t left = deadline < 0 ? 20 : deadline - MonotonicMs();
    if (left <= 0) break;
    struct pollfd fds[2];
    nfds_t nfds = 0;
    if (child.in_write.get() >= 0) fds[nfds++] = {child.in_write.get(), POLLOUT, 0};
    if (child.out_read.get() >= 0) fds[nfds++] = {child.out_read.get(), POLLIN, 0};
    // Short naps while only the exit is awaited; waitpid cannot be polled.
    int wait = static_cast<int>(std::min<int64_t>(left, nfds == 0 || exited ? 5 : 20));
    int rc = poll(nfds == 0 ? nullptr : fds, nfds, wait);
    if (rc < 0 && errno != EINTR) break;
    for (nfds_t k = 0; rc > 0 && k < nfds; ++k) {
      if (fds[k].revents == 0) continue;
      if (fds[k].fd == child.in_write.get()) {
        ssize_t put = WriteNoSigpipe(child.in_write.get(), input.data() + written,
                                     input.size() - written);
        if (put > 0) written += static_cast<size_t>(put);
        if ((put < 0 && errno != EAGAIN && errno != EINTR) || written >= input.size()) {
          child.in_write.Reset();
        }
      } else {
        char buf[4096];
        ssize_t got = ::read(child.out_read.get(), buf, sizeof buf);
        if (got > 0) {
          KeepOutput(*output, buf, static_cast<size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
          child.out_read.Reset();
        }
      }
    }
    if (exited && child.out_read.get() >= 0 && rc == 0) {
      child.out_read.Reset();  // a grandchild keeps the pipe open: stop at exit
    }
  }
  return exited || waitpid(child.pid, &status, WNOHANG) == child.pid;
}

}  // namespace

int RunCaptured(const std::vector<std::string>& argv, const std::string& input,
                std::string* output, int timeout_ms, Captured which) {
  if (output != nullptr) output->clear();
  CapturedChild child;
  if (!StartCaptured(argv, output != nullptr, which, child)) return -1;
  const int64_t deadline = timeout_ms < 0 ? -1 : MonotonicMs() + timeout_ms;
  int status = 0;
  if (!Pump(child, input, output, deadline, status)) {
    kill(child.pid, SIGKILL);
    WaitFor(child.pid);
    ErrorNumber() = ETIMEDOUT;
    return -1;
  }
  return ExitStatus(status);
}

int RunCommand(const std::string& command_line, std::string* output) {
  return RunCommand(SplitCommandLine(command_line), output);
}

int RunCommand(const std::vector<std::string>& argv, std::string* output) {
  if (argv.empty()) {
    ErrorNumber() = ENOENT;
    return -1;
  }
  if (output) output->clear();
  Terminal& term = CurrentTerminal();
  term.Suspend();
  pid_t pid = -1;
  if (output) {
    // The child's messages come back to the program, which shows them on
    // its own screen once the terminal is back.
    Fd rd, wr;
    if (OpenPipe(rd, wr)) {
      FileActions fa;
      posix_spawn_file_actions_adddup2(&fa.fa, wr.get(), 1);
      posix_spawn_file_actions_adddup2(&fa.fa, wr.get(), 2);
      pid = Spawn(argv, &fa.fa);
      wr.Reset();
      if (pid >= 0) {
        char buf[4096];
        for (;;) {
          ssize_t n = ::read(rd.get(), buf, sizeof buf);
          if (n > 0) {
            KeepOutput(*output, buf, static_cast<size_t>(n));
          } else if (n == 0 || errno != EINTR) {
            break;
          }
        }
      }
    }
  } else {
    pid = Spawn(argv, nullptr);
  }
  int result = pid < 0 ? -1 : WaitFor(pid);
  term.Resume();
  term.Invalidate();
  Refresh();
  return result;
}

}  // namespace platform
