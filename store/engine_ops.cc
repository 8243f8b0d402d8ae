// BTRCALL: the operations on open files, cursors, record locks and
// transactions.
#include <fcntl.h>
#include <time.h>

#include <cstring>
#include <limits>

#include "platform/ascii.h"
#include "platform/files.h"
#include "store/btrcall.h"
#include "store/engine.h"

namespace store {
namespace engine {
namespace {

constexpr uint8_t kMagic[4] = {'K', 'E', 'L', 'B'};
// A stepping statement, and a read transaction, keeps a read snapshot open;
// it is given up after this long so that other processes' writes become
// visible and the WAL can be checkpointed.
constexpr int64_t kLiveNs = 100'000'000;
constexpr int64_t kReadSpanNs = kLiveNs;

// Every read asks the time; the coarse clock (a few milliseconds fine) is
// enough for limits of 100 ms and costs next to nothing.
int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// The path in the key buffer.
std::string PathOf(const Call& c) { return CallPath(c.key, c.key_length); }

[[gnu::always_inline]] inline Cursor* FindCursor(const uint8_t* pb,
                                                 uint32_t* index_out = nullptr) {
  return FindCursorIn(EngineState().cursors, pb, kMagic, index_out);
}

uint32_t IndexOf(const Cursor& c) { return IndexIn(EngineState().cursors, c); }

// Columns of the range statements.
constexpr int kIdColumn = 0;
constexpr int kRecordColumn = 1;

// The key of the row a range statement stands on. The stored key is the
// collated form of the record's own key segments (store/FORMAT.md), so it
// comes from the record rather than with every row.
void RowKey(const FileSpec& spec, int key, sqlite3_stmt* st, std::string& out) {
  const auto* data = static_cast<const char*>(sqlite3_column_blob(st, kRecordColumn));
  const size_t n = data != nullptr ? size_t(sqlite3_column_bytes(st, kRecordColumn)) : 0;
  StoredCollatedKey(spec, key, std::string_view(data, n), out);
}

void DropLive(Cursor& c) {
  if (c.live != nullptr) {
    // The statement still stands on the current record: its key is taken
    // from there now, before the row goes.
    if (c.k_in_live) RowKey(c.file->spec, c.live_key, c.live, c.k);
    sqlite3_reset(c.live);
  }
  c.k_in_live = false;
  c.live = nullptr;
  c.live_direction = Direction::kNone;
}

// Every stepping statement on the file gives up its snapshot before a write.
void DropLiveOnFile(const OpenFile& f) {
  for (auto& c : EngineState().cursors)
    if (c && c->file.get() == &f) DropLive(*c);
}

// Runs one statement to its end; true on success.
bool Run(sqlite3_stmt* st) {
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  return rc == SQLITE_DONE;
}

// Reads go on in the file's read transaction while it is young, else in a
// fresh one. A write transaction of this process reads in its own.
[[gnu::always_inline]] inline void KeepReading(OpenFile& f, int64_t now) {
  if (f.in_transaction || f.db == nullptr) return;
  if (f.reading && now - f.reading_since_ns < kReadSpanNs) return;
  EndReading(f);
  if (Run(f.begin_read.get())) {
    f.reading = true;
    f.reading_since_ns = now;
  }
}

void ReleaseLock(Cursor& c) {
  if (c.locked_id == 0) return;
  OpenFile& f = *c.file;
  f.record_locks.erase(c.locked_id);
  LockRange(f.lock_fd, kRecordLockBase + c.locked_id, F_UNLCK);
  c.locked_id = 0;
}

// True when somebody other than this cursor holds the record's lock.
bool LockedElsewhere(const Cursor& c, int64_t id) {
  const OpenFile& f = *c.file;
  auto it = f.record_locks.find(id);
  if (it != f.record_locks.end()) return it->second != IndexOf(c);
  return LockedByOther(f.lock_fd, kRecordLockBase + id);
}

int16_t TakeLock(Cursor& c, int64_t id) {
  OpenFile& f = *c.file;
  auto it = f.record_locks.find(id);
  if (it != f.record_locks.end()) return kStRecordLocked;  // another cursor
  if (f.lock_fd >= 0 && !LockRange(f.lock_fd, kRecordLockBase + id, F_WRLCK)) {
    if (errno == EACCES || errno == EAGAIN) return kStRecordLocked;
    // A lock file we may only read: locks work within this process only.
  }
  f.record_locks[id] = IndexOf(c);
  c.locked_id = id;
  return kStOk;
}

// The records from a key on, in key order or against it. The range is on
// the key alone: SQLite then seeks once and checks nothing per row, where
// the pair (k, id) would be compared on every row. Step passes over the
// start key's records on the near side of the id itself.
sqlite3_stmt* RangeStatement(Cursor& c, int key, Direction d) {
  auto& v = d == Direction::kForward ? c.forward : c.backward;
  if (v.size() != c.file->spec.keys.size()) v = std::vector<Stmt>(c.file->spec.keys.size());
  if (!v[key]) {
    const std::string t = "key" + std::to_string(key);
    const std::string from = CarriesRecord(*c.file, size_t(key))
                                 ? "SELECT t.id, t.data FROM " + t + " t"
                                 : "SELECT r.id, r.data FROM " + t + " t JOIN rec r ON r.id = t.id";
    const std::string sql =
        from + (d == Direction::kForward ? " WHERE t.k >= ?1 ORDER BY t.k, t.id"
                                         : " WHERE t.k <= ?1 ORDER BY t.k DESC, t.id DESC");
    if (!v[key].Prepare(c.file->db, sql)) return nullptr;
  }
  return v[key].get();
}

// True while the row of key's statement stands at (k, id) or before it in
// direction d. row_key is scratch.
bool NotPast(const FileSpec& spec, int key, sqlite3_stmt* st, Direction d,
             const std::string& k, int64_t id, std::string& row_key) {
  RowKey(spec, key, st, row_key);
  if (row_key != k) return false;
  const int64_t row = sqlite3_column_int64(st, kIdColumn);
  return d == Direction::kForward ? row <= id : row >= id;
}

// Reads one record by id into out; false when there is none.
bool FetchRecord(OpenFile& f, int64_t id, std::string& out, int& rc) {
  sqlite3_stmt* st = f.select_record.get();
  sqlite3_bind_int64(st, 1, id);
  rc = sqlite3_step(st);
  bool found = rc == SQLITE_ROW;
  if (found) {
    out.assign(static_cast<const char*>(sqlite3_column_blob(st, 0)),
               size_t(sqlite3_column_bytes(st, 0)));
    out.resize(f.spec.record_length, '\0');
  }
  sqlite3_reset(st);
  if (rc == SQLITE_DONE) rc = SQLITE_OK;
  return found;
}

int StepLive(Cursor& c) {
  int rc = sqlite3_step(c.live);
  if (rc != SQLITE_ROW) DropLive(c);
  return rc;
}

// The current record's key from the record itself, in the read snapshot in
// force; a record that cannot be read leaves the cursor without a position.
void KeyFromRecord(Cursor& c) {
  std::string record;
  int rc;
  if (FetchRecord(*c.file, c.id, record, rc))
    CollatedKey(c.file->spec, c.key, reinterpret_cast<const uint8_t*>(record.data()), c.k);
  else
    c.positioned = false;
}

// Moves a range statement to the next row after (k, id) in direction d, or
// steps the live one when it already stands there. Returns the SQLite code;
// on SQLITE_ROW c.live is the statement holding the row.
int Step(Cursor& c, int key, Direction d, const std::string& k, int64_t id,
         bool continuing, int64_t now) {
  if (continuing && c.live != nullptr && c.live_direction == d &&
      c.live_key == key && c.live_generation == c.file->write_generation &&
      now - c.live_since_ns < kLiveNs) {
    if (!c.k_in_live) return StepLive(c);
    // Stepping gives up the row that holds the current record's key, so it is
    // built from the record if the step finds nothing (end of file, error).
    int rc = sqlite3_step(c.live);
    if (rc != SQLITE_ROW) {
      c.k_in_live = false;
      DropLive(c);
      KeyFromRecord(c);
    }
    return rc;
  }
  DropLive(c);
  sqlite3_stmt* st = RangeStatement(c, key, d);
  if (st == nullptr) return SQLITE_ERROR;
  // The statement outlives the caller's key while it stays live; the
  // cursor's copy stays as it is until the statement is bound again.
  c.bound_k.assign(k);
  sqlite3_bind_blob(st, 1, c.bound_k.data(), int(c.bound_k.size()), SQLITE_STATIC);
  int rc = sqlite3_step(st);
  std::string row_key;
  while (rc == SQLITE_ROW && NotPast(c.file->spec, key, st, d, c.bound_k, id, row_key))
    rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    c.live = st;
    c.live_direction = d;
    c.live_key = key;
    c.live_generation = c.file->write_generation;
    c.live_since_ns = now;
  } else {
    sqlite3_reset(st);
  }
  return rc;
}

// Hands a record to the caller and makes it current; its key is the
// caller's to set (c.k, or the live statement's row).
[[gnu::always_inline]] inline int16_t HandOverRecord(Cursor& c, const Call& call, int key,
                                                     int64_t id, const uint8_t* record,
                                                     size_t size) {
  const int16_t status =
      HandOver(c.file->spec, key, record, size, call.data, call.len, call.key);
  c.positioned = true;
  c.on_record = true;
  c.key = key;
  c.id = id;
  c.k_in_live = false;
  return status;
}

// Hands a record to the caller and makes it current at key k.
int16_t Deliver(Cursor& c, const Call& call, int key, std::string_view k,
                int64_t id, const uint8_t* record, size_t size) {
  const int16_t status = HandOverRecord(c, call, key, id, record, size);
  c.k.assign(k.data(), k.size());
  return status;
}

// The lock of a row about to be delivered; on failure the cursor stays
// where it was.
[[gnu::noinline]] int16_t LockRow(Cursor& c, const Call& call, int64_t id) {
  int16_t ls = TakeLock(c, id);
  if (ls != kStOk) {
    // A statement that stepped on from there no longer holds that record's
    // key.
    const bool moved_on = c.k_in_live;
    c.k_in_live = false;
    DropLive(c);
    if (moved_on) KeyFromRecord(c);
    call.set_len(0);
  }
  return ls;
}

// A row whose record is shorter than the record length (a damaged file).
[[gnu::noinline]] int16_t DeliverShortRow(Cursor& c, const Call& call, int key,
                                          sqlite3_stmt* st, int64_t id,
                                          const uint8_t* data, int dn) {
  std::string k;
  RowKey(c.file->spec, key, st, k);
  return Deliver(c, call, key, k, id, data, size_t(dn));
}

// Delivers the row a range statement stands on, taking the lock first.
// Inline: every step ends here.
[[gnu::always_inline]] inline int16_t DeliverRow(Cursor& c, const Call& call, int key,
                                                 sqlite3_stmt* st) {
  const int64_t id = sqlite3_column_int64(st, kIdColumn);
  if (call.lock) {
    if (int16_t ls = LockRow(c, call, id)) return ls;
  }
  // The record's value taken once: its bytes and length from it cost less
  // than two column calls.
  sqlite3_value* value = sqlite3_column_value(st, kRecordColumn);
  const auto* data = static_cast<const uint8_t*>(sqlite3_value_blob(value));
  const int dn = sqlite3_value_bytes(value);
  if (data == nullptr || size_t(dn) < c.file->spec.record_length)
    return DeliverShortRow(c, call, key, st, id, data, dn);
  // Steps rarely need the current key: it stays in the row until the
  // statement moves on or is given up.
  const int16_t status = HandOverRecord(c, call, key, id, data, size_t(dn));
  c.k_in_live = c.live == st;
  if (!c.k_in_live) CollatedKey(c.file->spec, key, data, c.k);
  return status;
}

bool ValidKey(const Cursor& c, int key) {
  return key >= 0 && size_t(key) < c.file->spec.keys.size();
}

int16_t KeyedRead(Cursor& c, const Call& call) {
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  if (call.key == nullptr) return kStKeyBufferTooShort;
  std::string k;
  CollatedForm(c.file->spec, key, call.key, k);
  const int64_t kMax = std::numeric_limits<int64_t>::max();
  int rc;
  switch (call.op) {
    case kOpGetEqual:
    case kOpGetGreaterOrEqual:
      rc = Step(c, key, Direction::kForward, k, 0, false, call.now_ns); break;
    case kOpGetGreater:
      rc = Step(c, key, Direction::kForward, k, kMax, false, call.now_ns); break;
    case kOpGetLessOrEqual:
      rc = Step(c, key, Direction::kBackward, k, kMax, false, call.now_ns); break;
    default:  // kOpGetLess
      rc = Step(c, key, Direction::kBackward, k, 0, false, call.now_ns); break;
  }
  if (rc == SQLITE_ROW && call.op == kOpGetEqual) {
    std::string found;
    RowKey(c.file->spec, key, c.live, found);
    if (found != k) {
      DropLive(c);
      call.set_len(0);
      return kStKeyNotFound;
    }
  }
  if (rc == SQLITE_ROW) return DeliverRow(c, call, key, c.live);
  call.set_len(0);
  if (rc == SQLITE_DONE)
    return call.op == kOpGetEqual ? int16_t(kStKeyNotFound) : int16_t(kStEndOfFile);
  return SqliteStatus(rc);
}

int16_t EndRead(Cursor& c, const Call& call) {
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  int rc;
  if (call.op == kOpGetFirst)
    rc = Step(c, key, Direction::kForward, std::string(), 0, false, call.now_ns);
  else
    rc = Step(c, key, Direction::kBackward, std::string(kMaxKeyLength + 1, '\xFF'),
              0, false, call.now_ns);
  if (rc == SQLITE_ROW) return DeliverRow(c, call, key, c.live);
  call.set_len(0);
  return rc == SQLITE_DONE ? int16_t(kStEndOfFile) : SqliteStatus(rc);
}

// Puts the cursor in another key's order at its current record; 0 or the
// status of the step.
[[gnu::noinline]] int16_t SwitchKey(Cursor& c, const Call& call, int key) {
  std::string record;
  int rc;
  if (!FetchRecord(*c.file, c.id, record, rc)) {
    call.set_len(0);
    return rc != SQLITE_OK ? SqliteStatus(rc) : int16_t(kStInvalidPositioning);
  }
  DropLive(c);
  CollatedKey(c.file->spec, key, reinterpret_cast<const uint8_t*>(record.data()), c.k);
  c.key = key;
  return kStOk;
}

[[gnu::always_inline]] inline int16_t StepRead(Cursor& c, const Call& call) {
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  if (!c.positioned) return kStInvalidPositioning;
  if (key != c.key) {
    // Continue in another key's order from the current record.
    if (int16_t st = SwitchKey(c, call, key)) return st;
  }
  const Direction d = call.op == kOpGetNext ? Direction::kForward : Direction::kBackward;
  int rc = Step(c, key, d, c.k, c.id, true, call.now_ns);
  if (rc == SQLITE_ROW) return DeliverRow(c, call, key, c.live);
  call.set_len(0);
  return rc == SQLITE_DONE ? int16_t(kStEndOfFile) : SqliteStatus(rc);
}

int16_t GetDirect(Cursor& c, const Call& call) {
  if (call.capacity() < 4) return kStBufferTooShort;
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  const int64_t id = Get32(call.data);
  std::string record;
  int rc = SQLITE_OK;
  if (id == 0 || !FetchRecord(*c.file, id, record, rc)) {
    call.set_len(0);
    return rc != SQLITE_OK ? SqliteStatus(rc) : int16_t(kStInvalidRecordAddress);
  }
  if (call.lock) {
    int16_t ls = TakeLock(c, id);
    if (ls != kStOk) {
      call.set_len(0);
      return ls;
    }
  }
  DropLive(c);
  std::string k;
  const auto* rec = reinterpret_cast<const uint8_t*>(record.data());
  CollatedKey(c.file->spec, key, rec, k);
  return Deliver(c, call, key, k, id, rec, record.size());
}

int16_t GetPosition(Cursor& c, const Call& call) {
  if (!c.positioned || !c.on_record) return kStInvalidPositioning;
  if (call.capacity() < 4) return kStBufferTooShort;
  if (call.lock) {
    int16_t ls = TakeLock(c, c.id);
    if (ls != kStOk) return ls;
  }
  Put32(call.data, uint32_t(c.id));
  call.set_len(4);
  return kStOk;
}

// Record count and next id as stored.
bool LoadMeta(OpenFile& f) {
  sqlite3_stmt* st = f.select_meta.get();
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    f.records = sqlite3_column_int64(st, 0);
    f.next_id = sqlite3_column_int64(st, 1);
  }
  sqlite3_reset(st);
  return rc == SQLITE_ROW;
}

// The stored specification with the record count of the snapshot in force:
// a write transaction keeps it in hand, a read transaction reads it once.
int16_t Stat(Cursor& c, const Call& call) {
  OpenFile& f = *c.file;
  if (!f.meta_loaded && !(f.reading && f.count_known)) {
    if (!LoadMeta(f)) return SqliteStatus(sqlite3_errcode(f.db));
    f.count_known = f.reading;
  }
  return PutStat(f.spec, uint32_t(f.records), call);
}

// ---- Writes ----

// A file's part of the process's transaction may take millions of writes:
// a page cache that holds what they touch, and statement journals and the
// like in memory. Set before BEGIN (temp_store cannot change inside a
// transaction) and put back when the transaction ends.
void SetBulkPragmas(OpenFile& f, bool bulk) {
  const std::string sql = std::string("PRAGMA temp_store = ") +
                          (bulk ? "MEMORY" : "DEFAULT") + "; PRAGMA cache_size = -" +
                          std::to_string(bulk ? kBulkPageCacheKib : kPageCacheKib);
  Exec(f.db, sql.c_str());
  f.bulk = bulk;
}

// Starts the file's write transaction and takes its counters in hand.
int16_t BeginFileTransaction(OpenFile& f, bool bulk) {
  if (bulk) SetBulkPragmas(f, true);
  int16_t st = kStOk;
  if (!Exec(f.db, "BEGIN IMMEDIATE")) {
    st = SqliteStatus(sqlite3_errcode(f.db));
  } else if (!LoadMeta(f)) {
    st = SqliteStatus(sqlite3_errcode(f.db));
    Exec(f.db, "ROLLBACK");
  }
  if (st != kStOk) {
    if (bulk) SetBulkPragmas(f, false);
    return st;
  }
  f.in_transaction = true;
  f.meta_loaded = true;
  return kStOk;
}

bool PutMeta(OpenFile& f, const char* name, int64_t value) {
  sqlite3_bind_text(f.update_meta.get(), 1, name, -1, SQLITE_STATIC);
  sqlite3_bind_int64(f.update_meta.get(), 2, value);
  return Run(f.update_meta.get());
}

// Writes the counters back and commits, or rolls everything back.
int16_t EndFileTransaction(OpenFile& f, bool commit) {
  int16_t status = kStOk;
  if (commit) {
    if (!PutMeta(f, "records", f.records) || !PutMeta(f, "next_id", f.next_id) ||
        !Exec(f.db, "COMMIT")) {
      status = SqliteStatus(sqlite3_errcode(f.db));
      commit = false;
    }
  }
  if (!commit) Exec(f.db, "ROLLBACK");
  f.in_transaction = false;
  f.meta_loaded = false;
  if (f.bulk) SetBulkPragmas(f, false);
  return status;
}

// Rolls back every file of the process's transaction after a write failed
// half-way without a savepoint to undo it. The transaction stays open but
// refuses further writes, and ending it reports the failure: what it wrote
// so far is gone, so it can never look committed.
void FailTransaction() {
  Engine& s = EngineState();
  for (auto& f : s.transaction_files) {
    if (!f->in_transaction || f->db == nullptr) continue;
    DropLiveOnFile(*f);
    ++f->write_generation;
    EndFileTransaction(*f, false);
  }
  s.transaction_files.clear();
  s.transaction_failed = true;
}

// One write: inside the process's transaction a savepoint (guarded) or
// nothing, otherwise a transaction of its own. BEGIN IMMEDIATE waits (busy
// timeout) for other writers instead of failing at commit. An unguarded write
// must do every check that can refuse it before it calls Writing(); a
// failure after that takes the whole transaction down (FailTransaction).
// Inserts in bulk go unguarded: a savepoint per row costs a statement
// journal's worth of page copies.
class WriteScope {
 public:
  explicit WriteScope(const std::shared_ptr<OpenFile>& f, bool guarded = true)
      : f_(f), guarded_(guarded) {}
  int16_t Begin() {
    Engine& s = EngineState();
    if (s.in_transaction && s.transaction_failed) return kStIoError;
    EndReading(*f_);
    DropLiveOnFile(*f_);
    ++f_->write_generation;
    if (s.in_transaction) {
      if (!f_->in_transaction) {
        if (int16_t st = BeginFileTransaction(*f_, true)) return st;
        s.transaction_files.push_back(f_);
      }
      if (!guarded_) {
        unguarded_ = true;
        return kStOk;
      }
      if (!Run(f_->savepoint.get())) return SqliteStatus(sqlite3_errcode(f_->db));
      savepoint_ = true;
      saved_records_ = f_->records;
      saved_next_id_ = f_->next_id;
    } else {
      if (int16_t st = BeginFileTransaction(*f_, false)) return st;
      own_ = true;
    }
    return kStOk;
  }
  // The checks are done; the file is about to change.
  void Writing() { writing_ = true; }
  int16_t Commit() {
    unguarded_ = false;
    if (savepoint_) {
      savepoint_ = false;
      if (Run(f_->release.get())) return kStOk;
      Undo();
      return kStIoError;
    }
    if (own_) {
      own_ = false;
      return EndFileTransaction(*f_, true);
    }
    return kStOk;
  }
  ~WriteScope() {
    if (savepoint_) Undo();
    if (unguarded_ && writing_) FailTransaction();
    if (own_) EndFileTransaction(*f_, false);
  }

 private:
  void Undo() {
    Run(f_->rollback_to.get());
    Run(f_->release.get());
    f_->records = saved_records_;
    f_->next_id = saved_next_id_;
  }
  std::shared_ptr<OpenFile> f_;
  const bool guarded_;
  bool savepoint_ = false;
  bool unguarded_ = false;
  bool writing_ = false;
  bool own_ = false;
  int64_t saved_records_ = 0, saved_next_id_ = 0;
};

int16_t CheckWritable(const Cursor& c) {
  return c.read_only || !c.file->writable ? int16_t(kStAccessDenied) : int16_t(kStOk);
}

// Unique keys: is this collated value used by a record other than self?
bool KeyTaken(OpenFile& f, int key, const std::string& k, int64_t self, int& rc) {
  sqlite3_stmt* st = f.find_key[key].get();
  sqlite3_bind_blob(st, 1, k.data(), int(k.size()), SQLITE_STATIC);
  rc = sqlite3_step(st);
  bool taken = rc == SQLITE_ROW && sqlite3_column_int64(st, 0) != self;
  sqlite3_reset(st);
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) rc = SQLITE_OK;
  return taken;
}

bool PutKey(Stmt& stmt, const std::string& k, int64_t id) {
  sqlite3_bind_blob(stmt.get(), 1, k.data(), int(k.size()), SQLITE_STATIC);
  sqlite3_bind_int64(stmt.get(), 2, id);
  return Run(stmt.get());
}

// Key 0's row of a covering file carries the record; stmt inserts it or
// (update_copy) replaces the copy.
bool PutKeyRow(OpenFile& f, Stmt& stmt, size_t key, const std::string& k, int64_t id,
               const uint8_t* record) {
  if (CarriesRecord(f, key))
    sqlite3_bind_blob(stmt.get(), 3, record, f.spec.record_length, SQLITE_STATIC);
  return PutKey(stmt, k, id);
}

int16_t Insert(Cursor& c, const Call& call) {
  if (int16_t st = CheckWritable(c)) return st;
  OpenFile& f = *c.file;
  const FileSpec& spec = f.spec;
  if (call.capacity() < spec.record_length) return kStBufferTooShort;
  const int key = call.key_number;
  if (key != -1 && !ValidKey(c, key)) return kStInvalidKeyNumber;
  std::vector<std::string>& keys = f.scratch_keys;
  keys.resize(spec.keys.size());
  for (size_t i = 0; i < keys.size(); ++i) CollatedKey(spec, int(i), call.data, keys[i]);
  // Every refusal comes before the first change, so no savepoint is needed.
  WriteScope scope(c.file, false);
  if (int16_t st = scope.Begin()) return st;
  int rc = SQLITE_OK;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (spec.keys[i].duplicates) continue;
    if (KeyTaken(f, int(i), keys[i], 0, rc)) return kStDuplicateKey;
    if (rc != SQLITE_OK) return SqliteStatus(rc);
  }
  // Ids are never reused: a stale position finds nothing rather than
  // another record.
  const int64_t id = f.next_id;
  if (id > int64_t(UINT32_MAX)) return kStIoError;  // positions are 32-bit
  scope.Writing();
  sqlite3_stmt* ins = f.insert_record.get();
  sqlite3_bind_int64(ins, 1, id);
  sqlite3_bind_blob(ins, 2, call.data, spec.record_length, SQLITE_STATIC);
  if (!Run(ins)) return SqliteStatus(sqlite3_errcode(f.db));
  for (size_t i = 0; i < keys.size(); ++i)
    if (!PutKeyRow(f, f.insert_key[i], i, keys[i], id, call.data))
      return SqliteStatus(sqlite3_errcode(f.db));
  f.next_id = id + 1;
  ++f.records;
  if (int16_t st = scope.Commit()) return st;
  if (key >= 0) {
    DropLive(c);
    ReleaseLock(c);
    Call quiet = call;
    quiet.data = nullptr;  // the caller's record stays as it is
    Deliver(c, quiet, key, keys[key], id, call.data, spec.record_length);
  }
  return kStOk;
}

int16_t Update(Cursor& c, const Call& call) {
  if (int16_t st = CheckWritable(c)) return st;
  if (!c.positioned || !c.on_record) return kStInvalidPositioning;
  OpenFile& f = *c.file;
  const FileSpec& spec = f.spec;
  if (call.capacity() < spec.record_length) return kStBufferTooShort;
  if (LockedElsewhere(c, c.id)) return kStRecordLocked;
  WriteScope scope(c.file);
  if (int16_t st = scope.Begin()) return st;
  std::string old;
  int rc;
  if (!FetchRecord(f, c.id, old, rc))
    return rc != SQLITE_OK ? SqliteStatus(rc) : int16_t(kStInvalidRecordAddress);
  const auto* before = reinterpret_cast<const uint8_t*>(old.data());
  std::vector<std::string> olds(spec.keys.size()), news(spec.keys.size());
  for (size_t i = 0; i < spec.keys.size(); ++i) {
    CollatedKey(spec, int(i), before, olds[i]);
    CollatedKey(spec, int(i), call.data, news[i]);
    if (olds[i] == news[i]) continue;
    if (!spec.keys[i].modifiable) return kStKeyNotModifiable;
    if (!spec.keys[i].duplicates) {
      if (KeyTaken(f, int(i), news[i], c.id, rc)) return kStDuplicateKey;
      if (rc != SQLITE_OK) return SqliteStatus(rc);
    }
  }
  for (size_t i = 0; i < spec.keys.size(); ++i) {
    bool ok;
    if (olds[i] != news[i])
      ok = PutKey(f.delete_key[i], olds[i], c.id) &&
           PutKeyRow(f, f.insert_key[i], i, news[i], c.id, call.data);
    else  // the key stays; a copy of the record beside it is rewritten
      ok = !CarriesRecord(f, i) || PutKeyRow(f, f.update_copy, i, news[i], c.id, call.data);
    if (!ok) return SqliteStatus(sqlite3_errcode(f.db));
  }
  sqlite3_stmt* up = f.update_record.get();
  sqlite3_bind_int64(up, 1, c.id);
  sqlite3_bind_blob(up, 2, call.data, spec.record_length, SQLITE_STATIC);
  if (!Run(up)) return SqliteStatus(sqlite3_errcode(f.db));
  if (int16_t st = scope.Commit()) return st;
  c.k = news[c.key];
  if (call.key != nullptr) {
    std::string raw;
    RawKey(spec, c.key, call.data, raw);
    std::memcpy(call.key, raw.data(), raw.size());
  }
  if (c.locked_id == c.id) ReleaseLock(c);
  return kStOk;
}

int16_t Delete(Cursor& c) {
  if (int16_t st = CheckWritable(c)) return st;
  if (!c.positioned || !c.on_record) return kStInvalidPositioning;
  OpenFile& f = *c.file;
  if (LockedElsewhere(c, c.id)) return kStRecordLocked;
  WriteScope scope(c.file);
  if (int16_t st = scope.Begin()) return st;
  std::string old;
  int rc;
  if (!FetchRecord(f, c.id, old, rc))
    return rc != SQLITE_OK ? SqliteStatus(rc) : int16_t(kStInvalidRecordAddress);
  std::string k;
  for (size_t i = 0; i < f.spec.keys.size(); ++i) {
    CollatedKey(f.spec, int(i), reinterpret_cast<const uint8_t*>(old.data()), k);
    if (!PutKey(f.delete_key[i], k, c.id)) return SqliteStatus(sqlite3_errcode(f.db));
  }
  sqlite3_bind_int64(f.delete_record.get(), 1, c.id);
  if (!Run(f.delete_record.get())) return SqliteStatus(sqlite3_errcode(f.db));
  --f.records;
  if (int16_t st = scope.Commit()) return st;
  // The position stays where the record was: Get Next goes on from there.
  c.on_record = false;
  if (c.locked_id == c.id) ReleaseLock(c);
  return kStOk;
}

// ---- Open, close, transactions ----

void CloseCursor(uint32_t index) {
  Engine& s = EngineState();
  Cursor& c = *s.cursors[index];
  ReleaseLock(c);
  DropLive(c);
  c.forward.clear();
  c.backward.clear();
  OpenFile& f = *c.file;
  if (c.exclusive) --f.exclusive_opens; else --f.normal_opens;
  if (f.exclusive_opens == 0 && f.normal_opens == 0) LockRange(f.lock_fd, 0, F_UNLCK);
  else if (c.exclusive && f.normal_opens > 0) LockRange(f.lock_fd, 0, F_RDLCK);
  s.cursors[index].reset();
  ++s.generations[index];
}

int16_t Open(const Call& call) {
  uint32_t old;
  if (FindCursor(call.pb, &old) != nullptr) CloseCursor(old);
  const std::string path = PathOf(call);
  if (path.empty()) return kStFileNotFound;
  const bool read_only = call.key_number == kOpenReadOnly;
  const bool exclusive = call.key_number == kOpenExclusive;
  std::shared_ptr<OpenFile> f;
  if (int16_t st = OpenFileShared(path, f)) return st;
  if (exclusive) {
    if (f->normal_opens + f->exclusive_opens > 0) return kStFileLocked;
    if (f->lock_fd < 0) return kStFileLocked;  // cannot keep others out
    if (!LockRange(f->lock_fd, 0, F_WRLCK)) return kStFileLocked;
  } else {
    if (f->exclusive_opens > 0) return kStFileLocked;
    if (f->normal_opens == 0 && f->lock_fd >= 0 && !LockRange(f->lock_fd, 0, F_RDLCK))
      return kStFileLocked;
  }
  (exclusive ? f->exclusive_opens : f->normal_opens)++;
  Engine& s = EngineState();
  auto c = std::make_unique<Cursor>();
  c->file = f;
  c->read_only = read_only;
  c->exclusive = exclusive;
  PlaceCursor(s.cursors, s.generations, std::move(c), kMagic, call.pb);
  return kStOk;
}

int16_t EndTransaction(bool commit) {
  Engine& s = EngineState();
  if (!s.in_transaction) return kStNoTransaction;
  // Already rolled back: only an abort ends it as asked.
  int16_t status = commit && s.transaction_failed ? int16_t(kStIoError) : int16_t(kStOk);
  s.transaction_failed = false;
  for (auto& f : s.transaction_files) {
    if (!f->in_transaction || f->db == nullptr) continue;
    DropLiveOnFile(*f);
    ++f->write_generation;
    if (int16_t st = EndFileTransaction(*f, commit)) status = st;
  }
  s.transaction_files.clear();
  s.in_transaction = false;
  return status;
}

// BTRCALL has taken the lock bias off the operation already.
// The calls that name no cursor; false for any other.
bool FileLevelCall(Call& call, int16_t& status) {
  status = kStOk;
  switch (call.op) {
    case kOpOpen:
      status = call.pb == nullptr ? int16_t(kStInvalidOperation) : Open(call);
      return true;
    case kOpCreate: {
      const std::string path = PathOf(call);
      status = path.empty() ? int16_t(kStFileNotFound)
                            : CreateFile(path, call.data, call.capacity(),
                                         call.key_number != kCreateNoReplace);
      return true;
    }
    case kOpReset: CloseAll(); return true;
    case kOpBeginTransaction: {
      Engine& s = EngineState();
      if (s.in_transaction) status = kStTransactionActive;
      else s.in_transaction = true;
      return true;
    }
    case kOpEndTransaction: status = EndTransaction(true); return true;
    case kOpAbortTransaction: status = EndTransaction(false); return true;
    default: return false;
  }
}

// The read transaction a read or Stat through c goes on in.
[[gnu::always_inline]] inline void BeginRead(Cursor& c, Call& call) {
  // A locked read must see the record as it is now, not as it was when the
  // read transaction began.
  if (call.lock) EndReading(*c.file);
  call.now_ns = NowNs();
  KeepReading(*c.file, call.now_ns);
}

// Get Next and Get Previous: nearly every call, kept apart from the rest so
// that they pass by the switches (whose jump tables the record pages read
// since the last call have pushed out of the caches) and carry no more than
// they need.
int16_t StepCall(Call& call) {
  Cursor* c = FindCursor(call.pb);
  if (c == nullptr) return kStNotOpen;
  // A single-record lock lasts until the next read through this block.
  ReleaseLock(*c);
  BeginRead(*c, call);
  return StepRead(*c, call);
}

// Every call but the steps (StepCall).
int16_t Dispatch(Call& call) {
  const uint16_t op = call.op;
  int16_t status = kStOk;
  if (FileLevelCall(call, status)) return status;
  uint32_t index = 0;
  Cursor* c = FindCursor(call.pb, &index);
  if (c == nullptr) return kStNotOpen;
  // Locks and read transactions as for the steps (StepCall).
  const bool read = IsRead(call);
  if (read) ReleaseLock(*c);
  if (read || op == kOpStat) BeginRead(*c, call);
  switch (op) {
    case kOpClose:
      CloseCursor(index);
      std::memset(call.pb, 0, kPositionBlockSize);
      return kStOk;
    case kOpInsert: return Insert(*c, call);
    case kOpUpdate: return Update(*c, call);
    case kOpDelete: return Delete(*c);
    case kOpGetEqual: case kOpGetGreater: case kOpGetGreaterOrEqual:
    case kOpGetLess: case kOpGetLessOrEqual:
      return KeyedRead(*c, call);
    case kOpGetFirst: case kOpGetLast: return EndRead(*c, call);
    case kOpStat: return Stat(*c, call);
    case kOpGetPosition: return GetPosition(*c, call);
    case kOpGetDirect: return GetDirect(*c, call);
    case kOpUnlock: ReleaseLock(*c); return kStOk;
    default: return kStInvalidOperation;
  }
}

}  // namespace

void EndReading(OpenFile& f) {
  f.count_known = false;
  if (!f.reading) return;
  DropLiveOnFile(f);
  f.reading = false;
  if (!Run(f.end_read.get())) Exec(f.db, "ROLLBACK");
}

void ReleaseReadSnapshots() {
  Engine& s = EngineState();
  // A statement stepping outside a read transaction holds a snapshot too.
  for (auto& c : s.cursors)
    if (c) DropLive(*c);
  for (auto& w : s.files)
    if (auto f = w.lock()) EndReading(*f);
}

void CloseAll() {
  Engine& s = EngineState();
  if (s.in_transaction) EndTransaction(false);
  for (uint32_t i = 0; i < s.cursors.size(); ++i)
    if (s.cursors[i]) CloseCursor(i);
}

int16_t SqliteCall(Call& call) {
  if (call.op == kOpGetNext || call.op == kOpGetPrevious) return StepCall(call);
  return Dispatch(call);
}

}  // namespace engine
}  // namespace store
