// Handing a PDF to a print queue with the system's "lp". The program is
// looked up in PATH and started without a shell; its own output is caught so
// that KELPRINT still says what happened in one line.
#pragma once

#include <string>

namespace tools {

// Full path of an executable file called name in one of the folders of the
// PATH-style list; empty when there is none. Empty entries (the current
// folder) are not searched.
std::string FindProgram(const std::string& name, const std::string& search_path);

// Queue names that can be given to lp as they are: 1 to 127 letters, digits
// and "_-.@", not starting with "-".
bool IsQueueName(const std::string& name);

struct SpoolResult {
  bool started = false;  // false: lp could not be run at all
  int status = -1;       // its exit status (-1: ended by a signal)
  std::string output;    // first line of what it said on error output
};

// Runs "lp -d queue file" and waits for it.
SpoolResult SendToQueue(const std::string& lp, const std::string& queue,
                        const std::string& file);

}  // namespace tools
