#include "platform/console.h"

#include <gtest/gtest.h>

#include "platform/headless.h"
#include "platform/system.h"

namespace platform {
namespace {

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { term_ = &InstallHeadless(); }
  void TearDown() override { ResetConsoleState(); }
  std::string Row(int row) {
    Refresh();
    return term_->Text(row);
  }
  HeadlessTerminal* term_ = nullptr;
};

TEST_F(ConsoleTest, StartsAsAStandardConsole) {
  EXPECT_EQ(ConsoleRows(), 25);
  EXPECT_EQ(ConsoleCols(), 80);
  EXPECT_EQ(ReadCell(1, 1), (Cell{' ', 0x07}));
  EXPECT_TRUE(InsertToggle());
  EXPECT_EQ(CurrentAttribute(), 0x07);
}

TEST_F(ConsoleTest, WithoutAnInstalledTerminalAHeadlessOneIsUsed) {
  ResetConsoleState();
  EXPECT_EQ(ConsoleRows(), 25);
  EXPECT_EQ(ConsoleCols(), 80);
  EXPECT_NE(CurrentHeadless(), nullptr);
}

TEST_F(ConsoleTest, CursorCoordinateOutsideTheScreenIsLeftUnchanged) {
  SetCursor(5, 10);
  SetCursor(0, 20);
  int row = 0, col = 0;
  GetCursor(row, col);
  EXPECT_EQ(row, 5);
  EXPECT_EQ(col, 20);
  SetCursor(7, 81);
  GetCursor(row, col);
  EXPECT_EQ(row, 7);
  EXPECT_EQ(col, 20);
  SetCursor(26, -1);
  GetCursor(row, col);
  EXPECT_EQ(row, 7);
  EXPECT_EQ(col, 20);
  SetCursor(25, 80);
  GetCursor(row, col);
  EXPECT_EQ(row, 25);
  EXPECT_EQ(col, 80);
}

TEST_F(ConsoleTest, WriteTextUsesCurrentColoursAndAdvances) {
  SetTextColours(14, 1);
  SetCursor(3, 4);
  WriteText("P\xB7GINA");
  EXPECT_EQ(ReadCell(3, 4), (Cell{'P', 0x1E}));
  EXPECT_EQ(ReadCell(3, 5), (Cell{0xB7, 0x1E}));
  EXPECT_EQ(ReadCell(3, 10), (Cell{' ', 0x07}));
  int row = 0, col = 0;
  GetCursor(row, col);
  EXPECT_EQ(row, 3);
  EXPECT_EQ(col, 10);
  EXPECT_EQ(Row(3).substr(3, 6), "P\xB7GINA");
}

TEST_F(ConsoleTest, WriteTextWrapsAtRowEndAndStopsAtTheLastCell) {
  SetCursor(1, 79);
  WriteText("abc");
  EXPECT_EQ(ReadCell(1, 79).ch, 'a');
  EXPECT_EQ(ReadCell(1, 80).ch, 'b');
  EXPECT_EQ(ReadCell(2, 1).ch, 'c');
  SetCursor(25, 78);
  WriteText("xyz!!!");
  EXPECT_EQ(ReadCell(25, 78).ch, 'x');
  EXPECT_EQ(ReadCell(25, 80).ch, 'z');
  EXPECT_EQ(ReadCell(1, 1).ch, ' ');  // nothing wrapped round to the top
  int row = 0, col = 0;
  GetCursor(row, col);
  EXPECT_EQ(row, 25);
  EXPECT_EQ(col, 80);
}

TEST_F(ConsoleTest, ControlBytesAreStoredAsCells) {
  SetCursor(1, 1);
  WriteText("\x10\n\x11");
  EXPECT_EQ(ReadCell(1, 1).ch, 0x10);
  EXPECT_EQ(ReadCell(1, 2).ch, '\n');
  EXPECT_EQ(ReadCell(1, 3).ch, 0x11);
}

TEST_F(ConsoleTest, ColoursOf16OrMoreKeepTheCurrentOne) {
  SetTextColours(4, 2);
  EXPECT_EQ(CurrentAttribute(), 0x24);
  SetTextColours(16, 7);
  EXPECT_EQ(CurrentAttribute(), 0x74);
  SetTextColours(15, 99);
  EXPECT_EQ(CurrentAttribute(), 0x7F);
  SetTextColours(-1, 0);
  EXPECT_EQ(CurrentAttribute(), 0x0F);
}

TEST_F(ConsoleTest, ReadCellOutsideTheScreenIsBlank) {
  EXPECT_EQ(ReadCell(0, 1), Cell());
  EXPECT_EQ(ReadCell(26, 1), Cell());
  EXPECT_EQ(ReadCell(1, 81), Cell());
}

void FillRows(int first, int last) {
  for (int r = first; r <= last; ++r) {
    SetCursor(r, 1);
    WriteText(std::string(1, static_cast<char>('A' + r - 1)) + "bcdef");
  }
}

TEST_F(ConsoleTest, ScrollRectUpMovesOnlyTheRectangle) {
  FillRows(1, 6);
  SetTextColours(0, 3);
  ScrollRect(2, 2, 5, 4, 1);
  EXPECT_EQ(ReadCell(1, 2).ch, 'b');     // above: untouched
  EXPECT_EQ(ReadCell(2, 1).ch, 'B');     // left of it: untouched
  EXPECT_EQ(ReadCell(2, 2).ch, 'b');     // row 3's contents moved up
  EXPECT_EQ(ReadCell(2, 5).ch, 'e');     // right of it: untouched
  EXPECT_EQ(ReadCell(5, 2), (Cell{' ', 0x30}));  // freed line, current colours
  EXPECT_EQ(ReadCell(5, 1).ch, 'E');
  EXPECT_EQ(ReadCell(6, 2).ch, 'b');     // below: untouched
}

TEST_F(ConsoleTest, ScrollRectDown) {
  for (int r = 1; r <= 4; ++r) {
    SetCursor(r, 1);
    WriteText(std::to_string(r));
  }
  ScrollRect(1, 1, 4, 1, -2);
  EXPECT_EQ(ReadCell(1, 1).ch, ' ');
  EXPECT_EQ(ReadCell(2, 1).ch, ' ');
  EXPECT_EQ(ReadCell(3, 1).ch, '1');
  EXPECT_EQ(ReadCell(4, 1).ch, '2');
}

TEST_F(ConsoleTest, ScrollRectByMoreThanItsHeightBlanksIt) {
  FillRows(1, 3);
  ScrollRect(1, 1, 3, 6, 10);
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(ReadCell(r, 1).ch, ' ');
  FillRows(1, 3);
  ScrollRect(1, 1, 3, 6, -10);
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(ReadCell(r, 1).ch, ' ');
}

TEST_F(ConsoleTest, ScrollRectIsClippedToTheScreen) {
  FillRows(24, 25);
  ScrollRect(24, 0, 40, 200, 1);  // must not touch memory beyond the grid
  EXPECT_EQ(ReadCell(24, 1).ch, 'Y');
  EXPECT_EQ(ReadCell(25, 1).ch, ' ');
  ScrollRect(5, 5, 4, 4, 1);  // an empty rectangle does nothing
}

TEST_F(ConsoleTest, CursorSizeIsPresented) {
  SetCursorSize(0);
  SetCursor(4, 6);
  Refresh();
  EXPECT_EQ(term_->CursorSizeShown(), 0);
  SetCursorSize(100);
  Refresh();
  EXPECT_EQ(term_->CursorSizeShown(), 100);
  EXPECT_EQ(CursorSize(), 100);
  EXPECT_EQ(term_->CursorRow(), 4);
  EXPECT_EQ(term_->CursorCol(), 6);
}

TEST_F(ConsoleTest, PollKeyPresentsTheGridAndNeverWaits) {
  SetCursor(2, 2);
  WriteText("hi");
  InputEvent ev;
  EXPECT_FALSE(PollKey(ev));
  EXPECT_EQ(term_->Text(2).substr(1, 2), "hi");
  term_->PushKey('a');
  ASSERT_TRUE(PollKey(ev));
  EXPECT_EQ(ev.kind, InputEvent::kKey);
  EXPECT_EQ(ev.ch, 'a');
}

TEST_F(ConsoleTest, LoneModifiersAreSkipped) {
  term_->PushExtended(0, kShift);
  term_->PushExtended(0x3B, kShift);
  InputEvent ev;
  ASSERT_TRUE(PollKey(ev));
  EXPECT_EQ(ev.scan, 0x3B);
  EXPECT_EQ(ModifierState(), kShift);
}

TEST_F(ConsoleTest, ModifiersAreReleasedWhenNothingFollows) {
  term_->PushExtended(0x4F, kLeftAlt, true);
  InputEvent ev;
  ASSERT_TRUE(PollKey(ev));
  EXPECT_EQ(ModifierState(), kLeftAlt);
  EXPECT_FALSE(PollKey(ev));
  EXPECT_EQ(ModifierState(), 0);
}

TEST_F(ConsoleTest, MousePressesOnlyWhileReportingIsOn) {
  EXPECT_EQ(MouseButtons(), 2);
  term_->PushMouse(3, 7, 1);
  term_->PushKey('k');
  InputEvent ev;
  ASSERT_TRUE(PollKey(ev));
  EXPECT_EQ(ev.ch, 'k');  // the press was dropped
  SetMouseReporting(true);
  EXPECT_TRUE(term_->MouseReporting());
  term_->PushMouse(3, 7, 2);
  ASSERT_TRUE(PollKey(ev));
  EXPECT_EQ(ev.kind, InputEvent::kMouse);
  EXPECT_EQ(ev.buttons, 2);
  int row = 0, col = 0;
  MousePosition(row, col);
  EXPECT_EQ(row, 3);
  EXPECT_EQ(col, 7);
}

TEST_F(ConsoleTest, ResizeKeepsContentsTopLeftAndNeverShrinksBelowStandard) {
  SetCursor(25, 80);
  WriteText("z");
  SetCursor(1, 1);
  WriteText("top");
  term_->SetSize(40, 120);
  term_->PushKey('q');
  InputEvent ev;
  ASSERT_TRUE(PollKey(ev));  // the resize itself is not handed out
  EXPECT_EQ(ev.ch, 'q');
  EXPECT_EQ(ConsoleRows(), 40);
  EXPECT_EQ(ConsoleCols(), 120);
  EXPECT_EQ(ReadCell(1, 1).ch, 't');
  EXPECT_EQ(ReadCell(25, 80).ch, 'z');
  EXPECT_EQ(ReadCell(40, 120), Cell());
  const int before = term_->Invalidations();
  term_->SetSize(10, 30);
  EXPECT_FALSE(PollKey(ev));
  EXPECT_EQ(ConsoleRows(), 25);
  EXPECT_EQ(ConsoleCols(), 80);
  EXPECT_EQ(ReadCell(1, 3).ch, 'p');
  EXPECT_GT(term_->Invalidations(), before);
  int row = 0, col = 0;
  GetCursor(row, col);
  EXPECT_LE(row, 25);
  EXPECT_LE(col, 80);
}

TEST_F(ConsoleTest, InsertToggleIsKept) {
  SetInsertToggle(false);
  EXPECT_FALSE(InsertToggle());
  SetInsertToggle(true);
  EXPECT_TRUE(InsertToggle());
}

TEST_F(ConsoleTest, BeepReachesTheTerminal) {
  Beep();
  Beep();
  EXPECT_EQ(term_->Beeps(), 2);
}

TEST_F(ConsoleTest, ADryScriptEndsInEscInsteadOfHanging) {
  term_->SetDryLimit(3);
  InputEvent ev;
  int polls = 0;
  while (!PollKey(ev)) ASSERT_LT(++polls, 10);
  EXPECT_EQ(ev.ch, 27);
  EXPECT_EQ(term_->DryEscapes(), 1);
}

TEST_F(ConsoleTest, WaitEventReturnsScriptedEvents) {
  InputEvent ev;
  EXPECT_FALSE(WaitEvent(ev, 50));
  term_->PushText("ok");
  ASSERT_TRUE(WaitEvent(ev, 50));
  EXPECT_EQ(ev.ch, 'o');
  ASSERT_TRUE(WaitEvent(ev, 50));
  EXPECT_EQ(ev.ch, 'k');
}

TEST_F(ConsoleTest, HangUpGoesToTheProgramsEndOrReadsAsEsc) {
  InputEvent hang_up;
  hang_up.kind = InputEvent::kHangUp;
  term_->PushEvent(hang_up);
  InputEvent ev;
  ASSERT_TRUE(PollKey(ev));
  EXPECT_EQ(ev.ch, 27) << "no end of the program set";
  int ends = 0;
  SetHangUpHandler([&ends] { ++ends; });
  term_->PushEvent(hang_up);
  ASSERT_TRUE(WaitEvent(ev, 50));
  EXPECT_EQ(ends, 1);
}

TEST_F(ConsoleTest, ClipboardKeepsACopyAndUsesTheTerminalChannel) {
  const std::string display = GetEnv("DISPLAY");
  const std::string wayland = GetEnv("WAYLAND_DISPLAY");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  ClipboardSet("Pla\x87" "a 3\xD5");
  ASSERT_EQ(term_->ClipboardSent().size(), 1u);
  EXPECT_EQ(term_->ClipboardSent()[0], "Pla\xC3\xA7" "a 3\xE2\x82\xAC");
  EXPECT_EQ(ClipboardGet(), "Pla\x87" "a 3\xD5");
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
}

}  // namespace
}  // namespace platform
