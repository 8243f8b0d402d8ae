// What every pop-up opened over a field being edited does around its own
// work: the field editor's exit-key table is put aside and replaced by the
// pop-up's keys, the colour in force is saved and "n" selected, and the
// cursor is hidden. When the scope ends the cursor, the colour and the exit
// table come back exactly as they were, even when the field's form had
// already saved a copy of its table (the single saved copy of KeyMap "+"
// would otherwise hand the field an empty table afterwards).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

class PopupScope {
 public:
  // exit_keys: the pop-up's own table, a KeyMap list ("" for none).
  explicit PopupScope(const std::string& exit_keys);
  ~PopupScope();
  PopupScope(const PopupScope&) = delete;
  PopupScope& operator=(const PopupScope&) = delete;

 private:
  std::vector<int16_t> from_, to_, saved_from_, saved_to_;
  bool saved_ = false;
  int cursor_size_ = 0;
};

}  // namespace ui
