// The record manager's single entry point. Each record file is an SQLite
// database at the path given to Open/Create ("\" separators allowed). The
// 128-byte position block is the caller's per-file cursor: the engine keeps in
// it what it needs to find its open file and current record; 128 zero bytes
// mean "not open". Every failure comes back as a status; nothing throws.
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

// Statuses.
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
  kStAccessDenied = 46, kStBadCollatingTable = 48,
};

int16_t BTRCALL(uint16_t operation, uint8_t* position_block, void* data,
                uint32_t* data_length, void* key, uint8_t key_length,
                int8_t key_number);

}  // namespace store
