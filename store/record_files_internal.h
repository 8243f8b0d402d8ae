// Pieces of the record-file layer shared between its own source files only.
#pragma once

#include <cstdint>

#include "store/record_files.h"

namespace store::internal {

// Operations that take the lock bias of a slot's lock mode.
inline bool TakesLockBias(uint16_t op) {
  return (op >= 5 && op <= 13) || op == 19 || (op >= 22 && op <= 24) ||
         (op >= 33 && op <= 35);
}

// One try of the common data call: the record area and the current key value
// go out, whatever comes back is copied into them, the status is returned.
// call is the table's entry, fetched once by the caller.
int16_t DataCall(BtrCallFunction call, FileSlot& slot, uint16_t op);

// The common data call after its first try met a lock under lock mode 1:
// waits and tries again until the lock is gone, with the operator's notice
// up from the second try on.
int16_t WaitForLock(FileTable& table, FileSlot& slot, uint16_t op);

}  // namespace store::internal
