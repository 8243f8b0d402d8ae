// File table, opening through the creation dictionaries, keyed reads, steps,
// reads by position and the common data call.
#include "store/record_files.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/system.h"
#include "store/record_files_internal.h"
#include "store/store_hooks.h"

namespace store {

void ResetFileTableState() { FileTableState() = FileTable(); }

namespace {

// Data and key areas of one call. Kept per call: nothing here outlives it.
using DataArea = std::array<uint8_t, kDataAreaSize>;
using KeyArea = std::array<uint8_t, kKeyAreaSize>;

int16_t Call(uint16_t op, uint8_t* pos, void* data, uint32_t* len, void* key,
             uint8_t key_len, int8_t key_number) {
  return FileTableState().call(op, pos, data, len, key, key_len, key_number);
}

// Every step starts here: inline, the table scan aside.
[[gnu::always_inline]] inline FileSlot* OpenSlot(int16_t id, int* slot_number = nullptr) {
  FileTable& table = FileTableState();
  uint8_t& hint = table.slot_hints[static_cast<uint16_t>(id) % table.slot_hints.size()];
  int slot = hint;
  if (id == 0 || table.slots[slot].id != id) {
    SlotSearch found = FindFileSlot(id);
    if (found.kind != SlotSearch::kOpen) return nullptr;
    slot = found.slot;
    hint = static_cast<uint8_t>(slot);
  }
  if (slot_number != nullptr) *slot_number = slot;
  return &table.slots[slot];
}

uint16_t Le16(const DataArea& a, size_t at) {
  return static_cast<uint16_t>(a[at] | (a[at + 1] << 8));
}

// Stat reply of the file: the status is not looked at, as the reply of a
// failed call leaves the area zeroed and so reads as "no keys".
void Stat(FileSlot& slot, DataArea& data) {
  data.fill(0);
  uint32_t len = kDataAreaSize;
  KeyArea key;
  key.fill(' ');
  Call(kOpStat, slot.position.data(), data.data(), &len, key.data(),
       kMaxKeyLength, 0);
}

// Walks the segment entries of keys 0 to last, a key's segments chained by
// kSegNextSegment, calling visit(key, segment length, flags) for each.
// Returns the offset just past the last entry walked, or 0 when the entries
// run past the area (such a reply cannot be trusted any further).
template <typename Visit>
size_t WalkSegments(const DataArea& data, int last, Visit&& visit) {
  size_t entry = kFirstSegmentAt;
  for (int k = 0; k <= last; ++k) {
    for (;;) {
      if (entry + kSegmentEntrySize > kDataAreaSize) return 0;
      uint16_t flags = Le16(data, entry + kSegmentFlagsAt);
      visit(k, size_t{Le16(data, entry + kSegmentLengthAt)}, flags);
      entry += kSegmentEntrySize;
      if ((flags & kSegNextSegment) == 0) break;
    }
  }
  return entry;
}

// Makes the record area fit the record and copies n bytes into it.
void CopyToRecordArea(FileSlot& slot, const uint8_t* data, size_t n) {
  if (slot.record_area == nullptr) return;
  size_t length = static_cast<size_t>(std::max<int32_t>(slot.record_length, 0));
  if (slot.record_area->size() < length) slot.record_area->resize(length, '\0');
  n = std::min(n, length);
  std::memcpy(slot.record_area->data(), data, n);
}

void RefreshKeyValue(FileSlot& slot, const KeyArea& key) {
  // In place: the value keeps its length (never more than the key area).
  if (slot.key_value.size() > kKeyAreaSize) slot.key_value.resize(kKeyAreaSize);
  platform::CopyFewBytes(slot.key_value.data(), key.data(), slot.key_value.size());
}

int16_t OpenCall(FileSlot& slot, const std::string& path) {
  std::string owner = OwnerName();
  char data[5];
  std::memcpy(data, owner.data(), 4);
  data[4] = '\0';
  uint32_t len = 5;
  std::vector<char> key(path.begin(), path.end());
  key.push_back('\0');
  return Call(kOpOpen, slot.position.data(), data, &len, key.data(),
              static_cast<uint8_t>(path.size()), kOpenNormal);
}

int16_t CreateCall(const std::string& path, const std::string& spec) {
  FileTable& table = FileTableState();
  table.scratch.fill(' ');
  DataArea data;
  data.fill(' ');
  std::memcpy(data.data(), spec.data(), std::min(spec.size(), kDataAreaSize));
  uint32_t len = kDataAreaSize;
  std::vector<char> key(path.begin(), path.end());
  key.push_back('\0');
  int16_t status = Call(kOpCreate, table.scratch.data(), data.data(), &len,
                        key.data(), static_cast<uint8_t>(path.size()),
                        kCreateNoReplace);
  table.scratch.fill(0);
  return status;
}

void FatalOpenFailure(const std::string& name, int16_t status) {
  std::string text = OpenFailureText(config::SettingsState().language) + name +
                     " (" + std::to_string(status) + ")";
  HookShowMessage(12, text);
  HookBeep();
  HookWaitForKey();
  HookPopMessage();
  HookClosePlainFiles();
  int16_t close_status = 0;
  CloseAllRecordFiles(close_status);
  HookExitProgram(0);
}

}  // namespace

// Put together at run time rather than kept as one literal.
std::string OwnerName() {
  std::string owner;
  owner += '1';
  owner += '9';
  owner += '8';
  owner += '7';
  return owner;
}

SlotSearch FindFileSlot(int16_t id) {
  FileTable& table = FileTableState();
  SlotSearch result;
  for (int i = 1; i <= kFileSlots; ++i) {
    if (id != 0 && table.slots[i].id == id) return {SlotSearch::kOpen, i};
    if (table.slots[i].id == 0) result = {SlotSearch::kFree, i};
  }
  return result;
}

RecordFileName SplitRecordFileName(const std::string& name) {
  RecordFileName parts;
  size_t component_start = 0;
  size_t dot = std::string::npos;
  for (size_t i = name.size(); i-- > 0;) {
    char c = name[i];
    if (c == ':' || platform::IsPathSeparator(c)) {
      component_start = i + 1;
      break;
    }
    if (c == '.') dot = i;
  }
  parts.directory = name.substr(0, component_start);
  if (dot == std::string::npos) {
    parts.base = name.substr(component_start);
    parts.extension = ".dat";
  } else {
    parts.base = name.substr(component_start, dot - component_start);
    parts.extension = name.substr(dot);
  }
  return parts;
}

std::string CreationDictionaryPath(const std::string& root,
                                   const std::string& base) {
  return root + "ddf\\" + base + ".xdf";
}

bool ReadCreationDictionary(const std::string& path, std::string& spec) {
  spec.clear();
  std::string contents;
  // A dictionary is a few hundred bytes; a pipe or a device under its name
  // must not hang the open or fill the memory.
  constexpr size_t kDictionaryLimit = 1 << 20;
  if (!platform::ReadPlainFile(path, contents, kDictionaryLimit) || contents.size() < 2) {
    return false;
  }
  size_t n = static_cast<uint8_t>(contents[0]) |
             (static_cast<size_t>(static_cast<uint8_t>(contents[1])) << 8);
  n = std::min({n, contents.size() - 2, kDataAreaSize});
  spec = contents.substr(2, n);
  return !spec.empty();
}

void OpenRecordFile(int16_t id, const std::string& name,
                    std::string* record_area, int16_t& status) {
  SlotSearch found = FindFileSlot(id);
  if (found.kind == SlotSearch::kOpen) {
    status = kStAlreadyOpen;
    return;
  }
  if (found.kind == SlotSearch::kFull || id == 0) {
    // Identifier 0 marks a free slot and so can never be held.
    status = kStTableFull;
    return;
  }
  FileSlot& slot = FileTableState().slots[found.slot];
  slot = FileSlot();
  slot.id = id;
  slot.record_area = record_area;

  RecordFileName parts = SplitRecordFileName(name);
  std::string path = parts.Path();
  if (path.size() > kMaxPathLength) {
    FatalOpenFailure(name, kStInvalidFileName);
    status = kStInvalidFileName;
    return;
  }
  bool made_elsewhere = false;
  for (;;) {
    status = OpenCall(slot, path);
    if (status == kStFileLocked) {
      platform::SleepMs(3000);
      continue;
    }
    if (status != kStFileNotFound) break;
    std::string spec;
    ReadCreationDictionary(
        CreationDictionaryPath(config::PathsState().root, parts.base), spec);
    status = CreateCall(path, spec);
    // Another program starting on the same fresh installation made the file
    // first: it is opened as made. Once only, so that a name that can be
    // neither opened nor made (a dangling link) still ends in the message.
    if (status == kStFileExists && !made_elsewhere) {
      made_elsewhere = true;
      continue;
    }
    if (status != kStOk) break;
  }
  if (status != kStOk) {
    FatalOpenFailure(name, status);
    return;
  }
  int16_t key_length = 0;
  int32_t record_length = 0;
  ReadFileInfo(id, 0, key_length, record_length);
  // A record longer than the data area cannot be carried; it is cut there.
  slot.record_length =
      std::min<int32_t>(record_length, static_cast<int32_t>(kDataAreaSize));
  slot.key_value.assign(static_cast<size_t>(key_length), '\0');
}

void CloseAllRecordFiles(int16_t& status) {
  FileTable& table = FileTableState();
  table.scratch.fill(' ');
  uint8_t data[4] = {0, 0, 0, 0};
  uint8_t key[4] = {0, 0, 0, 0};
  uint32_t len = 0;
  status = Call(kOpReset, table.scratch.data(), data, &len, key, 0, 0);
  table.scratch.fill(0);
  if (status == kStOk) {
    for (int i = 1; i <= kFileSlots; ++i) table.slots[i] = FileSlot();
  }
}

void ReadFileInfo(int16_t id, int16_t key_number, int16_t& key_length,
                  int32_t& record_length) {
  key_length = 0;
  record_length = 0;
  FileSlot* slot = OpenSlot(id);
  if (slot == nullptr) return;
  DataArea data;
  Stat(*slot, data);
  record_length = Le16(data, kRecordLengthAt);
  int keys = Le16(data, kKeyCountAt);
  if (key_number < 0 || key_number >= keys) return;
  size_t length = 0;
  auto add = [&](int k, size_t segment, uint16_t) {
    if (k == key_number) length += segment;
  };
  // Keys are at most 255 bytes; anything longer is not a usable key, and
  // neither is one the reply cannot describe.
  if (WalkSegments(data, key_number, add) == 0 || length > kMaxKeyLength) return;
  key_length = static_cast<int16_t>(length);
}

void SeekByKey(int16_t id, int16_t key_number, const std::string& key_value,
               int16_t direction, int16_t& status) {
  int slot_number = 0;
  FileSlot* slot = OpenSlot(id, &slot_number);
  if (slot == nullptr) {
    status = kStIdNotOpen;
    return;
  }
  int16_t key_length = 0;
  int32_t record_length = 0;
  ReadFileInfo(id, key_number, key_length, record_length);
  if (key_length == 0) {
    status = kStNoSuchKey;
    return;
  }
  slot->key_number = key_number;
  slot->key_value = key_value;
  slot->key_value.resize(static_cast<size_t>(key_length), '\0');
  uint16_t op = direction == 0  ? kOpGetEqual
                : direction > 0 ? kOpGetGreaterOrEqual
                                : kOpGetLessOrEqual;
  status = DoFileOperation(slot_number, op);
  if (status == kStBufferTooShort) status = kStOk;
}

namespace {

// One try of the common data call. The record area itself is the data
// buffer: it carries the record out, and whatever the call returns (never
// more than the record length it was given) is already in place, so the
// copy back costs nothing. Inline in the steps.
[[gnu::always_inline]] inline int16_t TryDataCall(BtrCallFunction call, FileSlot& slot,
                                                  uint16_t op) {
  const size_t length = std::min(
      static_cast<size_t>(std::max<int32_t>(slot.record_length, 0)), kDataAreaSize);
  DataArea spare;
  uint8_t* data = spare.data();
  if (slot.record_area != nullptr) {
    if (slot.record_area->size() < length) slot.record_area->resize(length, '\0');
    data = reinterpret_cast<uint8_t*>(slot.record_area->data());
  } else {
    std::memset(data, 0, length);
  }
  KeyArea key;
  uint8_t fill = ' ';
  if (op == kOpGetGreater || op == kOpGetGreaterOrEqual) fill = 0;
  if (op == kOpGetLess || op == kOpGetLessOrEqual) fill = 0xFF;
  key.fill(fill);
  const size_t key_len = std::min<size_t>(slot.key_value.size(), kMaxKeyLength);
  platform::CopyFewBytes(key.data(), slot.key_value.data(), key_len);
  uint32_t len = static_cast<uint32_t>(length);
  int16_t status =
      call(op, slot.position.data(), data, &len, key.data(),
           static_cast<uint8_t>(key_len), static_cast<int8_t>(slot.key_number));
  RefreshKeyValue(slot, key);
  return status;
}

// The common data call with the lock bias and the lock wait; inline in the
// steps.
[[gnu::always_inline]] inline int16_t FileOperation(int slot_number, uint16_t operation) {
  if (slot_number < 1 || slot_number > kFileSlots) return kStIdNotOpen;
  FileTable& table = FileTableState();
  FileSlot& slot = table.slots[slot_number];
  if (slot.id == 0) return kStIdNotOpen;
  if (slot.lock_mode != 0 && internal::TakesLockBias(operation)) operation += kLockBias;
  const int16_t status = TryDataCall(table.call, slot, operation);
  if ((status == kStRecordLocked || status == kStFileLocked) && slot.lock_mode == 1)
    return internal::WaitForLock(table, slot, operation);
  return status;
}

// Moves past all but the last of moves records (more than one) without
// taking them into the record area; the status of the first failure, or 0.
[[gnu::noinline]] int16_t PassRecords(FileSlot& slot, uint16_t op, int64_t moves) {
  KeyArea key;
  key.fill(0);
  DataArea data;
  for (int64_t i = 1; i < moves; ++i) {
    uint32_t len = kDataAreaSize;
    size_t key_len = 0;
    while (key_len < kMaxKeyLength && key[key_len] != 0) ++key_len;
    int16_t status = Call(op, slot.position.data(), data.data(), &len, key.data(),
                          static_cast<uint8_t>(key_len),
                          static_cast<int8_t>(slot.key_number));
    RefreshKeyValue(slot, key);
    if (status != kStOk && status != kStBufferTooShort) return status;
  }
  return kStOk;
}

}  // namespace

void SkipRecords(int16_t id, int32_t count, int16_t& status) {
  int slot_number = 0;
  FileSlot* slot = OpenSlot(id, &slot_number);
  if (slot == nullptr) {
    status = kStIdNotOpen;
    return;
  }
  if (count == 0) {
    status = kStOk;
    return;
  }
  uint16_t op = count > 0 ? kOpGetNext : kOpGetPrevious;
  if (count != 1 && count != -1) {
    status = PassRecords(*slot, op, count > 0 ? int64_t{count} : -int64_t{count});
    if (status != kStOk) return;
  }
  status = FileOperation(slot_number, op);
  if (status == kStBufferTooShort) status = kStOk;
}

int16_t DoFileOperation(int slot_number, uint16_t operation) {
  return FileOperation(slot_number, operation);
}

int32_t RecordPosition(int16_t id, int32_t position) {
  FileSlot* slot = OpenSlot(id);
  if (slot == nullptr) return kStIdNotOpen;
  DataArea data;
  data.fill(0);
  uint32_t len = kDataAreaSize;
  if (position == 0) {
    uint8_t key[4] = {0, 0, 0, 0};
    int16_t status =
        Call(kOpGetPosition, slot->position.data(), data.data(), &len, key, 0, 0);
    if (status != kStOk) return 0;
    uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) |
                     (static_cast<uint32_t>(data[3]) << 24);
    return static_cast<int32_t>(value);
  }
  uint32_t value = static_cast<uint32_t>(position);
  for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
  KeyArea key;
  key.fill(0);
  int16_t status = Call(kOpGetDirect, slot->position.data(), data.data(), &len,
                        key.data(), 0, static_cast<int8_t>(slot->key_number));
  RefreshKeyValue(*slot, key);
  if (status == kStBufferTooShort) status = kStOk;
  if (status == kStOk) {
    CopyToRecordArea(*slot, data.data(), std::min<size_t>(len, kDataAreaSize));
  }
  return status;
}

namespace internal {

int16_t DataCall(BtrCallFunction call, FileSlot& slot, uint16_t op) {
  return TryDataCall(call, slot, op);
}

}  // namespace internal

std::string CollateKey(const std::string& key_value, int16_t id) {
  FileSlot* slot = OpenSlot(id);
  if (slot == nullptr) return key_value;
  DataArea data;
  Stat(*slot, data);
  int keys = Le16(data, kKeyCountAt);
  // The collating block follows the segments of every key.
  size_t block = WalkSegments(data, keys - 1, [](int, size_t, uint16_t) {});
  bool have_table = block != 0 && block + kCollatingBlockSize <= kDataAreaSize;

  std::string value = key_value;
  const int current = slot->key_number;
  size_t p = 0;  // where the current key's next segment starts in value
  bool trusted = true;
  auto apply = [&](int k, size_t length, uint16_t flags) {
    if (k != current || !trusted) return;
    // No key runs past 255 bytes: a reply that says so is not trusted.
    if (p + length > kMaxKeyLength) {
      trusted = false;
      return;
    }
    if (flags & kSegBinary) {
      if (value.size() < p + length) value.resize(p + length, '\0');
      std::reverse(value.begin() + static_cast<long>(p),
                   value.begin() + static_cast<long>(p + length));
    } else if ((flags & kSegCollated) && have_table) {
      for (size_t i = p; i < p + length && i < value.size(); ++i) {
        value[i] = static_cast<char>(
            data[block + kCollatingTableAt + static_cast<uint8_t>(value[i])]);
      }
    }
    p += length;
  };
  WalkSegments(data, std::min(current, keys - 1), apply);
  return value;
}

std::string CurrentKeyCollated(int16_t id) {
  FileSlot* slot = OpenSlot(id);
  if (slot == nullptr) return std::string();
  return CollateKey(slot->key_value, id);
}

}  // namespace store
