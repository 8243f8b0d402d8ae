// KELPRINT: lays out the print work file of the suite's reports on the device
// its device record names. Started by the report without arguments; says in
// one line what it did.
#include <cstdio>

#include "tools/kelprint/kelprint.h"

int main() {
  tools::KelprintResult result = tools::RunKelprint(tools::RequestFromEnvironment());
  std::FILE* out = result.exit_code == 0 ? stdout : stderr;
  std::fprintf(out, "%s\n", result.message.c_str());
  return result.exit_code;
}
