// The files KELPRINT reads and writes. The work file is read in blocks, never
// through a symbolic link (the temporary directory may be shared) and only
// when it is a regular file of the user who runs the program. Listings go
// into a folder that is created when missing, under names that hold the program name, the date and
// the time; an existing file is never replaced: "-1", "-2" ... are added.
// All paths here are operating-system paths. Messages are Catalan, UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/system.h"
#include "tools/kelprint/work_file.h"

namespace tools {

// The work file held open, read at any place up to the size it had when
// opened. False with a message when it cannot be opened or read ("no
// existeix", "és un enllaç simbòlic", ...).
class OpenWorkFile {
 public:
  bool Open(const std::string& path, std::string& error);
  int64_t size() const { return size_; }
  // Up to size bytes at offset; got is 0 at the end.
  bool ReadAt(int64_t offset, char* data, size_t size, size_t& got,
              std::string& error);

 private:
  platform::File file_;
  int64_t size_ = 0;
};

// Feeds the file from an offset to its end, or until the parser stops, and
// finishes the parser when the end was reached; what the parser made of it
// is the parser's to tell. False only when the file could not be read.
// Read in blocks of block bytes.
bool FeedWorkFile(OpenWorkFile& file, int64_t from, WorkFileParser& parser,
                  std::string& error, size_t block = 1 << 20);
// The whole work file, opened and fed.
bool ReadWorkFile(const std::string& path, WorkFileParser& parser,
                  std::string& error);

// The program name to put in listing names: the value given when it is 1 to
// 16 letters, digits, "_" or "-", else "RBPNDLST".
std::string ListingProgramName(const std::string& value);
// "RBPNDLST-20261208-163015".
std::string ListingBaseName(const std::string& program,
                            const platform::LocalTime& when);

// Creates the folder (and its parents) when missing.
bool EnsureDirectory(const std::string& dir, std::string& error);

// A newly created listing file, open for writing; closed (and, unless kept,
// removed) when it goes out of scope, so a failed rendering leaves nothing.
class ListingFile {
 public:
  ListingFile() = default;
  ~ListingFile();
  ListingFile(const ListingFile&) = delete;
  ListingFile& operator=(const ListingFile&) = delete;

  // dir + "/" + base + ext, or base + "-1" + ext and so on when taken.
  bool Create(const std::string& dir, const std::string& base,
              const std::string& ext, std::string& error);
  bool Write(const void* data, size_t size);
  // Closes and keeps the file; false when anything written was lost.
  bool Commit();
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  bool failed_ = false;
  bool kept_ = false;
  std::string path_;
};

// Absolute form of a path whose folder exists (the path itself otherwise).
std::string AbsolutePath(const std::string& path);

}  // namespace tools
