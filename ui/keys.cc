// GetKey and WaitKey: console events turned into the suite's key codes.

#include "ui/keys.h"

#include "platform/key_decoder.h"

namespace ui {

KeyInput& KeyInputState() {
  static KeyInput state;
  return state;
}

KeyHooks& KeyHooksState() {
  static KeyHooks hooks;
  return hooks;
}

void ResetKeyInputState() {
  KeyInputState() = KeyInput();
  KeyHooksState() = KeyHooks();
}

namespace {

constexpr uint16_t kAnyAlt = platform::kLeftAlt | platform::kRightAlt;
constexpr uint16_t kAnyCtrl = platform::kLeftCtrl | platform::kRightCtrl;

// Backstop for a console that never reports Alt as released: about a
// minute of silence ends a collection of keypad digits.
constexpr int kAltDigitPatience = 600;
constexpr int kIdleWaitMs = 100;

bool NextEvent(platform::InputEvent& ev) {
  KeyInput& k = KeyInputState();
  if (k.has_pending) {
    ev = k.pending;
    k.has_pending = false;
    return true;
  }
  return platform::PollKey(ev);
}

// The digit a keypad key stands for while Alt is held, or -1. With NumLock
// off the keypad sends the cursor keys; with it on, the digits themselves.
int KeypadDigit(const platform::InputEvent& ev) {
  if (ev.kind != platform::InputEvent::kKey || !ev.keypad) return -1;
  if (ev.ch >= '0' && ev.ch <= '9') return ev.ch - '0';
  if (ev.ch != 0) return -1;
  switch (ev.scan) {
    case platform::scan::kInsert: return 0;
    case platform::scan::kEnd: return 1;
    case platform::scan::kDown: return 2;
    case platform::scan::kPgDn: return 3;
    case platform::scan::kLeft: return 4;
    case platform::scan::kCentre: return 5;
    case platform::scan::kRight: return 6;
    case platform::scan::kHome: return 7;
    case platform::scan::kUp: return 8;
    case platform::scan::kPgUp: return 9;
    default: return -1;
  }
}

bool IsAltDigit(const platform::InputEvent& ev) {
  return (ev.modifiers & platform::kLeftAlt) != 0 && KeypadDigit(ev) >= 0;
}

int16_t WithModifiers(int16_t key, uint16_t modifiers) {
  auto code = static_cast<uint16_t>(key);
  const bool function_key = code >= static_cast<uint16_t>(kKeyF1) &&
                            code <= static_cast<uint16_t>(kKeyF10) && (code & 0xFF) == 0;
  const bool f11_f12 = key == kKeyF11 || key == kKeyF12;
  if (modifiers & kAnyAlt) {
    if (function_key) return static_cast<int16_t>(code + 0x2D00);
    if (f11_f12) return static_cast<int16_t>(code + 0x0600);
  } else if (modifiers & kAnyCtrl) {
    if (function_key) return static_cast<int16_t>(code + 0x2300);
    if (f11_f12) return static_cast<int16_t>(code + 0x0400);
    if (key == kKeyHome) return kKeyCtrlHome;
    if (key == kKeyRight) return kKeyCtrlRight;
    if (key == kKeyLeft) return kKeyCtrlLeft;
  } else if (modifiers & platform::kShift) {
    if (function_key) return static_cast<int16_t>(code + 0x1900);
    if (f11_f12) return static_cast<int16_t>(code + 0x0200);
  }
  return key;
}

// Runs a pop-up behind a hot key unless it is already open; what it returns
// is typed into whatever reads keys next.
void RunHotKey(bool& running, const std::function<std::string()>& popup) {
  if (running) return;
  running = true;
  std::string result = popup ? popup() : std::string();
  running = false;
  KeyInputState().injected = result;
}

}  // namespace

void GetKey(int16_t& key, int16_t& button, int16_t& row, int16_t& col) {
  KeyInput& k = KeyInputState();
  if (!k.injected.empty()) {
    key = static_cast<unsigned char>(k.injected.front());
    k.injected.erase(0, 1);
    k.idle_told = false;
    return;
  }

  if (k.mouse == MouseMode::kNotProbed) {
    k.mouse = platform::MouseButtons() == 0 ? MouseMode::kAbsent : MouseMode::kOff;
  }
  if (k.mouse == MouseMode::kOff) {
    platform::SetMouseReporting(true);
    k.mouse = MouseMode::kOn;
  }

  key = 0;
  button = 0;
  row = 0;
  col = 0;
  platform::InputEvent ev;
  if (!NextEvent(ev)) return;

  if (IsAltDigit(ev)) {
    // Digits collect while Alt stays down. A terminal reports no release:
    // the console counts Alt as released once nothing came for a while,
    // which ends the collection; so does any other key, which is kept for
    // the next poll rather than lost.
    int value = 0;
    int idle = 0;
    for (;;) {
      value = (value * 10 + KeypadDigit(ev)) % 256;
      bool more = false;
      while (idle <= kAltDigitPatience) {
        if (NextEvent(ev)) {
          more = true;
          break;
        }
        if ((platform::ModifierState() & platform::kLeftAlt) == 0) break;
        ++idle;
        WaitForInput(kIdleWaitMs);
      }
      if (!more) break;
      if (!IsAltDigit(ev)) {
        k.pending = ev;
        k.has_pending = true;
        break;
      }
      idle = 0;
    }
    key = static_cast<int16_t>(value);
  } else if (ev.kind == platform::InputEvent::kKey) {
    key = ev.ch != 0 ? static_cast<int16_t>(ev.ch)
                     : static_cast<int16_t>(static_cast<uint16_t>(ev.scan) << 8);
    if (key == kKeyAltE) key = kKeyEuro;
    key = WithModifiers(key, ev.modifiers);
  } else if (ev.kind == platform::InputEvent::kMouse &&
             k.mouse == MouseMode::kOn && ev.buttons != 0) {
    button = static_cast<int16_t>(ev.buttons);
    int mouse_row = 0, mouse_col = 0;
    platform::MousePosition(mouse_row, mouse_col);
    row = static_cast<int16_t>(mouse_row);
    col = static_cast<int16_t>(mouse_col);
  }

  if (key == kKeyAltX) {
    RunHotKey(k.calculator_running, KeyHooksState().calculator);
  } else if (key == kKeyAltC) {
    RunHotKey(k.calendar_running, KeyHooksState().calendar);
  }

  if (k.mouse == MouseMode::kOn && (key != 0 || button != 0)) {
    platform::SetMouseReporting(false);
    k.mouse = MouseMode::kOff;
  }
  if (key != 0 || button != 0) k.idle_told = false;
}

void WaitForInput(int timeout_ms) {
  KeyInput& k = KeyInputState();
  if (k.has_pending || !k.injected.empty()) return;
  // Polls follow one another for as long as the operator takes; the module
  // hears once that it is idle.
  if (!k.idle_told) {
    k.idle_told = true;
    GoingIdle();
  }
  platform::InputEvent ev;
  if (platform::WaitEvent(ev, timeout_ms)) {
    k.pending = ev;
    k.has_pending = true;
  }
}

void WaitKey(int16_t& key) {
  int16_t button = 0, row = 0, col = 0;
  for (;;) {
    GetKey(key, button, row, col);
    if (key != 0) return;
    if (button != 0) {
      key = static_cast<int16_t>(static_cast<uint16_t>(
          col * 256 + button * 64 + row));
      if (key != 0) return;
    }
    WaitForInput(kIdleWaitMs);
  }
}

void GoingIdle() {
  if (KeyHooksState().idle) KeyHooksState().idle();
}

void DiscardTypeAhead() {
  KeyInput& k = KeyInputState();
  k.injected.clear();
  k.has_pending = false;
  platform::DiscardInput();
}

}  // namespace ui
