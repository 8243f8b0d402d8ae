// A child process for tests of several processes at once (fork): it runs a
// body and the two sides pass single bytes to each other through pipes.
// Header only.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace testing_support {

// A child process running body; it reports bytes to the parent through a
// pipe and is told to go on by bytes from the parent.
class Child {
 public:
  explicit Child(const std::function<int(Child&)>& body) {
    int up[2], down[2];
    if (pipe(up) != 0 || pipe(down) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(up[0]);
      close(down[1]);
      to_parent_ = up[1];
      from_parent_ = down[0];
      int code = 99;
      try {
        code = body(*this);
      } catch (...) {
      }
      _exit(code);
    }
    close(up[1]);
    close(down[0]);
    from_child_ = up[0];
    to_child_ = down[1];
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    for (int fd : {from_child_, to_child_}) if (fd >= 0) close(fd);
  }
  // In the child.
  void Tell(char c) { (void)!write(to_parent_, &c, 1); }
  char Hear() {
    char c = 0;
    return read(from_parent_, &c, 1) == 1 ? c : 0;
  }
  // In the parent.
  char Hear_() {
    char c = 0;
    return read(from_child_, &c, 1) == 1 ? c : 0;
  }
  void Tell_(char c) { (void)!write(to_child_, &c, 1); }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  void Kill() { kill(pid_, SIGKILL); }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int to_parent_ = -1, from_parent_ = -1, from_child_ = -1, to_child_ = -1;
};

}  // namespace testing_support
