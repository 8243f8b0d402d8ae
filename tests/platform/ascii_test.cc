#include "platform/ascii.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Ascii, UpperCasingTouchesOnlyAToZ) {
  EXPECT_EQ(UpperAscii("Dat caracter_az{}`@"), "DAT CARACTER_AZ{}`@");
  EXPECT_EQ(UpperAscii("\x87\xA4\xE9"), "\x87\xA4\xE9");  // ç ñ ú stay for FoldText
  EXPECT_EQ(UpperAscii('q'), 'Q');
}

TEST(Ascii, BlankRuleKeepsTabsAndLineEnds) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimTrailingBlanks("  a b  "), "  a b");
  EXPECT_EQ(TrimBlanks("\ta\r\n "), "\ta\r\n");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimTrailingBlanks(""), "");
}

TEST(Ascii, WhiteSpaceRuleTakesTabsAndLineEndsToo) {
  EXPECT_EQ(TrimWhiteSpace(" \tNomMenu \t"), "NomMenu");
  EXPECT_EQ(TrimTrailingWhiteSpace(" ok\r\n\t \n"), " ok");
  EXPECT_EQ(TrimWhiteSpace("\r\n\t "), "");
}

TEST(Ascii, ControlRuleTakesEveryControlByteAtTheEnds) {
  EXPECT_EQ(TrimControls("\x01 PDF\t\x7f\x1b"), "PDF");
  EXPECT_EQ(TrimControls("LP\tT1"), "LP\tT1");
  EXPECT_EQ(TrimControls("\xff\x80"), "\xff\x80");  // code page 850 letters stay
  EXPECT_EQ(TrimControls(std::string_view("\0\0", 2)), "");
}

}  // namespace
}  // namespace platform
