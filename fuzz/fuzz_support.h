// What the fuzz targets share: the check that ends the run on a broken
// promise, and a scratch folder of the target's own, made once per process,
// where the input is written as the file the reader under test opens.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzzing {

inline void Check(bool ok) {
  if (!ok) abort();
}

// The folder, ending in "/"; removed with what it holds when the run ends.
inline const std::string& ScratchDir() {
  // Plain bytes: still there when the exit handlers run.
  static char name[] = "/tmp/kel-fuzz-XXXXXX";
  static const std::string dir = [] {
    if (mkdtemp(name) == nullptr) abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(name, ec);
    });
    return std::string(name) + "/";
  }();
  return dir;
}

// Writes the bytes as the named file in the scratch folder; returns its path.
inline std::string WriteScratch(const std::string& name, const std::string& bytes) {
  const std::string path = ScratchDir() + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

}  // namespace fuzzing
