// Notices changes to one file without asking the file system at every look:
// the kernel reports each write to the file and each entry made, renamed or
// removed in its folder, as it happens. Only on local file systems, whose
// changes the kernel sees in full; on a network share another machine's
// writes would go unreported, so Start refuses and the caller looks at the
// file itself.
#pragma once

#include <string>

namespace platform {

class FileWatch {
 public:
  FileWatch() = default;
  ~FileWatch();
  FileWatch(FileWatch&& other) noexcept;
  FileWatch& operator=(FileWatch&& other) noexcept;
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // Watches the file at path (which may be missing) and its folder; false
  // when that cannot be done here.
  bool Start(const std::string& path);
  void Stop();
  bool Active() const { return fd_ >= 0; }
  // True when anything may have happened to the file since Start or the
  // last call, and always while the watch is not active.
  bool Changed();

 private:
  int fd_ = -1;
};

}  // namespace platform
