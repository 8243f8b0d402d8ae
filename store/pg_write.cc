// Writes on the server. Outside the process's transaction each write is one
// statement that also keeps the catalogue's record count; inside it the
// count is kept here and written once before the commit. A record another
// session holds locked is tested by taking its lock and giving it back
// within the statement itself.
#include <algorithm>

#include "store/btrcall.h"
#include "store/pg_engine.h"

namespace store::pg {
namespace {

// True while the record's lock (parameter 2 of every write) is free or ours,
// evaluated on the server.
constexpr char kLockFree[] =
    "(CASE WHEN pg_try_advisory_lock($2::int8) THEN pg_advisory_unlock($2::int8)"
    " ELSE false END)";

// Keeps the catalogue's count in the same statement as the write.
std::string Counted(const PgFile& f, const std::string& write, const char* change) {
  return "WITH w AS (" + write + "), c AS (UPDATE " + f.catalogue +
         " SET records = records " + change + " WHERE id = " + std::to_string(f.number) +
         " AND EXISTS (SELECT 1 FROM w)) SELECT id FROM w";
}

int16_t CheckWritable(const PgCursor& c) {
  return c.read_only ? int16_t(kStAccessDenied) : int16_t(kStOk);
}

// Inside the process's transaction the connection runs one transaction of
// its own, begun by the first write.
int16_t JoinTransaction(PgCursor& cursor, bool& in_transaction) {
  PgEngine& s = PgState();
  PgFile& f = *cursor.file;
  in_transaction = s.in_transaction;
  if (!in_transaction) return kStOk;
  Conn& c = *f.conn;
  if (!c.in_transaction) {
    Result r = Command(c, "BEGIN");
    if (!r.ok()) return StatusOf(c, r);
    c.in_transaction = true;
  }
  if (!f.written_in_transaction) {
    f.written_in_transaction = true;
    s.transaction_files.push_back(cursor.file);
  }
  return kStOk;
}

std::vector<std::string> CollatedKeys(const FileSpec& spec, const uint8_t* record) {
  std::vector<std::string> keys(spec.keys.size());
  for (size_t i = 0; i < keys.size(); ++i) engine::CollatedKey(spec, int(i), record, keys[i]);
  return keys;
}

// Why an Update or Delete of the cursor's record changed nothing: locked by
// another session (84), gone (43), or a key that may not change (10).
int16_t WhyUnchanged(PgCursor& c, const std::vector<std::string>* news) {
  PgFile& f = *c.file;
  Result r = Query(*f.conn, "SELECT data, " + std::string(kLockFree) + " FROM " + f.table +
                                " WHERE id = $1::int8",
                   Params().Int8(c.at.id).Int8(LockKey(f, c.at.id)));
  if (!r.ok()) return StatusOf(*f.conn, r);
  if (r.rows() == 0) return kStInvalidRecordAddress;
  if (!r.Bool(0, 1)) return kStRecordLocked;
  if (news != nullptr) {
    std::string old(r.Bytes(0, 0));
    old.resize(std::max<size_t>(old.size(), f.spec.record_length), '\0');
    const auto olds = CollatedKeys(f.spec, reinterpret_cast<const uint8_t*>(old.data()));
    for (size_t i = 0; i < olds.size(); ++i)
      if (!f.spec.keys[i].modifiable && olds[i] != (*news)[i]) return kStKeyNotModifiable;
  }
  return kStIoError;  // changed meanwhile by someone else
}

}  // namespace

int16_t Insert(PgCursor& c, const Call& call) {
  if (int16_t st = CheckWritable(c)) return st;
  PgFile& f = *c.file;
  const FileSpec& spec = f.spec;
  if (call.capacity() < spec.record_length) return kStBufferTooShort;
  const int key = call.key_number;
  if (key != -1 && (key < 0 || size_t(key) >= spec.keys.size())) return kStInvalidKeyNumber;
  const auto keys = CollatedKeys(spec, call.data);
  bool in_transaction = false;
  if (int16_t st = JoinTransaction(c, in_transaction)) return st;
  std::string columns = "data", values = "$1::bytea";
  Params p;
  p.Bytes(std::string_view(reinterpret_cast<const char*>(call.data), spec.record_length));
  for (size_t i = 0; i < keys.size(); ++i) {
    columns += ", k" + std::to_string(i);
    values += ", $" + std::to_string(i + 2) + "::bytea";
    p.Bytes(keys[i]);
  }
  // A unique key already there inserts nothing (and fails nothing, so the
  // process's transaction goes on).
  const std::string insert = "INSERT INTO " + f.table + " (" + columns + ") VALUES (" + values +
                             ") ON CONFLICT DO NOTHING RETURNING id";
  Result r = Query(*f.conn, in_transaction ? insert : Counted(f, insert, "+ 1"), p);
  ++f.write_generation;
  if (!r.ok()) return StatusOf(*f.conn, r);
  if (r.rows() == 0) return kStDuplicateKey;
  const int64_t id = r.Int8(0, 0);
  if (in_transaction) ++f.pending_records;
  if (key >= 0) {
    ReleaseLock(c);
    // The new record becomes current; the caller's record stays as it is.
    engine::HandOver(spec, key, call.data, spec.record_length, nullptr, call.len, call.key);
    c.positioned = true;
    c.on_record = true;
    c.key = key;
    c.at = KeyPoint{keys[size_t(key)], id};
  }
  return kStOk;
}

int16_t Update(PgCursor& c, const Call& call) {
  if (int16_t st = CheckWritable(c)) return st;
  if (!c.positioned || !c.on_record) return kStInvalidPositioning;
  PgFile& f = *c.file;
  const FileSpec& spec = f.spec;
  if (call.capacity() < spec.record_length) return kStBufferTooShort;
  if (LockedByOtherCursor(c, c.at.id)) return kStRecordLocked;
  const auto news = CollatedKeys(spec, call.data);
  bool in_transaction = false;
  if (int16_t st = JoinTransaction(c, in_transaction)) return st;
  Params p;
  p.Int8(c.at.id).Int8(LockKey(f, c.at.id));
  p.Bytes(std::string_view(reinterpret_cast<const char*>(call.data), spec.record_length));
  std::string set = "data = $3::bytea", where = std::string("id = $1::int8 AND ") + kLockFree;
  for (size_t i = 0; i < news.size(); ++i) {
    const std::string n = "$" + std::to_string(i + 4) + "::bytea";
    set += ", k" + std::to_string(i) + " = " + n;
    if (!spec.keys[i].modifiable) where += " AND k" + std::to_string(i) + " = " + n;
    p.Bytes(news[i]);
  }
  // Inside the process's transaction a refused update must not spoil it.
  Atomic step(*f.conn);
  if (in_transaction) {
    if (int16_t st = step.Begin()) return st;
  }
  Result r = Query(*f.conn, "UPDATE " + f.table + " SET " + set + " WHERE " + where + " RETURNING id", p);
  ++f.write_generation;
  if (!r.ok()) return StatusOf(*f.conn, r);
  if (r.rows() == 0) return WhyUnchanged(c, &news);
  if (in_transaction) {
    if (int16_t st = step.Commit()) return st;
  }
  c.at.k = news[size_t(c.key)];
  if (call.key != nullptr) {
    std::string raw;
    engine::RawKey(spec, c.key, call.data, raw);
    std::copy(raw.begin(), raw.end(), call.key);
  }
  if (c.locked_id == c.at.id) ReleaseLock(c);
  return kStOk;
}

int16_t Delete(PgCursor& c) {
  if (int16_t st = CheckWritable(c)) return st;
  if (!c.positioned || !c.on_record) return kStInvalidPositioning;
  PgFile& f = *c.file;
  if (LockedByOtherCursor(c, c.at.id)) return kStRecordLocked;
  bool in_transaction = false;
  if (int16_t st = JoinTransaction(c, in_transaction)) return st;
  const std::string del = "DELETE FROM " + f.table + " WHERE id = $1::int8 AND " + kLockFree +
                          " RETURNING id";
  Result r = Query(*f.conn, in_transaction ? del : Counted(f, del, "- 1"),
                   Params().Int8(c.at.id).Int8(LockKey(f, c.at.id)));
  ++f.write_generation;
  if (!r.ok()) return StatusOf(*f.conn, r);
  if (r.rows() == 0) return WhyUnchanged(c, nullptr);
  if (in_transaction) --f.pending_records;
  // The position stays where the record was: Get Next goes on from there.
  c.on_record = false;
  if (c.locked_id == c.at.id) ReleaseLock(c);
  return kStOk;
}

}  // namespace store::pg
