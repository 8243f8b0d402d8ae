// Reads on the server: keyset batches, keyed reads, steps, reads by
// position, and single-record locks.
//
// Every read is a search after or before a point (key, id) of a key's
// order. A batch knows every record between its two ends as they were when
// it was fetched, so a search whose answer lies inside it needs no round
// trip; the batch grows while reads walk on past its end and shrinks while
// they jump about. Walks that jump ahead by keyed reads in a pattern get the
// next pieces of their way fetched ahead, several in one round trip.
#include <algorithm>
#include <limits>

#include "store/btrcall.h"
#include "store/pg_engine.h"

namespace store::pg {
namespace {

constexpr int kFirstBatch = 16;
constexpr int kMaxBatch = 1024;
// Files of fewer records are fetched whole on a keyed read that misses.
constexpr int64_t kSmallFile = 512;
// As long as the SQLite engine keeps a stepping statement's snapshot.
constexpr int64_t kBatchFreshNs = 100'000'000;
constexpr int64_t kMaxId = std::numeric_limits<int64_t>::max();

int Compare(const std::string& ak, int64_t aid, const std::string& bk, int64_t bid) {
  // std::string compares bytes as unsigned, like memcmp and bytea.
  const int c = ak.compare(bk);
  if (c != 0) return c < 0 ? -1 : 1;
  return aid < bid ? -1 : (aid > bid ? 1 : 0);
}
int Compare(const KeyPoint& a, const KeyPoint& b) { return Compare(a.k, a.id, b.k, b.id); }
int Compare(const Row& r, const KeyPoint& p) { return Compare(r.k, r.id, p.k, p.id); }

bool ValidKey(const PgCursor& c, int key) {
  return key >= 0 && size_t(key) < c.file->spec.keys.size();
}

bool Usable(const PgCursor& c, const Batch& b, int key) {
  return b.key == key && b.generation == c.file->write_generation &&
         NowNs() - b.fetched_ns < kBatchFreshNs;
}

bool BatchUsable(const PgCursor& c, int key) { return Usable(c, c.batch, key); }

enum class Found { kRow, kEnd, kMiss };
struct Lookup {
  Found found = Found::kMiss;
  size_t index = 0;
};

// The first record after t (forward) or the last before it, as far as the
// batch can tell.
Lookup Find(const Batch& b, bool forward, const KeyPoint& t) {
  const auto& rows = b.rows;
  if (forward) {
    if (!b.lo_open && Compare(t, b.lo) < 0) return {};
    auto it = std::upper_bound(rows.begin(), rows.end(), t,
                               [](const KeyPoint& p, const Row& r) { return Compare(r, p) > 0; });
    if (it != rows.end()) return {Found::kRow, size_t(it - rows.begin())};
    return {b.hi_open ? Found::kEnd : Found::kMiss, 0};
  }
  if (!b.hi_open && Compare(t, b.hi) > 0) return {};
  auto it = std::lower_bound(rows.begin(), rows.end(), t,
                             [](const Row& r, const KeyPoint& p) { return Compare(r, p) < 0; });
  if (it != rows.begin()) return {Found::kRow, size_t(it - rows.begin()) - 1};
  return {b.lo_open ? Found::kEnd : Found::kMiss, 0};
}

// A step from the row last handed over from the batch goes to its
// neighbour without a search.
Lookup FindStep(const Batch& b, bool forward, const KeyPoint& t) {
  if (b.at < b.rows.size() && Compare(b.rows[b.at], t) == 0) {
    const size_t next = forward ? b.at + 1 : b.at - 1;  // wraps past the front
    if (next < b.rows.size()) return {Found::kRow, next};
  }
  return Find(b, forward, t);
}

// The keyset query of a key: unique keys are ordered by the key alone,
// others by key and id.
std::string RangeSql(const PgFile& f, int key, bool forward, bool inclusive, int limit) {
  const std::string col = "k" + std::to_string(key);
  std::string where, order;
  if (!f.spec.keys[key].duplicates) {
    where = col + (forward ? (inclusive ? " >= " : " > ") : (inclusive ? " <= " : " < ")) + "$1::bytea";
    order = col + (forward ? "" : " DESC");
  } else {
    where = "(" + col + ", id) " + (forward ? ">" : "<") + " ($1::bytea, $2::int8)";
    order = forward ? col + ", id" : col + " DESC, id DESC";
  }
  return "SELECT id, data FROM " + f.table + " WHERE " + where + " ORDER BY " + order +
         " LIMIT " + std::to_string(limit);
}

// Unique keys search from t inclusively only at the ends of t's key.
bool Inclusive(bool forward, const KeyPoint& t) { return forward ? t.id == 0 : t.id == kMaxId; }

Params RangeParams(const PgFile& f, int key, const KeyPoint& t) {
  Params p;
  p.Bytes(t.k);
  if (f.spec.keys[key].duplicates) p.Int8(t.id);
  return p;
}

// The row refers to data where it lies: the result must outlive it.
void FillRow(const FileSpec& spec, int key, int64_t id, std::string_view data, Row& row) {
  row.id = id;
  row.data = data;
  engine::StoredCollatedKey(spec, key, data, row.k);
}

// Records packed into one value: each its id (8 bytes) and its length (4
// bytes), big-endian, then its data. One protocol row for many records
// spares both ends the cost of a row each.
constexpr const char* kPacked =
    "string_agg(int8send(id) || int4send(length(data)) || data, ''::bytea)";

// Appends the records packed in v; false when v is malformed.
bool Unpack(const FileSpec& spec, int key, std::string_view v, std::vector<Row>& rows) {
  const auto number = [](const char* p, int n) {
    uint64_t x = 0;
    for (int i = 0; i < n; ++i) x = x << 8 | uint8_t(p[i]);
    return x;
  };
  while (!v.empty()) {
    if (v.size() < 12) return false;
    const int64_t id = int64_t(number(v.data(), 8));
    const uint64_t len = number(v.data() + 8, 4);
    if (len > v.size() - 12) return false;
    FillRow(spec, key, id, v.substr(12, len), rows.emplace_back());
    v.remove_prefix(12 + len);
  }
  return true;
}

// A walk (steps or keyed reads) that goes on past the end of a batch gets a
// bigger one; jumping back before a batch that served nothing gives way to
// a smaller one.
void SizeNextBatch(PgCursor& c, int key, bool forward, const KeyPoint& t) {
  const Batch& b = c.batch;
  if (c.batch_rows == 0) {
    c.batch_rows = kFirstBatch;
    return;
  }
  if (b.key != key || b.rows.empty()) return;
  const bool beyond = forward ? b.forward && Compare(b.rows.back(), t) <= 0
                              : !b.forward && Compare(b.rows.front(), t) >= 0;
  if (beyond) {
    c.batch_rows = std::min(c.batch_rows * 2, kMaxBatch);
  } else if (b.served == 0) {
    c.batch_rows = std::max(c.batch_rows / 2, kFirstBatch);
  }
}

// As far as the last count read tells (Stat refreshes it).
bool SmallFile(const PgFile& f) {
  return f.records_read_ns >= 0 && f.records + f.pending_records < kSmallFile;
}

// Fetches the batch after or before t: rows records, or as many as the
// walk so far suggests (rows 0).
int16_t Fetch(PgCursor& c, int key, bool forward, const KeyPoint& t, int rows) {
  PgFile& f = *c.file;
  const bool unique = !f.spec.keys[key].duplicates;
  const bool inclusive = Inclusive(forward, t);
  if (rows == 0) {
    SizeNextBatch(c, key, forward, t);
    rows = c.batch_rows;
  }
  auto result = std::make_shared<const Result>(
      Query(*f.conn, RangeSql(f, key, forward, inclusive, rows), RangeParams(f, key, t)));
  const Result& r = *result;
  if (!r.ok()) return StatusOf(*f.conn, r);
  Batch b;
  b.result = result;
  b.key = key;
  b.forward = forward;
  b.generation = f.write_generation;
  b.fetched_ns = NowNs();
  const int n = r.rows();
  b.rows.resize(size_t(n));
  for (int i = 0; i < n; ++i)
    FillRow(f.spec, key, r.Int8(i, 0), r.Bytes(i, 1), b.rows[size_t(forward ? i : n - 1 - i)]);
  const bool complete = n < rows;
  if (forward) {
    b.lo = unique && !inclusive ? KeyPoint{t.k, kMaxId} : t;
    b.hi_open = complete;
    if (!complete) b.hi = KeyPoint{b.rows.back().k, b.rows.back().id + 1};
  } else {
    b.hi = unique && !inclusive ? KeyPoint{t.k, 0} : t;
    b.lo_open = complete;
    if (!complete) b.lo = KeyPoint{b.rows.front().k, b.rows.front().id - 1};
  }
  c.batch = std::move(b);
  return kStOk;
}

// ---- Walks that jump ahead ----
//
// A report reads a unit's receipts by a keyed read from the period's start
// and a few steps, then jumps to the next unit's period start: one round
// trip per unit. When a keyed read jumps past the current record and shares
// the trailing bytes of its key with the keyed read before it, the walk is
// taken to go on so: one query brings, for this and the next groups of
// leading bytes, the records from the group's leading bytes followed by the
// shared trailing bytes on, as many as nearly every walk since the last such
// query read (and one more) but none past the group, and the next group's
// first record, where a walk that runs out of its group goes.
// Each group is a piece complete between its own ends; a read between
// pieces goes to the server as any other.

constexpr int kFirstAheadGroups = 8;
constexpr int kMaxAheadGroups = 256;
constexpr int kMaxAheadRows = 4096;

// The length of the leading bytes when t jumps as described, else 0.
size_t JumpPrefix(const PgCursor& c, int key, const KeyPoint& t) {
  if (c.jump_key != key || !c.positioned || c.key != key || t.id != 0) return 0;
  const std::string& a = c.jump_target.k;
  const std::string& b = t.k;
  if (a.size() != b.size() || a.compare(b) >= 0 || Compare(t, c.at) <= 0) return 0;
  size_t shared = 0;
  while (shared < b.size() && a[a.size() - 1 - shared] == b[b.size() - 1 - shared]) ++shared;
  return shared == 0 || shared >= b.size() ? 0 : b.size() - shared;
}

// The groups after $1's leading bytes, each found by one index probe that
// brings the group's first record too; then for each group its records from
// its leading bytes and the trailing bytes $4 on, as far as the group goes,
// packed into one value, and the next group's first record (where a walk
// that reads the whole group ends up), so that records of other leading
// bytes than their group's end each piece. $2 is the highest trailing
// value, $3 the groups, $5 the records within a group.
std::string AheadSql(const PgFile& f, int key, size_t prefix) {
  const std::string col = "k" + std::to_string(key);
  const std::string lead = " FOR " + std::to_string(prefix) + ")";
  const bool dups = f.spec.keys[key].duplicates;
  const std::string order = " ORDER BY " + col + (dups ? ", id" : "");
  const std::string first = " LEFT JOIN LATERAL (SELECT id, " + col + " AS k, data FROM " +
                            f.table + " WHERE " + col + " > ";
  const std::string from = dups ? "(" + col + ", id) >= (g.p || $4::bytea, 0::int8)"
                                : col + " >= g.p || $4::bytea";
  return "WITH RECURSIVE g(p, n, fid, fk, fdata) AS (SELECT a.p, 1, f.id, f.k, f.data FROM"
         " (SELECT substring($1::bytea" + lead + " AS p) a" + first +
         "a.p || $2::bytea" + order + " LIMIT 1) f ON true"
         " UNION ALL SELECT substring(g.fk" + lead + ", g.n + 1, f.id, f.k, f.data FROM g" +
         first + "substring(g.fk" + lead + " || $2::bytea" + order +
         " LIMIT 1) f ON true WHERE g.fk IS NOT NULL AND g.n < $3::int8)"
         " SELECT g.p, (SELECT " + std::string(kPacked) + " FROM (SELECT id, data FROM " + f.table +
         " WHERE " + from + " AND " + col + " <= g.p || $2::bytea" + order +
         " LIMIT $5::int8) r), g.fid, g.fdata FROM g";
}

// The parameters of AheadSql for the groups from target's on.
Params AheadParams(const std::string& target, size_t prefix, int groups, int rows) {
  const std::string suffix = target.substr(prefix);
  return Params().Bytes(target).Bytes(std::string(suffix.size(), '\xFF')).Int8(groups)
      .Bytes(suffix).Int8(rows);
}

Batch NewPiece(const PgFile& f, int key, const KeyPoint& lo, int64_t fetched_ns) {
  Batch b;
  b.key = key;
  b.generation = f.write_generation;
  b.fetched_ns = fetched_ns;
  b.lo = lo;
  return b;
}

// Records a piece should bring: as many as nearly every walk since the last
// fetch ahead read (its keyed read and its steps) and one to spare. A piece
// too short costs a round trip; sized by the last walk alone, one short walk
// made every piece of the next fetch too short, and by the longest, one long
// walk would make them all longer.
int PieceRows(PgCursor& c, int groups) {
  std::vector<int>& w = c.walks;
  if (w.empty()) w.push_back(c.walk);
  const auto at = w.begin() + long(w.size() * 15 / 16);
  std::nth_element(w.begin(), at, w.end());
  const int rows = std::clamp(*at + 2, 2, kMaxAheadRows / groups);
  w.clear();
  return rows;
}

// A piece holds its group's records from its start, at most rows of them,
// then the next group's first record. It is complete up to its last record;
// up to the end of the file when its group ran out and no group follows.
void EndPiece(Batch& b, size_t prefix, size_t rows) {
  const auto before = [](const Row& x, const Row& y) { return Compare(x.k, x.id, y.k, y.id) < 0; };
  // Each piece comes in order from its index scans; sorted only if not.
  if (!std::is_sorted(b.rows.begin(), b.rows.end(), before))
    std::sort(b.rows.begin(), b.rows.end(), before);
  const bool next = !b.rows.empty() && b.rows.back().k.compare(0, prefix, b.lo.k, 0, prefix) != 0;
  const size_t own = b.rows.size() - (next ? 1 : 0);
  // A group cut short may have more records before the next one.
  if (own >= rows && next) b.rows.pop_back();
  b.hi_open = own < rows && !next;
  if (!b.hi_open) b.hi = KeyPoint{b.rows.back().k, b.rows.back().id + 1};
}

// The result of the fetch ahead from t sent early, when it is that one and
// as good as a new one would be; rows and fetched_ns become its own.
std::shared_ptr<const Result> TakeEarly(PgFile& f, const std::string& sql, const KeyPoint& t,
                                        int& rows, int64_t& fetched_ns) {
  EarlyFetch& e = f.conn->early;
  if (e.sql != sql || e.target != t.k || e.file.lock().get() != &f ||
      e.generation != f.write_generation || NowNs() - e.sent_ns >= kBatchFreshNs)
    return nullptr;
  Settle(*f.conn);
  e.sql.clear();
  if (e.result == nullptr || !e.result->ok()) return nullptr;
  rows = e.rows;
  fetched_ns = e.sent_ns;
  return std::move(e.result);
}

// Sends the fetch of the groups after the last piece, for the walk to take
// when it gets there, unless the last piece ends the file or was cut short
// before its group's end. Never in a transaction: a failure there would end
// the transaction the walk is part of.
void SendNext(PgCursor& c, const std::string& sql, size_t prefix, const std::string& suffix,
              const Batch& last, int groups, int rows) {
  PgFile& f = *c.file;
  if (f.conn->in_transaction || last.hi_open || last.rows.empty()) return;
  const std::string& k = last.rows.back().k;
  if (k.compare(0, prefix, last.lo.k, 0, prefix) == 0) return;
  rows = std::max(2, std::min(rows, kMaxAheadRows / groups));
  const std::string target = k.substr(0, prefix) + suffix;
  if (!SendEarly(*f.conn, sql, AheadParams(target, prefix, groups, rows))) return;
  EarlyFetch& e = f.conn->early;
  e.file = c.file;
  e.generation = f.write_generation;
  e.sql = sql;
  e.target = target;
  e.rows = rows;
  e.sent_ns = NowNs();
}

// The pieces of a fetch ahead from t on, a row of the result each.
int16_t Pieces(const PgCursor& c, int key, const KeyPoint& t, size_t prefix,
               const std::shared_ptr<const Result>& result, int rows, int64_t fetched_ns,
               std::vector<Batch>& pieces) {
  const PgFile& f = *c.file;
  const std::string suffix = t.k.substr(prefix);
  const Result& r = *result;
  for (int i = 0; i < r.rows(); ++i) {
    const KeyPoint lo{std::string(r.Bytes(i, 0)) + suffix, 0};
    Batch& b = pieces.emplace_back(NewPiece(f, key, lo, fetched_ns));
    b.result = result;
    b.rows.reserve(size_t(rows) + 1);
    if (!Unpack(f.spec, key, r.Bytes(i, 1), b.rows)) return kStIoError;
    // The next group's first record ends the piece.
    if (!r.IsNull(i, 2)) FillRow(f.spec, key, r.Int8(i, 2), r.Bytes(i, 3), b.rows.emplace_back());
  }
  for (Batch& b : pieces) EndPiece(b, prefix, size_t(rows));
  if (pieces.empty()) {
    pieces.push_back(NewPiece(f, key, t, fetched_ns));  // nothing from t on
    pieces.back().hi_open = true;
  }
  return kStOk;
}

// Fetches the pieces from t on (or takes them sent early): the first
// becomes the batch, the others wait in c.ahead. The next ones are sent
// for at once.
int16_t FetchAhead(PgCursor& c, int key, const KeyPoint& t, size_t prefix) {
  PgFile& f = *c.file;
  // Pieces left unread mean the walk went another way: start small again.
  const bool missed = !c.ahead.empty() && Usable(c, c.ahead.front(), key);
  const int groups = missed || c.ahead_groups == 0 ? kFirstAheadGroups : c.ahead_groups;
  const int rows = PieceRows(c, groups);
  const std::string sql = AheadSql(f, key, prefix);
  int got_rows = rows;
  int64_t fetched_ns = NowNs();
  std::shared_ptr<const Result> result;
  if (!missed) result = TakeEarly(f, sql, t, got_rows, fetched_ns);
  if (result == nullptr) {
    result = std::make_shared<const Result>(
        Query(*f.conn, sql, AheadParams(t.k, prefix, groups, rows)));
    if (!result->ok()) return StatusOf(*f.conn, *result);
  }
  std::vector<Batch> pieces;
  if (int16_t st = Pieces(c, key, t, prefix, result, got_rows, fetched_ns, pieces)) return st;
  c.batch = std::move(pieces.front());
  c.ahead.clear();
  for (size_t i = 1; i < pieces.size(); ++i) c.ahead.push_back(std::move(pieces[i]));
  c.ahead_groups = missed ? kFirstAheadGroups : std::min(groups * 2, kMaxAheadGroups);
  // A walk that outruns its piece is one of the pieces' kind: a small batch.
  c.batch_rows = 0;
  const Batch& last = c.ahead.empty() ? c.batch : c.ahead.back();
  SendNext(c, sql, prefix, t.k.substr(prefix), last, c.ahead_groups, rows);
  return kStOk;
}

// A piece fetched ahead that answers the search becomes the batch; the
// pieces before it are passed.
Lookup FindAhead(PgCursor& c, int key, bool forward, const KeyPoint& t) {
  for (size_t j = 0; j < c.ahead.size(); ++j) {
    if (!Usable(c, c.ahead[j], key)) break;
    const Lookup found = Find(c.ahead[j], forward, t);
    if (found.found == Found::kMiss) continue;
    c.batch = std::move(c.ahead[j]);
    c.ahead.erase(c.ahead.begin(), c.ahead.begin() + long(j) + 1);
    return found;
  }
  return {};
}

int16_t Deliver(PgCursor& c, const Call& call, int key, const Row& row) {
  const int16_t status = engine::HandOver(c.file->spec, key,
                                          reinterpret_cast<const uint8_t*>(row.data.data()),
                                          row.data.size(), call.data, call.len, call.key);
  c.positioned = true;
  c.on_record = true;
  c.key = key;
  c.at = KeyPoint{row.k, row.id};
  return status;
}

// True when another cursor of this process holds the record's lock.
// After the server granted the lock: refused all the same when another
// cursor of ours holds it (the server counts our session once more).
int16_t KeepLock(PgCursor& c, int64_t id) {
  PgFile& f = *c.file;
  if (LockedByOtherCursor(c, id)) {
    DropAdvisoryLock(*f.conn, LockKey(f, id), false);
    return kStRecordLocked;
  }
  f.record_locks[id] = CursorIndex(c);
  c.locked_id = id;
  return kStOk;
}

// Whether the row of a locked read is the one and is now ours.
int16_t LockedRow(PgCursor& c, int key, const KeyPoint& t, bool equal, const Result& r) {
  PgFile& f = *c.file;
  if (!r.ok()) return StatusOf(*f.conn, r);
  if (r.rows() == 0) return equal ? kStKeyNotFound : kStEndOfFile;
  if (!r.Bool(0, 2)) return kStRecordLocked;
  const int64_t id = r.Int8(0, 0);
  if (equal) {
    Row row;
    FillRow(f.spec, key, id, r.Bytes(0, 1), row);
    if (row.k != t.k) {
      DropAdvisoryLock(*f.conn, LockKey(f, id), false);
      return kStKeyNotFound;
    }
  }
  return KeepLock(c, id);
}

// A locked read goes to the server every time: the record is read and
// locked by one statement, so it is the current one.
int16_t LockedSeek(PgCursor& c, const Call& call, int key, bool forward, const KeyPoint& t,
                   bool equal) {
  PgFile& f = *c.file;
  const bool unique = !f.spec.keys[key].duplicates;
  const std::string lock_param = unique ? "$2" : "$3";
  Params p = RangeParams(f, key, t);
  p.Int8(LockKey(f, 0));
  Result r = Query(*f.conn,
                   "SELECT q.id, q.data, pg_try_advisory_lock(" + lock_param +
                       "::int8 | q.id) FROM (" +
                       RangeSql(f, key, forward, Inclusive(forward, t), 1) + ") q",
                   p);
  const int16_t status = LockedRow(c, key, t, equal, r);
  if (status != kStOk) {
    call.set_len(0);
    return status;
  }
  Row row;
  FillRow(f.spec, key, r.Int8(0, 0), r.Bytes(0, 1), row);
  return Deliver(c, call, key, row);
}

// Finds the record after (forward) or before t in key's order and hands it
// over; equal: it must have t's key (Get Equal). jump: a keyed read.
int16_t Seek(PgCursor& c, const Call& call, int key, bool forward, const KeyPoint& t,
             bool equal, bool jump = false) {
  if (call.lock) return LockedSeek(c, call, key, forward, t, equal);
  Lookup found;
  if (BatchUsable(c, key))
    found = jump ? Find(c.batch, forward, t) : FindStep(c.batch, forward, t);
  if (found.found == Found::kMiss) found = FindAhead(c, key, forward, t);
  if (found.found == Found::kMiss && SmallFile(*c.file)) {
    // A small file comes whole: every keyed read after it is answered here.
    if (int16_t st = Fetch(c, key, true, KeyPoint{}, kMaxBatch)) {
      call.set_len(0);
      return st;
    }
    c.batch.lo_open = true;
    found = Find(c.batch, forward, t);
  }
  if (found.found == Found::kMiss) {
    const size_t prefix = jump && forward ? JumpPrefix(c, key, t) : 0;
    if (int16_t st = prefix > 0 ? FetchAhead(c, key, t, prefix) : Fetch(c, key, forward, t, 0)) {
      call.set_len(0);
      return st;
    }
    const auto& rows = c.batch.rows;
    if (rows.empty()) found = {Found::kEnd, 0};
    else found = {Found::kRow, forward ? 0 : rows.size() - 1};
  } else {
    ++c.batch.served;
  }
  if (found.found == Found::kEnd) {
    call.set_len(0);
    return equal ? kStKeyNotFound : kStEndOfFile;
  }
  c.batch.at = found.index;
  const Row& row = c.batch.rows[found.index];
  if (equal && row.k != t.k) {
    call.set_len(0);
    return kStKeyNotFound;
  }
  return Deliver(c, call, key, row);
}

}  // namespace

bool FetchRecord(PgFile& f, int64_t id, std::string& data, int16_t& status) {
  Result r = Query(*f.conn, "SELECT data FROM " + f.table + " WHERE id = $1::int8",
                   Params().Int8(id));
  status = r.ok() ? int16_t(kStOk) : StatusOf(*f.conn, r);
  if (r.rows() == 0) return false;
  data.assign(r.Bytes(0, 0));
  return true;
}

void ReleaseLock(PgCursor& c) {
  if (c.locked_id == 0) return;
  PgFile& f = *c.file;
  f.record_locks.erase(c.locked_id);
  DropAdvisoryLock(*f.conn, LockKey(f, c.locked_id), false);
  c.locked_id = 0;
}

int16_t KeyedRead(PgCursor& c, const Call& call) {
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  if (call.key == nullptr) return kStKeyBufferTooShort;
  KeyPoint t;
  engine::CollatedForm(c.file->spec, key, call.key, t.k);
  const bool forward = call.op == kOpGetEqual || call.op == kOpGetGreaterOrEqual ||
                       call.op == kOpGetGreater;
  if (call.op == kOpGetGreater || call.op == kOpGetLessOrEqual) t.id = kMaxId;
  if (c.jump_key == key && c.walks.size() < size_t(kMaxAheadGroups)) c.walks.push_back(c.walk);
  const int16_t status = Seek(c, call, key, forward, t, call.op == kOpGetEqual, true);
  // What the next keyed read is compared with (JumpPrefix).
  c.jump_key = forward ? key : -1;
  c.jump_target = t;
  c.walk = 0;
  return status;
}

int16_t EndRead(PgCursor& c, const Call& call) {
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  if (call.op == kOpGetFirst) return Seek(c, call, key, true, KeyPoint{}, false);
  // After every key: keys are at most 255 bytes.
  return Seek(c, call, key, false, KeyPoint{std::string(kMaxKeyLength + 1, '\xFF'), 0}, false);
}

int16_t StepRead(PgCursor& c, const Call& call) {
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  if (!c.positioned) return kStInvalidPositioning;
  if (key != c.key) {
    // Continue in another key's order from the current record.
    std::string record;
    int16_t status = kStOk;
    if (!FetchRecord(*c.file, c.at.id, record, status)) {
      call.set_len(0);
      return status != kStOk ? status : int16_t(kStInvalidPositioning);
    }
    engine::StoredCollatedKey(c.file->spec, key, record, c.at.k);
    c.key = key;
  }
  ++c.walk;
  return Seek(c, call, key, call.op == kOpGetNext, c.at, false);
}

int16_t GetDirect(PgCursor& c, const Call& call) {
  if (call.capacity() < 4) return kStBufferTooShort;
  const int key = call.key_number;
  if (!ValidKey(c, key)) return kStInvalidKeyNumber;
  PgFile& f = *c.file;
  const int64_t id = engine::Get32(call.data);
  Row row;
  Result r;  // holds the row's data
  if (id != 0) {
    r = Query(*f.conn,
              call.lock ? "SELECT data, pg_try_advisory_lock($2::int8 | id) FROM " + f.table +
                              " WHERE id = $1::int8"
                        : "SELECT data FROM " + f.table + " WHERE id = $1::int8",
              call.lock ? Params().Int8(id).Int8(LockKey(f, 0)) : Params().Int8(id));
    if (!r.ok()) {
      call.set_len(0);
      return StatusOf(*f.conn, r);
    }
    if (r.rows() > 0) {
      if (call.lock && !r.Bool(0, 1)) {
        call.set_len(0);
        return kStRecordLocked;
      }
      FillRow(f.spec, key, id, r.Bytes(0, 0), row);
    }
  }
  if (row.id == 0) {
    call.set_len(0);
    return kStInvalidRecordAddress;
  }
  if (call.lock) {
    if (int16_t st = KeepLock(c, id)) {
      call.set_len(0);
      return st;
    }
  }
  return Deliver(c, call, key, row);
}

int16_t GetPosition(PgCursor& c, const Call& call) {
  if (!c.positioned || !c.on_record) return kStInvalidPositioning;
  if (call.capacity() < 4) return kStBufferTooShort;
  if (call.lock) {
    if (LockedByOtherCursor(c, c.at.id)) return kStRecordLocked;
    if (int16_t st = TakeAdvisoryLock(*c.file->conn, LockKey(*c.file, c.at.id), false,
                                      kStRecordLocked))
      return st;
    if (int16_t st = KeepLock(c, c.at.id)) return st;
  }
  engine::Put32(call.data, uint32_t(c.at.id));
  call.set_len(4);
  return kStOk;
}

}  // namespace store::pg
