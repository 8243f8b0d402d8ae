// Plain record-file access for kelrec.
#include "tools/kelrec/record_io.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "store/btrcall.h"
#include "store/record_files.h"

namespace tools {

std::string RecordFilePath(const std::string& root, Kind kind) {
  return platform::OsPath(
      store::SplitRecordFileName(root + "/" + std::string(LayoutOf(kind).file_name)).Path());
}

std::string DictionaryPath(const std::string& root, Kind kind) {
  return platform::OsPath(
      store::CreationDictionaryPath(root + "/", std::string(LayoutOf(kind).base)));
}

RecordIo::~RecordIo() { Close(); }

int16_t RecordIo::Open(const std::string& root, Kind kind) {
  const std::string path = RecordFilePath(root, kind);
  int16_t status = OpenPath(path, store::kOpenNormal);
  if (status != store::kStFileNotFound) return status;
  std::string spec;
  if (!store::ReadCreationDictionary(DictionaryPath(root, kind), spec)) {
    return store::kStFileNotFound;
  }
  status = Create(path, spec);
  // Made meanwhile by another program: that file is the one to open.
  if (status != store::kStOk && status != store::kStFileExists) return status;
  return OpenPath(path, store::kOpenNormal);
}

int16_t RecordIo::OpenPath(const std::string& path, int8_t mode) {
  Close();
  if (path.size() > store::kMaxPathLength) return store::kStInvalidFileName;
  std::vector<char> key(path.begin(), path.end());
  key.push_back('\0');
  std::string owner = store::OwnerName();
  owner += '\0';
  uint32_t len = static_cast<uint32_t>(owner.size());
  position_.fill(0);
  int16_t status = store::BTRCALL(store::kOpOpen, position_.data(), owner.data(), &len,
                                  key.data(), static_cast<uint8_t>(path.size()), mode);
  if (status != store::kStOk) return status;
  open_ = true;
  std::string reply;
  status = Stat(reply);
  record_length_ = reply.size() >= 2 ? static_cast<uint8_t>(reply[0]) |
                                           (static_cast<uint8_t>(reply[1]) << 8)
                                     : 0;
  return status;
}

int16_t RecordIo::Create(const std::string& path, const std::string& spec) {
  if (path.size() > store::kMaxPathLength) return store::kStInvalidFileName;
  std::vector<char> key(path.begin(), path.end());
  key.push_back('\0');
  std::array<uint8_t, store::kPositionBlockSize> scratch{};
  std::vector<char> data(store::kDataAreaSize, ' ');
  std::memcpy(data.data(), spec.data(), std::min(spec.size(), data.size()));
  uint32_t len = static_cast<uint32_t>(data.size());
  return store::BTRCALL(store::kOpCreate, scratch.data(), data.data(), &len, key.data(),
                        static_cast<uint8_t>(path.size()), store::kCreateNoReplace);
}

int16_t RecordIo::Close() {
  if (!open_) return store::kStOk;
  uint32_t len = 0;
  char data[4] = {};
  char key[4] = {};
  int16_t status =
      store::BTRCALL(store::kOpClose, position_.data(), data, &len, key, 0, 0);
  open_ = false;
  position_.fill(0);
  return status;
}

int16_t RecordIo::Read(uint16_t op, std::string& record, const std::string& key) {
  if (!open_) return store::kStNotOpen;
  std::vector<char> data(store::kDataAreaSize, '\0');
  std::array<char, store::kKeyAreaSize> key_area{};
  std::memcpy(key_area.data(), key.data(), std::min(key.size(), key_area.size()));
  uint32_t len = static_cast<uint32_t>(data.size());
  int16_t status =
      store::BTRCALL(op, position_.data(), data.data(), &len, key_area.data(),
                     static_cast<uint8_t>(key.size()), 0);
  if (status == store::kStOk || status == store::kStBufferTooShort) {
    record.assign(data.data(), std::min<size_t>(len, data.size()));
    if (record.size() < static_cast<size_t>(record_length_)) {
      record.resize(static_cast<size_t>(record_length_), ' ');
    }
    return store::kStOk;
  }
  return status;
}

int16_t RecordIo::First(std::string& record) {
  return Read(store::kOpGetFirst, record, std::string());
}

int16_t RecordIo::Next(std::string& record) {
  return Read(store::kOpGetNext, record, std::string());
}

int16_t RecordIo::Equal(const std::string& key, std::string& record) {
  return Read(store::kOpGetEqual, record, key);
}

int16_t RecordIo::Insert(const std::string& record) {
  if (!open_) return store::kStNotOpen;
  std::string data = record;
  std::array<char, store::kKeyAreaSize> key{};
  uint32_t len = static_cast<uint32_t>(data.size());
  return store::BTRCALL(store::kOpInsert, position_.data(), data.data(), &len,
                        key.data(), 0, 0);
}

int16_t RecordIo::DeleteCurrent() {
  if (!open_) return store::kStNotOpen;
  std::vector<char> data(store::kDataAreaSize, '\0');
  std::array<char, store::kKeyAreaSize> key{};
  uint32_t len = 0;
  return store::BTRCALL(store::kOpDelete, position_.data(), data.data(), &len,
                        key.data(), 0, 0);
}

int16_t RecordIo::Stat(std::string& reply) {
  reply.clear();
  if (!open_) return store::kStNotOpen;
  std::vector<char> data(store::kDataAreaSize, '\0');
  std::string key(store::kMaxKeyLength, ' ');
  uint32_t len = static_cast<uint32_t>(data.size());
  int16_t status = store::BTRCALL(store::kOpStat, position_.data(), data.data(), &len,
                                  key.data(), store::kMaxKeyLength, 0);
  if (status == store::kStOk) reply.assign(data.data(), std::min<size_t>(len, data.size()));
  return status;
}

int16_t RecordIo::Position(uint32_t& position) {
  position = 0;
  if (!open_) return store::kStNotOpen;
  std::array<uint8_t, store::kDataAreaSize> data{};
  std::array<uint8_t, 4> key{};
  uint32_t len = static_cast<uint32_t>(data.size());
  int16_t status = store::BTRCALL(store::kOpGetPosition, position_.data(), data.data(), &len,
                                  key.data(), 0, 0);
  if (status == store::kStOk) {
    position = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t(data[3]) << 24);
  }
  return status;
}

namespace {

int16_t TransactionCall(uint16_t op) {
  std::array<uint8_t, store::kPositionBlockSize> block{};
  char data[4] = {};
  char key[4] = {};
  uint32_t len = 0;
  return store::BTRCALL(op, block.data(), data, &len, key, 0, 0);
}

}  // namespace

int16_t RecordIo::Begin() { return TransactionCall(store::kOpBeginTransaction); }
int16_t RecordIo::Commit() { return TransactionCall(store::kOpEndTransaction); }
int16_t RecordIo::Abort() { return TransactionCall(store::kOpAbortTransaction); }

}  // namespace tools
