// kelhelp: turns the readable help sources into the installation's .HLP
// files. From the source tree:
//   build/bin/kelhelp install/AJUDA install/AJUDA/src/*.txt
#include <iostream>
#include <string>

#include "tools/kelhelp/help_source.h"

int main(int argc, char** argv) {
  std::string err;
  const int code = tools::RunKelhelp(argc, argv, err);
  std::cerr << err;
  return code;
}
