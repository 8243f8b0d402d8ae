// The help: the built-in viewer paging through 80-byte records (keys in,
// cells out), its colour toggles, the general help on F1, help files that
// are missing, odd or of any length, and the command run under "WIN".

#include "ui/help.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/ui_fixture.h"

namespace {

using testing_support::UiTest;

constexpr uint8_t kUp = 0x48, kPgUp = 0x49, kDown = 0x50, kPgDn = 0x51;
constexpr uint8_t kHome = 0x47, kEnd = 0x4F, kF1 = 0x3B;

// n records "<prefix>NN" padded to 80 bytes.
std::string Records(char prefix, int n) {
  std::string out;
  for (int k = 1; k <= n; ++k) {
    char line[8];
    std::snprintf(line, sizeof line, "%c%02d", prefix, k);
    out += line;
    out.resize(out.size() + ui::kHelpRecordBytes - 3, ' ');
  }
  return out;
}

std::string Record(const std::string& text) {
  std::string r = text;
  r.resize(ui::kHelpRecordBytes, ' ');
  return r;
}

class HelpTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    cwd_.emplace(dir().path());
    Probe();
  }
  // Alt+X is the probe: its pop-up hook notes which lines the viewer shows
  // and the characters at the marked cells.
  void Probe() {
    ui::KeyHooksState().calculator = [this] {
      pages_.push_back(Shown());
      cells_.clear();
      for (auto [row, col] : marks_) cells_ += ScreenAt(row, col, 1);
      return std::string();
    };
  }
  void TearDown() override {
    cwd_.reset();
    UiTest::TearDown();
  }

  void WriteHelp(const std::string& topic, const std::string& bytes) {
    dir().Write("AJUDA/" + topic + ".HLP", bytes);
  }
  // Scan codes of extended keys, 'p' the probe, 'e' Esc.
  void Keys(std::initializer_list<uint8_t> scans) {
    for (uint8_t s : scans) {
      if (s == 'p') {
        term().PushExtended(0x2D, platform::kLeftAlt);
      } else if (s == 'e') {
        term().PushKey(27);
      } else {
        term().PushExtended(s);
      }
    }
  }

  // The lines in the window's interior as "R1-17": the prefix, the first
  // and the last number shown; "!" follows when the run is not unbroken.
  static std::string Shown() {
    const int rows = ui::ScreenRows() - 8;
    const int col = (ui::ScreenCols() - 80) / 2 + 3;
    std::string prefix;
    int first = 0, last = 0;
    bool broken = false;
    for (int r = 5; r < 5 + rows; ++r) {
      const std::string cell = ScreenAt(r, col, 3);
      if (cell == "   ") continue;
      const int number = std::stoi(cell.substr(1));
      if (first == 0) {
        prefix = cell.substr(0, 1);
        first = number;
      } else if (number != last + 1) {
        broken = true;
      }
      last = number;
    }
    if (first == 0) return "empty";
    return prefix + std::to_string(first) + "-" + std::to_string(last) + (broken ? "!" : "");
  }

  std::optional<testing_support::ScopedCurrentDir> cwd_;
  std::vector<std::string> pages_;
  std::vector<std::pair<int, int>> marks_;
  std::string cells_;
};

TEST_F(HelpTest, FortyLinesPageUpAndDownAndGiveTheScreenBack) {
  WriteHelp("RBPNDLST", Records('R', 40));
  PaintPattern();
  platform::SetCursor(7, 9);
  const std::vector<platform::Cell> before = Snapshot();
  const int cursor = platform::CursorSize();

  Keys({'p', kPgDn, 'p', kPgDn, 'p', kEnd, 'p', kDown, 'p', kHome, 'p', kUp, 'p', kDown, 'p',
        kUp, 'p', kEnd, kPgUp, 'p', kPgUp, 'p', kPgDn, kPgUp, 'p'});
  ui::ShowHelp("RBPNDLST");

  EXPECT_EQ(pages_, (std::vector<std::string>{"R1-17", "R18-34", "R24-40", "R24-40", "R24-40",
                                              "R1-17", "R1-17", "R2-18", "R1-17", "R7-23",
                                              "R1-17", "R1-17"}));
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Cursor(), std::make_pair(7, 9));
  EXPECT_EQ(platform::CursorSize(), cursor);
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
  EXPECT_TRUE(ui::ScreenState().colour_stack.empty());
  EXPECT_FALSE(platform::FileExists(StackFile()));
}

TEST_F(HelpTest, TenLinesFitAndNoKeyMovesThem) {
  WriteHelp("RBPNDLST", Records('R', 10));
  marks_ = {{4, 1}, {22, 80}, {5, 2}, {5, 3}};
  Keys({'p', kDown, kPgDn, kEnd, kUp, kPgUp, kHome, 'p'});
  ui::ShowHelp("RBPNDLST");
  EXPECT_EQ(pages_, (std::vector<std::string>{"R1-10", "R1-10"}));
  // Frame on rows 4 and ScreenRows - 3, lines from the third column.
  EXPECT_EQ(cells_, "\xC9\xBC R");
}

TEST_F(HelpTest, WiderTerminalStillReadsEightyByteRecords) {
  Start(30, 120);
  Probe();  // the new terminal dropped the hooks
  WriteHelp("RBPNDLST", Records('R', 40));
  marks_ = {{4, 21}, {4, 100}, {27, 21}};
  Keys({'p', kPgDn, 'p'});
  ui::ShowHelp("RBPNDLST");
  EXPECT_EQ(pages_, (std::vector<std::string>{"R1-22", "R19-40"}));
  EXPECT_EQ(cells_, "\xC9\xBB\xC8");
}

TEST_F(HelpTest, ColourTogglesAreObeyedAndNotShown) {
  // h white on blue, n grey on black, r black on grey, u yellow on red.
  config::BuildColourTable("15010700000700071404", config::SettingsState().colour_table);
  const char h = ui::kHelpHighlight, u = ui::kHelpUnderline, r = ui::kHelpReverse;
  std::string full(76, 'x');
  WriteHelp("RBPNDLST",
            Record(std::string("Veure ") + h + "F4" + h + " ara") +
                Record(std::string(1, u) + "sub" + h + "x" + h + u + "y" + r + "rev" + r) +
                Record(std::string(1, h) + full.substr(0, 38) + h + h + full.substr(38) + h) +
                Record(full + "TAIL"));
  std::vector<std::string> text;
  std::vector<uint8_t> attrs;
  ui::KeyHooksState().calculator = [&] {
    text = {ScreenAt(5, 3, 12), ScreenAt(6, 3, 9), ScreenAt(7, 3, 77), ScreenAt(8, 3, 77)};
    for (int c : {3, 9, 10, 11}) attrs.push_back(AttrAt(5, c));
    for (int c : {3, 6, 7, 8}) attrs.push_back(AttrAt(6, c));
    attrs.push_back(AttrAt(7, 78));
    return std::string();
  };
  Keys({'p'});
  ui::ShowHelp("RBPNDLST");
  EXPECT_EQ(text, (std::vector<std::string>{"Veure F4 ara", "subxyrev ", full + " ", full + " "}));
  EXPECT_EQ(attrs, (std::vector<uint8_t>{0x07, 0x1F, 0x1F, 0x07,  // h around "F4"
                                         0x4E, 0x4E, 0x07, 0x70,  // h ignored under u
                                         0x1F}));
}

TEST_F(HelpTest, F1OpensTheGeneralHelpOnceAndEscComesBack) {
  WriteHelp("RBPNDLST", Records('R', 30));
  WriteHelp(ui::kGeneralHelpTopic, Records('Q', 30));
  Keys({kPgDn, kF1, 'p', kF1, 'p', 'e', 'p'});
  ui::ShowHelp("RBPNDLST");
  EXPECT_EQ(pages_, (std::vector<std::string>{"Q1-17", "Q1-17", "R14-30"}));
}

TEST_F(HelpTest, FileLengthRoundsToWholeRecords) {
  WriteHelp("A", Records('R', 2).substr(0, 119));  // 1.49 records: one line
  WriteHelp("B", Records('R', 2).substr(0, 120));  // 1.5: two, the last padded
  Keys({'p'});
  ui::ShowHelp("A");
  Keys({'p'});
  ui::ShowHelp("B");
  EXPECT_EQ(pages_, (std::vector<std::string>{"R1-1", "R1-2"}));
}

TEST_F(HelpTest, MissingOrOddFilesGiveAnEmptyViewer) {
  Keys({'p'});
  ui::ShowHelp("RBPNDLST");
  EXPECT_FALSE(platform::DirectoryExists("AJUDA")) << "nothing made without the folder";
  dir().Write("AJUDA/.keep", "");
  ASSERT_EQ(mkfifo((dir().path() + "AJUDA/FIFO.HLP").c_str(), 0600), 0);
  for (const char* topic : {"NOU", "FIFO", "../FORA", "SUB/NOU"}) {
    Keys({'p'});
    ui::ShowHelp(topic);
  }
  EXPECT_EQ(pages_, std::vector<std::string>(5, "empty"));
  // A missing file is made empty in AJUDA, as the suite expects; a topic
  // that leads elsewhere makes nothing.
  EXPECT_EQ(platform::FileLength("AJUDA/NOU.HLP"), 0);
  EXPECT_FALSE(platform::FileExists("FORA.HLP"));
  EXPECT_FALSE(platform::FileExists("AJUDA/SUB/NOU.HLP"));
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
}

TEST_F(HelpTest, UnderWinTheCommandProcessorRunsHlpvueWithSeparateArguments) {
  // A command processor in a folder with a blank, which notes its arguments.
  const std::string comspec = dir().Write(
      "cmd dir/comspec", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n");
  ASSERT_EQ(chmod(comspec.c_str(), 0700), 0);
  testing_support::ScopedEnv env("COMSPEC", comspec);
  config::PathsState().env_kind = "WIN";
  ui::ShowHelp("RBPNDLST");
  EXPECT_EQ(dir().Read("cmd dir/args"), "/C\nHLPVUE\nAJUDA/RBPNDLST.HTM\n");
  EXPECT_EQ(term().Suspends(), 1);
  EXPECT_EQ(term().Resumes(), 1);
  EXPECT_FALSE(platform::DirectoryExists("AJUDA")) << "no viewer under WIN";
}

}  // namespace
