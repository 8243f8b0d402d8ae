// Engine state, record files on disk (create, open, validate) and the lock
// file.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/btrcall.h"
#include "store/engine.h"

namespace store::engine {
namespace {

// "KELR": marks our record files among SQLite databases.
constexpr int32_t kApplicationId = 0x4B454C52;
constexpr int kFirstCoveringVersion = 2;

Engine& Storage() {
  static Engine state;
  return state;
}

void MarkForked() { Storage().forked = true; }

// A child of fork() must not touch the connections it inherited (closing
// them could checkpoint or delete the parent's WAL): they are abandoned.
void ForgetInherited(Engine& s) {
  for (auto& c : s.cursors) {
    if (!c) continue;
    for (auto& st : c->forward) st.Forget();
    for (auto& st : c->backward) st.Forget();
    c->live = nullptr;
  }
  for (auto& w : s.files) {
    if (auto f = w.lock()) {
      f->select_record.Forget(); f->insert_record.Forget();
      f->update_record.Forget(); f->delete_record.Forget(); f->update_copy.Forget();
      f->select_meta.Forget(); f->update_meta.Forget();
      f->savepoint.Forget(); f->release.Forget(); f->rollback_to.Forget();
      f->begin_read.Forget(); f->end_read.Forget();
      for (auto& st : f->insert_key) st.Forget();
      for (auto& st : f->delete_key) st.Forget();
      for (auto& st : f->find_key) st.Forget();
      f->db = nullptr;  // leaked on purpose
      if (f->lock_fd >= 0) close(f->lock_fd);  // our child holds no locks
      f->lock_fd = -1;
    }
  }
  // Leak the objects too: their destructors must not run sqlite3 calls.
  for (auto& c : s.cursors) (void)c.release();
  s = Engine();
}

// Reads and checks the marks and the creation specification of a freshly opened
// connection.
int16_t Validate(OpenFile& f) {
  Stmt st;
  if (!st.Prepare(f.db, "PRAGMA application_id"))
    return SqliteStatus(sqlite3_errcode(f.db));
  int rc = sqlite3_step(st.get());
  if (rc != SQLITE_ROW) return SqliteStatus(rc);
  if (sqlite3_column_int(st.get(), 0) != kApplicationId) return kStNotRecordFile;
  st.Finalize();
  // A file of a later layout than this program knows is not read as if it
  // were one it knows.
  if (!st.Prepare(f.db, "PRAGMA user_version") || sqlite3_step(st.get()) != SQLITE_ROW)
    return SqliteStatus(sqlite3_errcode(f.db));
  const int version = sqlite3_column_int(st.get(), 0);
  if (version < 1 || version > kFormatVersion) return kStNotRecordFile;
  f.covering = version >= kFirstCoveringVersion;
  st.Finalize();
  if (!st.Prepare(f.db, "SELECT value FROM meta WHERE name = 'spec'"))
    return kStNotRecordFile;
  rc = sqlite3_step(st.get());
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? int16_t(kStNotRecordFile) : SqliteStatus(rc);
  const void* blob = sqlite3_column_blob(st.get(), 0);
  int n = sqlite3_column_bytes(st.get(), 0);
  if (ParseCreationSpec(static_cast<const uint8_t*>(blob), size_t(n),
                        f.spec) != kStOk)
    return kStNotRecordFile;
  return kStOk;
}

// Whether this process may write the file and its folder: WAL needs to
// make its -wal and -shm files beside it.
bool WritableByUs(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 &&
         faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0;
}

// A file: URI of the path, with what a URI reserves escaped.
std::string FileUri(const std::string& path, const char* parameters) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '-' || c == '_';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri + "?" + parameters;
}

enum ConnectMode { kReadWrite, kReadOnly, kReadOnlyUri };

// Opens the connection, runs first (if any) before anything is read, and
// checks that the file is one of ours.
int16_t Connect(OpenFile& f, const std::string& name, ConnectMode mode,
                const char* first = nullptr) {
  if (f.db != nullptr) sqlite3_close_v2(f.db);
  f.db = nullptr;
  const int flags = SQLITE_OPEN_NOMUTEX |
                    (mode == kReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                    (mode == kReadOnlyUri ? SQLITE_OPEN_URI : 0);
  const int rc = sqlite3_open_v2(name.c_str(), &f.db, flags, nullptr);
  if (rc != SQLITE_OK) return SqliteStatus(rc);
  f.writable = mode == kReadWrite;
  // A writer holding the file (a long import) is waited for, not failed.
  sqlite3_busy_timeout(f.db, 10000);
  if (first != nullptr && !Exec(f.db, first)) return SqliteStatus(sqlite3_errcode(f.db));
  return Validate(f);
}

// A file this process cannot write (a read-only share, an auditor's copy)
// is still read. With its -wal and -shm files there SQLite reads it as
// usual; without them it needs to make the -shm, which it cannot, so:
// with no -wal the file holds everything and is opened as immutable; with a
// -wal left behind (a writer that died), SQLite reads the WAL into private
// memory when it takes the file for itself, so it does so without locks (no
// writer can be at work without the -shm).
int16_t ConnectReadOnly(OpenFile& f, const std::string& path) {
  int16_t st = Connect(f, path, kReadOnly);
  if (st == kStOk || st == kStNotRecordFile) return st;
  struct stat wal{};
  if (stat((path + "-wal").c_str(), &wal) != 0 || wal.st_size == 0)
    return Connect(f, FileUri(path, "immutable=1"), kReadOnlyUri);
  return Connect(f, FileUri(path, "mode=ro&vfs=unix-none"), kReadOnlyUri,
                 "PRAGMA locking_mode = EXCLUSIVE");
}

int16_t PrepareFileStatements(OpenFile& f) {
  bool ok =
      f.select_record.Prepare(f.db, "SELECT data FROM rec WHERE id = ?1") &&
      f.insert_record.Prepare(f.db, "INSERT INTO rec(id, data) VALUES(?1, ?2)") &&
      f.update_record.Prepare(f.db, "UPDATE rec SET data = ?2 WHERE id = ?1") &&
      f.delete_record.Prepare(f.db, "DELETE FROM rec WHERE id = ?1") &&
      f.select_meta.Prepare(
          f.db, "SELECT (SELECT value FROM meta WHERE name = 'records'),"
                " (SELECT value FROM meta WHERE name = 'next_id')") &&
      f.update_meta.Prepare(f.db, "UPDATE meta SET value = ?2 WHERE name = ?1") &&
      f.savepoint.Prepare(f.db, "SAVEPOINT w") &&
      f.release.Prepare(f.db, "RELEASE w") &&
      f.rollback_to.Prepare(f.db, "ROLLBACK TO w") &&
      f.begin_read.Prepare(f.db, "BEGIN") && f.end_read.Prepare(f.db, "COMMIT");
  if (!ok) return kStNotRecordFile;
  if (f.covering &&
      !f.update_copy.Prepare(f.db, "UPDATE key0 SET data = ?3 WHERE k = ?1 AND id = ?2"))
    return kStNotRecordFile;
  const size_t n = f.spec.keys.size();
  f.insert_key = std::vector<Stmt>(n);
  f.delete_key = std::vector<Stmt>(n);
  f.find_key = std::vector<Stmt>(n);
  for (size_t k = 0; k < n; ++k) {
    const std::string t = "key" + std::to_string(k);
    const std::string insert =
        CarriesRecord(f, k) ? "(k, id, data) VALUES(?1, ?2, ?3)" : "(k, id) VALUES(?1, ?2)";
    if (!f.insert_key[k].Prepare(f.db, "INSERT INTO " + t + insert) ||
        !f.delete_key[k].Prepare(f.db, "DELETE FROM " + t + " WHERE k = ?1 AND id = ?2") ||
        !f.find_key[k].Prepare(f.db, "SELECT id FROM " + t + " WHERE k = ?1 LIMIT 1"))
      return kStNotRecordFile;
  }
  return kStOk;
}

}  // namespace

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int16_t SqliteStatus(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_BUSY: case SQLITE_LOCKED:
      // Another connection holds the database: the whole file is busy.
      return kStFileLocked;
    case SQLITE_READONLY: case SQLITE_PERM: case SQLITE_AUTH:
      return kStAccessDenied;
    case SQLITE_NOTADB: case SQLITE_FORMAT:
      return kStNotRecordFile;
    default:
      return kStIoError;
  }
}

bool Stmt::Prepare(sqlite3* db, const std::string& sql) {
  Finalize();
  return sqlite3_prepare_v3(db, sql.c_str(), int(sql.size()),
                            SQLITE_PREPARE_PERSISTENT, &stmt_,
                            nullptr) == SQLITE_OK && stmt_ != nullptr;
}

void Stmt::Finalize() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
  stmt_ = nullptr;
}

void OpenFile::Close() {
  select_record.Finalize(); insert_record.Finalize();
  update_record.Finalize(); delete_record.Finalize(); update_copy.Finalize();
  select_meta.Finalize(); update_meta.Finalize();
  savepoint.Finalize(); release.Finalize(); rollback_to.Finalize();
  begin_read.Finalize(); end_read.Finalize();
  insert_key.clear(); delete_key.clear(); find_key.clear();
  if (db != nullptr) {
    if (in_transaction || reading) Exec(db, "ROLLBACK");
    in_transaction = meta_loaded = reading = count_known = false;
    sqlite3_close_v2(db);
  }
  db = nullptr;
  in_transaction = false;
  if (lock_fd >= 0) close(lock_fd);  // drops every lock of ours on it
  lock_fd = -1;
}

namespace {

// Kept out of line: inlined, it would make every call of EngineState save
// and restore registers for it.
[[gnu::noinline]] void ForgetAfterFork(Engine& state) { ForgetInherited(state); }

}  // namespace

Engine& EngineState() {
  // Every call of the engine asks for it: one first-use check, which also
  // registers the fork handler.
  static Engine& state = [] () -> Engine& {
    pthread_atfork(nullptr, nullptr, MarkForked);
    return Storage();
  }();
  if (state.forked) [[unlikely]] ForgetAfterFork(state);  // clears the flag too
  return state;
}

void ResetEngineState() {
  CloseAll();
  EngineState() = Engine();
}

bool LockRange(int fd, off_t offset, short type) {
  if (fd < 0) return type == F_UNLCK;
  struct flock fl{};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  int rc;
  do {
    rc = fcntl(fd, F_SETLK, &fl);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

bool LockedByOther(int fd, off_t offset) {
  if (fd < 0) return false;
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  if (fcntl(fd, F_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

std::string LockPath(const std::string& path) { return path + ".lck"; }

int16_t CreateFile(const std::string& path, const uint8_t* data, size_t size,
                   bool replace) {
  FileSpec spec;
  int16_t st = ParseCreationSpec(data, size, spec);
  if (st != kStOk) return st;
  struct stat sb{};
  if (lstat(path.c_str(), &sb) == 0) {
    if (!replace) return kStFileExists;
    if (S_ISDIR(sb.st_mode)) return kStFileExists;
    // Never pull a file from under its users.
    for (auto& w : EngineState().files)
      if (auto f = w.lock())
        if (f->dev == sb.st_dev && f->ino == sb.st_ino) return kStFileLocked;
    int fd = open(LockPath(path).c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      bool busy = LockedByOther(fd, 0);
      close(fd);
      if (busy) return kStFileLocked;
    }
    unlink((path + "-wal").c_str());
    unlink((path + "-shm").c_str());
    if (unlink(path.c_str()) != 0) return kStIoError;
  }

  // Built aside and linked into place: nobody ever sees a half-made file,
  // and of two processes creating at once one gets 59.
  const std::string temp = path + ".new" + std::to_string(getpid()) + "." +
                           std::to_string(++EngineState().temp_counter);
  unlink(temp.c_str());
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(temp.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                               SQLITE_OPEN_NOMUTEX, nullptr);
  bool ok = rc == SQLITE_OK;
  if (ok) {
    std::string sql = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                      "; PRAGMA user_version = " + std::to_string(kFormatVersion) +
                      "; PRAGMA journal_mode = WAL; BEGIN;"
                      "CREATE TABLE meta(name TEXT PRIMARY KEY, value BLOB NOT NULL);"
                      "INSERT INTO meta VALUES('records', 0);"
                      "INSERT INTO meta VALUES('next_id', 1);"
                      "CREATE TABLE rec(id INTEGER PRIMARY KEY, data BLOB NOT NULL);";
    for (size_t k = 0; k < spec.keys.size(); ++k)
      sql += "CREATE TABLE key" + std::to_string(k) + "(k BLOB NOT NULL, id INTEGER NOT NULL, " +
             (k == 0 ? "data BLOB NOT NULL, " : "") + "PRIMARY KEY(k, id)) WITHOUT ROWID;";
    ok = Exec(db, sql.c_str());
    Stmt ins;
    ok = ok && ins.Prepare(db, "INSERT INTO meta VALUES('spec', ?1)") &&
         sqlite3_bind_blob(ins.get(), 1, spec.raw.data(), int(spec.raw.size()),
                           SQLITE_STATIC) == SQLITE_OK &&
         sqlite3_step(ins.get()) == SQLITE_DONE;
    ins.Finalize();
    ok = ok && Exec(db, "COMMIT");
  }
  int err = errno;
  if (db != nullptr) sqlite3_close_v2(db);
  if (!ok) {
    unlink(temp.c_str());
    unlink((temp + "-wal").c_str());
    unlink((temp + "-shm").c_str());
    // A missing directory is a missing file to the caller.
    return (rc == SQLITE_CANTOPEN && (err == ENOENT || err == ENOTDIR))
               ? int16_t(kStFileNotFound) : int16_t(kStIoError);
  }
  rc = link(temp.c_str(), path.c_str());
  err = errno;
  unlink(temp.c_str());
  if (rc != 0) return err == EEXIST ? int16_t(kStFileExists) : int16_t(kStIoError);
  return kStOk;
}

int16_t OpenFileShared(const std::string& path, std::shared_ptr<OpenFile>& out) {
  struct stat sb{};
  if (stat(path.c_str(), &sb) != 0)
    return (errno == ENOENT || errno == ENOTDIR) ? int16_t(kStFileNotFound) : int16_t(kStIoError);
  if (!S_ISREG(sb.st_mode)) return kStNotRecordFile;
  Engine& s = EngineState();
  for (auto& w : s.files) {
    if (auto f = w.lock()) {
      if (f->dev == sb.st_dev && f->ino == sb.st_ino) {
        out = f;
        return kStOk;
      }
    }
  }
  auto f = std::make_shared<OpenFile>();
  f->dev = sb.st_dev;
  f->ino = sb.st_ino;
  f->path = path;
  int16_t st = WritableByUs(path) ? Connect(*f, path, kReadWrite) : ConnectReadOnly(*f, path);
  if (st != kStOk) return st;
  if (f->writable) {
    // Files created elsewhere in rollback mode are switched to WAL so that
    // readers never wait for writers.
    Exec(f->db, "PRAGMA journal_mode = WAL");
  }
  Exec(f->db, ("PRAGMA synchronous = NORMAL; PRAGMA cache_size = -" +
               std::to_string(kPageCacheKib) + "; PRAGMA mmap_size = 1073741824;").c_str());
  st = PrepareFileStatements(*f);
  if (st != kStOk) return st;
  f->lock_fd = open(LockPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (f->lock_fd < 0)
    f->lock_fd = open(LockPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  RememberFile(s.files, f);
  out = f;
  return kStOk;
}

}  // namespace store::engine
