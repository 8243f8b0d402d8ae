// EditField: in-place editing of one form field.

#include "ui/field_editor.h"

#include <algorithm>
#include <vector>

#include "platform/ascii.h"
#include "platform/console.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "values/text.h"
#include "values/values_state.h"

namespace ui {

namespace {

using platform::TrimBlanks;
using platform::TrimTrailingBlanks;

// Code page 437/850 control-range glyphs shown as the choice arrows.
constexpr char kLeftArrow = '\x11';   // ◄
constexpr char kRightArrow = '\x10';  // ►
constexpr int kIdleWaitMs = 100;

struct Choice {
  std::string value;
  std::string description;
};

std::vector<Choice> ParseChoices(const std::string& list) {
  std::vector<Choice> choices;
  size_t start = list.find('|');
  while (start != std::string::npos) {
    size_t end = list.find('|', start + 1);
    std::string entry = list.substr(
        start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    size_t comma = entry.find(',');
    if (comma == std::string::npos) {
      choices.push_back({entry, entry});
    } else {
      choices.push_back({entry.substr(0, comma), entry.substr(comma + 1)});
    }
    start = end;
  }
  return choices;
}

bool IsWordBoundary(char c) {
  return c == ' ' || c == ',' || c == '.' || c == ';' || c == ':';
}

// Writes at a position relative to the current window, cut at the screen's
// right edge so that a field never wraps onto the row below.
void PutRelative(int row, int col, const std::string& text) {
  WinLocate(static_cast<int16_t>(row), static_cast<int16_t>(col));
  int cursor_row = 0, cursor_col = 0;
  platform::GetCursor(cursor_row, cursor_col);
  int room = platform::ConsoleCols() - cursor_col + 1;
  if (room <= 0) return;
  platform::WriteText(text.size() > static_cast<size_t>(room)
                          ? text.substr(0, static_cast<size_t>(room))
                          : text);
}

// The editor's working state for one call.
class Editor {
 public:
  Editor(int16_t row, int16_t col, int16_t width, std::string& text,
         int16_t position)
      : row_(row), col_(col), width_(width), text_(text), pos_(position) {
    len_ = static_cast<int>(text_.size());
    choices_ = ParseChoices(KeyInputState().choice_list);
    choice_ = !choices_.empty();
    lines_ = choice_ ? 1 : std::max(1, (len_ + width_ - 1) / width_);
    if (choice_) {
      current_ = 0;
      std::string wanted = TrimTrailingBlanks(text_);
      for (size_t i = 0; i < choices_.size(); ++i) {
        if (TrimTrailingBlanks(choices_[i].value) == wanted) {
          current_ = i;
          break;
        }
      }
      for (const Choice& c : choices_) {
        widest_ = std::max(widest_, static_cast<int>(c.description.size()));
      }
    }
    const Screen& s = ScreenState();
    base_row_ = s.win_depth ? s.win_top : 0;
    base_col_ = s.win_depth ? s.win_left : 0;
  }

  int16_t Run();
  int16_t Position() const { return static_cast<int16_t>(pos_); }

 private:
  void Display();
  void PlaceCursor();
  int16_t NextKey(int16_t& mouse_row, int16_t& mouse_col, bool& mouse);
  // Handles a key; true when the key ends the editing.
  bool HandleTextKey(int16_t key);
  bool HandleChoiceKey(int16_t key);
  bool HandleMouse(int16_t mouse_row, int16_t mouse_col, int16_t& key);
  void FindByLetter(uint8_t letter);
  // Applies the exit rules; true when the editing really ends. mouse: the
  // key stands for a press outside the field (F11 and F12 with their
  // modifiers are negative too, but they are keys like any other).
  bool Leave(int16_t& key, bool mouse);

  int row_, col_, width_;
  std::string& text_;
  int pos_;
  int len_ = 0;
  int lines_ = 1;
  bool choice_ = false;
  std::vector<Choice> choices_;
  size_t current_ = 0;
  int widest_ = 0;
  int base_row_ = 0, base_col_ = 0;
};

void Editor::Display() {
  int16_t hide = KeyInputState().hide_char;
  if (choice_) {
    const Choice& c = choices_[current_];
    std::string shown = c.description;
    shown.resize(static_cast<size_t>(widest_), ' ');
    PutRelative(row_, col_, shown);
    std::string value = c.value;
    value.resize(static_cast<size_t>(len_), ' ');
    text_ = value;
    return;
  }
  for (int line = 0; line < lines_; ++line) {
    std::string shown;
    if (hide != 0) {
      shown.assign(static_cast<size_t>(std::max(0, width_ - 1)),
                   static_cast<char>(hide));
    } else if (line * width_ < len_) {
      shown = text_.substr(static_cast<size_t>(line * width_),
                           static_cast<size_t>(width_));
    }
    PutRelative(row_ + line, col_, shown);
  }
}

void Editor::PlaceCursor() {
  if (choice_) {
    WinLocate(static_cast<int16_t>(row_), static_cast<int16_t>(col_));
    platform::SetCursorSize(0);
    return;
  }
  int line = (pos_ - 1) / width_;
  int column = (pos_ - 1) % width_;
  if (pos_ == len_ + 1 && column == 0 && line > 0) {
    --line;
    column = width_;
  }
  WinLocate(static_cast<int16_t>(row_ + line), static_cast<int16_t>(col_ + column));
  platform::SetCursorSize(platform::InsertToggle() ? 50 : 100);
}

int16_t Editor::NextKey(int16_t& mouse_row, int16_t& mouse_col, bool& mouse) {
  for (;;) {
    int16_t key = 0, button = 0, r = 0, c = 0;
    GetKey(key, button, r, c);
    mouse = false;
    if (key != 0) return key;
    if (button != 0) {
      mouse = true;
      mouse_row = r;
      mouse_col = c;
      return static_cast<int16_t>(-(c * 100 + r));
    }
    WaitForInput(kIdleWaitMs);
  }
}

bool Editor::HandleMouse(int16_t mouse_row, int16_t mouse_col, int16_t& key) {
  int first_row = base_row_ + row_;
  int first_col = base_col_ + col_;
  if (choice_) {
    if (mouse_row == first_row) {
      if (mouse_col == first_col - 1) {
        key = kKeyLeft;
        return false;
      }
      if (mouse_col == first_col + widest_) {
        key = kKeyRight;
        return false;
      }
      if (mouse_col >= first_col && mouse_col < first_col + widest_) {
        key = 0;
        return false;
      }
    }
    return true;
  }
  if (mouse_row >= first_row && mouse_row < first_row + lines_ &&
      mouse_col >= first_col && mouse_col < first_col + width_) {
    int place = (mouse_row - first_row) * width_ + (mouse_col - first_col) + 1;
    pos_ = std::min(place, len_ + 1);
    key = 0;
    return false;
  }
  return true;
}

void Editor::FindByLetter(uint8_t letter) {
  values::Values& v = values::ValuesState();
  v.fold_for_search = true;
  std::string wanted = values::FoldText(std::string(1, static_cast<char>(letter)));
  size_t count = choices_.size();
  for (size_t step = 1; step <= count; ++step) {
    size_t i = (current_ + step) % count;
    const std::string& d = choices_[i].description;
    if (!d.empty() && values::FoldText(d.substr(0, 1)) == wanted) {
      current_ = i;
      break;
    }
  }
  v.fold_for_search = false;
}

bool Editor::HandleChoiceKey(int16_t key) {
  size_t count = choices_.size();
  if ((key >= 33 && key <= 126) || (key >= 128 && key <= 254)) {
    FindByLetter(static_cast<uint8_t>(key));
    return false;
  }
  switch (key) {
    case kKeyLeft:
      current_ = current_ == 0 ? count - 1 : current_ - 1;
      return false;
    case kKeyRight:
    case ' ':
      current_ = (current_ + 1) % count;
      return false;
    case kKeyBackspace:
    case kKeyDelete:
    case kKeyCtrlHome:
    case kKeyCtrlY:
    case kKeyCtrlV:
      return false;
    case kKeyHome:
      pos_ = 1;
      return false;
    case kKeyEnd:
      pos_ = static_cast<int>(TrimTrailingBlanks(text_).size()) + 1;
      return false;
    case kKeyCtrlC:
      platform::ClipboardSet(choices_[current_].description);
      return false;
    default:
      return true;
  }
}

bool Editor::HandleTextKey(int16_t key) {
  if ((key >= 32 && key <= 126) || (key >= 128 && key <= 254)) {
    char ch = static_cast<char>(key);
    if (pos_ > len_) return false;
    if (platform::InsertToggle()) {
      if (text_.back() != ' ') return false;
      text_.insert(static_cast<size_t>(pos_ - 1), 1, ch);
      text_.pop_back();
    } else {
      text_[static_cast<size_t>(pos_ - 1)] = ch;
    }
    ++pos_;
    return false;
  }
  switch (key) {
    case kKeyLeft:
      pos_ = std::max(1, pos_ - 1);
      return false;
    case kKeyRight:
      pos_ = std::min(len_ + 1, pos_ + 1);
      return false;
    case kKeyBackspace:
      if (pos_ > 1) {
        --pos_;
        text_.erase(static_cast<size_t>(pos_ - 1), 1);
        text_.push_back(' ');
      }
      return false;
    case kKeyDelete:
      if (pos_ <= len_) {
        text_.erase(static_cast<size_t>(pos_ - 1), 1);
        text_.push_back(' ');
      }
      return false;
    case kKeyHome:
      pos_ = 1;
      return false;
    case kKeyEnd:
      pos_ = static_cast<int>(TrimTrailingBlanks(text_).size()) + 1;
      return false;
    case kKeyCtrlHome:
    case kKeyCtrlY:
      text_.assign(static_cast<size_t>(len_), ' ');
      pos_ = 1;
      return false;
    case kKeyUp:
    case kKeyShiftTab:
      if (pos_ > width_) {
        pos_ -= width_;
        return false;
      }
      return true;
    case kKeyDown:
      if (pos_ <= len_ + 1 - width_) {
        pos_ += width_;
        return false;
      }
      return true;
    case kKeyCtrlLeft: {
      if (pos_ <= 1) return true;
      int p = pos_ - 1;
      while (p >= 1 && IsWordBoundary(text_[static_cast<size_t>(p - 1)])) --p;
      while (p > 1 && !IsWordBoundary(text_[static_cast<size_t>(p - 2)])) --p;
      pos_ = std::max(1, p);
      return false;
    }
    case kKeyCtrlRight: {
      if (pos_ > len_) return true;
      int p = pos_;
      while (p <= len_ && !IsWordBoundary(text_[static_cast<size_t>(p - 1)])) ++p;
      while (p <= len_ && IsWordBoundary(text_[static_cast<size_t>(p - 1)])) ++p;
      pos_ = p;
      return false;
    }
    case kKeyCtrlC:
      // A masked field holds a secret: it never goes to the clipboard.
      if (KeyInputState().hide_char == 0) platform::ClipboardSet(TrimBlanks(text_));
      return false;
    case kKeyCtrlV: {
      std::string pasted;
      for (char c : platform::ClipboardGet()) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 32 && b != 127 && b != 255) pasted.push_back(c);
      }
      pasted = TrimBlanks(pasted);
      size_t from = static_cast<size_t>(pos_ - 1);
      for (size_t i = 0; i < pasted.size() && from + i < text_.size(); ++i) {
        text_[from + i] = pasted[i];
      }
      return false;
    }
    default:
      return true;
  }
}

bool Editor::Leave(int16_t& key, bool mouse) {
  const KeyInput& k = KeyInputState();
  if (key == kKeyShiftTab) key = kKeyUp;
  if (key == kKeyTab) key = kKeyEnter;
  if (key == kKeyEnter &&
      std::find(k.key_from.begin(), k.key_from.end(), kKeyEnd) != k.key_from.end()) {
    key = kKeyEnd;
  }
  if (key == kKeyCtrlF4 || key == kKeyAltF4) key = kKeyEsc;
  if (k.key_from.empty()) return true;
  auto it = std::find(k.key_from.begin(), k.key_from.end(), key);
  if (it != k.key_from.end()) {
    key = k.key_to[static_cast<size_t>(it - k.key_from.begin())];
    return true;
  }
  return mouse;
}

int16_t Editor::Run() {
  if (choice_) {
    PutRelative(row_, col_ - 1, std::string(1, kLeftArrow));
    PutRelative(row_, col_ + widest_, std::string(1, kRightArrow));
  }
  SetColour("u");
  int16_t key = 0;
  for (;;) {
    Display();
    PlaceCursor();
    int16_t mouse_row = 0, mouse_col = 0;
    bool mouse = false;
    key = NextKey(mouse_row, mouse_col, mouse);
    if (key == kKeyInsert) {
      platform::SetInsertToggle(!platform::InsertToggle());
      continue;
    }
    platform::SetCursorSize(0);
    bool ends;
    if (mouse) {
      ends = HandleMouse(mouse_row, mouse_col, key);
      if (!ends && key != 0) ends = choice_ ? HandleChoiceKey(key) : HandleTextKey(key);
    } else {
      ends = choice_ ? HandleChoiceKey(key) : HandleTextKey(key);
    }
    if (ends && Leave(key, mouse)) break;
  }
  SetColour("h");
  if (choice_) {
    PutRelative(row_, col_ - 1, " ");
    PutRelative(row_, col_ + widest_, " ");
  }
  WinLocate(static_cast<int16_t>(row_), static_cast<int16_t>(col_));
  return key;
}

}  // namespace

void EditField(int16_t& row, int16_t& col, int16_t& width, std::string& text,
               int16_t& position, int16_t& key) {
  if (row == 0 || col == 0) {
    const Screen& s = ScreenState();
    int cursor_row = 0, cursor_col = 0;
    platform::GetCursor(cursor_row, cursor_col);
    if (row == 0) row = static_cast<int16_t>(cursor_row - (s.win_depth ? s.win_top : 0));
    if (col == 0) col = static_cast<int16_t>(cursor_col - (s.win_depth ? s.win_left : 0));
  }
  // Fields are short; a text beyond the 16-bit range would overflow the
  // positions, so the editor works on the part it can address.
  constexpr size_t kLongest = 32766;
  std::string tail;
  if (text.size() > kLongest) {
    tail = text.substr(kLongest);
    text.resize(kLongest);
  }
  int len = static_cast<int>(text.size());
  position = static_cast<int16_t>(std::clamp<int>(position, 1, len + 1));
  if (width <= 0) width = static_cast<int16_t>(len + 1);

  Editor editor(row, col, width, text, position);
  key = editor.Run();
  position = editor.Position();
  text += tail;
}

}  // namespace ui
