// Browse lists: a framed pop-up that shows one line per record of a record
// file, in the order of one key, and lets the operator pick one with Enter.
// Lists are defined in the form table (config::ListDefinition, numbered from
// 1). The chosen record is read into the file's record area; a list without
// a file (file 0) shows what was prepared in the list file "Browse.tmp" and
// hands its choice back through BrowseState().
//
// Records are read lazily, one SkipRecords per line needed, and every line
// is kept in the list file so that scrolling back reads no record again
// (browse_file.h, browse_fetch.h). The file's lock mode is saved and set to
// 0 while the list runs, then put back.
//
// The store draws nothing and reads no key itself: it calls the functions
// the module puts in BrowseHooksState(). An empty hook does the plain thing:
// limits 0 with no keys, an empty line (the record is not shown), no
// after-select, a pre-form that gives up (Esc), nothing drawn, a key wait
// that leaves the list, no key waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace store {

// What a key does in the list; the module's key input says which.
enum class BrowseKey : uint8_t {
  kOther,  // Esc, letters, mouse presses...: leave with -1
  kEnter,
  kUp,
  kDown,
  kPgUp,
  kPgDn,
  kLeft,
  kRight,
  kF4,  // leave, and run the follow-on list when there is one
};

struct BrowseHooks {
  // The module's: start key and upper limit (non-zero cancels the list with
  // that status); the line of the record in the record area (blank hides
  // it); after a follow-on list chose, put the choice into the form.
  std::function<int16_t(int16_t list, std::string& from_key, std::string& to_key)> limits;
  std::function<std::string(int16_t list)> line_text;
  std::function<void(int16_t& list, int16_t form, int16_t& field)> after_select;

  // The screen and the keyboard. run_form runs a form and gives the key
  // that ended it. write_at writes at (row, col) of the current window.
  std::function<int16_t(int16_t form)> run_form;
  std::function<void(const std::string& code)> set_colour;
  std::function<void(int16_t top, int16_t left, int16_t bottom, int16_t right)> win_push;
  std::function<void()> win_pop;
  std::function<void(int16_t style)> win_frame;
  std::function<void(int16_t row, int16_t col, const std::string& text)> write_at;
  std::function<void(const std::string& operations, const std::string& keys)> key_map;
  std::function<BrowseKey()> wait_key;
  // One look at the keyboard: a waiting key is taken; true when it was Esc.
  std::function<bool()> esc_waiting;
};
BrowseHooks& BrowseHooksState();
void ResetBrowseHooksState();

// The choice of the last list without a file, and the nesting of follow-on
// lists.
struct BrowseShared {
  int32_t browse_value = 0;  // the entry's value (header bytes 4 to 7)
  std::string browse_text;   // the entry's line
  int depth = 0;
};
BrowseShared& BrowseState();
void ResetBrowseState();

// Runs list `list`. result: 0 a line was chosen; -1 left without a choice
// (Esc, any other key, nothing to choose, no such list, a window that does
// not fit the screen, a list file that cannot be used); otherwise the
// status of the limits hook or of the read of the chosen record.
void BrowseList(int16_t list, int16_t& result);

}  // namespace store
