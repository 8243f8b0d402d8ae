// The list file "Browse.tmp" in the temporary directory: a chain of entries,
// each a 10-byte header followed by the line's text. Positions count from 1
// and integers are little-endian:
//   bytes 0-3  position of the previous entry's header, 0 for the first
//   bytes 4-7  the record's physical position (a prepared list: any value)
//   bytes 8-9  length n of the text
//   then n bytes of text, trailing blanks removed
// The next entry starts right after the text, so the chain is walked forward
// by lengths and backward by the stored positions. Other programs of the
// suite prepare lists in this layout, so it must not change.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace store {

constexpr int64_t kBrowseHeaderSize = 10;
constexpr size_t kBrowseMaxText = 0xFFFF;

struct BrowseEntryHeader {
  uint32_t previous = 0;
  int32_t value = 0;
  uint16_t length = 0;
};

// Path of the list file in the temporary directory.
std::string BrowseFilePath();

// Opens the list file for reading and writing, created when missing; with
// `empty` it is emptied first. Only a regular file of the operator is used,
// never one reached through a symbolic link. False when it cannot be used.
bool OpenBrowseFile(platform::File& file, bool empty);

// The header at `position`; false when the file does not hold one there.
bool ReadBrowseHeader(platform::File& file, int64_t position, BrowseEntryHeader& header);

// The header and text of one entry, as they are stored.
std::string EncodeBrowseEntry(const BrowseEntryHeader& header, const std::string& text);

// Writes an entry at `position` (the end of the file); header.length is set
// from the text, which is cut to kBrowseMaxText. False when it cannot be
// written.
bool WriteBrowseEntry(platform::File& file, int64_t position, BrowseEntryHeader& header,
                      std::string& text);

}  // namespace store
