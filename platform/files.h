// Plain files. Paths are formed by the program with "\" as separator; OsPath
// turns them into operating-system paths ("\" becomes "/"). Failures never
// throw: they return false or 0 and set ErrorNumber().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Process-wide number of the last failed operation (0 none). errno values.
int& ErrorNumber();

std::string OsPath(const std::string& path);
// "\" and "/" both separate path components.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool FileExists(const std::string& path);
// A regular file (after symbolic links), not a FIFO, device or directory.
bool IsRegularFile(const std::string& path);
bool DirectoryExists(const std::string& path);
bool DeleteFile(const std::string& path);
// Makes the directory the current one; relative paths start there.
bool ChangeDirectory(const std::string& path);
int64_t FileLength(const std::string& path);  // -1 when missing

// What tells one version of a file from another without reading it. A file
// rewritten in place within one tick of the file system's clock and to the
// same size keeps its stamp.
struct FileStamp {
  uint64_t device = 0, inode = 0;
  int64_t size = -1;
  int64_t modified_ns = 0;
  bool regular = false;
  bool operator==(const FileStamp&) const = default;
};

// An open file; closed when it goes out of scope. Offsets are 0-based.
class File {
 public:
  enum class Mode {
    kRead,       // existing file, read only
    kReadWrite,  // created when missing, not truncated
    kOutput,     // created or emptied, write only
    kAppend,     // created when missing, writes at the end
    kCreateNew,  // a new file, write only; fails when the name exists
    kReadOwn,    // an existing regular file of this user, read only, never
                 // through a symbolic link
    kReadPlain,  // an existing regular file of anyone, read only; a FIFO or
                 // a device is refused without waiting on it
    kOutputOwn,  // created or emptied, write only, as kOutput, but only a
                 // regular file of this user, never through a symbolic link;
                 // anything else under the name is left as it was
  };
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // no_follow: refuse a symbolic link in the last component (work files in a
  // shared temporary directory). exclusive: an advisory lock that another
  // exclusive opener cannot also take.
  bool Open(const std::string& path, Mode mode, bool no_follow = false,
            bool exclusive = false);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

  int64_t Length() const;
  // Cuts the file to length bytes (the position stays where it was).
  bool Truncate(int64_t length);
  // A regular file owned by the operator (work files in the temporary
  // directory must be nobody else's and nothing but a file).
  bool IsOwnRegularFile() const;
  // Reads up to n bytes at offset; returns how many were read.
  size_t ReadAt(int64_t offset, void* data, size_t n);
  bool WriteAt(int64_t offset, const void* data, size_t n);
  // Sequential access from the current position.
  size_t Read(void* data, size_t n);
  bool Write(std::string_view data);
  int64_t Tell() const { return pos_; }
  void Seek(int64_t offset) { pos_ = offset; }
  // Reads one line without its CR LF or LF; false at end of file.
  bool ReadLine(std::string& line);
  // Whole contents (empty on failure).
  std::string ReadAll();
  // Reads the whole file when it holds at most limit bytes; false (EFBIG)
  // when it holds more, also when it grew past the limit while being read.
  bool ReadAtMost(size_t limit, std::string& contents);
  bool Stamp(FileStamp& stamp) const;

 private:
  int fd_ = -1;
  int64_t pos_ = 0;
};

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& contents);

// The stamp of the file at path (symbolic links followed); false when there
// is none to be had (ErrorNumber() says why).
bool StampOfFile(const std::string& path, FileStamp& stamp);
// Reads a regular file of at most limit bytes, and the stamp it had when it
// was opened. A FIFO, device or directory is refused (EINVAL) without
// waiting on it, a longer file too (EFBIG).
bool ReadRegularFile(const std::string& path, size_t limit, std::string& contents,
                     FileStamp& stamp);

// Work files that persist in a folder other people may write to. Reading
// takes only a regular file of this user, not through a symbolic link, and
// at most limit bytes (false otherwise). Replacing writes a fresh file beside
// the target and renames it over it, so a reader never sees half a file and
// nothing is ever written through a link planted at the target's name.
bool ReadOwnFile(const std::string& path, std::string& contents, size_t limit);
// Installation files (settings, forms, help): only a regular file, never a
// FIFO or a device, and at most limit bytes (false otherwise, ErrorNumber
// EFBIG when it is longer).
bool ReadPlainFile(const std::string& path, std::string& contents, size_t limit);
bool ReplaceFile(const std::string& path, const std::string& contents);

}  // namespace platform
