// Any bytes as a CSV file for kelrec import (the first byte picks the kind):
// the import either writes every row or none and says what was wrong, its
// messages never carry a byte that could steer a terminal and never grow
// with the input, and what it wrote exports and imports again unchanged.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tools/kelrec/layouts.h"
#include "tools/kelrec/transfer.h"

namespace {

// An installation with the dictionaries and an empty DADES, made once.
const std::string& Root() {
  static const std::string root = [] {
    const std::string dir = fuzzing::ScratchDir() + "inst";
    std::filesystem::create_directories(dir + "/DADES");
    std::filesystem::create_directories(dir + "/ddf");
    std::string error;
    fuzzing::Check(tools::WriteDictionaries(dir + "/ddf", error));
    return dir;
  }();
  return root;
}

// Every line a message of its own, of bounded length, without control bytes.
void CheckMessages(const std::string& text, size_t path_length) {
  size_t line = 0;
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (c == '\n') {
      line = 0;
      continue;
    }
    fuzzing::Check(b >= 0x20 && b != 0x7F && ++line < path_length + 400);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const tools::Kind kind = static_cast<tools::Kind>(data[0] % 4);
  const std::string csv = fuzzing::WriteScratch(
      "in.csv", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  std::ostringstream err;
  const int rc = tools::ImportCsv(Root(), kind, csv, /*replace=*/true, err);
  fuzzing::Check(rc == tools::kExitOk || rc == tools::kExitBadData);
  fuzzing::Check((rc == tools::kExitOk) == err.str().empty());
  CheckMessages(err.str(), csv.size());
  if (rc != tools::kExitOk) return 0;

  std::ostringstream exported, again, quiet;
  fuzzing::Check(tools::ExportCsv(Root(), kind, exported, quiet) == tools::kExitOk);
  const std::string copy = fuzzing::WriteScratch("copy.csv", exported.str());
  fuzzing::Check(tools::ImportCsv(Root(), kind, copy, true, quiet) == tools::kExitOk);
  fuzzing::Check(tools::ExportCsv(Root(), kind, again, quiet) == tools::kExitOk);
  fuzzing::Check(again.str() == exported.str());
  return 0;
}
