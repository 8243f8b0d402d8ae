// The print work file writer and the hand-over to the print program.

#include "app/print_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

class PrintFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    config::ResetSettingsState();
    ResetPrintFileState();
    config::PathsState().temp_dir = dir_ + "/";
    PrintFileState().notice = [this](const std::string& text) {
      notices_.push_back(text);
    };
  }
  void TearDown() override { ResetPrintFileState(); }

  std::string WorkFile() {
    std::string contents;
    platform::ReadWholeFile(dir_ + "/kelprint.tmp", contents);
    return contents;
  }

  testing_support::TempDir temp_;
  // Without its trailing "/", so that paths read naturally below.
  std::string dir_ = temp_.path().substr(0, temp_.path().size() - 1);
  std::vector<std::string> notices_;
};

TEST(PrintFormTest, SignDigitsAndTrailingBlank) {
  EXPECT_EQ(PrintForm(66), " 66 ");
  EXPECT_EQ(PrintForm(0), " 0 ");
  EXPECT_EQ(PrintForm(-5), "-5 ");
  EXPECT_EQ(PrintForm(-32768), "-32768 ");
}

TEST(AlignmentTest, ModesAreNormalisedByTheirFirstNonBlankLetter) {
  EXPECT_EQ(NormaliseAlignment("r"), "D");
  EXPECT_EQ(NormaliseAlignment("D"), "D");
  EXPECT_EQ(NormaliseAlignment("b"), "A");
  EXPECT_EQ(NormaliseAlignment("  a"), "A");
  EXPECT_EQ(NormaliseAlignment("centre"), "C");
  EXPECT_EQ(NormaliseAlignment("x"), "E");
  EXPECT_EQ(NormaliseAlignment(""), "E");
  EXPECT_EQ(NormaliseAlignment("   "), "E");
}

TEST(AlignmentTest, ColumnModeKeepsItsNumberAndCharacter) {
  EXPECT_EQ(NormaliseAlignment("N 113 \\.\\"), "N 113 \\.\\");
  // Whole-number part, sign dropped, blanks before the number ignored.
  EXPECT_EQ(NormaliseAlignment("n-7.9\\*\\ and more"), "N 7 \\*\\");
  EXPECT_EQ(NormaliseAlignment(" N   40 x\\-\\\\"), "N 40 \\-\\");
  EXPECT_EQ(NormaliseAlignment("N"), "N 0");
}

TEST(AlignmentTest, ColumnModeWithoutACharacterKeepsTheColumnOnly) {
  EXPECT_EQ(NormaliseAlignment("N 113"), "N 113");
  EXPECT_EQ(NormaliseAlignment("N 113 \\."), "N 113");
  EXPECT_EQ(NormaliseAlignment("N 99999999999999"), "N 2147483647");
}

TEST(CleanTextTest, ControlBytesBecomeBlanks) {
  std::string text = "A\tB\xFF" "C\x7F" "D\r\n\x01\x1F" "\xB7";
  std::string original = text;
  EXPECT_EQ(CleanPrintText(text), "A B C D    \xB7");
  EXPECT_EQ(text, original);
  EXPECT_EQ(CleanPrintText(std::string("a\0b", 3)), "a b");
}

TEST_F(PrintFileTest, WritesEveryRecordKindWithCrLf) {
  ASSERT_EQ(OpenPrintFile("PDF"), kPrintOk);
  PrintPage(66);
  PrintStyle("@e");
  PrintAlign("r");
  PrintItem(1, "REBUT", 0);
  PrintAlign("N 113 \\.\\");
  std::string with_controls = "P\xB7GINA\t1\xFF";
  PrintItem(85, with_controls, 2);
  EXPECT_EQ(with_controls, "P\xB7GINA\t1\xFF");
  PrintItem(75, "1,234,5", 1);
  PrintItem(0, "", 1);
  ASSERT_EQ(ClosePrintFile(), kPrintOk);
  EXPECT_EQ(WorkFile(),
            "DEVICEPDF\r\n"
            "PAGE 66 \r\n"
            "*@e\r\n"
            "JUSD\r\n"
            " 1 ,REBUT, 0 \r\n"
            "JUSN 113 \\.\\\r\n"
            " 85 ,P\xB7GINA 1 , 2 \r\n"
            " 75 ,1,234,5, 1 \r\n"
            " 0 ,, 1 \r\n");
  EXPECT_TRUE(notices_.empty());
}

TEST_F(PrintFileTest, EmptyDeviceStillWritesTheDeviceRecord) {
  ASSERT_EQ(OpenPrintFile(""), kPrintOk);
  ClosePrintFile();
  EXPECT_EQ(WorkFile(), "DEVICE\r\n");
}

TEST_F(PrintFileTest, LineCountFollowsTheAdvances) {
  ASSERT_EQ(OpenPrintFile("X"), kPrintOk);
  PrintPage(66);
  PrintItem(1, "a", 0);
  EXPECT_EQ(PrintLineCount(), 0);
  PrintItem(1, "a", 2);
  EXPECT_EQ(PrintLineCount(), 2);
  PrintItem(1, "a", 3);
  EXPECT_EQ(PrintLineCount(), 5);
  PrintPage(66);
  EXPECT_EQ(PrintLineCount(), 0);
  ClosePrintFile();
}

TEST_F(PrintFileTest, PageBreaksItselfWhenThePageIsFull) {
  ASSERT_EQ(OpenPrintFile("X"), kPrintOk);
  PrintPage(66);
  for (int i = 0; i < 66; ++i) PrintItem(1, "L", 1);
  EXPECT_EQ(PrintLineCount(), 66);
  PrintItem(1, "NEXT", 0);
  EXPECT_EQ(PrintLineCount(), 0);
  ClosePrintFile();
  std::string expected = "DEVICEX\r\nPAGE 66 \r\n";
  for (int i = 0; i < 66; ++i) expected += " 1 ,L, 1 \r\n";
  expected += "PAGE 66 \r\n 1 ,NEXT, 0 \r\n";
  EXPECT_EQ(WorkFile(), expected);
}

TEST_F(PrintFileTest, NoPageBreakBeforeTheFirstPageRecord) {
  ASSERT_EQ(OpenPrintFile("X"), kPrintOk);
  PrintItem(1, "A", 1);
  PrintItem(1, "B", 0);
  ClosePrintFile();
  EXPECT_EQ(WorkFile(), "DEVICEX\r\n 1 ,A, 1 \r\n 1 ,B, 0 \r\n");
}

TEST_F(PrintFileTest, OpeningAgainEmptiesTheFileButKeepsTheCount) {
  ASSERT_EQ(OpenPrintFile("FIRST"), kPrintOk);
  PrintPage(66);
  PrintItem(1, "A LONGER LINE THAN THE NEXT RUN WRITES", 4);
  ClosePrintFile();
  ASSERT_EQ(OpenPrintFile("B"), kPrintOk);
  EXPECT_EQ(PrintLineCount(), 4);
  ClosePrintFile();
  EXPECT_EQ(WorkFile(), "DEVICEB\r\n");
}

TEST_F(PrintFileTest, MissingDirectoryIsReportedWithThePath) {
  config::PathsState().temp_dir = dir_ + "/missing/";
  EXPECT_EQ(OpenPrintFile("X"), kPrintCannotCreate);
  EXPECT_FALSE(PrintFileIsOpen());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0], "NO ES POT CREAR EL FITXER " + dir_ +
                             "/missing/kelprint.tmp");
  // The writer stays harmless afterwards.
  PrintPage(66);
  PrintItem(1, "A", 1);
  EXPECT_EQ(ClosePrintFile(), kPrintOk);
}

// Records go out in blocks: a block refused in the middle of a report, and
// the last one refused only when the file closes, are both reported.
TEST_F(PrintFileTest, RecordsTheDeviceRefusesAreReportedAtClose) {
  for (int items : {10, 10000}) {
    notices_.clear();
    ASSERT_EQ(OpenPrintFile("X"), kPrintOk);
    ASSERT_TRUE(PrintFileState().file.Open("/dev/full", platform::File::Mode::kOutput));
    PrintPage(66);
    for (int i = 0; i < items; ++i) PrintItem(1, "A LINE OF THE REPORT", 1);
    EXPECT_EQ(ClosePrintFile(), kPrintCannotWrite) << items;
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0], "NO ES POT ESCRIURE EL FITXER " + dir_ + "/kelprint.tmp");
    // The next report starts clean.
    ASSERT_EQ(OpenPrintFile("X"), kPrintOk);
    EXPECT_EQ(ClosePrintFile(), kPrintOk);
    EXPECT_EQ(WorkFile(), "DEVICEX\r\n");
  }
}

TEST_F(PrintFileTest, NoticesFollowTheSessionLanguage) {
  config::PathsState().temp_dir = dir_ + "/missing/";
  config::SettingsState().language = "SPA";
  OpenPrintFile("X");
  config::SettingsState().language = "GLG";
  OpenPrintFile("X");
  config::SettingsState().language = "OCI";
  OpenPrintFile("X");
  ASSERT_EQ(notices_.size(), 3u);
  std::string path = dir_ + "/missing/kelprint.tmp";
  EXPECT_EQ(notices_[0], "NO SE PUEDE CREAR EL FICHERO " + path);
  EXPECT_EQ(notices_[1], "NON SE PODE CREAR O FICHEIRO " + path);
  EXPECT_EQ(notices_[2], "NON SE P\xE3T CREAR ETH FICH\xD4R " + path);
}

TEST_F(PrintFileTest, SymbolicLinkInPlaceOfTheWorkFileIsRefused) {
  std::string victim = dir_ + "/victim";
  {
    platform::File f;
    ASSERT_TRUE(f.Open(victim, platform::File::Mode::kOutput));
    f.Write("precious");
  }
  const std::string work = dir_ + "/kelprint.tmp";
  ASSERT_EQ(symlink(victim.c_str(), work.c_str()), 0);
  EXPECT_EQ(OpenPrintFile("X"), kPrintCannotCreate);
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0], "EL FITXER DE TREBALL NO \x90S DE L'OPERADOR: " + work);
  std::string contents;
  platform::ReadWholeFile(victim, contents);
  EXPECT_EQ(contents, "precious");

  // A pipe is refused without waiting for a reader; another user's file
  // (only root can make one here) keeps what it holds.
  ASSERT_EQ(unlink(work.c_str()), 0);
  ASSERT_EQ(mkfifo(work.c_str(), 0600), 0);
  EXPECT_EQ(OpenPrintFile("X"), kPrintCannotCreate);
  ASSERT_EQ(unlink(work.c_str()), 0);
  {
    platform::File f;
    ASSERT_TRUE(f.Open(work, platform::File::Mode::kOutput));
    f.Write("their report");
  }
  chmod(work.c_str(), 0666);
  if (chown(work.c_str(), 1, 1) == 0) {
    EXPECT_EQ(OpenPrintFile("X"), kPrintCannotCreate);
    platform::ReadWholeFile(work, contents);
    EXPECT_EQ(contents, "their report");
  }
  EXPECT_EQ(notices_.size(), geteuid() == 0 ? 3u : 2u);
  EXPECT_FALSE(PrintFileIsOpen());
}

TEST_F(PrintFileTest, MissingPrintProgramIsReportedAndNothingElseHappens) {
  config::PathsState().exe_dir = dir_ + "/nowhere/";
  EXPECT_EQ(HandOverPrintFile(), kPrintCannotRun);
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0],
            "NO ES POT EXECUTAR EL PROGRAMA " + dir_ + "/nowhere/KELPRINT");
}

TEST_F(PrintFileTest, HandOverRunsThePrintProgramAndWaits) {
  // A stand-in that proves it ran and saw the finished work file.
  std::string program = dir_ + "/KELPRINT";
  {
    platform::File f;
    ASSERT_TRUE(f.Open(program, platform::File::Mode::kOutput));
    f.Write("#!/bin/sh\ncp '" + dir_ + "/kelprint.tmp' '" + dir_ +
            "/printed'\nexit 3\n");
  }
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  config::PathsState().exe_dir = dir_ + "/";
  ASSERT_EQ(OpenPrintFile("TXT"), kPrintOk);
  ASSERT_EQ(ClosePrintFile(), kPrintOk);
  // Its exit status is not examined.
  EXPECT_EQ(HandOverPrintFile(), kPrintOk);
  std::string printed;
  EXPECT_TRUE(platform::ReadWholeFile(dir_ + "/printed", printed));
  EXPECT_EQ(printed, "DEVICETXT\r\n");
  EXPECT_TRUE(notices_.empty());
}

TEST_F(PrintFileTest, EmptyExecutableDirectoryNeverSearchesThePath) {
  // A KELPRINT that only a search of PATH would find.
  std::string program = temp_.Write("bin/KELPRINT", "#!/bin/sh\ntouch '" +
                                                        dir_ + "/ran'\n");
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  testing_support::ScopedEnv path("PATH", dir_ + "/bin:" +
                                              platform::GetEnv("PATH"));
  config::PathsState().exe_dir = "";
  EXPECT_EQ(HandOverPrintFile(), kPrintCannotRun);
  EXPECT_FALSE(platform::FileExists(dir_ + "/ran"));
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0], "NO ES POT EXECUTAR EL PROGRAMA KELPRINT");
}

TEST_F(PrintFileTest, ExecutableDirectoryWithBlanksOrQuotesStaysOneProgram) {
  std::string program = temp_.Write("my programs/KELPRINT",
                                    "#!/bin/sh\ntouch '" + dir_ + "/ran'\n");
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  config::PathsState().exe_dir = dir_ + "/my programs\\";
  EXPECT_EQ(HandOverPrintFile(), kPrintOk);
  EXPECT_TRUE(platform::FileExists(dir_ + "/ran"));
  EXPECT_TRUE(notices_.empty());

  // A quote in the folder's name must not split it into another program
  // and its arguments.
  std::string other = temp_.Write("other", "#!/bin/sh\ntouch '" + dir_ + "/other ran'\n");
  ASSERT_EQ(chmod(other.c_str(), 0755), 0);
  program = temp_.Write("other\" \"x/KELPRINT", "#!/bin/sh\ntouch '" + dir_ + "/quoted ran'\n");
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  config::PathsState().exe_dir = dir_ + "/other\" \"x/";
  EXPECT_EQ(HandOverPrintFile(), kPrintOk);
  EXPECT_FALSE(platform::FileExists(dir_ + "/other ran"));
  EXPECT_TRUE(platform::FileExists(dir_ + "/quoted ran"));
}

TEST_F(PrintFileTest, WhatThePrintProgramSaysStaysOnTheBottomRow) {
  platform::ResetConsoleState();
  platform::HeadlessTerminal& screen = platform::InstallHeadless(25, 80);
  std::string program = temp_.Write(
      "say/KELPRINT",
      "#!/bin/sh\necho 'first line'\necho 'KELPRINT: 3 p\xC3\xA0gines a /srv/kel/x.pdf' >&2\n");
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  config::PathsState().exe_dir = dir_ + "/say/";
  EXPECT_EQ(HandOverPrintFile(), kPrintOk);
  platform::Refresh();
  EXPECT_EQ(PrintFileState().last_result, "KELPRINT: 3 p\x85gines a /srv/kel/x.pdf");
  EXPECT_EQ(screen.Text(25).rfind("KELPRINT: 3 p\x85gines a /srv/kel/x.pdf  ", 0), 0u);
  EXPECT_EQ(LastLine("a\r\nb\tc\r\n\r\n"), "b c");
  // A line wider than the screen loses its middle, not the file name.
  ShowPrintResult("KELPRINT: 183 pages a /srv/kel/" + std::string(80, 'x') + "/RBPNDLST-1.pdf\n");
  platform::Refresh();
  EXPECT_EQ(screen.Text(25).substr(0, 29), "KELPRINT: 183 pages a /srv...");
  EXPECT_EQ(screen.Text(25).substr(65), "/RBPNDLST-1.pdf");
  EXPECT_EQ(LastLine(""), "");
  platform::ResetConsoleState();
}

}  // namespace
}  // namespace app
