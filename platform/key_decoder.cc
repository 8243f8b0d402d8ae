#include "platform/key_decoder.h"

#include <algorithm>

namespace platform {

namespace {

constexpr char kEscByte = 0x1B;
// A sequence longer than this is garbage; it is dropped instead of growing.
constexpr size_t kMaxSequence = 64;

struct Step {
  size_t used = 0;         // bytes consumed
  bool need_more = false;  // incomplete: wait for further bytes
};

Step Used(size_t n) { return Step{n, false}; }
Step NeedMore() { return Step{0, true}; }

InputEvent Key(uint8_t ch, uint8_t scan_code, uint16_t mods = 0,
               bool keypad = false) {
  InputEvent ev;
  ev.kind = InputEvent::kKey;
  ev.ch = ch;
  ev.scan = scan_code;
  ev.modifiers = mods;
  ev.keypad = keypad;
  return ev;
}

// Keypad digits carry the scan codes of the keys they share on the PC.
constexpr uint8_t kDigitScan[10] = {
    scan::kInsert, scan::kEnd,   scan::kDown,  scan::kPgDn, scan::kLeft,
    scan::kCentre, scan::kRight, scan::kHome, scan::kUp,   scan::kPgUp};

// xterm's modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta).
uint16_t ModifierBits(int param) {
  if (param < 2) return 0;
  int bits = param - 1;
  uint16_t mods = 0;
  if (bits & 1) mods |= kShift;
  if (bits & (2 | 8)) mods |= kLeftAlt;
  if (bits & 4) mods |= kLeftCtrl;
  return mods;
}

bool IsUpperOrShifted(uint8_t ch) {
  if (ch >= 'A' && ch <= 'Z') return true;
  return std::string_view("~!@#$%^&*()_+{}|:\"<>?").find(static_cast<char>(ch)) !=
         std::string_view::npos;
}

// Letters after CSI or SS3 that name the same keys in both.
uint8_t CursorKeyScan(char final) {
  switch (final) {
    case 'A': return scan::kUp;
    case 'B': return scan::kDown;
    case 'C': return scan::kRight;
    case 'D': return scan::kLeft;
    case 'E': return scan::kCentre;
    case 'F': return scan::kEnd;
    case 'H': return scan::kHome;
    case 'P': return scan::kF1;
    case 'Q': return scan::kF1 + 1;
    case 'R': return scan::kF1 + 2;
    case 'S': return scan::kF1 + 3;
    default: return 0;
  }
}

uint8_t TildeKeyScan(int code) {
  switch (code) {
    case 1: case 7: return scan::kHome;
    case 2: return scan::kInsert;
    case 3: return scan::kDelete;
    case 4: case 8: return scan::kEnd;
    case 5: return scan::kPgUp;
    case 6: return scan::kPgDn;
    case 11: case 12: case 13: case 14: case 15:
      return static_cast<uint8_t>(scan::kF1 + (code - 11));
    case 17: case 18: case 19: case 20: case 21:
      return static_cast<uint8_t>(scan::kF1 + 5 + (code - 17));
    case 23: return scan::kF11;
    case 24: return scan::kF12;
    default: return 0;
  }
}

// Numeric parameters separated by ';' (an empty one reads as 0).
std::vector<int> Params(std::string_view text) {
  std::vector<int> out;
  int value = 0;
  bool any = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      value = std::min(value * 10 + (c - '0'), 99999);
      any = true;
    } else if (c == ';' || c == ':') {
      out.push_back(value);
      value = 0;
      any = true;
    }
  }
  if (any) out.push_back(value);
  return out;
}

void MousePress(int b, int x, int y, bool press, std::vector<InputEvent>& out) {
  if (!press || (b & (32 | 64 | 128))) return;  // release, motion, wheel
  uint16_t buttons;
  switch (b & 3) {
    case 0: buttons = 1; break;
    case 2: buttons = 2; break;
    default: return;  // middle button: nobody uses it
  }
  if (x < 1 || y < 1) return;
  InputEvent ev;
  ev.kind = InputEvent::kMouse;
  ev.buttons = buttons;
  ev.row = static_cast<int16_t>(std::min(y, 9999));
  ev.col = static_cast<int16_t>(std::min(x, 9999));
  if (b & 4) ev.modifiers |= kShift;
  if (b & 8) ev.modifiers |= kLeftAlt;
  if (b & 16) ev.modifiers |= kLeftCtrl;
  out.push_back(ev);
}

// ESC [ ... at i.
Step Csi(std::string_view buf, size_t i, std::vector<InputEvent>& out) {
  size_t k = i + 2;
  if (k >= buf.size()) return NeedMore();
  // The Linux console's F1-F5: ESC [ [ A..E.
  if (buf[k] == '[') {
    if (k + 1 >= buf.size()) return NeedMore();
    char f = buf[k + 1];
    if (f >= 'A' && f <= 'E') out.push_back(Key(0, static_cast<uint8_t>(scan::kF1 + (f - 'A'))));
    return Used(k + 2 - i);
  }
  const size_t params_at = k;
  while (k < buf.size()) {
    unsigned char c = static_cast<unsigned char>(buf[k]);
    if (c >= 0x40 && c <= 0x7E) break;
    if (c < 0x20 || c > 0x3F) return Used(k - i);  // broken: drop it
    if (k - i > kMaxSequence) return Used(k - i);
    ++k;
  }
  if (k >= buf.size()) return NeedMore();
  const char final = buf[k];
  std::string_view params = buf.substr(params_at, k - params_at);
  const size_t used = k + 1 - i;

  if (!params.empty() && params[0] == '<') {
    if (final == 'M' || final == 'm') {
      std::vector<int> p = Params(params.substr(1));
      if (p.size() >= 3) MousePress(p[0], p[1], p[2], final == 'M', out);
    }
    return Used(used);
  }
  if (!params.empty() && (params[0] < '0' || params[0] > ';')) {
    return Used(used);  // private replies and the like
  }
  if (final == 'M' && params.empty()) {
    // Old-style mouse report: three raw bytes follow.
    if (k + 3 >= buf.size()) return NeedMore();
    int b = static_cast<unsigned char>(buf[k + 1]) - 32;
    int x = static_cast<unsigned char>(buf[k + 2]) - 32;
    int y = static_cast<unsigned char>(buf[k + 3]) - 32;
    bool press = (b & 3) != 3;
    MousePress(b, x, y, press, out);
    return Used(used + 3);
  }
  std::vector<int> p = Params(params);
  const uint16_t mods = ModifierBits(p.size() >= 2 ? p[1] : 0);
  if (final == '~') {
    uint8_t sc = TildeKeyScan(p.empty() ? 0 : p[0]);
    if (sc != 0) out.push_back(Key(0, sc, mods));
    return Used(used);
  }
  if (final == 'Z') {
    out.push_back(Key(0, scan::kTab, static_cast<uint16_t>(mods | kShift)));
    return Used(used);
  }
  if (uint8_t sc = CursorKeyScan(final); sc != 0) {
    out.push_back(Key(0, sc, mods));
  }
  return Used(used);
}

// ESC O ... at i (keys in application mode).
Step Ss3(std::string_view buf, size_t i, std::vector<InputEvent>& out) {
  size_t k = i + 2;
  int mod_param = 0;
  while (k < buf.size() && buf[k] >= '0' && buf[k] <= '9') {
    mod_param = std::min(mod_param * 10 + (buf[k] - '0'), 99);
    ++k;
  }
  if (k >= buf.size()) return NeedMore();
  const char final = buf[k];
  const size_t used = k + 1 - i;
  const uint16_t mods = ModifierBits(mod_param);
  if (final >= 'p' && final <= 'y') {
    int digit = final - 'p';
    uint8_t ch = (mods & (kLeftAlt | kRightAlt)) ? 0 : static_cast<uint8_t>('0' + digit);
    out.push_back(Key(ch, kDigitScan[digit], mods, true));
    return Used(used);
  }
  switch (final) {
    case 'M': out.push_back(Key(13, scan::kEnter, mods, true)); return Used(used);
    case 'j': out.push_back(Key('*', 0x37, mods, true)); return Used(used);
    case 'k': out.push_back(Key('+', 0x4E, mods, true)); return Used(used);
    case 'm': out.push_back(Key('-', 0x4A, mods, true)); return Used(used);
    case 'n': out.push_back(Key('.', scan::kDelete, mods, true)); return Used(used);
    case 'o': out.push_back(Key('/', 0x35, mods, true)); return Used(used);
    default: break;
  }
  if (uint8_t sc = CursorKeyScan(final); sc != 0) out.push_back(Key(0, sc, mods));
  return Used(used);
}

Step Utf8Char(std::string_view buf, size_t i, bool final,
              std::vector<InputEvent>& out) {
  uint8_t b = static_cast<uint8_t>(buf[i]);
  size_t len;
  char32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
  } else {
    return Used(1);  // not a lead byte
  }
  for (size_t k = 1; k < len; ++k) {
    if (i + k >= buf.size()) return final ? Used(buf.size() - i) : NeedMore();
    uint8_t cb = static_cast<uint8_t>(buf[i + k]);
    if ((cb & 0xC0) != 0x80) return Used(k);
    cp = (cp << 6) | (cb & 0x3F);
  }
  int byte = cp < 0x80 ? -1 : UnicodeToCp850(cp);
  if (byte >= 0x80) out.push_back(Key(static_cast<uint8_t>(byte), 0));
  return Used(len);
}

InputEvent PlainByte(uint8_t b) {
  switch (b) {
    case 0x7F:
    case 0x08: return Key(8, scan::kBackspace);
    case 0x0D:
    case 0x0A: return Key(13, scan::kEnter);
    case 0x09: return Key(9, scan::kTab);
    default: break;
  }
  if (b < 0x20) return Key(b, ScanCodeForChar(b), kLeftCtrl);
  return Key(b, ScanCodeForChar(b), IsUpperOrShifted(b) ? kShift : 0);
}

Step DecodeOne(std::string_view buf, size_t i, bool final,
               std::vector<InputEvent>& out) {
  const uint8_t b = static_cast<uint8_t>(buf[i]);
  if (b == 0x00) return Used(1);  // Ctrl+Space: nothing to report
  if (b >= 0x80) return Utf8Char(buf, i, final, out);
  if (b != kEscByte) {
    out.push_back(PlainByte(b));
    return Used(1);
  }
  if (i + 1 >= buf.size()) {
    if (!final) return NeedMore();
    out.push_back(Key(27, scan::kEsc));
    return Used(1);
  }
  const uint8_t c = static_cast<uint8_t>(buf[i + 1]);
  if (c == '[' || c == 'O') {
    if (i + 2 >= buf.size() && final) {
      out.push_back(Key(0, ScanCodeForChar(c), c == 'O' ? kLeftAlt | kShift : kLeftAlt));
      return Used(2);
    }
    Step s = c == '[' ? Csi(buf, i, out) : Ss3(buf, i, out);
    if (s.need_more && final) return Used(buf.size() - i);
    return s;
  }
  if (c == kEscByte) {
    // Alt sent as an Esc prefix to a whole sequence.
    if (i + 2 >= buf.size()) {
      if (!final) return NeedMore();
      out.push_back(Key(27, scan::kEsc));
      return Used(1);
    }
    const char d = buf[i + 2];
    if (d == '[' || d == 'O') {
      std::vector<InputEvent> inner;
      Step s = d == '[' ? Csi(buf, i + 1, inner) : Ss3(buf, i + 1, inner);
      if (s.need_more) return final ? Used(buf.size() - i) : NeedMore();
      for (InputEvent& ev : inner) {
        if (ev.kind == InputEvent::kKey) {
          ev.modifiers |= kLeftAlt;
          if (ev.keypad) ev.ch = 0;
        }
        out.push_back(ev);
      }
      return Used(s.used + 1);
    }
    out.push_back(Key(27, scan::kEsc));
    return Used(1);
  }
  if (c >= 0x80) {
    out.push_back(Key(27, scan::kEsc));
    return Used(1);
  }
  if (c >= '0' && c <= '9') {
    // Terminals send Alt with a keypad digit like Alt with a top-row digit;
    // only the keypad use means anything here (typing a character by its
    // code), so the digit arrives as that keypad key.
    out.push_back(Key(0, kDigitScan[c - '0'], kLeftAlt, true));
    return Used(2);
  }
  // Alt with a key: reported as the key's scan code alone.
  InputEvent plain = PlainByte(c);
  if (plain.scan == 0) return Used(2);
  uint16_t mods = static_cast<uint16_t>(kLeftAlt | (plain.modifiers & (kShift | kLeftCtrl)));
  out.push_back(Key(0, plain.scan, mods));
  return Used(2);
}

void Run(KeyDecoderState& state, bool final, std::vector<InputEvent>& out) {
  std::string_view buf = state.pending;
  size_t i = 0;
  while (i < buf.size()) {
    Step s = DecodeOne(buf, i, final, out);
    if (s.need_more) break;
    i += std::max<size_t>(s.used, 1);
  }
  state.pending.erase(0, std::min(i, state.pending.size()));
  if (final || state.pending.size() > kMaxSequence * 4) state.pending.clear();
}

}  // namespace

uint8_t ScanCodeForChar(uint8_t ch) {
  static constexpr char kRow1[] = "1234567890-=";
  static constexpr char kRow1Shift[] = "!@#$%^&*()_+";
  static constexpr char kLetters[] = "qwertyuiop[]asdfghjkl;'`";
  static constexpr char kLettersShift[] = "QWERTYUIOP{}ASDFGHJKL:\"~";
  static constexpr char kRow3[] = "\\zxcvbnm,./";
  static constexpr char kRow3Shift[] = "|ZXCVBNM<>?";
  switch (ch) {
    case 8: case 0x7F: return scan::kBackspace;
    case 9: return scan::kTab;
    case 10: case 13: return scan::kEnter;
    case 27: return scan::kEsc;
    case ' ': return 0x39;
    case 28: return 0x2B;  // Ctrl+backslash
    case 29: return 0x1B;  // Ctrl+]
    case 30: return 0x07;  // Ctrl+^
    case 31: return 0x0C;  // Ctrl+_
    default: break;
  }
  if (ch >= 1 && ch <= 26) return ScanCodeForChar(static_cast<uint8_t>('a' + ch - 1));
  if (ch == 0 || ch > 0x7E) return 0;
  const char c = static_cast<char>(ch);
  for (int k = 0; k < 12; ++k) {
    if (kRow1[k] == c || kRow1Shift[k] == c) return static_cast<uint8_t>(0x02 + k);
  }
  // q..] are 0x10-0x1B, a..` are 0x1E-0x29 (Enter and Ctrl sit between).
  for (int k = 0; k < 24; ++k) {
    if (kLetters[k] == c || kLettersShift[k] == c) {
      return static_cast<uint8_t>(k < 12 ? 0x10 + k : 0x1E + (k - 12));
    }
  }
  for (int k = 0; k < 11; ++k) {
    if (kRow3[k] == c || kRow3Shift[k] == c) return static_cast<uint8_t>(0x2B + k);
  }
  return 0;
}

void DecodeInput(KeyDecoderState& state, std::string_view bytes,
                 std::vector<InputEvent>& out) {
  state.pending.append(bytes);
  Run(state, false, out);
}

void DecodeTimeout(KeyDecoderState& state, std::vector<InputEvent>& out) {
  Run(state, true, out);
}

}  // namespace platform
