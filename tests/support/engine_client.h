// Talking to the record manager through BTRCALL in tests: creation
// specifications, and one open file with its position block. Header only: the
// support library does not link the store.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "store/btrcall.h"

namespace testing_support {

struct SegmentDef {
  uint16_t position, length, flags;
};
using KeyDefs = std::vector<std::vector<SegmentDef>>;

inline void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}

// A creation specification (also what Stat returns of it, the record count
// aside); chained flags are set between the segments of a key. table: 256
// bytes, added as a collating block.
inline std::string CreationSpec(uint16_t record_length, const KeyDefs& keys,
                                const std::string& table = std::string()) {
  std::string s(store::kFirstSegmentAt, '\0');
  Put16(s, store::kRecordLengthAt, record_length);
  Put16(s, store::kPageSizeAt, 1024);
  Put16(s, store::kKeyCountAt, uint16_t(keys.size()));
  for (const auto& key : keys) {
    for (size_t i = 0; i < key.size(); ++i) {
      std::string e(store::kSegmentEntrySize, '\0');
      Put16(e, store::kSegmentPositionAt, key[i].position);
      Put16(e, store::kSegmentLengthAt, key[i].length);
      Put16(e, store::kSegmentFlagsAt,
            uint16_t(key[i].flags | (i + 1 < key.size() ? store::kSegNextSegment : 0)));
      s += e;
    }
  }
  if (!table.empty()) s += char(store::kCollatingSignature) + std::string("TESTCOLL") + table;
  return s;
}

// A collating table that sorts lower-case ASCII letters as capitals.
inline std::string AsciiFoldingTable() {
  std::string t(256, '\0');
  for (int b = 0; b < 256; ++b) t[b] = char(b >= 'a' && b <= 'z' ? b - 32 : b);
  return t;
}

inline int16_t CreateRecordFile(const std::string& path, const std::string& spec,
                                int8_t key_number = store::kCreateNoReplace) {
  uint8_t pb[store::kPositionBlockSize];
  std::memset(pb, ' ', sizeof pb);
  std::string data = spec;
  uint32_t len = uint32_t(data.size());
  std::string key = path;
  return store::BTRCALL(store::kOpCreate, pb, data.data(), &len, key.data(),
                        uint8_t(key.size()), key_number);
}

struct Reply {
  int16_t status = -1;
  std::string data;  // what came back, data length bytes
  std::string key;   // the key buffer after the call (256 bytes)
};

// One open of a record file. Closed when it goes.
class EngineFile {
 public:
  EngineFile() { std::memset(pb, 0, sizeof pb); }
  ~EngineFile() {
    if (IsOpen()) Close();
  }
  EngineFile(const EngineFile&) = delete;
  EngineFile& operator=(const EngineFile&) = delete;

  bool IsOpen() const {
    for (uint8_t b : pb)
      if (b != 0) return true;
    return false;
  }
  int16_t Open(const std::string& path, int8_t mode = store::kOpenNormal) {
    char owner[5] = {'1', '2', '3', '4', 0};
    uint32_t len = 5;
    std::string key = path;
    key.resize(store::kKeyAreaSize, '\0');
    return store::BTRCALL(store::kOpOpen, pb, owner, &len, key.data(),
                          uint8_t(path.size()), mode);
  }
  int16_t Close() {
    uint32_t len = 0;
    return store::BTRCALL(store::kOpClose, pb, nullptr, &len, nullptr, 0, 0);
  }
  // Any read; key is padded with pad up to the key area's size.
  Reply Read(uint16_t op, const std::string& key = std::string(),
             int8_t key_number = 0, uint32_t capacity = store::kDataAreaSize,
             char pad = '\0') {
    Reply r;
    r.data.assign(capacity, '\x5A');
    r.key = key;
    r.key.resize(store::kKeyAreaSize, pad);
    uint32_t len = capacity;
    r.status = store::BTRCALL(op, pb, r.data.data(), &len, r.key.data(),
                              uint8_t(key.size()), key_number);
    r.data.resize(len);
    return r;
  }
  int16_t Insert(const std::string& record, int8_t key_number = 0) {
    std::string data = record;
    uint32_t len = uint32_t(data.size());
    std::string key(store::kKeyAreaSize, '\0');
    return store::BTRCALL(store::kOpInsert, pb, data.data(), &len, key.data(),
                          store::kMaxKeyLength, key_number);
  }
  int16_t Update(const std::string& record, int8_t key_number = 0) {
    std::string data = record;
    uint32_t len = uint32_t(data.size());
    std::string key(store::kKeyAreaSize, '\0');
    return store::BTRCALL(store::kOpUpdate, pb, data.data(), &len, key.data(),
                          store::kMaxKeyLength, key_number);
  }
  int16_t Delete(int8_t key_number = 0) {
    uint32_t len = 0;
    std::string key(store::kKeyAreaSize, '\0');
    return store::BTRCALL(store::kOpDelete, pb, nullptr, &len, key.data(), 0,
                          key_number);
  }
  // Get Position; 0 on failure (status in *status).
  uint32_t Position(int16_t* status = nullptr) {
    uint8_t data[store::kDataAreaSize] = {};
    uint32_t len = sizeof data;
    uint8_t key[4] = {};
    int16_t st = store::BTRCALL(store::kOpGetPosition, pb, data, &len, key, 0, 0);
    if (status != nullptr) *status = st;
    if (st != 0) return 0;
    return uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
           uint32_t(data[3]) << 24;
  }
  Reply Direct(uint32_t position, int8_t key_number, uint16_t op = store::kOpGetDirect) {
    Reply r;
    r.data.assign(store::kDataAreaSize, '\0');
    for (int i = 0; i < 4; ++i) r.data[i] = char(position >> (8 * i));
    r.key.assign(store::kKeyAreaSize, '\0');
    uint32_t len = store::kDataAreaSize;
    r.status = store::BTRCALL(op, pb, r.data.data(), &len, r.key.data(), 0, key_number);
    r.data.resize(len);
    return r;
  }
  Reply Stat() {
    Reply r;
    r.data.assign(store::kDataAreaSize, '\0');
    r.key.assign(store::kMaxKeyLength, ' ');
    uint32_t len = store::kDataAreaSize;
    r.status = store::BTRCALL(store::kOpStat, pb, r.data.data(), &len, r.key.data(),
                              store::kMaxKeyLength, 0);
    r.data.resize(len);
    return r;
  }
  uint32_t RecordCount() {
    Reply r = Stat();
    if (r.status != 0 || r.data.size() < store::kRecordCountAt + 4) return UINT32_MAX;
    auto b = [&](size_t i) { return uint32_t(uint8_t(r.data[store::kRecordCountAt + i])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
  }

  uint8_t pb[store::kPositionBlockSize];
};

inline int16_t SimpleCall(uint16_t op) {
  uint8_t pb[store::kPositionBlockSize] = {};
  uint32_t len = 0;
  uint8_t key[4] = {};
  return store::BTRCALL(op, pb, nullptr, &len, key, 0, 0);
}

}  // namespace testing_support
