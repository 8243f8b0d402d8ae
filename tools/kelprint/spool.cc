// lp lookup and start.

#include "tools/kelprint/spool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace tools {

std::string FindProgram(const std::string& name, const std::string& search_path) {
  size_t pos = 0;
  while (pos <= search_path.size()) {
    size_t colon = search_path.find(':', pos);
    if (colon == std::string::npos) colon = search_path.size();
    std::string dir = search_path.substr(pos, colon - pos);
    pos = colon + 1;
    if (dir.empty()) continue;
    std::string candidate = dir + (dir.back() == '/' ? "" : "/") + name;
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return "";
}

bool IsQueueName(const std::string& name) {
  if (name.empty() || name.size() > 127 || name[0] == '-') return false;
  for (char c : name) {
    bool good = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' ||
                c == '@';
    if (!good) return false;
  }
  return true;
}

SpoolResult SendToQueue(const std::string& lp, const std::string& queue,
                        const std::string& file) {
  SpoolResult result;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // lp's "request id is ..." would be a second line of ours.
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null",
                                   O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  std::vector<std::string> args = {"lp", "-d", queue, file};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, lp.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    return result;
  }
  result.started = true;
  std::string said;
  char buf[1024];
  for (;;) {
    ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (said.size() < 4096) said.append(buf, static_cast<size_t>(n));
  }
  ::close(pipe_fds[0]);
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  size_t nl = said.find('\n');
  result.output = said.substr(0, nl);
  for (char& c : result.output)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  return result;
}

}  // namespace tools
