// The record-file layer over BTRCALL. Callers name an open record file by an
// identifier of their own (non-zero 16-bit), hand over their record area at
// open time and then read by key, step in key order and read by physical
// position; every record read lands in the caller's record area.
//
// The record area is a std::string owned by the caller that must outlive the
// slot (until CloseAllRecordFiles). Whenever a record is about to be copied
// into it, the layer makes it at least the record length long (padding with
// zero bytes), so a short buffer is grown, never overrun; fields are read
// from it by byte offset, e.g. area->substr(8, 30).
//
// Statuses (store/btrcall.h): 0 success, the record manager's statuses as
// they come (22 "data buffer too short" counts as 0 in reads), and the
// layer's own 3 (identifier not open), 1002 (already open), 1003 (table
// full), 1004 (no such key).
// Nothing throws. The one fatal path is an open that fails for any reason
// but a lock: the message goes out through the store hooks and the program
// ends (store_hooks.h).
//
// Limits: a record longer than the 1536-byte data area is carried cut to it;
// a formed path longer than 255 characters cannot be opened (fatal, status
// 11); identifier 0 marks a free slot and is refused with 1003.
//
// Lock modes (SetFileModes): 0 reads take no locks; 1 reads lock the record
// and wait out other programs' locks with a notice on row 24; 2 reads lock
// but hand lock statuses back at once.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "store/btrcall.h"

namespace store {

constexpr int kFileSlots = 40;

using BtrCallFunction = int16_t (*)(uint16_t operation, uint8_t* position_block,
                                    void* data, uint32_t* data_length,
                                    void* key, uint8_t key_length,
                                    int8_t key_number);

struct FileSlot {
  int16_t id = 0;  // 0: free
  std::array<uint8_t, kPositionBlockSize> position{};
  std::string* record_area = nullptr;
  int32_t record_length = 0;
  int16_t key_number = 0;
  std::string key_value;  // always exactly as long as the current key
  int16_t lock_mode = 0;
};

struct FileTable {
  // slots[1..40]; slots[0] is unused so that slot numbers index directly.
  std::array<FileSlot, kFileSlots + 1> slots{};
  std::array<uint8_t, kPositionBlockSize> scratch{};
  // Per identifier (by its low bits), the slot that held it when last asked
  // for (0: none). An identifier is held by one slot at most, so that slot
  // is tried before the table is scanned.
  std::array<uint8_t, 8> slot_hints{};
  // Pairs (slot number, saved lock mode), newest last.
  std::string lock_stack;
  // Where every call goes; tests put a recording fake here.
  BtrCallFunction call = &BTRCALL;
  // Seeded afresh for every run: programs that meet one lock must not draw
  // the same retry delays.
  std::mt19937 random{std::random_device{}()};
};
// Every record read goes through it: defined here so that it inlines.
inline FileTable& FileTableState() {
  static FileTable state;
  return state;
}
void ResetFileTableState();

// Where an identifier stands in the table.
struct SlotSearch {
  enum Kind { kOpen, kFree, kFull };
  Kind kind = kFull;
  int slot = 0;  // the slot holding the identifier, or the free slot to use
};
SlotSearch FindFileSlot(int16_t id);

// A record-file name taken apart: directory part (with its final ":", "\"
// or "/"), base and extension (with its dot; ".dat" when the name has none).
struct RecordFileName {
  std::string directory, base, extension;
  std::string Path() const { return directory + base + extension; }
};
RecordFileName SplitRecordFileName(const std::string& name);

// The creation dictionary of a record file: root (ending in a separator) +
// "ddf\" + base + ".xdf".
std::string CreationDictionaryPath(const std::string& root,
                                   const std::string& base);
// Reads a creation dictionary: two length bytes, then the creation specification.
// False when the file cannot be read or holds no specification; the text is
// cut to what the file holds and to the data area.
bool ReadCreationDictionary(const std::string& path, std::string& spec);

// The owner name (four digits) every record file is opened with.
std::string OwnerName();

// Opens the file, creating it from its dictionary when missing (one that
// another program made meanwhile is opened as made); a locked file is
// waited for in 3-second steps; any other failure is fatal.
void OpenRecordFile(int16_t id, const std::string& name,
                    std::string* record_area, int16_t& status);
void CloseAllRecordFiles(int16_t& status);

// Key length of key_number (0 when the key or the file is missing) and the
// record length.
void ReadFileInfo(int16_t id, int16_t key_number, int16_t& key_length,
                  int32_t& record_length);

// direction 0: equal; > 0: first greater or equal; < 0: last less or equal.
void SeekByKey(int16_t id, int16_t key_number, const std::string& key_value,
               int16_t direction, int16_t& status);
// Moves count records in the current key's order and reads the one reached.
void SkipRecords(int16_t id, int32_t count, int16_t& status);
// position 0: the current record's physical position (0 on failure);
// otherwise reads the record at that position and returns the status.
int32_t RecordPosition(int16_t id, int32_t position);

// The common data call on slot 1..40 with the lock bias and the lock wait.
int16_t DoFileOperation(int slot, uint16_t operation);

// A key value in a form whose byte order is the record manager's key order,
// for the file's current key.
std::string CollateKey(const std::string& key_value, int16_t id);
std::string CurrentKeyCollated(int16_t id);

// Letters D, A, B (modes 0, 1, 2), "+" push, "-" pop; case-insensitive.
void SetFileModes(int16_t id, const std::string& letters, int16_t& status);

// The operator's texts, code page 850, chosen by a language code.
std::string OpenFailureText(const std::string& language);
std::string LockNoticeText(const std::string& language);

}  // namespace store
