// lp lookup and start, through the platform's child processes.

#include "tools/kelprint/spool.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/system.h"

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
  // Only its error output is kept: lp's "request id is ..." would be a
  // second line of ours. lp hands the file over and ends, so no time limit.
  std::string said;
  const int rc = platform::RunCaptured({lp, "-d", queue, file}, std::string(), &said,
                                       platform::kNoTimeLimit, platform::Captured::kStandardError);
  if (rc < 0) return result;
  result.started = true;
  result.status = rc > platform::kSignalledStatus ? -1 : rc;
  result.output = said.substr(0, said.find('\n'));
  for (char& c : result.output)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  return result;
}

}  // namespace tools
