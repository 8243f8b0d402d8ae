// The record manager's single entry point. Each record file is an SQLite
// database at the path given to Open/Create ("\" separators allowed). The
// 128-byte position block is the caller's per-file cursor: the engine keeps in
// it what it needs to find its open file and current record; 128 zero bytes
// mean "not open". Every failure comes back as a status; nothing throws.
//
// Buffers: data/data_len as in and out; the key buffer of read operations
// must have room for 256 bytes, it receives the key of the record found.
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
