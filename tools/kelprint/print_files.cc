// Work file reading and listing file creation.

#include "tools/kelprint/print_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "tools/kelprint/work_file.h"

namespace tools {

namespace {

std::string ErrorText(int err) {
  switch (err) {
    case ENOENT: return "no existeix";
    case ELOOP: return "és un enllaç simbòlic";
    case EACCES: return "no hi ha permís";
    case ENOTDIR: return "el camí no és una carpeta";
    case EISDIR: return "és una carpeta";
    case EPERM: return "no és un fitxer normal de l'usuari";
    default: return std::strerror(err);
  }
}

}  // namespace

bool OpenWorkFile::Open(const std::string& path, std::string& error) {
  size_ = 0;
  // The temporary directory may be shared: only the operator's own regular
  // file is read, never through a link, and a pipe is refused at once.
  if (!file_.Open(path, platform::File::Mode::kReadOwn)) {
    error = ErrorText(platform::ErrorNumber());
    return false;
  }
  // Up to the size it has now: a file still growing is not followed
  // without end.
  size_ = file_.Length();
  if (size_ < 0) {
    error = ErrorText(platform::ErrorNumber());
    return false;
  }
  return true;
}

bool OpenWorkFile::ReadAt(int64_t offset, char* data, size_t size, size_t& got,
                          std::string& error) {
  got = 0;
  if (offset >= size_) return true;
  size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), size_ - offset));
  platform::ErrorNumber() = 0;
  got = file_.ReadAt(offset, data, size);
  if (got < size && platform::ErrorNumber() != 0) {
    error = ErrorText(platform::ErrorNumber());
    return false;
  }
  return true;
}

bool FeedWorkFile(OpenWorkFile& file, int64_t from, WorkFileParser& parser,
                  std::string& error, size_t block) {
  std::vector<char> buf(block);
  for (int64_t at = from; at < file.size();) {
    size_t got = 0;
    if (!file.ReadAt(at, buf.data(), buf.size(), got, error)) return false;
    if (got == 0) break;
    at += static_cast<int64_t>(got);
    if (!parser.Feed(std::string_view(buf.data(), got))) return true;
  }
  parser.Finish();
  return true;
}

bool ReadWorkFile(const std::string& path, WorkFileParser& parser,
                  std::string& error) {
  OpenWorkFile file;
  return file.Open(path, error) && FeedWorkFile(file, 0, parser, error);
}

std::string ListingProgramName(const std::string& value) {
  bool ok = !value.empty() && value.size() <= 16;
  for (char c : value) {
    bool good = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                (c >= '0' && c <= '9') || c == '_' || c == '-';
    ok = ok && good;
  }
  return ok ? value : "RBPNDLST";
}

std::string ListingBaseName(const std::string& program,
                            const platform::LocalTime& t) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "-%04d%02d%02d-%02d%02d%02d", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return program + stamp;
}

bool EnsureDirectory(const std::string& dir, std::string& error) {
  if (dir.empty()) return true;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    error = dir + ": " + ErrorText(ENOTDIR);
    return false;
  }
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (!EnsureDirectory(dir.substr(0, slash), error)) return false;
  }
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    error = dir + ": " + ErrorText(errno);
    return false;
  }
  return true;
}

ListingFile::~ListingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty() && !kept_) ::unlink(path_.c_str());
}

bool ListingFile::Create(const std::string& dir, const std::string& base,
                         const std::string& ext, std::string& error) {
  constexpr int kMaxTries = 1000;
  std::string prefix = dir.empty() ? "" : dir + "/";
  for (int n = 0; n < kMaxTries; ++n) {
    std::string path = prefix + base + (n ? "-" + std::to_string(n) : "") + ext;
    int fd = ::open(path.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      path_ = path;
      return true;
    }
    if (errno != EEXIST) {
      error = path + ": " + ErrorText(errno);
      return false;
    }
  }
  error = prefix + base + ext + ": massa llistats amb aquest nom";
  return false;
}

bool ListingFile::Write(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0 && !failed_) {
    ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      break;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return !failed_;
}

bool ListingFile::Commit() {
  if (fd_ < 0) return false;
  int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0 || failed_) return false;
  kept_ = true;
  return true;
}

std::string AbsolutePath(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  if (dir.empty()) dir = "/";
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char resolved[PATH_MAX];
  if (::realpath(dir.c_str(), resolved) == nullptr) return path;
  std::string out = resolved;
  if (out.back() != '/') out += '/';
  return out + name;
}

}  // namespace tools
