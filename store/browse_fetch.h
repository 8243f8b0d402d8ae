// The working state of one browse-list run and the reading of its entries:
// an entry past the end of the list file is fetched from the record file
// (one SkipRecords per record, records whose line is blank skipped within
// one fetch, an Esc check after each record), every other entry is read
// back from the list file. Nothing here draws; the screen side is in
// browse_list.cc.
#pragma once

#include <cstdint>
#include <string>

#include "app/config/form_table.h"
#include "platform/files.h"
#include "store/browse_file.h"

namespace store {

struct BrowseRun {
  int16_t list = 0;
  config::ListDefinition def;
  int16_t rows = 0, width = 0;  // the window's interior
  platform::File file;

  // The entry under the bar.
  BrowseEntryHeader header;
  std::string text;
  bool has_entry = false;  // false while the list has shown no entry
  int64_t current = 1;     // position of its header

  int64_t pos = 1;           // where the next read starts
  int64_t last_appended = 0;
  bool started = false;      // the first keyed read was made
  bool end_of_data = false;  // no more records will be read
  bool at_first = true, at_last = false;

  int16_t cursor_row = 1;
  int32_t column_offset = 1;
  int32_t widest_overflow = 0;  // largest (line length - width) drawn so far
  int64_t page_top = 1, next_page = 0;

  std::string from_key, to_key;
  std::string to_collated;
};

// Reads the entry at the file position into header and text and leaves the
// position after it; sets at_first and at_last. False when there is no
// entry there (the list ends before it): the current entry stays as it was
// and at_last is set.
bool ReadEntry(BrowseRun& run);

// Moves n entries (n < 0 up), stopping at the first or the last.
void MoveEntries(BrowseRun& run, int32_t n);

// The line of the record in the record area (empty without a hook), and
// one look at the keyboard for Esc (false without a hook).
std::string HookBrowseLineText(int16_t list);
bool HookEscWaiting();

// The position right after the entry at `position` (its own position when
// no entry can be read there).
int64_t EntryEnd(BrowseRun& run, int64_t position);

}  // namespace store
