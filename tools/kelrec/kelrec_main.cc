// kelrec: makes, fills and dumps installations of the report module.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/kelrec/commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int code = tools::RunKelrec(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
  std::cout.flush();
  return code;
}
