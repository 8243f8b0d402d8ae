// Installation paths and the environment kind, derived from the environment
// variables the suite's launcher sets and from the session settings. Paths
// are kept as the program forms them ("\" separators, or "/" as given).
#pragma once

#include <string>

namespace config {

struct Paths {
  std::string root;       // KELROOT as it stands; expected to end with "\"
  std::string exe_dir;    // KELEXE as it stands
  std::string temp_dir;   // KELTMP, or the terminal directory; empty or ends in ":" or "\"
  std::string term_dir;   // Sessio.ini [Terminal] Dir, or TERM when it names a directory
  std::string env_kind;   // "CGI", "WIN" or "DOS"
};
Paths& PathsState();
void ResetPathsState();

// Appends "\" to a non-empty directory text that ends in neither ":" nor a
// separator.
std::string CompleteDirectory(const std::string& dir);

// The print work file, temporary directory + "kelprint.tmp": the module
// writes it, KELPRINT reads it.
std::string PrintFilePath();

// Fills the paths in start-up order, reading the session settings on the
// way (see ReadStartupSettings).
void SetUpPaths();

}  // namespace config
