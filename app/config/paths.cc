// Directories from the launcher's environment and the session settings.
#include "app/config/paths.h"

#include "app/config/settings.h"
#include "platform/files.h"
#include "platform/system.h"

namespace config {

Paths& PathsState() {
  static Paths paths;
  return paths;
}

void ResetPathsState() { PathsState() = Paths(); }

std::string CompleteDirectory(const std::string& dir) {
  if (dir.empty() || dir.back() == ':' || platform::IsPathSeparator(dir.back())) return dir;
  return dir + "\\";
}

std::string PrintFilePath() { return PathsState().temp_dir + "kelprint.tmp"; }

void SetUpPaths() {
  Paths& p = PathsState();
  p.root = platform::GetEnv("KELROOT");
  p.exe_dir = platform::GetEnv("KELEXE");
  p.temp_dir = CompleteDirectory(platform::GetEnv("KELTMP"));
  ReadSessionSettings();   // also settles the terminal directory
  ReadTerminalSettings();  // from the temporary directory as it is now
  if (!platform::GetEnv("HTTP_USER_AGENT").empty() || !platform::GetEnv("HTTP_ACCEPT").empty())
    p.env_kind = "CGI";
  else if (!platform::GetEnv("WINDIR").empty() || !platform::GetEnv("SYSTEMROOT").empty())
    p.env_kind = "WIN";
  else
    p.env_kind = "DOS";
}

}  // namespace config
