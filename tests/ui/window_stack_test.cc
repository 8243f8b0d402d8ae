// The window stack: what a push saves, what a pop gives back, and the work
// file's layout, which other programs of the suite read too.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/files.h"
#include "tests/support/ui_fixture.h"

namespace {

using testing_support::UiTest;

std::string FileBytes(const std::string& path) {
  std::string contents;
  platform::ReadWholeFile(path, contents);
  return contents;
}

class WindowStackTest : public UiTest {};

TEST_F(WindowStackTest, NestedPushesAndPopsRestoreScreenCursorAndState) {
  PaintPattern();
  platform::SetCursor(7, 9);
  std::vector<platform::Cell> before = Snapshot();

  ui::WinPush(2, 10, 5, 30);
  EXPECT_EQ(ui::ScreenState().win_depth, 1);
  ui::SetColour("rh");
  ui::WinFrame(2);
  ui::WinLocate(1, 1);
  platform::WriteText("outer");
  ui::WinPush(3, 12, 4, 20);
  EXPECT_EQ(ui::ScreenState().win_depth, 2);
  EXPECT_EQ(ui::ScreenState().win_top, 3);
  ui::WinFrame(1);
  ui::WinLocate(0, 1);
  platform::WriteText("inner");
  platform::SetCursor(20, 70);

  ui::WinPop();
  // The outer window is current again and its drawing is back.
  EXPECT_EQ(ui::ScreenState().win_depth, 1);
  EXPECT_EQ(ui::ScreenState().win_top, 2);
  EXPECT_EQ(ui::ScreenState().win_right, 30);
  EXPECT_EQ(ScreenAt(3, 11, 5), "outer");
  EXPECT_TRUE(platform::FileExists(StackFile()));

  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Cursor(), std::make_pair(7, 9));
  const ui::Screen& s = ui::ScreenState();
  EXPECT_EQ(s.win_depth, 0);
  EXPECT_EQ(s.win_top, 0);
  EXPECT_EQ(s.win_left, 0);
  EXPECT_EQ(s.win_bottom, 0);
  EXPECT_EQ(s.win_right, 0);
  EXPECT_FALSE(platform::FileExists(StackFile()));
}

TEST_F(WindowStackTest, OnePushWritesTheSuiteRecordLayout) {
  platform::SetTextColours(14, 1);
  platform::SetCursor(10, 20);
  platform::WriteText("ab");
  platform::SetCursor(5, 9);

  ui::WinPush(10, 20, 12, 40);
  std::string file = FileBytes(StackFile());
  ASSERT_EQ(file.size(), 155u);
  EXPECT_EQ(static_cast<unsigned char>(file[0]), 156);
  EXPECT_EQ(file.substr(1, 3), std::string(3, '\0'));
  // Cursor, the enclosing (no) window, then the rectangle.
  EXPECT_EQ(file.substr(4, 20), "05090000000010201240");
  EXPECT_EQ(file.substr(24, 4), "a\x1E" "b\x1E");
  EXPECT_EQ(file.substr(150), "00151");
  // The screen itself is not touched by a push.
  EXPECT_EQ(ScreenAt(10, 20, 2), "ab");
}

TEST_F(WindowStackTest, SecondPushRecordsTheEnclosingWindow) {
  ui::WinPush(10, 20, 12, 40);
  ui::WinPush(11, 21, 11, 22);
  std::string file = FileBytes(StackFile());
  // 4 + 151 + (20 + 4 + 5)
  ASSERT_EQ(file.size(), 184u);
  EXPECT_EQ(static_cast<unsigned char>(file[0]), 185);
  EXPECT_EQ(file.substr(155 + 4, 16), "1020124011211122");
  EXPECT_EQ(file.substr(179), "00029");
}

TEST_F(WindowStackTest, PushOffTheScreenChangesNothing) {
  ui::WinPush(2, 2, 5, 81);
  ui::WinPush(0, 2, 5, 10);
  ui::WinPush(2, 2, 26, 10);
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
  EXPECT_EQ(ui::ScreenState().win_top, 0);
  EXPECT_FALSE(platform::FileExists(StackFile()));
}

TEST_F(WindowStackTest, PopOfAnEmptyStackLeavesScreenAndStateAlone) {
  PaintPattern();
  platform::SetCursor(3, 4);
  std::vector<platform::Cell> before = Snapshot();
  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Cursor(), std::make_pair(3, 4));
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
  EXPECT_FALSE(platform::FileExists(StackFile()));
}

TEST_F(WindowStackTest, DamagedStackFileIsDroppedWithoutPainting) {
  PaintPattern();
  std::vector<platform::Cell> before = Snapshot();
  ui::WinPush(10, 20, 12, 40);
  // Another program left rubbish in the length field.
  std::string file = FileBytes(StackFile());
  file.replace(150, 5, "9x999");
  dir().Write("WinPush.tmp", file);

  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
  EXPECT_FALSE(platform::FileExists(StackFile()));
}

TEST_F(WindowStackTest, HeaderBeyondTheFileEndIsNotTrusted) {
  dir().Write("WinPush.tmp", std::string("\xFF\xFF\x00\x7F", 4));
  ui::WinPop();
  EXPECT_FALSE(platform::FileExists(StackFile()));
  // A push after rubbish starts a fresh stack.
  dir().Write("WinPush.tmp", std::string("\xFF\xFF\x00\x7F", 4));
  ui::WinPush(1, 1, 1, 1);
  std::string file = FileBytes(StackFile());
  ASSERT_EQ(file.size(), 31u);
  EXPECT_EQ(static_cast<unsigned char>(file[0]), 32);
}

// Pushes a framed window with a word in it, as a pop-up does.
void FramedWindow(int16_t top, int16_t left, int16_t bottom, int16_t right) {
  ui::WinPush(top, left, bottom, right);
  ui::WinFrame(1);
  ui::WinLocate(1, 1);
  platform::WriteText("in");
}

TEST_F(WindowStackTest, StaleFileOfAKilledRunIsNeitherStackedOnNorKept) {
  ui::WinPush(10, 20, 12, 40);  // the run that was killed
  ui::ResetScreenState();
  PaintPattern();
  std::vector<platform::Cell> before = Snapshot();
  ui::WinPush(2, 2, 3, 3);
  EXPECT_EQ(static_cast<unsigned char>(FileBytes(StackFile())[0]), 5 + 33);
  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_FALSE(platform::FileExists(StackFile()));

  // A pop with nothing of this run on the stack paints nothing of the old.
  ui::WinPush(10, 20, 12, 40);
  ui::ResetScreenState();
  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_FALSE(platform::FileExists(StackFile()));
}

TEST_F(WindowStackTest, FolderThatCannotBeWrittenKeepsWindowsAndTellsOnce) {
  config::PathsState().temp_dir = dir().path() + "gone/";
  PaintPattern();
  platform::SetCursor(7, 9);
  std::vector<platform::Cell> before = Snapshot();
  Keys({' '});  // for the notice

  FramedWindow(5, 10, 9, 40);
  EXPECT_NE(term().ScreenText().find("NO ES POT ESCRIURE A LA CARPETA TEMPORAL " + dir().path() +
                                     "gone/"),
            std::string::npos);
  EXPECT_EQ(term().Pending(), 0u);
  EXPECT_EQ(ui::ScreenState().win_depth, 1);
  EXPECT_EQ(ScreenAt(5, 10, 1), "\xDA") << "the frame where the window is";
  EXPECT_EQ(ScreenAt(6, 11, 2), "in") << "drawn inside it";
  FramedWindow(6, 12, 8, 30);  // told once only: no key is waited for
  EXPECT_EQ(term().DryEscapes(), 0);
  ui::WinPop();
  EXPECT_EQ(ScreenAt(6, 11, 2), "in");
  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Cursor(), std::make_pair(7, 9));
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
}

TEST_F(WindowStackTest, PlantedStackFileIsNeitherFollowedNorWritten) {
  const std::string target = dir().Write("elsewhere.txt", "keep me");
  std::filesystem::create_symlink(target, StackFile());
  PaintPattern();
  std::vector<platform::Cell> before = Snapshot();
  Keys({' '});
  FramedWindow(2, 2, 4, 20);
  EXPECT_NE(term().ScreenText().find("EL FITXER DE TREBALL NO \x90S DE L'OPERADOR"),
            std::string::npos);
  EXPECT_EQ(ScreenAt(3, 3, 2), "in");
  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(dir().Read("elsewhere.txt"), "keep me");

  // A pipe under the name neither hangs nor takes a record; nor does a
  // file of another user (only root can make one here).
  std::filesystem::remove(StackFile());
  ASSERT_EQ(mkfifo(StackFile().c_str(), 0600), 0);
  FramedWindow(2, 2, 4, 20);
  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  std::filesystem::remove(StackFile());
  dir().Write("WinPush.tmp", "theirs");
  if (chown(StackFile().c_str(), 1, 1) == 0) {
    FramedWindow(2, 2, 4, 20);
    ui::WinPop();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(dir().Read("WinPush.tmp"), "theirs");
  }
}

TEST_F(WindowStackTest, WideTerminalRoundTripsColumnsPastNinetyNine) {
  Start(30, 132);
  PaintPattern();
  platform::SetCursor(28, 131);
  std::vector<platform::Cell> before = Snapshot();
  ui::WinPush(3, 95, 6, 130);
  ui::WinFrame(2);
  ui::WinPop();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Cursor(), std::make_pair(28, 131));
}

TEST_F(WindowStackTest, PopAfterTheTerminalShrankPaintsWhatStillFits) {
  Start(25, 100);
  ui::WinPush(2, 70, 4, 95);
  term().SetSize(25, 80);
  platform::InputEvent ev;
  platform::PollKey(ev);  // the resize is taken in
  ui::WinPop();
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
  EXPECT_FALSE(platform::FileExists(StackFile()));
}

}  // namespace
