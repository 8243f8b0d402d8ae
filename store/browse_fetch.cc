// Reading the entries of a browse list: from the list file when they are
// there, else fetched from the record file and appended to it.
#include "store/browse_fetch.h"

#include <cstdlib>

#include "platform/ascii.h"
#include "store/browse_list.h"
#include "store/record_files.h"

namespace store {

namespace {

// The current key (collated, cut to the upper limit's length) lies beyond
// the upper limit. An empty limit is no limit.
bool PastUpperLimit(const BrowseRun& run) {
  if (run.to_key.empty()) return false;
  const std::string key = CurrentKeyCollated(run.def.file).substr(0, run.to_collated.size());
  return key > run.to_collated;
}

void StartFetch(BrowseRun& run) {
  run.started = true;
  int16_t status = 0;
  SeekByKey(run.def.file, run.def.key, run.from_key, 1, status);
  run.to_collated = CollateKey(run.to_key, run.def.file);
  if (status != 0 || PastUpperLimit(run)) run.end_of_data = true;
}

// Appends the line of the record in the record area; false when the line
// is blank. A list file that cannot be written ends the list's data.
bool AppendLine(BrowseRun& run, int64_t at) {
  std::string line = platform::TrimTrailingBlanks(HookBrowseLineText(run.list));
  if (line.empty()) return false;
  BrowseEntryHeader header;
  header.previous = static_cast<uint32_t>(run.last_appended);
  header.value = RecordPosition(run.def.file, 0);
  if (!WriteBrowseEntry(run.file, at, header, line)) {
    run.end_of_data = true;
    return false;
  }
  run.header = header;
  run.text = line;
  run.last_appended = at;
  run.pos = at + kBrowseHeaderSize + header.length;
  return true;
}

// Fetches records until one gives a line, which is appended at `at` (the
// end of the list file). False when the data end first.
bool FetchEntry(BrowseRun& run, int64_t at) {
  if (run.end_of_data) return false;
  if (!run.started) StartFetch(run);
  while (!run.end_of_data) {
    const bool appended = AppendLine(run, at);
    if (run.end_of_data) return false;
    int16_t status = 0;
    SkipRecords(run.def.file, 1, status);
    // The Esc check lets the operator cut short a long run of hidden
    // records; any other key waiting is taken and lost.
    if (status != 0 || PastUpperLimit(run) || HookEscWaiting()) run.end_of_data = true;
    if (appended) return true;
  }
  return false;
}

bool NoEntry(BrowseRun& run) {
  run.at_last = true;
  return false;
}

}  // namespace

std::string HookBrowseLineText(int16_t list) {
  const BrowseHooks& hooks = BrowseHooksState();
  return hooks.line_text ? hooks.line_text(list) : std::string();
}

bool HookEscWaiting() {
  const BrowseHooks& hooks = BrowseHooksState();
  return hooks.esc_waiting ? hooks.esc_waiting() : false;
}

bool ReadEntry(BrowseRun& run) {
  const int64_t at = run.pos;
  const int64_t length = run.file.Length();
  if (length < 0) return NoEntry(run);
  if (at > length) {
    // Appending anywhere but at the end would leave a hole in the chain.
    if (at != length + 1 || !FetchEntry(run, at)) return NoEntry(run);
  } else {
    BrowseEntryHeader header;
    if (!ReadBrowseHeader(run.file, at, header)) return NoEntry(run);
    std::string text(header.length, '\0');
    text.resize(run.file.ReadAt(at - 1 + kBrowseHeaderSize, text.data(), text.size()));
    run.header = header;
    run.text = std::move(text);
    run.pos = at + kBrowseHeaderSize + header.length;
  }
  run.current = at;
  run.has_entry = true;
  run.at_first = run.header.previous == 0;
  run.at_last = run.end_of_data && run.pos > run.file.Length();
  return true;
}

void MoveEntries(BrowseRun& run, int32_t n) {
  const bool up = n < 0;
  for (int32_t step = 0; step < std::abs(n); ++step) {
    const int64_t from = run.current;
    if (up) {
      if (run.header.previous == 0) {
        run.at_first = true;
        return;
      }
      run.pos = run.header.previous;
    }
    if (!ReadEntry(run)) {
      // Nothing there (hidden records at the end, or a damaged prepared
      // list): stay on the entry we came from.
      run.pos = from;
      ReadEntry(run);
      if (up) {
        run.at_first = true;
      } else {
        run.at_last = true;
      }
      return;
    }
    if (run.at_last) return;
  }
}

int64_t EntryEnd(BrowseRun& run, int64_t position) {
  BrowseEntryHeader header;
  if (!ReadBrowseHeader(run.file, position, header)) return position;
  return position + kBrowseHeaderSize + header.length;
}

}  // namespace store
