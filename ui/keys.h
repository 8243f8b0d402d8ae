// Key input of every interactive part. A key code is 16-bit: 1-255 a code
// page 850 character, scan code * 256 an extended key (0x4D00 Right),
// synthesised codes for Shift/Ctrl/Alt with function keys and for Ctrl with
// Home/Left/Right. GetKey never waits; WaitKey waits without keeping a
// processor busy. Alt+X and Alt+C open the calculator and the calendar
// (through hooks the module fills); their result comes back as injected
// keystrokes that GetKey hands out before anything else. The exit-key table,
// the masking character and the choice list shape how the field editor ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/console.h"

namespace ui {

// Key codes the interactive parts name.
constexpr int16_t kKeyBackspace = 8;
constexpr int16_t kKeyTab = 9;
constexpr int16_t kKeyEnter = 13;
constexpr int16_t kKeyEsc = 27;
constexpr int16_t kKeyCtrlC = 3;
constexpr int16_t kKeyCtrlV = 22;
constexpr int16_t kKeyCtrlY = 25;
constexpr int16_t kKeyShiftTab = 0x0F00;
constexpr int16_t kKeyAltE = 0x1200;
constexpr int16_t kKeyAltF = 0x2100;
constexpr int16_t kKeyAltX = 0x2D00;
constexpr int16_t kKeyAltC = 0x2E00;
constexpr int16_t kKeyF1 = 0x3B00;
constexpr int16_t kKeyF2 = 0x3C00;
constexpr int16_t kKeyF3 = 0x3D00;
constexpr int16_t kKeyF4 = 0x3E00;
constexpr int16_t kKeyF10 = 0x4400;
constexpr int16_t kKeyHome = 0x4700;
constexpr int16_t kKeyUp = 0x4800;
constexpr int16_t kKeyPgUp = 0x4900;
constexpr int16_t kKeyLeft = 0x4B00;
constexpr int16_t kKeyCentre = 0x4C00;
constexpr int16_t kKeyRight = 0x4D00;
constexpr int16_t kKeyEnd = 0x4F00;
constexpr int16_t kKeyDown = 0x5000;
constexpr int16_t kKeyPgDn = 0x5100;
constexpr int16_t kKeyInsert = 0x5200;
constexpr int16_t kKeyDelete = 0x5300;
constexpr int16_t kKeyCtrlF4 = 0x6100;
constexpr int16_t kKeyAltF4 = 0x6B00;
constexpr int16_t kKeyCtrlLeft = 0x7300;
constexpr int16_t kKeyCtrlRight = 0x7400;
constexpr int16_t kKeyCtrlHome = 0x7700;
constexpr int16_t kKeyF11 = static_cast<int16_t>(0x8500);
constexpr int16_t kKeyF12 = static_cast<int16_t>(0x8600);
constexpr int16_t kKeyEuro = 213;  // 0xD5, the euro sign of code page 858

// One poll. key: the key code, 0 when nothing came. For a mouse press (key
// 0) button holds the buttons (1 left, 2 right) and row, col the screen
// position. An injected key leaves button, row and col as they were.
void GetKey(int16_t& key, int16_t& button, int16_t& row, int16_t& col);

// The next key; a mouse press comes as col * 256 + buttons * 64 + row.
void WaitKey(int16_t& key);

// Changes the exit-key table or the masking character. operations: letters
// applied in turn, D remove, A append, E empty, + save a copy, - restore it,
// H mask with "X", V show again. list: comma-separated hexadecimal codes,
// "xxxx" mapping a key to itself or "xxxx=yyyy" mapping xxxx to yyyy.
void KeyMap(const std::string& operations, const std::string& list);

// True when an item of the key list, read as KeyMap reads it, maps a key
// that can be pressed (not code 0) to code.
bool KeyListMapsTo(const std::string& list, int16_t code);

// Makes the next edited fields choice fields: "|value,description|...".
// The empty text turns them back into plain fields.
void SetChoices(const std::string& choices);

// Queues code page 850 bytes to be delivered by GetKey as typed keys.
void InjectKeys(const std::string& keys);

// The pop-ups behind the hot keys; each returns the text to be typed. Empty
// hooks give the empty text. idle runs once when a wait for keys begins
// (nothing typed ahead) and before a child program takes the terminal: the
// module lets go meanwhile of what it holds (read snapshots of its files).
struct KeyHooks {
  std::function<std::string()> calculator;
  std::function<std::string()> calendar;
  std::function<void()> idle;
};
KeyHooks& KeyHooksState();

enum class MouseMode : uint8_t { kNotProbed, kAbsent, kOff, kOn };

// Process-wide key input state.
struct KeyInput {
  std::string injected;
  MouseMode mouse = MouseMode::kNotProbed;
  bool calculator_running = false;
  bool calendar_running = false;
  std::vector<int16_t> key_from, key_to;  // exit-key table, entry i maps
  bool saved = false;                     // a copy was saved by "+"
  std::vector<int16_t> saved_from, saved_to;
  int16_t hide_char = 0;  // 0 or 88 ("X")
  std::string choice_list;
  // An event taken while waiting, handed to the next poll.
  bool has_pending = false;
  platform::InputEvent pending;
  bool idle_told = false;  // the idle hook ran for the wait going on
};
KeyInput& KeyInputState();
// Back to the start state, the hooks emptied too (tests).
void ResetKeyInputState();

// Waits, at most timeout_ms, until input may be there; the event (if any)
// stays queued for the next GetKey. Used by loops that poll GetKey.
void WaitForInput(int timeout_ms);

// Drops every key typed ahead (injected keys included).
void DiscardTypeAhead();

// Runs the idle hook (if any): the program is about to wait for something
// else than its own work, a child program for instance.
void GoingIdle();

}  // namespace ui
