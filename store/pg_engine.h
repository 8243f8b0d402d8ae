// The record manager's second engine: record files on a PostgreSQL server,
// reached through libpq, with the same call contract, statuses, statistics
// layout, position blocks and key order as the SQLite engine (layout and
// consistency in store/FORMAT.md). BTRCALL routes a call here when the
// file's installation names a server (store/engine_route.h) or the position
// block is one of ours ("KELP").
//
// Within one process every file on one server shares one connection; record
// and file locks are the server's session advisory locks, so they go when
// the connection goes, however the process ends. Steps and keyed reads are
// served from batches fetched by keyset queries; a batch is given up after
// 100 ms and after any write through this process.
// Nothing here throws on purpose; BTRCALL catches whatever might.
#pragma once

#include <libpq-fe.h>
#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/engine_route.h"
#include "store/engine_spec.h"

namespace store::pg {

using engine::Call;
using engine::FileSpec;

// ---- Connections and statements ------------------------------------------

class Result;
struct PgFile;

// A fetch ahead sent before a walk asks for it (pg_read.cc), so that the
// server works while the walk goes on. Its result is read whole before any
// other statement on the connection and kept until taken or replaced.
struct EarlyFetch {
  bool in_flight = false;  // sent, its result not read yet
  std::weak_ptr<PgFile> file;
  uint64_t generation = 0;  // the file's write generation when sent
  std::string sql, target;  // the statement and the key point it reads from
  int rows = 0;             // records per group it asked for
  int64_t sent_ns = 0;
  std::shared_ptr<const Result> result;
};

// One connection to a server, owned by the process that made it: a child of
// fork() never uses or closes what it inherited.
struct Conn {
  std::string uri;
  PGconn* pg = nullptr;
  pid_t pid = 0;
  bool broken = false;          // lost: every call on it answers 20
  bool in_transaction = false;  // BEGIN sent for the process's transaction
  std::map<std::string, std::string> prepared;  // SQL -> statement name
  EarlyFetch early;
  ~Conn();
  bool Usable() const;
};

// A query result, cleared when it goes.
class Result {
 public:
  Result() = default;
  explicit Result(PGresult* r) : r_(r) {}
  ~Result() { if (r_ != nullptr) PQclear(r_); }
  Result(Result&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
  Result& operator=(Result&& o) noexcept;
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  bool ok() const;
  int rows() const { return r_ != nullptr ? PQntuples(r_) : 0; }
  std::string_view Bytes(int row, int col) const;
  int64_t Int8(int row, int col) const;  // binary int8 column
  bool Bool(int row, int col) const;     // binary bool column
  bool IsNull(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
  const char* CommandStatus() const { return r_ != nullptr ? PQcmdStatus(r_) : ""; }
  std::string SqlState() const;
  PGresult* get() const { return r_; }

 private:
  PGresult* r_ = nullptr;
};

// Parameters of a statement, sent in binary. The SQL casts each one
// ($1::bytea, $2::int8, ...), so the server never has to guess.
class Params {
 public:
  Params& Bytes(std::string_view b);
  Params& Int8(int64_t v);
  Params& Text(std::string_view t) { return Bytes(t); }
  size_t size() const { return values_.size(); }
  const std::string& at(size_t i) const { return values_[i]; }

 private:
  std::vector<std::string> values_;
};

// The live connection to the URI (made when there is none), or null with
// the status: 20 when the server cannot be reached.
std::shared_ptr<Conn> Connect(const std::string& uri, int16_t& status);
// Runs SQL as a prepared statement (prepared once per connection), binary
// results.
Result Query(Conn& c, const std::string& sql, const Params& params = Params());
// Runs SQL without parameters through the simple protocol (several
// statements allowed).
Result Command(Conn& c, const std::string& sql);
// Sends SQL, a statement Query has prepared, without waiting for its
// result, which Settle reads into c.early; false when it was not sent.
bool SendEarly(Conn& c, const std::string& sql, const Params& params);
// Reads the result of a statement sent early, if one is on its way.
void Settle(Conn& c);
// The status for a failed result; marks the connection broken when it is.
int16_t StatusOf(Conn& c, const Result& r);
// The status for an SQLSTATE: unique violation 5, missing table or schema
// 12, lock time-out, deadlock and serialization failure 85, no privilege or
// read-only 46, connection failures 20, everything else 2.
int16_t StatusOfSqlState(const std::string& state);

// One atomic step: a transaction of its own, or a savepoint when the
// process's transaction runs on the connection. Rolled back unless
// committed.
class Atomic {
 public:
  explicit Atomic(Conn& c) : c_(c) {}
  ~Atomic();
  Atomic(const Atomic&) = delete;
  Atomic& operator=(const Atomic&) = delete;
  int16_t Begin();
  int16_t Commit();

 private:
  Conn& c_;
  bool open_ = false;
  bool nested_ = false;
};

// "schema" quoted for SQL.
std::string QuotedSchema(const std::string& schema);

// ---- Record files and cursors ---------------------------------------------

// One record file as this process holds it, shared by all its opens.
struct PgFile {
  std::shared_ptr<Conn> conn;
  std::string schema, name;
  int64_t number = 0;       // its row in the schema's kel_files
  std::string table;        // "schema".f<number>
  std::string catalogue;    // "schema".kel_files
  int64_t lock_class = 0;   // the table's oid: high half of its lock keys
  FileSpec spec;
  int normal_opens = 0;
  int exclusive_opens = 0;
  std::map<int64_t, uint32_t> record_locks;  // record id -> cursor index
  uint64_t write_generation = 0;  // bumped by every write through this process
  int64_t pending_records = 0;    // count change of the open transaction
  bool written_in_transaction = false;
  // The stored record count as last read, and when.
  int64_t records = 0;
  int64_t records_read_ns = -1;
  uint64_t records_generation = 0;
};

// A point in a key's order: collated key, then record id.
struct KeyPoint {
  std::string k;
  int64_t id = 0;
};

struct Row {
  int64_t id = 0;
  std::string k;          // collated, in the batch's key
  std::string_view data;  // in the result the row came with
};

// Rows of one key fetched by one keyset query, in ascending order. Every
// record strictly between lo and hi (open ends when the flags say so) was
// in the file when the batch was fetched, and only those.
struct Batch {
  int key = -1;  // -1: none
  std::vector<Row> rows;
  KeyPoint lo, hi;
  bool lo_open = false, hi_open = false;  // unbounded on that side
  bool forward = true;                    // the direction it was fetched in
  uint64_t generation = 0;
  int64_t fetched_ns = 0;
  int served = 0;  // reads answered from it after the fetch
  size_t at = SIZE_MAX;  // the row last handed over from it
  // The result the rows' data lies in, shared by the pieces of one fetch.
  std::shared_ptr<const Result> result;
};

struct PgCursor {
  uint32_t generation = 0;
  std::shared_ptr<PgFile> file;
  bool read_only = false;
  bool exclusive = false;
  bool positioned = false;
  bool on_record = false;  // false after this cursor deleted it
  int key = 0;
  KeyPoint at;             // the current record in key's order
  int64_t locked_id = 0;   // single-record lock held, 0 none
  Batch batch;
  int batch_rows = 0;      // size of the next batch
  // Pieces fetched ahead for the keyed reads a walk is expected to make next
  // (see pg_read.cc), in key order, each complete between its own ends.
  std::deque<Batch> ahead;
  int ahead_groups = 0;    // how many pieces the next such fetch asks for
  // The last keyed read forward (its key number, -1 none) and the steps
  // that followed it.
  int jump_key = -1;
  KeyPoint jump_target;
  int walk = 0;
  std::vector<int> walks;  // of the keyed reads since the last fetch ahead
};

struct PgEngine {
  pid_t pid = 0;  // the process this state belongs to
  std::vector<std::unique_ptr<PgCursor>> cursors;  // index = handle - 1
  std::vector<uint32_t> generations;
  std::vector<std::weak_ptr<PgFile>> files;
  std::vector<std::shared_ptr<Conn>> conns;
  bool in_transaction = false;
  // Files written in the transaction: their counts are written at its end.
  std::vector<std::shared_ptr<PgFile>> transaction_files;
};

PgEngine& PgState();
// Closes every cursor and connection of this process and clears the state.
void ResetPgState();

// Lock keys: the table's oid in the high half, the record id (0: the file
// itself) in the low half.
inline int64_t LockKey(int64_t lock_class, int64_t id) {
  return int64_t(uint64_t(lock_class) << 32 | uint64_t(id & 0xFFFFFFFF));
}
inline int64_t LockKey(const PgFile& f, int64_t id) { return LockKey(f.lock_class, id); }

// ---- Files on the server (pg_files.cc) -------------------------------------

int16_t CreateFile(const engine::RecordRoute& route, const uint8_t* data,
                   size_t size, bool replace);
// Finds the file among this process's open files or opens it; the file lock
// of the open mode is the caller's.
int16_t OpenFile(const engine::RecordRoute& route, std::shared_ptr<PgFile>& out);
// The stored record count (with this process's uncommitted change).
int16_t RecordCount(PgFile& f, int64_t& count);
// Takes or drops a session advisory lock (key from LockKey). Take answers 0
// when the lock was got, busy when someone else holds it, the failure's
// status when the server could not be asked.
int16_t TakeAdvisoryLock(Conn& c, int64_t key, bool shared, int16_t busy);
void DropAdvisoryLock(Conn& c, int64_t key, bool shared);

// ---- Calls (pg_ops.cc, pg_read.cc, pg_write.cc) -----------------------------

// True when the position block is one of this engine's.
bool OwnsBlock(const uint8_t* pb);
int16_t Open(const engine::RecordRoute& route, Call& call);
// Every call on an open block.
int16_t BlockCall(Call& call);
int16_t BeginTransaction();
int16_t EndTransaction(bool commit);
void CloseAll();

// Reads (pg_read.cc).
int16_t KeyedRead(PgCursor& c, const Call& call);
int16_t EndRead(PgCursor& c, const Call& call);
int16_t StepRead(PgCursor& c, const Call& call);
int16_t GetDirect(PgCursor& c, const Call& call);
int16_t GetPosition(PgCursor& c, const Call& call);
void ReleaseLock(PgCursor& c);
// Fetches one record by id; false when there is none (status 0) or the
// query failed (status set).
bool FetchRecord(PgFile& f, int64_t id, std::string& data, int16_t& status);

// Writes (pg_write.cc).
int16_t Insert(PgCursor& c, const Call& call);
int16_t Update(PgCursor& c, const Call& call);
int16_t Delete(PgCursor& c);

uint32_t CursorIndex(const PgCursor& c);
// Another cursor of this process holds the record's lock.
bool LockedByOtherCursor(const PgCursor& c, int64_t id);
int64_t NowNs();

}  // namespace store::pg
