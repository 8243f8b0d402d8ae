// KELPRINT: lays out the print work file of the suite's reports on the device
// its device record names. Started by the report without arguments; says in
// one line what it did (after a preview, a line for each listing it made).
#include <cstdio>

#include "platform/console.h"
#include "tools/kelprint/kelprint.h"

int main() {
  tools::KelprintResult result = tools::RunKelprint(tools::RequestFromEnvironment());
  // The terminal of a preview is given back before anything is said.
  platform::ShutdownTerminal();
  std::FILE* out = result.exit_code == 0 ? stdout : stderr;
  std::fprintf(out, "%s\n", result.message.c_str());
  return result.exit_code;
}
