// Turns the bytes a terminal sends for keys and mouse presses into PC-style
// input events. A pure decoder: the caller keeps the state between calls,
// feeds whatever bytes arrived and, when no byte followed for a short while
// (about 50 ms), calls DecodeTimeout so that a lone Esc is told apart from
// the start of a sequence. Sequences it does not know are swallowed whole,
// never delivered as characters. Characters arrive as UTF-8 and leave as
// code page 850 bytes; those the code page lacks are dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"

namespace platform {

struct KeyDecoderState {
  std::string pending;  // an incomplete sequence or character
};

// PC scan codes used by the decoder and the headless script.
namespace scan {
constexpr uint8_t kEsc = 0x01, kBackspace = 0x0E, kTab = 0x0F, kEnter = 0x1C;
constexpr uint8_t kF1 = 0x3B, kF10 = 0x44, kF11 = 0x85, kF12 = 0x86;
constexpr uint8_t kHome = 0x47, kUp = 0x48, kPgUp = 0x49, kLeft = 0x4B;
constexpr uint8_t kCentre = 0x4C, kRight = 0x4D, kEnd = 0x4F, kDown = 0x50;
constexpr uint8_t kPgDn = 0x51, kInsert = 0x52, kDelete = 0x53;
}  // namespace scan

// Scan code of the US keyboard key that types this ASCII character (0 when
// none, e.g. for bytes above 127).
uint8_t ScanCodeForChar(uint8_t ch);

// Appends the events completed by these bytes; an incomplete tail stays in
// the state for the next call.
void DecodeInput(KeyDecoderState& state, std::string_view bytes,
                 std::vector<InputEvent>& out);
// No further byte came: a pending lone Esc becomes the Esc key, anything
// else pending is dropped.
void DecodeTimeout(KeyDecoderState& state, std::vector<InputEvent>& out);
inline bool DecodePending(const KeyDecoderState& state) {
  return !state.pending.empty();
}

}  // namespace platform
