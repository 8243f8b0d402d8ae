// BTRCALL: the single entry. Open and Create go to the engine that the
// file's installation names; every other call goes to the engine whose
// position block it carries; Reset and the transaction calls go to both.
#include "store/btrcall.h"

#include "store/engine.h"
#include "store/engine_route.h"
#include "store/pg_engine.h"

namespace store {
namespace {

using engine::Call;

// Whatever cursor the block holds, in either engine, is closed first: the
// block is about to name another one.
void CloseHeld(const Call& call) {
  Call close = call;
  close.op = kOpClose;
  if (pg::OwnsBlock(call.pb)) pg::BlockCall(close);
  else engine::SqliteCall(close);
}

int16_t OpenOrCreate(Call& call) {
  if (call.op == kOpOpen && call.pb == nullptr) return kStInvalidOperation;
  const std::string path = engine::CallPath(call.key, call.key_length);
  if (path.empty()) return kStFileNotFound;
  const engine::RecordRoute route = engine::RouteOf(path);
  if (route.kind == engine::RecordRoute::kUnusable) return kStEngineInactive;
  if (route.kind == engine::RecordRoute::kSqlite) {
    if (call.op == kOpOpen && pg::OwnsBlock(call.pb)) CloseHeld(call);
    return engine::SqliteCall(call);
  }
  if (call.op == kOpCreate)
    return pg::CreateFile(route, call.data, call.capacity(), call.key_number != kCreateNoReplace);
  if (!pg::OwnsBlock(call.pb)) CloseHeld(call);
  return pg::Open(route, call);
}

// A call on an open cursor goes to the engine whose block it carries.
int16_t ByBlock(Call& call) {
  return pg::OwnsBlock(call.pb) ? pg::BlockCall(call) : engine::SqliteCall(call);
}

int16_t Route(Call& call) {
  if (int16_t st = engine::TakeLockBias(call)) return st;
  // Steps, nearly every call, pass by the switch: its jump table is out of
  // the caches by the time the next record is asked for. They try the local
  // engine first, which answers 3 only for a block that names none of its
  // cursors, and so goes without asking the server engine whose block it is.
  if (call.op == kOpGetNext || call.op == kOpGetPrevious) {
    const int16_t status = engine::SqliteCall(call);
    if (status != kStNotOpen || !pg::OwnsBlock(call.pb)) return status;
    return pg::BlockCall(call);
  }
  switch (call.op) {
    case kOpOpen:
    case kOpCreate:
      return OpenOrCreate(call);
    case kOpReset:
      engine::SqliteCall(call);
      pg::CloseAll();
      return kStOk;
    case kOpBeginTransaction: {
      // Both engines take part: the files written decide where it runs.
      const int16_t st = engine::SqliteCall(call);
      return st != kStOk ? st : pg::BeginTransaction();
    }
    case kOpEndTransaction:
    case kOpAbortTransaction: {
      const int16_t sqlite = engine::SqliteCall(call);
      const int16_t server = pg::EndTransaction(call.op == kOpEndTransaction);
      return sqlite != kStOk ? sqlite : server;
    }
    default:
      return ByBlock(call);
  }
}

}  // namespace

void ReleaseReadSnapshots() {
  // The server engine keeps nothing open between calls: each batch it holds
  // is one finished statement's rows, and its reads run outside any
  // transaction but the process's own.
  engine::ReleaseReadSnapshots();
}

int16_t BTRCALL(uint16_t operation, uint8_t* position_block, void* data,
                uint32_t* data_length, void* key, uint8_t key_length,
                int8_t key_number) {
  try {
    Call call;
    call.op = operation;
    call.pb = position_block;
    call.data = static_cast<uint8_t*>(data);
    call.len = data_length;
    call.key = static_cast<uint8_t*>(key);
    call.key_length = key_length;
    call.key_number = key_number;
    return Route(call);
  } catch (...) {
    return kStIoError;
  }
}

}  // namespace store
