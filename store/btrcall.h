// The record manager's single entry point and its whole call contract:
// operation codes, statuses, buffer sizes, the layout of creation
// specifications and statistics replies, key-segment flags. Everything that
// talks to BTRCALL (the record-file layer, kelrec, tests, benchmarks) takes
// these from here.
//
// Each record file is an SQLite database at the path given to Open/Create
// ("\" separators allowed), or a table set on a PostgreSQL server when the
// file's installation says so (store/engine_route.h). The 128-byte position block is the caller's
// per-file cursor: the engine keeps in it what it needs to find its open
// file and current record; 128 zero bytes mean "not open". Every failure
// comes back as a status; nothing throws.
//
// Buffers: data/data_len as in and out; the key buffer of read operations
// must have room for 256 bytes, it receives the key of the record found.
//
// Details callers may rely on (store/FORMAT.md has the rest):
// - Keyed reads take the search key from the first <key length of the key
//   number> bytes of the key buffer, whatever key_length says.
// - A read into a data buffer shorter than the record returns the record cut
//   to the buffer, data length = bytes copied, status 22; the record becomes
//   current all the same. Failed reads set data length 0 and leave the key
//   buffer and the current position alone.
// - Get Next/Previous without a current record give 8; with another key
//   number than the last read they go on from the current record in that
//   key's order. After Delete the position stays where the record was.
// - Open modes (key number): 0 normal, -2 read-only, -4 exclusive.
//   Create: key number -1 refuses an existing file (59), others replace a
//   file nobody has open (85 otherwise). Bad creation specifications give
//   22 (cut short), 26 (keys), 27 (segment position), 28 (record length
//   1..4096), 29 (key length 1..255), 48 (collating block).
// - Lock bias 200 (or 300) on 5-13, 22, 23: single-record no-wait lock, held
//   until the next read through the same position block, Unlock, Update or
//   Delete of that record, Close or Reset. Another block's locked read of it
//   gets 84, as do its Update and Delete; unlocked reads always succeed.
// - 19/20/21 begin, end and abort one transaction over every file this
//   process writes (37 when one is already active, 39 when none is).
#pragma once

#include <cstddef>
#include <cstdint>

namespace store {

// Operation codes.
enum BtrOp : uint16_t {
  kOpOpen = 0, kOpClose = 1, kOpInsert = 2, kOpUpdate = 3, kOpDelete = 4,
  kOpGetEqual = 5, kOpGetNext = 6, kOpGetPrevious = 7, kOpGetGreater = 8,
  kOpGetGreaterOrEqual = 9, kOpGetLess = 10, kOpGetLessOrEqual = 11,
  kOpGetFirst = 12, kOpGetLast = 13, kOpCreate = 14, kOpStat = 15,
  kOpGetPosition = 22, kOpGetDirect = 23, kOpUnlock = 27, kOpReset = 28,
  // One transaction over every file the process writes (all or nothing).
  kOpBeginTransaction = 19, kOpEndTransaction = 20, kOpAbortTransaction = 21,
};
// Added to a read operation: take a single-record no-wait lock.
constexpr uint16_t kLockBias = 200;

// Key numbers of Open and Create that are modes rather than keys.
constexpr int8_t kOpenNormal = 0;
constexpr int8_t kOpenReadOnly = -2;
constexpr int8_t kOpenExclusive = -4;
constexpr int8_t kCreateNoReplace = -1;

// Statuses of the record manager.
enum BtrStatus : int16_t {
  kStOk = 0, kStIoError = 2, kStNotOpen = 3, kStKeyNotFound = 4,
  kStDuplicateKey = 5, kStInvalidKeyNumber = 6, kStEndOfFile = 9,
  kStFileNotFound = 12, kStBufferTooShort = 22, kStNotRecordFile = 30,
  kStInvalidRecordAddress = 43, kStFileExists = 59, kStRecordLocked = 84,
  kStFileLocked = 85,
  // Further statuses of the engine.
  kStInvalidOperation = 1, kStInvalidPositioning = 8,
  kStKeyNotModifiable = 10, kStKeyBufferTooShort = 21,
  kStBadKeyCount = 26, kStBadKeyPosition = 27, kStBadRecordLength = 28,
  kStBadKeyLength = 29, kStTransactionActive = 37, kStNoTransaction = 39,
  // The file's server cannot be reached (or the connection was lost), or
  // the installation's engine setting is unusable.
  kStEngineInactive = 20,
  kStAccessDenied = 46, kStBadCollatingTable = 48,
};

// Statuses of the record-file layer itself (store/record_files.h).
constexpr int16_t kStIdNotOpen = kStNotOpen;
constexpr int16_t kStAlreadyOpen = 1002;
constexpr int16_t kStTableFull = 1003;
constexpr int16_t kStNoSuchKey = 1004;
// Sent to the fatal path when the formed path does not fit the call.
constexpr int16_t kStInvalidFileName = 11;

// Buffer sizes and limits. A path travels in the key buffer, its length in
// the 8-bit key length.
constexpr size_t kPositionBlockSize = 128;
constexpr size_t kDataAreaSize = 1536;
constexpr size_t kKeyAreaSize = 256;
constexpr uint16_t kMaxKeyLength = 255;
constexpr size_t kMaxPathLength = 255;
constexpr uint16_t kMaxRecordLength = 4096;
constexpr int kMaxKeys = 24;

// Creation specification, and the statistics reply that returns it: byte
// offsets, integers little-endian. The record count is Stat's only (zero in
// a creation specification).
constexpr size_t kRecordLengthAt = 0;   // 16-bit
constexpr size_t kPageSizeAt = 2;       // 16-bit
constexpr size_t kKeyCountAt = 4;       // 16-bit
constexpr size_t kRecordCountAt = 6;    // 32-bit
constexpr size_t kFirstSegmentAt = 16;  // segment entries, key 0's first
constexpr size_t kSegmentEntrySize = 16;
constexpr size_t kSegmentPositionAt = 0;  // within an entry: 1-based, 16-bit
constexpr size_t kSegmentLengthAt = 2;    // 16-bit
constexpr size_t kSegmentFlagsAt = 4;     // 16-bit

// Key-segment flags. Duplicates and modifiable are read from a key's first
// segment.
constexpr uint16_t kSegDuplicates = 0x01;
constexpr uint16_t kSegModifiable = 0x02;
constexpr uint16_t kSegBinary = 0x04;       // unsigned integer, low byte first
constexpr uint16_t kSegNextSegment = 0x10;  // another segment of the key follows
constexpr uint16_t kSegCollated = 0x20;     // compared through the table

// The collating block after the last segment entry when any segment has
// kSegCollated: signature, 8 name bytes, the 256-byte table.
constexpr size_t kCollatingBlockSize = 265;
constexpr uint8_t kCollatingSignature = 0xAC;
constexpr size_t kCollatingNameAt = 1;
constexpr size_t kCollatingNameSize = 8;
constexpr size_t kCollatingTableAt = 9;

int16_t BTRCALL(uint16_t operation, uint8_t* position_block, void* data,
                uint32_t* data_length, void* key, uint8_t key_length,
                int8_t key_number);

// Lets go of every read snapshot this process holds (a read transaction kept
// between reads, a statement stepping through a file), so that other
// processes' writes can be checkpointed while this one is idle. Cursors keep
// their place: the next read takes a fresh snapshot. Writes and the
// process's transaction are not touched. Called when the program goes idle:
// waiting for the operator's keys, or handing the terminal to a child.
void ReleaseReadSnapshots();

}  // namespace store
