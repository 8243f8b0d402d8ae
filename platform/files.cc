#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/system.h"

namespace platform {

int& ErrorNumber() { return SystemState().error_number; }

namespace {

bool Fail(int err) {
  ErrorNumber() = err;
  return false;
}

bool StatPath(const std::string& path, struct stat& st) {
  if (path.empty()) return Fail(ENOENT);
  // Called for every catalogue lookup: a path already in the system's form
  // is not copied.
  const int rc = path.find('\\') == std::string::npos ? ::stat(path.c_str(), &st)
                                                      : ::stat(OsPath(path).c_str(), &st);
  if (rc != 0) return Fail(errno);
  return true;
}

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.device = static_cast<uint64_t>(st.st_dev);
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  stamp.size = static_cast<int64_t>(st.st_size);
  stamp.modified_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  stamp.regular = S_ISREG(st.st_mode);
  return stamp;
}

}  // namespace

std::string OsPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool ChangeDirectory(const std::string& path) {
  if (path.empty()) return Fail(ENOENT);
  if (::chdir(OsPath(path).c_str()) != 0) return Fail(errno);
  return true;
}

bool DeleteFile(const std::string& path) {
  if (path.empty()) return Fail(ENOENT);
  if (::unlink(OsPath(path).c_str()) != 0) return Fail(errno);
  return true;
}

int64_t FileLength(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st)) return -1;
  if (S_ISDIR(st.st_mode)) {
    Fail(EISDIR);
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_), pos_(other.pos_) {
  other.fd_ = -1;
  other.pos_ = 0;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    pos_ = other.pos_;
    other.fd_ = -1;
    other.pos_ = 0;
  }
  return *this;
}

bool File::Open(const std::string& path, Mode mode, bool no_follow,
                bool exclusive) {
  Close();
  if (path.empty()) return Fail(ENOENT);
  int flags = O_CLOEXEC;
  bool truncate = false;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR | O_CREAT;
      break;
    case Mode::kOutput:
      // Emptied only once the lock is ours, so a refused exclusive open
      // never destroys the holder's contents.
      flags |= O_WRONLY | O_CREAT;
      truncate = true;
      break;
    case Mode::kAppend:
      flags |= O_WRONLY | O_CREAT | O_APPEND;
      break;
    case Mode::kCreateNew:
      // O_EXCL also refuses a symbolic link of that name.
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
    case Mode::kReadOwn:
      // Non-blocking, so that a FIFO planted at the name cannot hang us.
      flags |= O_RDONLY | O_NOFOLLOW | O_NONBLOCK;
      break;
    case Mode::kReadPlain:
      flags |= O_RDONLY | O_NONBLOCK;
      break;
    case Mode::kOutputOwn:
      // A FIFO without a reader fails at once (ENXIO) instead of waiting.
      flags |= O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK;
      truncate = true;
      break;
  }
  if (no_follow) flags |= O_NOFOLLOW;
  int fd;
  do {
    fd = ::open(OsPath(path).c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Fail(errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    return Fail(err);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Fail(EISDIR);
  }
  const bool own_only = mode == Mode::kReadOwn || mode == Mode::kOutputOwn;
  if (own_only && (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
    ::close(fd);
    return Fail(EPERM);
  }
  if (mode == Mode::kReadPlain && !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Fail(EINVAL);
  }
  if (exclusive) {
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      int err = errno;
      ::close(fd);
      return Fail(err);
    }
  }
  if (truncate && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
    int err = errno;
    ::close(fd);
    return Fail(err);
  }
  fd_ = fd;
  pos_ = 0;
  return true;
}

void File::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  pos_ = 0;
}

int64_t File::Length() const {
  if (fd_ < 0) {
    Fail(EBADF);
    return -1;
  }
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    Fail(errno);
    return -1;
  }
  return static_cast<int64_t>(st.st_size);
}

bool File::Truncate(int64_t length) {
  if (fd_ < 0) return Fail(EBADF);
  if (length < 0) return Fail(EINVAL);
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return Fail(errno);
  return true;
}

bool File::IsOwnRegularFile() const {
  if (fd_ < 0) return Fail(EBADF);
  struct stat st;
  if (::fstat(fd_, &st) != 0) return Fail(errno);
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return Fail(EPERM);
  return true;
}

size_t File::ReadAt(int64_t offset, void* data, size_t n) {
  if (fd_ < 0) {
    Fail(EBADF);
    return 0;
  }
  if (offset < 0) {
    Fail(EINVAL);
    return 0;
  }
  char* out = static_cast<char*>(data);
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd_, out + done, n - done,
                          static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      break;
    }
    if (got == 0) break;  // end of file: the count tells the caller
    done += static_cast<size_t>(got);
  }
  return done;
}

bool File::WriteAt(int64_t offset, const void* data, size_t n) {
  if (fd_ < 0) return Fail(EBADF);
  if (offset < 0) return Fail(EINVAL);
  const char* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < n) {
    ssize_t put = ::pwrite(fd_, in + done, n - done,
                           static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    if (put == 0) return Fail(EIO);
    done += static_cast<size_t>(put);
  }
  return true;
}

size_t File::Read(void* data, size_t n) {
  size_t got = ReadAt(pos_, data, n);
  pos_ += static_cast<int64_t>(got);
  return got;
}

bool File::Write(std::string_view data) {
  if (fd_ < 0) return Fail(EBADF);
  int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0 && (flags & O_APPEND)) {
    // pwrite ignores the offset under O_APPEND; plain writes say so openly.
    size_t done = 0;
    while (done < data.size()) {
      ssize_t put = ::write(fd_, data.data() + done, data.size() - done);
      if (put < 0) {
        if (errno == EINTR) continue;
        return Fail(errno);
      }
      done += static_cast<size_t>(put);
    }
    int64_t len = Length();
    pos_ = len < 0 ? pos_ + static_cast<int64_t>(done) : len;
    return true;
  }
  if (!WriteAt(pos_, data.data(), data.size())) return false;
  pos_ += static_cast<int64_t>(data.size());
  return true;
}

bool File::ReadLine(std::string& line) {
  line.clear();
  if (fd_ < 0) return Fail(EBADF);
  char buf[4096];
  bool any = false;
  for (;;) {
    size_t got = ReadAt(pos_, buf, sizeof buf);
    if (got == 0) break;
    any = true;
    const char* nl = static_cast<const char*>(std::memchr(buf, '\n', got));
    if (nl != nullptr) {
      size_t take = static_cast<size_t>(nl - buf);
      line.append(buf, take);
      pos_ += static_cast<int64_t>(take + 1);
      break;
    }
    line.append(buf, got);
    pos_ += static_cast<int64_t>(got);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

std::string File::ReadAll() {
  std::string out;
  if (fd_ < 0) {
    Fail(EBADF);
    return out;
  }
  char buf[65536];
  int64_t at = 0;
  for (;;) {
    size_t got = ReadAt(at, buf, sizeof buf);
    if (got == 0) break;
    out.append(buf, got);
    at += static_cast<int64_t>(got);
  }
  return out;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  File f;
  if (!f.Open(path, File::Mode::kRead)) return false;
  contents = f.ReadAll();
  return true;
}

bool File::Stamp(FileStamp& stamp) const {
  if (fd_ < 0) return Fail(EBADF);
  struct stat st;
  if (::fstat(fd_, &st) != 0) return Fail(errno);
  stamp = StampOf(st);
  return true;
}

bool File::ReadAtMost(size_t limit, std::string& contents) {
  contents.clear();
  int64_t length = Length();
  if (length < 0 || static_cast<uint64_t>(length) > limit) return Fail(EFBIG);
  // One byte more than measured tells a file that grew since.
  contents.resize(static_cast<size_t>(length) + 1);
  contents.resize(ReadAt(0, contents.data(), contents.size()));
  if (contents.size() > limit) {
    contents.clear();
    return Fail(EFBIG);
  }
  return true;
}

namespace {

bool ReadBounded(const std::string& path, File::Mode mode, std::string& contents,
                 size_t limit) {
  contents.clear();
  File f;
  return f.Open(path, mode) && f.ReadAtMost(limit, contents);
}

}  // namespace

bool ReadOwnFile(const std::string& path, std::string& contents, size_t limit) {
  return ReadBounded(path, File::Mode::kReadOwn, contents, limit);
}

bool ReadPlainFile(const std::string& path, std::string& contents, size_t limit) {
  return ReadBounded(path, File::Mode::kReadPlain, contents, limit);
}

bool StampOfFile(const std::string& path, FileStamp& stamp) {
  struct stat st;
  if (!StatPath(path, st)) return false;
  stamp = StampOf(st);
  return true;
}

bool ReadRegularFile(const std::string& path, size_t limit, std::string& contents,
                     FileStamp& stamp) {
  contents.clear();
  File f;
  if (!f.Open(path, File::Mode::kReadPlain)) return false;
  return f.Stamp(stamp) && f.ReadAtMost(limit, contents);
}

bool ReplaceFile(const std::string& path, const std::string& contents) {
  constexpr int kTries = 100;
  File f;
  std::string fresh;
  for (int n = 0; n < kTries && !f.IsOpen(); ++n) {
    fresh = path + "." + std::to_string(::getpid()) + "-" + std::to_string(n);
    if (!f.Open(fresh, File::Mode::kCreateNew) && ErrorNumber() != EEXIST) return false;
  }
  if (!f.IsOpen()) return false;
  bool written = f.WriteAt(0, contents.data(), contents.size());
  f.Close();
  if (written && ::rename(OsPath(fresh).c_str(), OsPath(path).c_str()) == 0) return true;
  int err = written ? errno : ErrorNumber();
  ::unlink(OsPath(fresh).c_str());
  return Fail(err);
}

}  // namespace platform
