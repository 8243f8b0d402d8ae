// The exit-key table, the masking character, the choice list and injected
// keys: the settings that shape the next field edits.

#include <cctype>

#include "platform/ascii.h"
#include "ui/keys.h"

namespace ui {

namespace {

// Leading hexadecimal digits of an item as a 16-bit code; blanks around it
// are ignored and an empty or unreadable item is code 0.
int16_t HexCode(const std::string& text) {
  size_t i = text.find_first_not_of(' ');
  uint32_t value = 0;
  for (; i != std::string::npos && i < text.size(); ++i) {
    int c = std::tolower(static_cast<unsigned char>(text[i]));
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      break;
    }
    value = ((value << 4) | static_cast<uint32_t>(digit)) & 0xFFFF;
  }
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

struct Mapping {
  int16_t from;
  int16_t to;
};

std::vector<Mapping> ParseList(const std::string& list) {
  std::vector<Mapping> items;
  if (list.empty()) return items;
  size_t start = 0;
  for (;;) {
    size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos
                                              ? std::string::npos
                                              : comma - start);
    size_t eq = item.find('=');
    if (eq == std::string::npos) {
      int16_t code = HexCode(item);
      items.push_back({code, code});
    } else {
      items.push_back({HexCode(item.substr(0, eq)), HexCode(item.substr(eq + 1))});
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

}  // namespace

void KeyMap(const std::string& operations, const std::string& list) {
  KeyInput& k = KeyInputState();
  for (char op : operations) {
    switch (platform::UpperAscii(op)) {
      case 'D':
        for (const Mapping& m : ParseList(list)) {
          for (size_t i = 0; i < k.key_from.size(); ++i) {
            if (k.key_from[i] == m.from) {
              k.key_from.erase(k.key_from.begin() + static_cast<long>(i));
              k.key_to.erase(k.key_to.begin() + static_cast<long>(i));
              break;
            }
          }
        }
        break;
      case 'A':
        for (const Mapping& m : ParseList(list)) {
          k.key_from.push_back(m.from);
          k.key_to.push_back(m.to);
        }
        break;
      case 'E':
        k.key_from.clear();
        k.key_to.clear();
        break;
      case '+':
        if (!k.saved) {
          k.saved = true;
          k.saved_from = k.key_from;
          k.saved_to = k.key_to;
        }
        break;
      case '-':
        if (k.saved) {
          k.saved = false;
          k.key_from = std::move(k.saved_from);
          k.key_to = std::move(k.saved_to);
          k.saved_from.clear();
          k.saved_to.clear();
        }
        break;
      case 'H':
        k.hide_char = 88;
        break;
      case 'V':
        k.hide_char = 0;
        break;
      default:
        break;
    }
  }
}

bool KeyListMapsTo(const std::string& list, int16_t code) {
  for (const Mapping& m : ParseList(list)) {
    if (m.from != 0 && m.to == code) return true;
  }
  return false;
}

void SetChoices(const std::string& choices) { KeyInputState().choice_list = choices; }

void InjectKeys(const std::string& keys) { KeyInputState().injected += keys; }

}  // namespace ui
