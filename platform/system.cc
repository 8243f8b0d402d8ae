#include "platform/system.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/console.h"

namespace platform {

System& SystemState() {
  static System state;
  return state;
}

void ResetSystemState() { SystemState() = System(); }

std::string GetEnv(const std::string& name) {
  if (name.empty()) return std::string();
  const char* value = std::getenv(name.c_str());
  return value == nullptr ? std::string() : std::string(value);
}

LocalTime Now() {
  if (SystemState().clock) return SystemState().clock();
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm tm;
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // leap second
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

void SetClock(std::function<LocalTime()> clock) {
  SystemState().clock = std::move(clock);
}

int64_t MonotonicMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SleepMs(int milliseconds) {
  if (SystemState().sleeper) {
    SystemState().sleeper(milliseconds);
    return;
  }
  if (milliseconds <= 0) return;
  struct timespec left;
  left.tv_sec = milliseconds / 1000;
  left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  // A hang-up during a long wait (a file locked by another program) ends
  // the program now rather than after the wait.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) CheckHangUp();
  CheckHangUp();
}

void SetSleep(std::function<void(int)> sleeper) {
  SystemState().sleeper = std::move(sleeper);
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  // Backslashes are path separators here, never escapes.
  std::vector<std::string> args;
  std::string current;
  bool in_arg = false;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_arg = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (in_arg) {
        args.push_back(current);
        current.clear();
        in_arg = false;
      }
    } else {
      current.push_back(c);
      in_arg = true;
    }
  }
  if (in_arg) args.push_back(current);
  return args;
}

std::string ExecutableDirectory() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) {
    SystemState().error_number = errno;
    return "./";
  }
  buf.resize(static_cast<size_t>(n));
  size_t slash = buf.rfind('/');
  if (slash == std::string::npos) return "./";
  return buf.substr(0, slash + 1);
}

}  // namespace platform
