// What both engines behind BTRCALL share: the creation specification taken
// apart, the key's bytes and their collated form (whose memcmp order is the
// key order), the Stat reply, the path of Open and Create, and handing a
// record found to the caller's buffers.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes.h"
#include "store/btrcall.h"

namespace store::engine {

// ---- Creation specification --------------------------------------------

struct Segment {
  uint16_t position = 0;  // 1-based
  uint16_t length = 0;
  uint16_t flags = 0;
};

struct KeyDef {
  std::vector<Segment> segments;
  uint16_t length = 0;  // sum of the segment lengths
  bool duplicates = false;
  bool modifiable = false;
};

struct FileSpec {
  uint16_t record_length = 0;
  uint16_t page_size = 0;
  std::vector<KeyDef> keys;
  bool has_table = false;
  uint8_t table[256] = {};
  // The creation specification as given (file specification, segment
  // entries, collating block if any), record count bytes zeroed: what Stat
  // sends back.
  std::string raw;
};

// Checks and decodes a creation specification; bytes after the collating
// block (or after the last segment entry) are ignored. Returns 0 or the
// status that names what is wrong.
int16_t ParseCreationSpec(const uint8_t* data, size_t size, FileSpec& spec);

// The key's bytes as they stand in the record (segments joined).
void RawKey(const FileSpec& spec, int key, const uint8_t* record,
            std::string& out);
// A raw key value turned into the form whose memcmp order is the key order:
// binary segments byte-reversed (unsigned value order), collated segments
// mapped through the table, others unchanged. raw must hold the key length.
void CollatedForm(const FileSpec& spec, int key, const uint8_t* raw,
                  std::string& out);
// Collated key straight from a record.
void CollatedKey(const FileSpec& spec, int key, const uint8_t* record,
                 std::string& out);
// Collated key of a stored record. A record shorter than the record length
// (never written so: a damaged file) counts as padded with zero bytes.
void StoredCollatedKey(const FileSpec& spec, int key, std::string_view record,
                       std::string& out);
// Stat reply: the stored specification with the record count filled in.
std::string StatReply(const FileSpec& spec, uint32_t records);
// Its first n bytes (at most spec.raw.size()) straight into out.
void PutStatReply(const FileSpec& spec, uint32_t records, uint8_t* out, size_t n);

// ---- One call --------------------------------------------------------------

// The arguments of one BTRCALL.
struct Call {
  uint16_t op = 0;
  bool lock = false;  // the lock bias was taken off op
  uint8_t* pb = nullptr;
  uint8_t* data = nullptr;
  uint32_t* len = nullptr;
  uint8_t* key = nullptr;
  uint8_t key_length = 0;
  int8_t key_number = 0;
  int64_t now_ns = 0;  // monotonic clock at the start of a read
  uint32_t capacity() const { return data != nullptr && len != nullptr ? *len : 0; }
  void set_len(uint32_t n) const { if (len != nullptr) *len = n; }
};

// Takes the lock bias (200 or 300) off a read and sets lock; 1019 becomes
// 19. Returns 1 for a biased operation that is not a read, else 0. Inline:
// every call of the record manager starts here.
inline int16_t TakeLockBias(Call& call) {
  uint16_t op = call.op;
  if (op >= kLockBias && op < kLockBias + 200) {
    // Single-record locks (wait and no-wait alike: we never wait).
    op = uint16_t(op % 100);
    if (!((op >= kOpGetEqual && op <= kOpGetLast) || op == kOpGetPosition ||
          op == kOpGetDirect))
      return kStInvalidOperation;
    call.lock = true;
  } else if (op == 1000 + kOpBeginTransaction) {
    op = kOpBeginTransaction;
  }
  call.op = op;
  return kStOk;
}

// A read through a block, which ends the single-record lock it held (a
// locked Get Position reads too).
inline bool IsRead(const Call& call) {
  const uint16_t op = call.op;
  return (op >= kOpGetEqual && op <= kOpGetLast) || op == kOpGetDirect ||
         (op == kOpGetPosition && call.lock);
}

inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// The path of Open and Create from the key buffer: key_length bytes (255
// when 0), cut at a NUL, trailing blanks dropped, as an OS path.
std::string CallPath(const uint8_t* key, uint8_t key_length);

// Stat's reply into the caller's data buffer, cut to its capacity (status
// 22); sets the length given back. Read before every keyed read of the
// layer, so it is written straight in.
int16_t PutStat(const FileSpec& spec, uint32_t records, const Call& call);

// Copies a record found into the caller's data buffer (cut to capacity:
// status 22) and its key's raw bytes into the key buffer when there is one.
// Sets *data_length to the bytes copied; returns 0 or 22. Inline: every
// record read ends here.
inline int16_t HandOver(const FileSpec& spec, int key, const uint8_t* record,
                        size_t size, uint8_t* data, uint32_t* data_length,
                        uint8_t* key_out) {
  const uint32_t capacity = data != nullptr && data_length != nullptr ? *data_length : 0;
  int16_t status = kStOk;
  uint32_t n = uint32_t(size);
  if (capacity < n) {
    n = capacity;
    status = kStBufferTooShort;
  }
  if (data != nullptr && n > 0) std::memcpy(data, record, n);
  if (data_length != nullptr) *data_length = n;
  if (key_out != nullptr && size >= spec.record_length) {
    // The key's segments straight from the record.
    for (const Segment& s : spec.keys[key].segments) {
      platform::CopyFewBytes(key_out, record + s.position - 1, s.length);
      key_out += s.length;
    }
  }
  return status;
}

// ---- Cursor tables -----------------------------------------------------------

// Each engine names its cursors by position blocks: a 4-byte mark of the
// engine, the handle (slot + 1) and the slot's generation, which changes
// whenever the slot is reused, so that a stale block finds nothing. T has a
// member generation.

// The cursor a block names, or null; *index receives its slot.
template <typename T>
[[gnu::always_inline]] inline T* FindCursorIn(const std::vector<std::unique_ptr<T>>& cursors,
                                              const uint8_t* pb, const uint8_t (&mark)[4],
                                              uint32_t* index) {
  if (pb == nullptr || std::memcmp(pb, mark, 4) != 0) return nullptr;
  const uint32_t handle = Get32(pb + 4);
  if (handle == 0 || handle > cursors.size()) return nullptr;
  T* c = cursors[handle - 1].get();
  if (c == nullptr || c->generation != Get32(pb + 8)) return nullptr;
  if (index != nullptr) *index = handle - 1;
  return c;
}

// The slot that holds c; UINT32_MAX when none does.
template <typename T>
uint32_t IndexIn(const std::vector<std::unique_ptr<T>>& cursors, const T& c) {
  for (uint32_t i = 0; i < cursors.size(); ++i)
    if (cursors[i].get() == &c) return i;
  return UINT32_MAX;
}

// Puts c in the first free slot and names it in pb (128 bytes).
template <typename T>
void PlaceCursor(std::vector<std::unique_ptr<T>>& cursors, std::vector<uint32_t>& generations,
                 std::unique_ptr<T> c, const uint8_t (&mark)[4], uint8_t* pb) {
  uint32_t index = 0;
  while (index < cursors.size() && cursors[index]) ++index;
  if (index == cursors.size()) {
    cursors.emplace_back();
    generations.push_back(1);
  }
  c->generation = generations[index];
  cursors[index] = std::move(c);
  std::memset(pb, 0, kPositionBlockSize);
  std::memcpy(pb, mark, 4);
  Put32(pb + 4, index + 1);
  Put32(pb + 8, generations[index]);
}

// Keeps a file among the process's open files, in a dead entry if there is one.
template <typename T>
void RememberFile(std::vector<std::weak_ptr<T>>& files, const std::shared_ptr<T>& f) {
  for (auto& w : files) {
    if (w.expired()) {
      w = f;
      return;
    }
  }
  files.push_back(f);
}

}  // namespace store::engine
