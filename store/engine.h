// Inside of the record manager behind BTRCALL. Not for the layer above: it
// talks to BTRCALL only. Shared by store/engine*.cc and the engine's tests.
//
// A record file is an SQLite database (layout in store/FORMAT.md). Within one
// process every open of the same file shares one connection and one lock
// file; each position block names its own cursor in the process-wide table.
// Everything here reports by status or bool and never throws on purpose;
// BTRCALL still catches whatever the standard library might throw.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "store/btrcall.h"
#include "store/engine_spec.h"

namespace store::engine {

// Layout of the files this engine makes (PRAGMA user_version): 1 records in
// rec only; 2 key 0's table also holds a copy of each record. Both are read.
constexpr int kFormatVersion = 2;

// ---- SQLite helpers ------------------------------------------------------

// Runs SQL without results; true on success.
bool Exec(sqlite3* db, const char* sql);
// The status for a failed SQLite call, from its result code (extended codes
// count by their primary code): busy and locked 85, read-only, permission
// and authorization 46, not a database 30, everything else (I/O, corruption,
// full disk, ...) 2. Never 0: a code that claims success still failed here.
int16_t SqliteStatus(int rc);

// A prepared statement, finalized when it goes.
class Stmt {
 public:
  Stmt() = default;
  ~Stmt() { Finalize(); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  bool Prepare(sqlite3* db, const std::string& sql);
  void Finalize();
  sqlite3_stmt* get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }
  // Abandoned without finalizing (a connection inherited through fork()).
  void Forget() { stmt_ = nullptr; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// ---- Open files and cursors ----------------------------------------------

// Page cache of a connection in KiB, and of one writing inside the process's
// transaction (bulk writes touch far more pages than any read).
constexpr int kPageCacheKib = 32 * 1024;
constexpr int kBulkPageCacheKib = 256 * 1024;

// One record file as this process holds it, shared by all its opens.
struct OpenFile {
  dev_t dev = 0;
  ino_t ino = 0;
  std::string path;
  sqlite3* db = nullptr;
  bool writable = false;
  // Key 0's table holds a copy of each record beside its key, so that reads
  // in key-0 order need no second lookup (files made before it do not).
  bool covering = false;
  FileSpec spec;
  int lock_fd = -1;      // "<path>.lck", -1 when it could not be opened
  int normal_opens = 0;  // cursors opened shared
  int exclusive_opens = 0;
  std::map<int64_t, uint32_t> record_locks;  // record id -> cursor index
  uint64_t write_generation = 0;  // bumped by every write through this process
  bool in_transaction = false;    // BEGIN IMMEDIATE issued, not yet ended
  bool bulk = false;  // in the process's transaction, with its cache settings
  // Record count and next record id, held here while a write transaction
  // runs and written back before it commits.
  bool meta_loaded = false;
  int64_t records = 0;
  int64_t next_id = 1;
  // Reads share one read transaction (BEGIN ... COMMIT) instead of one each:
  // it is ended once it is kReadSpanNs old (at the next read), before any
  // write and before a locked read, so that other processes' writes show
  // soon and the WAL can be checkpointed. Within it the snapshot is fixed,
  // so the record count read once answers every Stat.
  bool reading = false;
  int64_t reading_since_ns = 0;
  bool count_known = false;  // records holds the count of this snapshot
  Stmt begin_read, end_read;
  // Write statements, shared by the cursors.
  Stmt select_record, insert_record, update_record, delete_record;
  Stmt update_copy;  // the record's copy in key 0's table (covering files)
  Stmt select_meta, update_meta, savepoint, release, rollback_to;
  std::vector<std::string> scratch_keys, scratch_old_keys;
  std::vector<Stmt> insert_key, delete_key, find_key;
  // Forget the connection instead of closing it (see Forget in the state).
  void Close();
  ~OpenFile() { Close(); }
};

enum class Direction { kNone, kForward, kBackward };

struct Cursor {
  uint32_t generation = 0;
  std::shared_ptr<OpenFile> file;
  bool read_only = false;
  bool exclusive = false;
  // Position: the record (key number, collated key, id) the cursor is on.
  bool positioned = false;
  bool on_record = false;  // false after this cursor deleted it
  int key = 0;
  std::string k;  // not kept up to date while k_in_live
  int64_t id = 0;
  // The current record is the live statement's row, whose record holds its
  // key; DropLive takes it into k.
  bool k_in_live = false;
  int64_t locked_id = 0;  // single-record lock held, 0 none
  // Per key number: forward and backward range statements.
  std::vector<Stmt> forward, backward;
  // The statement left stepping, reused by the next step in its direction.
  sqlite3_stmt* live = nullptr;
  Direction live_direction = Direction::kNone;
  int live_key = -1;
  uint64_t live_generation = 0;
  int live_steps = 0;
  int64_t live_since_ns = 0;
  std::string bound_k;  // the key bound to the live statement (kept as is)
};

// Whether key's table in f carries a copy of each record (key 0 of a file
// of the covering layout).
inline bool CarriesRecord(const OpenFile& f, size_t key) { return key == 0 && f.covering; }

// Process-wide state of the engine.
struct Engine {
  bool forked = false;  // set in a child of fork(): inherited state is stale
  unsigned temp_counter = 0;  // names of files under construction
  std::vector<std::unique_ptr<Cursor>> cursors;  // index = handle - 1
  std::vector<uint32_t> generations;             // per index, bumped on reuse
  std::vector<std::weak_ptr<OpenFile>> files;
  bool in_transaction = false;
  // A write failed half-way inside it: rolled back, no more writes.
  bool transaction_failed = false;
  std::vector<std::shared_ptr<OpenFile>> transaction_files;
};

Engine& EngineState();
// Ends this process's read transaction on the file, if any (see OpenFile).
void EndReading(OpenFile& f);
// Gives up every stepping statement and read transaction of this process.
void ReleaseReadSnapshots();
// Closes everything this process has open (like Reset) and clears the state.
void ResetEngineState();

// One call on SQLite record files (BTRCALL routes it here).
int16_t SqliteCall(Call& call);

// ---- Files on disk --------------------------------------------------------

// Creates an empty record file. replace false: an existing file gives 59;
// true: an existing file nobody has open is replaced.
int16_t CreateFile(const std::string& path, const uint8_t* data, size_t size,
                   bool replace);
// Opens (or finds among this process's open files) the record file; checks
// that it is one of ours. A file this process cannot write (nor its folder)
// is opened read-only. Open modes are applied by the caller.
int16_t OpenFileShared(const std::string& path, std::shared_ptr<OpenFile>& out);
// Closes every cursor of this process, rolling back an open transaction.
void CloseAll();
std::string LockPath(const std::string& path);

// ---- Lock file -----------------------------------------------------------

// Byte 0 of the lock file: shared by every open, exclusive by an exclusive
// open. Byte kRecordLockBase + id: the record's single-record lock.
constexpr off_t kRecordLockBase = 16;
bool LockRange(int fd, off_t offset, short type);  // F_RDLCK/F_WRLCK/F_UNLCK
// True when another process holds a lock that conflicts with a write lock.
bool LockedByOther(int fd, off_t offset);

}  // namespace store::engine
