// Pieces of the record-file layer shared between its own source files only.
#pragma once

#include <cstdint>

#include "store/record_files.h"

namespace store::internal {

// One try of the common data call: the record area and the current key value
// go out, whatever comes back is copied into them, the status is returned.
// call is the table's entry, fetched once by the caller.
int16_t DataCall(BtrCallFunction call, FileSlot& slot, uint16_t op);

}  // namespace store::internal
