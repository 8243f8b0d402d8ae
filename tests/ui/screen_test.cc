// Colours, window-relative drawing, scrolling and the message box, read
// back from the headless screen.

#include <gtest/gtest.h>

#include "tests/support/ui_fixture.h"
#include "ui/notices.h"

namespace {

using testing_support::UiTest;

class ColourTest : public UiTest {};

TEST_F(ColourTest, LetterCodesSelectPairsOfTheDefaultTable) {
  ui::SetColour("h");
  EXPECT_EQ(platform::CurrentAttribute(), 0x0F);
  ui::SetColour("n");
  EXPECT_EQ(platform::CurrentAttribute(), 0x07);
  EXPECT_EQ(ui::ScreenState().current_colour, 1);
  ui::SetColour("rn");
  EXPECT_EQ(ui::ScreenState().current_colour, 3);
  ui::SetColour("U");
  EXPECT_EQ(ui::ScreenState().current_colour, 4);
  ui::SetColour("ru");  // "U" wins over "R"
  EXPECT_EQ(ui::ScreenState().current_colour, 4);
  ui::SetColour("r");
  EXPECT_EQ(ui::ScreenState().current_colour, 2);
  EXPECT_EQ(platform::CurrentAttribute(), 0x70);
}

TEST_F(ColourTest, PlusAndMinusNestAndAnEmptyStackGivesIndexZero) {
  ui::SetColour("n");
  ui::SetColour("+rh");
  EXPECT_EQ(ui::ScreenState().current_colour, 2);
  ui::SetColour("+u");
  EXPECT_EQ(ui::ScreenState().current_colour, 4);
  ui::SetColour("-");
  EXPECT_EQ(ui::ScreenState().current_colour, 2);
  ui::SetColour("-");
  EXPECT_EQ(ui::ScreenState().current_colour, 1);
  EXPECT_EQ(platform::CurrentAttribute(), 0x07);
  EXPECT_TRUE(ui::ScreenState().colour_stack.empty());
  ui::SetColour("-");
  EXPECT_EQ(ui::ScreenState().current_colour, 0);
  EXPECT_EQ(platform::CurrentAttribute(), 0x0F);
}

TEST_F(ColourTest, BlankCodeChangesNothing) {
  ui::SetColour("u");
  ui::SetColour("   ");
  ui::SetColour("");
  EXPECT_EQ(ui::ScreenState().current_colour, 4);
  EXPECT_TRUE(ui::ScreenState().colour_stack.empty());
}

TEST_F(ColourTest, ColourStringFromTheSettingsChangesTheirPairs) {
  config::BuildColourTable("15001501070400070007", config::SettingsState().colour_table);
  ui::SetColour("n");
  EXPECT_EQ(platform::CurrentAttribute(), 0x1F);  // white on blue
  ui::SetColour("r");
  EXPECT_EQ(platform::CurrentAttribute(), 0x47);  // light grey on red
  ui::SetColour("h");
  EXPECT_EQ(platform::CurrentAttribute(), 0x0F);
  ui::SetColour("rn");
  EXPECT_EQ(platform::CurrentAttribute(), 0x70);
}

class WindowDrawingTest : public UiTest {};

TEST_F(WindowDrawingTest, LocateIsRelativeToTheCurrentWindowFrame) {
  ui::WinLocate(1, 1);
  EXPECT_EQ(Cursor(), std::make_pair(1, 1));
  EXPECT_EQ(ui::WinFirstRow(), 1);
  EXPECT_EQ(ui::WinFirstCol(), 1);
  EXPECT_EQ(ui::WinLastCol(), 80);

  ui::WinPush(10, 20, 12, 40);
  ui::WinLocate(1, 1);
  EXPECT_EQ(Cursor(), std::make_pair(11, 21));
  EXPECT_EQ(ui::WinFirstRow(), 11);
  EXPECT_EQ(ui::WinFirstCol(), 21);
  EXPECT_EQ(ui::WinLastCol(), 39);
  // Off the screen: that coordinate of the cursor stays.
  ui::WinLocate(30, 2);
  EXPECT_EQ(Cursor(), std::make_pair(11, 22));
  ui::WinPop();
}

TEST_F(WindowDrawingTest, FramesUseCodePage850BoxBytesAndBlankTheInterior) {
  platform::SetCursor(3, 6);
  platform::WriteText("xxxxxx");
  ui::WinFrame(1);  // no window yet: nothing drawn
  EXPECT_EQ(ScreenAt(3, 6, 6), "xxxxxx");

  ui::WinPush(2, 5, 4, 10);
  ui::SetColour("r");
  ui::WinFrame(1);
  EXPECT_EQ(ScreenAt(2, 5, 6), "\xDA\xC4\xC4\xC4\xC4\xBF");
  EXPECT_EQ(ScreenAt(3, 5, 6), "\xB3    \xB3");
  EXPECT_EQ(ScreenAt(4, 5, 6), "\xC0\xC4\xC4\xC4\xC4\xD9");
  EXPECT_EQ(AttrAt(3, 7), 0x70);
  ui::WinFrame(2);
  EXPECT_EQ(ScreenAt(2, 5, 6), "\xC9\xCD\xCD\xCD\xCD\xBB");
  EXPECT_EQ(ScreenAt(3, 5, 6), "\xBA    \xBA");
  EXPECT_EQ(ScreenAt(4, 5, 6), "\xC8\xCD\xCD\xCD\xCD\xBC");
  ui::WinFrame(0);
  EXPECT_EQ(ScreenAt(2, 5, 6), "      ");
  // The glyphs reach a UTF-8 terminal as box drawing characters.
  EXPECT_EQ(platform::Cp850ToUnicode(0xDA), U'\u250C');
  EXPECT_EQ(platform::Cp850ToUnicode(0xBC), U'\u255D');
  ui::WinPop();
}

TEST_F(WindowDrawingTest, ScrollTakesZeroBasedCoordinatesAndStaysInside) {
  for (int r = 1; r <= 6; ++r) {
    platform::SetCursor(r, 1);
    platform::WriteText(std::string(8, static_cast<char>('0' + r)));
  }
  // Screen rows 2-4, columns 2-6.
  ui::WinScroll(1, 1, 3, 5, 1);
  EXPECT_EQ(ScreenAt(1, 1, 8), "11111111");
  EXPECT_EQ(ScreenAt(2, 1, 8), "23333322");
  EXPECT_EQ(ScreenAt(3, 1, 8), "34444433");
  EXPECT_EQ(ScreenAt(4, 1, 8), "4     44");
  EXPECT_EQ(ScreenAt(5, 1, 8), "55555555");
  ui::WinScroll(1, 1, 3, 5, -2);
  EXPECT_EQ(ScreenAt(2, 1, 8), "2     22");
  EXPECT_EQ(ScreenAt(4, 1, 8), "43333344");
  // Partly off the screen: clipped, no harm.
  ui::WinScroll(20, 70, 40, 90, 3);
}

TEST_F(WindowDrawingTest, ClearScreenBlanksInTheCurrentColour) {
  platform::SetCursor(25, 80);
  platform::WriteText("z");
  ui::SetColour("u");
  ui::ClearScreen();
  EXPECT_EQ(ScreenAt(25, 75, 6), "      ");
  EXPECT_EQ(AttrAt(25, 80), 0x70);
  EXPECT_EQ(Cursor(), std::make_pair(1, 1));
}

class MessageTest : public UiTest {};

TEST_F(MessageTest, OneLineMessageIsCentredAroundItsRow) {
  ui::SetColour("n");
  std::string text(36, 'm');
  ui::ShowMessage(12, text);
  const ui::Screen& s = ui::ScreenState();
  EXPECT_EQ(s.win_depth, 1);
  EXPECT_EQ(s.win_top, 9);
  EXPECT_EQ(s.win_bottom, 11);
  EXPECT_EQ(s.win_left, 21);
  EXPECT_EQ(s.win_right, 60);
  EXPECT_EQ(ScreenAt(9, 21, 1), "\xDA");
  EXPECT_EQ(ScreenAt(11, 60, 1), "\xD9");
  EXPECT_EQ(ScreenAt(10, 21, 40), "\xB3 " + text + " \xB3");
  EXPECT_EQ(AttrAt(10, 23), 0x70);
  // The caller's colour is back.
  EXPECT_EQ(s.current_colour, 1);
  EXPECT_EQ(platform::CurrentAttribute(), 0x07);
  ui::WinPop();
  EXPECT_EQ(ScreenAt(10, 21, 40), std::string(40, ' '));
}

TEST_F(MessageTest, ThreeLinesAtTheFootStayOnTheScreen) {
  std::string text;
  for (int i = 0; i < 3; ++i) text += std::string(70, static_cast<char>('a' + i)) + " ";
  ui::ShowMessage(24, text);
  EXPECT_EQ(ui::ScreenState().win_top, 20);
  EXPECT_EQ(ui::ScreenState().win_bottom, 24);
  EXPECT_EQ(ScreenAt(21, ui::ScreenState().win_left + 2, 3), "aaa");
  EXPECT_EQ(ScreenAt(23, ui::ScreenState().win_left + 2, 3), "ccc");
  ui::WinPop();
}

TEST_F(MessageTest, MessageTooTallIsNotShownButPopStaysBalanced) {
  ui::WinPush(5, 5, 8, 30);
  ui::WinFrame(1);
  std::string before = ScreenAt(12, 1, 80);
  std::string text;
  for (int i = 0; i < 30; ++i) text += std::string(75, 'q') + " ";
  ui::ShowMessage(12, text);
  EXPECT_EQ(ScreenAt(12, 1, 80), before);
  ui::WinPop();
  // The window underneath is still the current one.
  EXPECT_EQ(ui::ScreenState().win_depth, 1);
  EXPECT_EQ(ui::ScreenState().win_top, 5);
  ui::WinPop();
}

TEST_F(MessageTest, ControlBytesAreNotWrittenRaw) {
  ui::ShowMessage(12, "ab\x07\x1B" "cd");
  int left = ui::ScreenState().win_left;
  EXPECT_EQ(ScreenAt(10, left + 2, 4), "abcd");
  ui::WinPop();
}

TEST_F(MessageTest, LockNoticeComesAndGoes) {
  ui::ShowLockNotice("Fitxer bloquejat");
  EXPECT_EQ(ui::ScreenState().win_bottom, 23);
  EXPECT_NE(ScreenAt(22, 1, 80).find("Fitxer bloquejat"), std::string::npos);
  ui::RemoveNotice();
  EXPECT_EQ(ScreenAt(22, 1, 80), std::string(80, ' '));
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
}

TEST_F(MessageTest, WaitForAnyKeyDropsTypeAheadFirst) {
  term().PushText("abc");
  ui::InjectKeys("xyz");
  ui::WaitForAnyKey();
  // Everything typed before was dropped, so only the dry script's Esc came.
  EXPECT_EQ(term().Pending(), 0u);
  EXPECT_EQ(term().DryEscapes(), 1);
  EXPECT_TRUE(ui::KeyInputState().injected.empty());
}

}  // namespace
