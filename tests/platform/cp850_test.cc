#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/console.h"

namespace platform {
namespace {

TEST(Cp850, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  bool ok = false;
  EXPECT_EQ(Utf8ToCp850(Cp850ToUtf8(all), &ok), all);
  EXPECT_TRUE(ok);
}

TEST(Cp850, TheHighHalfMapsToDistinctCharacters) {
  std::set<char32_t> seen;
  for (int b = 0x80; b < 256; ++b) {
    char32_t cp = Cp850ToUnicode(static_cast<uint8_t>(b));
    EXPECT_GE(cp, 0xA0u) << b;
    EXPECT_TRUE(seen.insert(cp).second) << "duplicate for byte " << b;
    EXPECT_EQ(UnicodeToCp850(cp), b);
  }
}

TEST(Cp850, KnownLetters) {
  EXPECT_EQ(Cp850ToUnicode(0xB7), U'\u00C0');  // À
  EXPECT_EQ(Cp850ToUnicode(0x90), U'\u00C9');  // É
  EXPECT_EQ(Cp850ToUnicode(0xA5), U'\u00D1');  // Ñ
  EXPECT_EQ(Cp850ToUnicode(0x87), U'\u00E7');  // ç
  EXPECT_EQ(Cp850ToUnicode(0xA1), U'\u00ED');  // í
  EXPECT_EQ(Cp850ToUnicode(0xD5), U'\u20AC');  // the euro replaces dotless i
  EXPECT_EQ(Cp850ToUnicode(0xC4), U'\u2500');  // ─
  EXPECT_EQ(Cp850ToUnicode(0xBA), U'\u2551');  // ║
  EXPECT_EQ(Cp850ToUnicode(0xFF), U'\u00A0');
  EXPECT_EQ(Cp850ToUtf8("P\xB7GINA "), "P\xC3\x80GINA ");
  EXPECT_EQ(Utf8ToCp850("RELACI\xC3\x93"), "RELACI\xE0");
}

TEST(Cp850, ControlBytesStayControlsButShowAsGlyphs) {
  EXPECT_EQ(Cp850ToUnicode('\n'), U'\n');
  EXPECT_EQ(Cp850ToUtf8("a\tb\r\n"), "a\tb\r\n");
  EXPECT_EQ(Cp850Glyph(0x10), U'\u25BA');
  EXPECT_EQ(Cp850Glyph(0x11), U'\u25C4');
  EXPECT_EQ(Cp850Glyph(0x7F), U'\u2302');
  EXPECT_EQ(Cp850Glyph(0xF0), U'-');  // soft hyphen would be invisible
  for (int b = 0; b < 256; ++b) {
    char32_t g = Cp850Glyph(static_cast<uint8_t>(b));
    EXPECT_FALSE(g < 0x20 || (g >= 0x7F && g < 0xA0)) << "byte " << b;
  }
  EXPECT_EQ(UnicodeToCp850(U'\u25C4'), 0x11);  // a pasted glyph comes back
}

TEST(Cp850, UnrepresentableCharactersAreReplacedAndReported) {
  bool ok = true;
  EXPECT_EQ(Utf8ToCp850("a\xE4\xB8\xAD" "b\xF0\x9F\x98\x80", &ok), "a?b?");
  EXPECT_FALSE(ok);
  EXPECT_EQ(Utf8ToCp850("x\xE4\xB8\xAD"), "x?");
  EXPECT_EQ(UnicodeToCp850(U'\u0131'), -1);  // dotless i lost its byte
}

TEST(Cp850, BrokenUtf8IsReplacedNotTrusted) {
  bool ok = true;
  // A lone continuation, a truncated sequence, an overlong slash, a surrogate.
  EXPECT_EQ(Utf8ToCp850("\x80", &ok), "?");
  EXPECT_FALSE(ok);
  EXPECT_EQ(Utf8ToCp850("\xC3"), "?");
  EXPECT_EQ(Utf8ToCp850("\xC0\xAF"), "??");
  EXPECT_EQ(Utf8ToCp850("\xED\xA0\x80"), "???");
  ok = false;
  EXPECT_EQ(Utf8ToCp850("", &ok), "");
  EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace platform
