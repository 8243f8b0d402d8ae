// The kelrec command line: init, import, export, demo, help (and the
// maintainers' "ddf DIR", which writes the creation dictionaries). Returns
// the exit code: 0 ok, 1 bad data, 2 usage. progress: keep a progress line of
// long imports on err (when it is a terminal).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tools {

int RunKelrec(const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err, bool progress = false);

}  // namespace tools
