// Creation specifications, key extraction, the collated key form, and the
// pieces of a call both engines handle alike.
#include <cstring>

#include "platform/ascii.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "store/btrcall.h"
#include "store/engine_spec.h"

namespace store::engine {
namespace {

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

}  // namespace

int16_t ParseCreationSpec(const uint8_t* data, size_t size, FileSpec& spec) {
  spec = FileSpec();
  if (data == nullptr || size < kFirstSegmentAt) return kStBufferTooShort;
  spec.record_length = Get16(data + kRecordLengthAt);
  spec.page_size = Get16(data + kPageSizeAt);
  const int key_count = Get16(data + kKeyCountAt);
  if (spec.record_length < 1 || spec.record_length > kMaxRecordLength)
    return kStBadRecordLength;
  if (key_count < 1 || key_count > kMaxKeys) return kStBadKeyCount;

  size_t offset = kFirstSegmentAt;
  for (int k = 0; k < key_count; ++k) {
    KeyDef key;
    for (;;) {
      if (offset + kSegmentEntrySize > size) return kStBufferTooShort;
      const uint8_t* e = data + offset;
      offset += kSegmentEntrySize;
      Segment seg{Get16(e + kSegmentPositionAt), Get16(e + kSegmentLengthAt),
                  Get16(e + kSegmentFlagsAt)};
      if (seg.length == 0) return kStBadKeyLength;
      if (seg.position < 1 ||
          uint32_t(seg.position) + seg.length - 1 > spec.record_length)
        return kStBadKeyPosition;
      if (key.length + seg.length > kMaxKeyLength) return kStBadKeyLength;
      if (key.segments.empty()) {
        key.duplicates = (seg.flags & kSegDuplicates) != 0;
        key.modifiable = (seg.flags & kSegModifiable) != 0;
      }
      key.length = uint16_t(key.length + seg.length);
      key.segments.push_back(seg);
      if (!(seg.flags & kSegNextSegment)) break;
      if (key.segments.size() > 119) return kStBadKeyLength;
    }
    spec.keys.push_back(std::move(key));
  }
  size_t end = offset;
  // Any segment flagged for the table needs the block, even a binary one:
  // the stored specification must be usable by whoever reads it back.
  bool wants_table = false;
  for (size_t o = kFirstSegmentAt; o < offset; o += kSegmentEntrySize)
    if (Get16(data + o + kSegmentFlagsAt) & kSegCollated) wants_table = true;
  if (wants_table) {
    if (offset + kCollatingBlockSize > size) return kStBadCollatingTable;
    if (data[offset] != kCollatingSignature) return kStBadCollatingTable;
    spec.has_table = true;
    std::memcpy(spec.table, data + offset + kCollatingTableAt, sizeof spec.table);
    end = offset + kCollatingBlockSize;
  }
  spec.raw.assign(reinterpret_cast<const char*>(data), end);
  std::memset(spec.raw.data() + kRecordCountAt, 0, 4);
  return kStOk;
}

void RawKey(const FileSpec& spec, int key, const uint8_t* record,
            std::string& out) {
  out.clear();
  for (const Segment& s : spec.keys[key].segments)
    out.append(reinterpret_cast<const char*>(record) + s.position - 1,
               s.length);
}

namespace {

// Turns the raw key in out into its collated form, in place.
void Collate(const FileSpec& spec, const KeyDef& def, std::string& out) {
  size_t p = 0;
  for (const Segment& s : def.segments) {
    char* b = out.data() + p;
    if (s.flags & kSegBinary) {
      for (size_t i = 0, j = s.length - 1u; i < j; ++i, --j)
        std::swap(b[i], b[j]);
    } else if ((s.flags & kSegCollated) && spec.has_table) {
      for (size_t i = 0; i < s.length; ++i)
        b[i] = char(spec.table[uint8_t(b[i])]);
    }
    p += s.length;
  }
}

}  // namespace

void CollatedForm(const FileSpec& spec, int key, const uint8_t* raw,
                  std::string& out) {
  const KeyDef& def = spec.keys[key];
  out.assign(reinterpret_cast<const char*>(raw), def.length);
  Collate(spec, def, out);
}

void CollatedKey(const FileSpec& spec, int key, const uint8_t* record,
                 std::string& out) {
  RawKey(spec, key, record, out);
  Collate(spec, spec.keys[key], out);
}

void StoredCollatedKey(const FileSpec& spec, int key, std::string_view record,
                       std::string& out) {
  if (record.size() >= spec.record_length) {
    CollatedKey(spec, key, reinterpret_cast<const uint8_t*>(record.data()), out);
    return;
  }
  std::string padded(record);
  padded.resize(spec.record_length, '\0');
  CollatedKey(spec, key, reinterpret_cast<const uint8_t*>(padded.data()), out);
}

std::string StatReply(const FileSpec& spec, uint32_t records) {
  std::string reply(spec.raw.size(), '\0');
  PutStatReply(spec, records, reinterpret_cast<uint8_t*>(reply.data()), reply.size());
  return reply;
}

void PutStatReply(const FileSpec& spec, uint32_t records, uint8_t* out, size_t n) {
  if (n > 0) std::memcpy(out, spec.raw.data(), n);
  for (size_t i = 0; i < 4 && kRecordCountAt + i < n; ++i)
    out[kRecordCountAt + i] = uint8_t((records >> (8 * i)) & 0xFF);
}

int16_t PutStat(const FileSpec& spec, uint32_t records, const Call& call) {
  uint32_t n = uint32_t(spec.raw.size());
  int16_t status = kStOk;
  if (call.capacity() < n) {
    n = call.capacity();
    status = kStBufferTooShort;
  }
  PutStatReply(spec, records, call.data, n);
  call.set_len(n);
  return status;
}

std::string CallPath(const uint8_t* key, uint8_t key_length) {
  if (key == nullptr) return {};
  size_t n = key_length != 0 ? key_length : 255;
  const void* nul = std::memchr(key, 0, n);
  if (nul != nullptr) n = size_t(static_cast<const uint8_t*>(nul) - key);
  return platform::OsPath(platform::TrimTrailingBlanks(
      std::string_view(reinterpret_cast<const char*>(key), n)));
}

}  // namespace store::engine
