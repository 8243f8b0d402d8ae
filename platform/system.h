// Environment, clock, sleeps and child programs. The clock and the sleep can
// be replaced by tests (the lock waits sleep seconds at a time).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Value of an environment variable, empty when unset.
std::string GetEnv(const std::string& name);

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};
LocalTime Now();
void SetClock(std::function<LocalTime()> clock);  // empty: the real clock

// Milliseconds of a clock that never goes back, for time-outs and waits
// (not replaced by tests: it measures, it does not date).
int64_t MonotonicMs();

void SleepMs(int milliseconds);
void SetSleep(std::function<void(int)> sleeper);  // empty: a real sleep

// Splits a command line into arguments: blanks separate, double quotes group.
std::vector<std::string> SplitCommandLine(const std::string& line);
// Runs the command without a shell and waits for it. The terminal is handed
// to the child and taken back, and the screen is repainted afterwards. With
// output, what the child writes on its standard output and error is
// collected there (up to 1 MiB) instead of reaching the terminal. Returns the
// exit status (kSignalledStatus + the signal number when a signal ended it),
// or -1 when the program could not be started.
int RunCommand(const std::string& command_line, std::string* output = nullptr);
// The same with the arguments given one by one; none of them is split again.
int RunCommand(const std::vector<std::string>& argv, std::string* output = nullptr);
// Directory of the running program, ending in "/".
std::string ExecutableDirectory();

// Which output stream of a child RunCaptured collects.
enum class Captured : uint8_t { kStandardOutput, kStandardError };
// A time-out of RunCaptured that never comes.
constexpr int kNoTimeLimit = -1;
// The exit status of a child ended by signal n is kSignalledStatus + n, as
// a shell reports it.
constexpr int kSignalledStatus = 128;
// Runs a program (no shell, no terminal hand-over) with input on its standard
// input, collecting the chosen output stream (up to 1 MiB of it) and
// discarding the other. The child is killed when it outlives timeout_ms
// (kNoTimeLimit: waited for however long). Returns the exit status
// (kSignalledStatus + the signal number when a signal ended it), or -1 when
// it could not be started or was killed for its time (the clipboard tools
// and the print queue use this).
int RunCaptured(const std::vector<std::string>& argv, const std::string& input,
                std::string* output, int timeout_ms,
                Captured which = Captured::kStandardOutput);

// Process-wide state of the operating-system services: the last error number
// and the replaceable clock and sleep. One struct so that tests can reset it.
struct System {
  int error_number = 0;
  std::function<LocalTime()> clock;
  std::function<void(int)> sleeper;
};
System& SystemState();
void ResetSystemState();

}  // namespace platform
