// The scope shared by the calculator and the calendar.

#include "ui/popup.h"

#include "platform/console.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace ui {

PopupScope::PopupScope(const std::string& exit_keys) {
  const KeyInput& k = KeyInputState();
  from_ = k.key_from;
  to_ = k.key_to;
  saved_ = k.saved;
  saved_from_ = k.saved_from;
  saved_to_ = k.saved_to;
  KeyMap("ea", exit_keys);
  SetColour("+n");
  cursor_size_ = platform::CursorSize();
  platform::SetCursorSize(0);
}

PopupScope::~PopupScope() {
  platform::SetCursorSize(cursor_size_);
  SetColour("-");
  KeyInput& k = KeyInputState();
  k.key_from = std::move(from_);
  k.key_to = std::move(to_);
  k.saved = saved_;
  k.saved_from = std::move(saved_from_);
  k.saved_to = std::move(saved_to_);
}

}  // namespace ui
