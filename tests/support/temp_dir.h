// A fresh temporary folder for one test, removed with everything in it when
// the test ends.
#pragma once

#include <string>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, ending in "/".
  const std::string& path() const { return path_; }
  // Writes a file below the folder (parent folders created); returns its path.
  std::string Write(const std::string& relative, const std::string& contents) const;
  std::string Read(const std::string& relative) const;

 private:
  std::string path_;
};

// The whole contents of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// Makes a folder the current directory for the lifetime of the object (the
// programs open their installation files relative to it).
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& dir);
  ~ScopedCurrentDir();
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::string old_;
};

}  // namespace testing_support
