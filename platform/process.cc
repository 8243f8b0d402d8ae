// Child programs: the print program and the help command (with the terminal
// handed over), and the clipboard tools (captured, with a time-out).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
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

}  // namespace

int RunCaptured(const std::vector<std::string>& argv, const std::string& input,
                std::string* output, int timeout_ms) {
  if (output != nullptr) output->clear();
  Fd in_read, in_write, out_read, out_write;
  int in_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) {
    ErrorNumber() = errno;
    return -1;
  }
  *in_read.ptr() = in_pipe[0];
  *in_write.ptr() = in_pipe[1];
  if (output != nullptr) {
    int out_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
      ErrorNumber() = errno;
      return -1;
    }
    *out_read.ptr() = out_pipe[0];
    *out_write.ptr() = out_pipe[1];
  }
  FileActions fa;
  posix_spawn_file_actions_adddup2(&fa.fa, in_read.get(), 0);
  if (output != nullptr) {
    posix_spawn_file_actions_adddup2(&fa.fa, out_write.get(), 1);
  } else {
    posix_spawn_file_actions_addopen(&fa.fa, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&fa.fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = Spawn(argv, &fa.fa);
  if (pid < 0) return -1;
  in_read.Reset();
  out_write.Reset();
  fcntl(in_write.get(), F_SETFL, O_NONBLOCK);
  if (output != nullptr) fcntl(out_read.get(), F_SETFL, O_NONBLOCK);

  const int64_t deadline = MonotonicMs() + std::max(timeout_ms, 0);
  size_t written = 0;
  if (input.empty()) in_write.Reset();
  int status = 0;
  bool exited = false;
  for (;;) {
    if (!exited) {
      pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) exited = true;
    }
    if (exited && in_write.get() < 0 && out_read.get() < 0) break;
    int64_t left = deadline - MonotonicMs();
    if (left <= 0) break;
    struct pollfd fds[2];
    nfds_t nfds = 0;
    if (in_write.get() >= 0) fds[nfds++] = {in_write.get(), POLLOUT, 0};
    if (out_read.get() >= 0) fds[nfds++] = {out_read.get(), POLLIN, 0};
    // Short naps while only the exit is awaited; waitpid cannot be polled.
    int wait = static_cast<int>(std::min<int64_t>(left, nfds == 0 || exited ? 5 : 20));
    int rc = poll(nfds == 0 ? nullptr : fds, nfds, wait);
    if (rc < 0 && errno != EINTR) break;
    for (nfds_t k = 0; rc > 0 && k < nfds; ++k) {
      if (fds[k].revents == 0) continue;
      if (fds[k].fd == in_write.get()) {
        ssize_t put = WriteNoSigpipe(in_write.get(), input.data() + written,
                                     input.size() - written);
        if (put > 0) written += static_cast<size_t>(put);
        if ((put < 0 && errno != EAGAIN && errno != EINTR) || written >= input.size()) {
          in_write.Reset();
        }
      } else {
        char buf[4096];
        ssize_t got = ::read(out_read.get(), buf, sizeof buf);
        if (got > 0) {
          output->append(buf, static_cast<size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
          out_read.Reset();
        }
      }
    }
    if (exited && out_read.get() >= 0 && rc == 0) {
      out_read.Reset();  // a grandchild keeps the pipe open: stop at exit
    }
  }
  if (!exited) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r != pid) {
      kill(pid, SIGKILL);
      WaitFor(pid);
      ErrorNumber() = ETIMEDOUT;
      return -1;
    }
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
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
      *rd.ptr() = fds[0];
      *wr.ptr() = fds[1];
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
            if (output->size() < (1u << 20)) output->append(buf, static_cast<size_t>(n));
          } else if (n == 0 || errno != EINTR) {
            break;
          }
        }
      }
    } else {
      ErrorNumber() = errno;
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
