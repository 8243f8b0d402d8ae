// The pages of a work file found by number without reading all that comes
// before them, for the preview. One pass over the file notes where each page
// begins (a mark per record that begins pages, some fifty bytes a page); a
// page is read again from its mark when it is wanted and laid out then, and
// the last few laid out are kept. The pass runs a piece at a time, so that
// the first pages can be shown while the rest is still being counted, and a
// listing of any length opens at once.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/kelprint/layout.h"
#include "tools/kelprint/print_files.h"
#include "tools/kelprint/work_file.h"

namespace tools {

class PageIndex {
 public:
  PageIndex();
  ~PageIndex();
  PageIndex(const PageIndex&) = delete;
  PageIndex& operator=(const PageIndex&) = delete;

  // False with the reason when the work file cannot be read.
  bool Open(const std::string& path, std::string& error);

  // Counts on through at most budget bytes of the file. False once the pass
  // is over (the whole file read, or a faulty record or an unreadable file
  // met).
  bool Advance(size_t budget);
  bool complete() const { return complete_; }
  // Pages known so far; all of them once complete. A page cut short by a
  // faulty record is not one.
  int64_t pages() const;
  // The fault that ended the pass, if any ("FILE:LINE: what" is the
  // caller's to make of it; a read failure has line 0).
  bool failed() const { return !fault_.message.empty(); }
  const ParseError& fault() const { return fault_; }

  // Page number k (0-based, below pages()), laid out. Valid until the next
  // call; nullptr with the reason when it cannot be read.
  const LaidPage* Page(int64_t k, ParseError& error);

 private:
  bool ReadPage(int64_t k, PrintPage& page, ParseError& error);

  OpenWorkFile file_;
  std::vector<PageMark> marks_;
  std::unique_ptr<WorkFileParser> pass_;
  int64_t passed_ = 0;  // bytes counted
  bool complete_ = false;
  ParseError fault_;
  std::list<std::pair<int64_t, LaidPage>> cache_;  // most recent first
};

}  // namespace tools
