#include "app/config/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/config/paths.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;

std::pair<int16_t, int16_t> Pair(int fg, int bg) {
  return {static_cast<int16_t>(fg), static_cast<int16_t>(bg)};
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    config::ResetSettingsState();
  }
  TempDir dir;
};

TEST_F(SettingsTest, ReaderFollowsTheFileRules) {
  std::string f = dir.Write("a.ini",
                            "; comment before any section\r\n"
                            "Sortida=BEFORE\r\n"
                            "  [ terminal ]  \r\n"
                            "  dir = C:\\T\\\r\n"
                            "[Sistema]\r\n"
                            "Sortida=\"LPT1\"\r\n"
                            "Idioma=\"\r\n"
                            "Data=A;B\r\n"
                            "Col0=15  ; trailing blanks stay\r\n"
                            "noequals\r\n"
                            "Sortida=SECOND\r\n"
                            "[Usuari]\r\n"
                            "NomEmpresa=First\r\n"
                            "[usuari]\r\n"
                            "NomEmpresa=Second\r\n"
                            "Extra=Only here\r\n");
  EXPECT_EQ(config::ReadSetting(f, "Terminal", "Dir"), " C:\\T\\");
  EXPECT_EQ(config::ReadSetting(f, "Sistema", "Sortida"), "LPT1");  // quotes removed, first wins
  EXPECT_EQ(config::ReadSetting(f, "Sistema", "Idioma"), "\"");     // a lone quote stays
  EXPECT_EQ(config::ReadSetting(f, "Sistema", "Data"), "A");
  EXPECT_EQ(config::ReadSetting(f, "Sistema", "Col0"), "15  ");
  EXPECT_EQ(config::ReadSetting(f, "Usuari", "NomEmpresa"), "First");
  EXPECT_EQ(config::ReadSetting(f, "Usuari", "Extra"), "");  // second section never reached
  EXPECT_EQ(config::ReadSetting(f, "Nowhere", "Sortida"), "");
  EXPECT_EQ(config::ReadSetting(dir.path() + "missing.ini", "Sistema", "Data"), "");
}

TEST_F(SettingsTest, NumbersTakeLeadingDigits) {
  EXPECT_EQ(config::SettingNumber("12abc"), 12);
  EXPECT_EQ(config::SettingNumber("  -7"), -7);
  EXPECT_EQ(config::SettingNumber("abc"), 0);
  EXPECT_EQ(config::SettingNumber(""), 0);
  EXPECT_EQ(config::SettingNumber("99999999999"), 0);
}

TEST_F(SettingsTest, ColourTableFromSelectedKey) {
  std::array<std::pair<int16_t, int16_t>, 5> table{};
  config::BuildColourTable("15001501070400070007", table);
  EXPECT_EQ(table[0], Pair(15, 0));
  EXPECT_EQ(table[1], Pair(15, 1));
  EXPECT_EQ(table[2], Pair(7, 4));
  EXPECT_EQ(table[4], Pair(0, 7));
}

TEST_F(SettingsTest, StartupReadingWithDefaults) {
  ScopedEnv root("KELROOT", dir.path() + "root/");
  ScopedEnv tmp("KELTMP", dir.path() + "tmp");
  ScopedEnv term("TERM", "xterm-256color");  // a terminal type, not a folder
  dir.Write("tmp/Sessio.ini", "[Menu]\r\nTitol=Caixa\r\nNomMenu=REBUTS\r\nKelTipOper=3x\r\n");
  dir.Write("tmp/TavoTerm.ini",
            "[Pantalla]\r\nSeleccio=2\r\nCol2=15001501070400070007\r\n"
            "[Sistema]\r\nData=20261207\r\nSortida= TXT\t\r\nImpressora=OFICINA\r\n");
  dir.Write("root/Tavo.ini", "[Usuari]\r\nIdioma=SPAnish\r\n");
  config::SetUpPaths();
  const config::Settings& s = config::SettingsState();
  EXPECT_EQ(s.menu_title, " Caixa ");
  EXPECT_EQ(s.menu_name, "REBUTS");
  EXPECT_EQ(s.operator_type, 3);
  EXPECT_EQ(s.colour_selection, 2);
  EXPECT_EQ(s.colour_table[1], Pair(15, 1));
  EXPECT_EQ(s.work_date_text, "20261207");
  EXPECT_EQ(s.output_device, "TXT");  // a tab typed after the name is no part of it
  EXPECT_EQ(s.printer_device, "OFICINA");
  EXPECT_EQ(s.language, "SPA");  // from the main file, cut to three characters
  EXPECT_EQ(config::PathsState().temp_dir, dir.path() + "tmp\\");
  EXPECT_EQ(config::PathsState().term_dir, "");
  EXPECT_EQ(config::PathsState().env_kind, "DOS");
}

TEST_F(SettingsTest, MissingFilesGiveDefaults) {
  ScopedEnv root("KELROOT", dir.path());
  ScopedEnv tmp("KELTMP", dir.path());
  ScopedEnv term("TERM", "");
  config::SetUpPaths();
  const config::Settings& s = config::SettingsState();
  EXPECT_EQ(s.menu_title, "  ");
  EXPECT_EQ(s.colour_string, "15000700000700070007");
  EXPECT_EQ(s.colour_table[0], Pair(15, 0));
  EXPECT_EQ(s.language, "   ");
  EXPECT_EQ(s.work_date_text, "");
  EXPECT_EQ(s.printer_device, "PDF");
}

TEST_F(SettingsTest, BlankFirstCharacterMeansMissing) {
  ScopedEnv root("KELROOT", dir.path());
  ScopedEnv tmp("KELTMP", dir.path());
  dir.Write("TavoTerm.ini", "[Pantalla]\r\nCol0= 1500\r\n[Sistema]\r\nIdioma= CAT\r\n");
  dir.Write("Tavo.ini", "[Usuari]\r\nIdioma=GLG\r\n");
  config::SetUpPaths();
  EXPECT_EQ(config::SettingsState().colour_string, "15000700000700070007");
  EXPECT_EQ(config::SettingsState().language, "GLG");
}

TEST_F(SettingsTest, PipesAndDevicesUnderSettingsNamesAreNotRead) {
  alarm(30);  // a reader waiting on the pipe or reading the device for ever
  ScopedEnv root("KELROOT", dir.path() + "root/");
  ScopedEnv tmp("KELTMP", dir.path());
  dir.Write("root/.keep", "");
  ASSERT_EQ(mkfifo((dir.path() + "Sessio.ini").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir.path() + "TavoTerm.ini").c_str()), 0);
  ASSERT_EQ(mkfifo((dir.path() + "root/Tavo.ini").c_str(), 0600), 0);
  config::SetUpPaths();
  alarm(0);
  EXPECT_EQ(config::SettingsState().menu_title, "  ");
  EXPECT_EQ(config::SettingsState().colour_string, "15000700000700070007");
  EXPECT_EQ(config::SettingsState().language, "   ");
}

}  // namespace
