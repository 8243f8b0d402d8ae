#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/files.h"

namespace platform {

namespace {

// File systems whose every change passes through this kernel.
bool IsLocalFileSystem(const std::string& folder) {
  struct statfs fs {};
  if (::statfs(folder.c_str(), &fs) != 0) return false;
  switch (static_cast<uint32_t>(fs.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x9123683E:  // btrfs
    case 0x01021994:  // tmpfs
    case 0x794C7630:  // overlayfs
    case 0x2FC12FC1:  // zfs
    case 0xF2F52010:  // f2fs
      return true;
    default:
      return false;
  }
}

}  // namespace

FileWatch::~FileWatch() { Stop(); }

FileWatch::FileWatch(FileWatch&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileWatch& FileWatch::operator=(FileWatch&& other) noexcept {
  if (this != &other) {
    Stop();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool FileWatch::Start(const std::string& path) {
  Stop();
  const std::string file = OsPath(path);
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  if (!IsLocalFileSystem(folder)) return false;
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return false;
  // The folder tells of the file coming, going or being replaced; the file
  // of writes to it. A missing file has only the folder's watch.
  constexpr uint32_t kFolder = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                               IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
  constexpr uint32_t kFile =
      IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
  if (::inotify_add_watch(fd_, folder.c_str(), kFolder) < 0) {
    Stop();
    return false;
  }
  ::inotify_add_watch(fd_, file.c_str(), kFile);
  return true;
}

void FileWatch::Stop() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FileWatch::Changed() {
  if (fd_ < 0) return true;
  alignas(inotify_event) char events[4096];
  bool any = false;
  for (;;) {
    const ssize_t got = ::read(fd_, events, sizeof events);
    if (got > 0) {
      any = true;  // every event we asked for (and an overflow) is a change
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    // Nothing more to read; anything but "nothing" is no proof of no change.
    return any || !(got < 0 && errno == EAGAIN);
  }
}

}  // namespace platform
