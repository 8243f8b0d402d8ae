#include "values/digits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

using values::PackDigits;
using values::UnpackDigits;
using values::ZeroPad;

struct PackCase {
  std::string text;
  std::string packed;
};

TEST(PackDigitsTest, PacksTwoDigitsPerByte) {
  const PackCase cases[] = {
      {"20261207", "\x94\x9A\x8C\x87"},
      {"0101", "\x81\x81"},
      {"123", "\x8C\x9E"},      // lone last digit lands in the tens place
      {"  12", "\x80\x8C"},     // blanks right-aligned away
      {"0012", "\x80\x8C"},
      {"1 2 ", "\x81\x82"},     // inner blank counts as 0
      {"ab", "\x80"},           // non-digits count as 0
      {"9", "\xDA"},
      {"99", "\xE3"},
      {"", ""},
      {"    ", "\x80\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PackDigits(c.text), c.packed) << "text '" << c.text << "'";
  }
}

TEST(PackDigitsTest, UnpackTakesLowSevenBitsAndLastTwoDigits) {
  EXPECT_EQ(UnpackDigits("\x94\x9A\x8C\x87"), "20261207");
  EXPECT_EQ(UnpackDigits("\x89"), "09");
  EXPECT_EQ(UnpackDigits("\xFF"), "27");  // 127 keeps "27"
  EXPECT_EQ(UnpackDigits(std::string(1, '\0')), "00");
  EXPECT_EQ(UnpackDigits(""), "");
}

TEST(PackDigitsTest, RoundTripsAndKeepsNumericOrder) {
  std::string previous;
  for (int n = 0; n <= 9999; ++n) {
    const std::string text = ZeroPad(n, 4);
    const std::string packed = PackDigits(text);
    ASSERT_EQ(packed.size(), 2u);
    ASSERT_EQ(UnpackDigits(packed), text);
    // Keys compare as unsigned bytes.
    if (!previous.empty()) {
      ASSERT_LT(previous.compare(packed), 0) << text;
    }
    previous = packed;
  }
}

TEST(ZeroPadTest, PadsCutsAndDropsTheSign) {
  EXPECT_EQ(ZeroPad(7, 2), "07");
  EXPECT_EQ(ZeroPad(-5, 2), "05");
  EXPECT_EQ(ZeroPad(2026, 2), "26");
  EXPECT_EQ(ZeroPad(0, 3), "000");
  EXPECT_EQ(ZeroPad(123, 0), "");
  EXPECT_EQ(ZeroPad(123, -4), "");
  EXPECT_EQ(ZeroPad(std::numeric_limits<int64_t>::min(), 3), "808");
  EXPECT_EQ(ZeroPad(42, 6), "000042");
}

}  // namespace
