// The server engine's calls: open and close with their file locks, the
// dispatch of calls on an open position block, Stat, and the process's
// transaction.
#include <cstring>

#include "store/btrcall.h"
#include "store/pg_engine.h"

namespace store::pg {
namespace {

constexpr uint8_t kMagic[4] = {'K', 'E', 'L', 'P'};

PgCursor* FindCursor(const uint8_t* pb, uint32_t* index_out) {
  return engine::FindCursorIn(PgState().cursors, pb, kMagic, index_out);
}

void CloseCursor(uint32_t index) {
  PgEngine& s = PgState();
  PgCursor& c = *s.cursors[index];
  ReleaseLock(c);
  PgFile& f = *c.file;
  if (c.exclusive) --f.exclusive_opens; else --f.normal_opens;
  if (c.exclusive || f.normal_opens == 0)
    DropAdvisoryLock(*f.conn, LockKey(f, 0), !c.exclusive);
  s.cursors[index].reset();
  ++s.generations[index];
}

// Takes the file lock of an open: shared for normal opens, exclusive for
// exclusive ones; within this process the counts decide.
int16_t LockForOpen(PgFile& f, bool exclusive) {
  if (exclusive) {
    if (f.normal_opens + f.exclusive_opens > 0) return kStFileLocked;
    if (int16_t st = TakeAdvisoryLock(*f.conn, LockKey(f, 0), false, kStFileLocked)) return st;
  } else {
    if (f.exclusive_opens > 0) return kStFileLocked;
    if (f.normal_opens == 0) {
      if (int16_t st = TakeAdvisoryLock(*f.conn, LockKey(f, 0), true, kStFileLocked)) return st;
    }
  }
  (exclusive ? f.exclusive_opens : f.normal_opens)++;
  return kStOk;
}

int16_t Stat(PgCursor& c, const Call& call) {
  int64_t count = 0;
  if (int16_t st = RecordCount(*c.file, count)) return st;
  return engine::PutStat(c.file->spec, uint32_t(count), call);
}

// Writes the counts of the files written, then commits; or rolls back.
int16_t EndOnConnection(Conn& c, bool commit) {
  int16_t status = kStOk;
  PgEngine& s = PgState();
  if (commit) {
    for (auto& f : s.transaction_files) {
      if (f->conn.get() != &c || f->pending_records == 0) continue;
      Result r = Query(c, "UPDATE " + f->catalogue + " SET records = records + $2::int8 WHERE id = $1::int8",
                       Params().Int8(f->number).Int8(f->pending_records));
      if (!r.ok()) {
        status = StatusOf(c, r);
        commit = false;
        break;
      }
    }
  }
  Result r = Command(c, commit ? "COMMIT" : "ROLLBACK");
  if (commit && (!r.ok() || std::strcmp(r.CommandStatus(), "COMMIT") != 0))
    status = r.ok() ? int16_t(kStIoError) : StatusOf(c, r);
  c.in_transaction = false;
  return status;
}

}  // namespace

bool OwnsBlock(const uint8_t* pb) {
  return pb != nullptr && std::memcmp(pb, kMagic, sizeof kMagic) == 0;
}

uint32_t CursorIndex(const PgCursor& c) { return engine::IndexIn(PgState().cursors, c); }

bool LockedByOtherCursor(const PgCursor& c, int64_t id) {
  auto it = c.file->record_locks.find(id);
  return it != c.file->record_locks.end() && it->second != CursorIndex(c);
}

int16_t Open(const engine::RecordRoute& route, Call& call) {
  uint32_t old = 0;
  if (FindCursor(call.pb, &old) != nullptr) CloseCursor(old);
  const bool read_only = call.key_number == kOpenReadOnly;
  const bool exclusive = call.key_number == kOpenExclusive;
  std::shared_ptr<PgFile> f;
  if (int16_t st = OpenFile(route, f)) return st;
  if (int16_t st = LockForOpen(*f, exclusive)) return st;
  PgEngine& s = PgState();
  auto c = std::make_unique<PgCursor>();
  c->file = f;
  c->read_only = read_only;
  c->exclusive = exclusive;
  engine::PlaceCursor(s.cursors, s.generations, std::move(c), kMagic, call.pb);
  return kStOk;
}

int16_t BlockCall(Call& call) {
  uint32_t index = 0;
  PgCursor* c = FindCursor(call.pb, &index);
  if (c == nullptr) return kStNotOpen;
  const uint16_t op = call.op;
  if (op == kOpClose) {
    CloseCursor(index);
    std::memset(call.pb, 0, kPositionBlockSize);
    return kStOk;
  }
  if (!c->file->conn->Usable()) return kStEngineInactive;
  // A single-record lock lasts until the next read through this block.
  if (engine::IsRead(call)) ReleaseLock(*c);
  switch (op) {
    case kOpInsert: return Insert(*c, call);
    case kOpUpdate: return Update(*c, call);
    case kOpDelete: return Delete(*c);
    case kOpGetEqual: case kOpGetGreater: case kOpGetGreaterOrEqual:
    case kOpGetLess: case kOpGetLessOrEqual:
      return KeyedRead(*c, call);
    case kOpGetNext: case kOpGetPrevious: return StepRead(*c, call);
    case kOpGetFirst: case kOpGetLast: return EndRead(*c, call);
    case kOpStat: return Stat(*c, call);
    case kOpGetPosition: return GetPosition(*c, call);
    case kOpGetDirect: return GetDirect(*c, call);
    case kOpUnlock: ReleaseLock(*c); return kStOk;
    default: return kStInvalidOperation;
  }
}

int16_t BeginTransaction() {
  PgEngine& s = PgState();
  if (s.in_transaction) return kStTransactionActive;
  s.in_transaction = true;
  return kStOk;
}

int16_t EndTransaction(bool commit) {
  PgEngine& s = PgState();
  if (!s.in_transaction) return kStNoTransaction;
  int16_t status = kStOk;
  for (auto& c : s.conns) {
    if (!c->in_transaction) continue;
    if (int16_t st = EndOnConnection(*c, commit)) status = st;
  }
  for (auto& f : s.transaction_files) {
    f->pending_records = 0;
    f->written_in_transaction = false;
    ++f->write_generation;
  }
  s.transaction_files.clear();
  s.in_transaction = false;
  return status;
}

void CloseAll() {
  PgEngine& s = PgState();
  if (s.in_transaction) EndTransaction(false);
  for (uint32_t i = 0; i < s.cursors.size(); ++i)
    if (s.cursors[i]) CloseCursor(i);
}

}  // namespace store::pg
