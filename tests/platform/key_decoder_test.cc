#include "platform/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

std::vector<InputEvent> Decode(const std::string& bytes, bool flush = true) {
  KeyDecoderState state;
  std::vector<InputEvent> out;
  DecodeInput(state, bytes, out);
  if (flush) DecodeTimeout(state, out);
  return out;
}

struct ExtCase {
  const char* bytes;
  uint8_t scan;
  uint16_t modifiers;
};

class ExtendedKeys : public ::testing::TestWithParam<ExtCase> {};

TEST_P(ExtendedKeys, DecodeToScanCodeAndModifiers) {
  const ExtCase& c = GetParam();
  std::vector<InputEvent> out = Decode(c.bytes);
  ASSERT_EQ(out.size(), 1u) << "sequence " << c.bytes + 1;
  EXPECT_EQ(out[0].kind, InputEvent::kKey);
  EXPECT_EQ(out[0].ch, 0);
  EXPECT_EQ(out[0].scan, c.scan) << "sequence " << c.bytes + 1;
  EXPECT_EQ(out[0].modifiers, c.modifiers) << "sequence " << c.bytes + 1;
  EXPECT_FALSE(out[0].keypad);
}

INSTANTIATE_TEST_SUITE_P(
    FunctionKeys, ExtendedKeys,
    ::testing::Values(
        ExtCase{"\x1bOP", 0x3B, 0}, ExtCase{"\x1bOQ", 0x3C, 0},
        ExtCase{"\x1bOR", 0x3D, 0}, ExtCase{"\x1bOS", 0x3E, 0},
        ExtCase{"\x1b[11~", 0x3B, 0}, ExtCase{"\x1b[12~", 0x3C, 0},
        ExtCase{"\x1b[13~", 0x3D, 0}, ExtCase{"\x1b[14~", 0x3E, 0},
        ExtCase{"\x1b[15~", 0x3F, 0}, ExtCase{"\x1b[17~", 0x40, 0},
        ExtCase{"\x1b[18~", 0x41, 0}, ExtCase{"\x1b[19~", 0x42, 0},
        ExtCase{"\x1b[20~", 0x43, 0}, ExtCase{"\x1b[21~", 0x44, 0},
        ExtCase{"\x1b[23~", 0x85, 0}, ExtCase{"\x1b[24~", 0x86, 0},
        ExtCase{"\x1b[[A", 0x3B, 0}, ExtCase{"\x1b[[E", 0x3F, 0}));

INSTANTIATE_TEST_SUITE_P(
    EditingKeys, ExtendedKeys,
    ::testing::Values(
        ExtCase{"\x1b[A", 0x48, 0}, ExtCase{"\x1b[B", 0x50, 0},
        ExtCase{"\x1b[C", 0x4D, 0}, ExtCase{"\x1b[D", 0x4B, 0},
        ExtCase{"\x1bOA", 0x48, 0}, ExtCase{"\x1bOB", 0x50, 0},
        ExtCase{"\x1bOC", 0x4D, 0}, ExtCase{"\x1bOD", 0x4B, 0},
        ExtCase{"\x1b[H", 0x47, 0}, ExtCase{"\x1b[F", 0x4F, 0},
        ExtCase{"\x1bOH", 0x47, 0}, ExtCase{"\x1bOF", 0x4F, 0},
        ExtCase{"\x1b[1~", 0x47, 0}, ExtCase{"\x1b[4~", 0x4F, 0},
        ExtCase{"\x1b[7~", 0x47, 0}, ExtCase{"\x1b[8~", 0x4F, 0},
        ExtCase{"\x1b[2~", 0x52, 0}, ExtCase{"\x1b[3~", 0x53, 0},
        ExtCase{"\x1b[5~", 0x49, 0}, ExtCase{"\x1b[6~", 0x51, 0},
        ExtCase{"\x1b[E", 0x4C, 0}, ExtCase{"\x1bOE", 0x4C, 0},
        ExtCase{"\x1b[Z", 0x0F, kShift}));

INSTANTIATE_TEST_SUITE_P(
    ModifiedKeys, ExtendedKeys,
    ::testing::Values(
        ExtCase{"\x1b[1;2P", 0x3B, kShift},
        ExtCase{"\x1b[1;5P", 0x3B, kLeftCtrl},
        ExtCase{"\x1b[1;3S", 0x3E, kLeftAlt},
        ExtCase{"\x1b[15;5~", 0x3F, kLeftCtrl},
        ExtCase{"\x1b[21;2~", 0x44, kShift},
        ExtCase{"\x1b[24;3~", 0x86, kLeftAlt},
        ExtCase{"\x1b[23;4~", 0x85, kShift | kLeftAlt},
        ExtCase{"\x1b[1;3A", 0x48, kLeftAlt},
        ExtCase{"\x1b[1;5H", 0x47, kLeftCtrl},
        ExtCase{"\x1b[1;5C", 0x4D, kLeftCtrl},
        ExtCase{"\x1b[1;5D", 0x4B, kLeftCtrl},
        ExtCase{"\x1b[1;6D", 0x4B, kShift | kLeftCtrl},
        ExtCase{"\x1b[1;7D", 0x4B, kLeftAlt | kLeftCtrl},
        ExtCase{"\x1b[1;8D", 0x4B, kShift | kLeftAlt | kLeftCtrl},
        ExtCase{"\x1b[3;5~", 0x53, kLeftCtrl},
        ExtCase{"\x1bO2P", 0x3B, kShift},
        ExtCase{"\x1b\x1b[A", 0x48, kLeftAlt},
        ExtCase{"\x1b\x1bOP", 0x3B, kLeftAlt}));

INSTANTIATE_TEST_SUITE_P(
    AltWithKey, ExtendedKeys,
    ::testing::Values(
        ExtCase{"\x1bx", 0x2D, kLeftAlt}, ExtCase{"\x1b" "c", 0x2E, kLeftAlt},
        ExtCase{"\x1b" "e", 0x12, kLeftAlt}, ExtCase{"\x1bq", 0x10, kLeftAlt},
        ExtCase{"\x1bp", 0x19, kLeftAlt}, ExtCase{"\x1b" "a", 0x1E, kLeftAlt},
        ExtCase{"\x1bl", 0x26, kLeftAlt}, ExtCase{"\x1bz", 0x2C, kLeftAlt},
        ExtCase{"\x1bm", 0x32, kLeftAlt}, ExtCase{"\x1bX", 0x2D, kLeftAlt | kShift},
        ExtCase{"\x1b-", 0x0C, kLeftAlt}, ExtCase{"\x1b\x7f", 0x0E, kLeftAlt},
        ExtCase{"\x1b\r", 0x1C, kLeftAlt}));

TEST(KeyDecoder, EveryLetterHasItsQwertyScanCode) {
  const std::string letters = "abcdefghijklmnopqrstuvwxyz";
  const uint8_t scans[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                             0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                             0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (size_t k = 0; k < letters.size(); ++k) {
    EXPECT_EQ(ScanCodeForChar(static_cast<uint8_t>(letters[k])), scans[k]) << letters[k];
    EXPECT_EQ(ScanCodeForChar(static_cast<uint8_t>(letters[k] - 32)), scans[k]);
  }
  for (int d = 1; d <= 9; ++d) EXPECT_EQ(ScanCodeForChar('0' + d), 1 + d);
  EXPECT_EQ(ScanCodeForChar('0'), 0x0B);
}

TEST(KeyDecoder, PlainCharactersAndControlKeys) {
  std::vector<InputEvent> out = Decode("aZ \x7f\x08\r\n\t\x03\x16");
  ASSERT_EQ(out.size(), 10u);
  EXPECT_EQ(out[0].ch, 'a');
  EXPECT_EQ(out[0].scan, 0x1E);
  EXPECT_EQ(out[1].ch, 'Z');
  EXPECT_EQ(out[1].modifiers, kShift);
  EXPECT_EQ(out[2].ch, ' ');
  EXPECT_EQ(out[3].ch, 8);  // DEL is Backspace
  EXPECT_EQ(out[4].ch, 8);
  EXPECT_EQ(out[5].ch, 13);
  EXPECT_EQ(out[6].ch, 13);  // LF too
  EXPECT_EQ(out[7].ch, 9);
  EXPECT_EQ(out[8].ch, 3);  // Ctrl+C arrives as a character
  EXPECT_EQ(out[8].modifiers, kLeftCtrl);
  EXPECT_EQ(out[9].ch, 22);
}

TEST(KeyDecoder, KeypadInApplicationMode) {
  std::vector<InputEvent> out = Decode("\x1bOp\x1bOq\x1bOu\x1bOy\x1bOM");
  ASSERT_EQ(out.size(), 5u);
  EXPECT_TRUE(out[0].keypad);
  EXPECT_EQ(out[0].scan, 0x52);
  EXPECT_EQ(out[0].ch, '0');
  EXPECT_EQ(out[1].scan, 0x4F);
  EXPECT_EQ(out[2].scan, 0x4C);
  EXPECT_EQ(out[3].scan, 0x49);
  EXPECT_EQ(out[3].ch, '9');
  EXPECT_EQ(out[4].ch, 13);
  EXPECT_TRUE(out[4].keypad);
}

TEST(KeyDecoder, AltKeypadDigitsInEveryForm) {
  // Alt+1 6 5 as terminals send it: Esc-prefixed digits, an Esc-prefixed
  // application keypad key, and the keypad key with a modifier parameter.
  std::vector<InputEvent> out = Decode("\x1b" "1\x1b\x1bOv\x1bO3u");
  ASSERT_EQ(out.size(), 3u);
  const uint8_t want[3] = {0x4F, 0x4D, 0x4C};
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(out[k].keypad) << k;
    EXPECT_EQ(out[k].ch, 0) << k;
    EXPECT_EQ(out[k].scan, want[k]) << k;
    EXPECT_EQ(out[k].modifiers & kLeftAlt, kLeftAlt) << k;
  }
}

TEST(KeyDecoder, SgrMouse) {
  std::vector<InputEvent> out =
      Decode("\x1b[<0;12;5M\x1b[<0;12;5m\x1b[<2;80;25M\x1b[<64;1;1M\x1b[<1;3;3M\x1b[<32;4;4M");
  ASSERT_EQ(out.size(), 2u);  // release, wheel, middle and motion dropped
  EXPECT_EQ(out[0].kind, InputEvent::kMouse);
  EXPECT_EQ(out[0].buttons, 1);
  EXPECT_EQ(out[0].row, 5);
  EXPECT_EQ(out[0].col, 12);
  EXPECT_EQ(out[1].buttons, 2);
  EXPECT_EQ(out[1].row, 25);
  EXPECT_EQ(out[1].col, 80);
}

TEST(KeyDecoder, OldStyleMouseIsNotLeakedAsText) {
  std::vector<InputEvent> out = Decode(std::string("\x1b[M") + char(32) + char(33 + 9) + char(33 + 2));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].kind, InputEvent::kMouse);
  EXPECT_EQ(out[0].col, 10);
  EXPECT_EQ(out[0].row, 3);
}

TEST(KeyDecoder, Utf8CharactersBecomeCodePage850) {
  std::vector<InputEvent> out = Decode("\xC3\xA0\xC3\x91\xE2\x82\xAC\xE4\xB8\xAD\xC3\xA7");
  ASSERT_EQ(out.size(), 4u);  // the Chinese character has no form: dropped
  EXPECT_EQ(out[0].ch, 0x85);  // à
  EXPECT_EQ(out[1].ch, 0xA5);  // Ñ
  EXPECT_EQ(out[2].ch, 0xD5);  // euro
  EXPECT_EQ(out[3].ch, 0x87);  // ç
  EXPECT_EQ(out[3].scan, 0);
}

TEST(KeyDecoder, BrokenUtf8IsDropped) {
  std::vector<InputEvent> out = Decode("\xA0x\xC3y\xFF");
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].ch, 'x');
  EXPECT_EQ(out[1].ch, 'y');
}

TEST(KeyDecoder, LoneEscWaitsForTheTimeout) {
  KeyDecoderState state;
  std::vector<InputEvent> out;
  DecodeInput(state, "\x1b", out);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(DecodePending(state));
  DecodeTimeout(state, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].ch, 27);
  EXPECT_FALSE(DecodePending(state));
}

TEST(KeyDecoder, EscFollowedBySequenceIsNotEsc) {
  KeyDecoderState state;
  std::vector<InputEvent> out;
  DecodeInput(state, "\x1b", out);
  DecodeInput(state, "[", out);
  DecodeInput(state, "1", out);
  DecodeInput(state, "5", out);
  DecodeInput(state, ";", out);
  DecodeInput(state, "2", out);
  EXPECT_TRUE(out.empty());
  DecodeInput(state, "~x", out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].scan, 0x3F);
  EXPECT_EQ(out[0].modifiers, kShift);
  EXPECT_EQ(out[1].ch, 'x');
  EXPECT_FALSE(DecodePending(state));
}

TEST(KeyDecoder, SplitUtf8AndMouse) {
  KeyDecoderState state;
  std::vector<InputEvent> out;
  DecodeInput(state, "\xC3", out);
  EXPECT_TRUE(out.empty());
  DecodeInput(state, "\xA9\x1b[<0;3", out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].ch, 0x82);  // é
  DecodeInput(state, ";4M", out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].kind, InputEvent::kMouse);
  EXPECT_EQ(out[1].col, 3);
  EXPECT_EQ(out[1].row, 4);
}

TEST(KeyDecoder, TwoEscapesAreTwoEscKeys) {
  std::vector<InputEvent> out = Decode("\x1b\x1b");
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].ch, 27);
  EXPECT_EQ(out[1].ch, 27);
}

TEST(KeyDecoder, IncompleteSequenceAtTimeoutIsDropped) {
  std::vector<InputEvent> out = Decode("\x1b[1;5");
  EXPECT_TRUE(out.empty());
}

TEST(KeyDecoder, UnknownSequencesAreSwallowedWhole) {
  // Focus reports, private replies, an unknown tilde key, an unknown SS3
  // key and a long garbage sequence: none may leak characters.
  std::vector<InputEvent> out =
      Decode("\x1b[I\x1b[O\x1b[?1;2c\x1b[99~\x1bOz\x1b[>0;95;0c\x1b[200~a");
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].ch, 'a');
}

TEST(KeyDecoder, RunawaySequenceDoesNotGrowWithoutBound) {
  KeyDecoderState state;
  std::vector<InputEvent> out;
  DecodeInput(state, "\x1b[", out);
  for (int k = 0; k < 1000; ++k) DecodeInput(state, "1;", out);
  EXPECT_LT(state.pending.size(), 300u);
}

bool SameEvents(const std::vector<InputEvent>& a, const std::vector<InputEvent>& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (a[k].kind != b[k].kind || a[k].ch != b[k].ch || a[k].scan != b[k].scan ||
        a[k].modifiers != b[k].modifiers || a[k].keypad != b[k].keypad ||
        a[k].buttons != b[k].buttons || a[k].row != b[k].row || a[k].col != b[k].col) {
      return false;
    }
  }
  return true;
}

TEST(KeyDecoder, PiecesDecodeLikeTheWhole) {
  const std::string stream =
      "ab\x1b[15;5~\x1bOP\xC3\xA9\x1b[<0;7;9M\x1bx\x1b\x1b[A\x1b[[B\r\x1bO3u"
      "\xE2\x82\xAC\x1b[3~\x1b[MA!!\x1b[?1;2c\x7fz";
  std::vector<InputEvent> whole = Decode(stream);
  ASSERT_EQ(whole.size(), 15u);
  for (size_t cut = 1; cut < 7; ++cut) {
    KeyDecoderState state;
    std::vector<InputEvent> out;
    for (size_t at = 0; at < stream.size(); at += cut) {
      DecodeInput(state, std::string_view(stream).substr(at, cut), out);
    }
    DecodeTimeout(state, out);
    EXPECT_TRUE(SameEvents(out, whole)) << "pieces of " << cut;
  }
}

TEST(KeyDecoder, RandomBytesNeverYieldEmptyKeys) {
  uint32_t seed = 12345;
  KeyDecoderState state;
  std::vector<InputEvent> out;
  for (int round = 0; round < 2000; ++round) {
    std::string chunk;
    for (int k = 0; k < 16; ++k) {
      seed = seed * 1103515245u + 12345u;
      // Mostly the bytes sequences are made of, to reach deep states.
      const char pool[] = "\x1b[O;<0123456789~ABCDHMPZmpu\xC3\xE2\x82\xA9";
      chunk.push_back((seed >> 24) % 3 == 0 ? static_cast<char>(seed >> 16)
                                            : pool[(seed >> 16) % (sizeof pool - 1)]);
    }
    DecodeInput(state, chunk, out);
    if (round % 7 == 0) DecodeTimeout(state, out);
    ASSERT_LE(state.pending.size(), 256u);
  }
  for (const InputEvent& ev : out) {
    if (ev.kind == InputEvent::kKey) {
      EXPECT_FALSE(ev.ch == 0 && ev.scan == 0);
    }
    if (ev.kind == InputEvent::kMouse) {
      EXPECT_GE(ev.row, 1);
      EXPECT_GE(ev.col, 1);
      EXPECT_TRUE(ev.buttons == 1 || ev.buttons == 2);
    }
  }
}

}  // namespace
}  // namespace platform
