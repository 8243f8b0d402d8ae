#include "values/date_text.h"

#include <gtest/gtest.h>

#include <string>

#include "app/config/paths.h"
#include "app/config/settings.h"
#include "tests/support/temp_dir.h"
#include "values/digits.h"
#include "values/values_state.h"

namespace {

using values::FormatDate;

std::string Date(const char* digits) { return values::PackDigits(digits); }

class FormatDateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetSettingsState();
    config::ResetPathsState();
    values::ResetValuesState();
    config::PathsState().root = dir_.path();  // no Tavo.ini: the defaults
  }
  void TearDown() override {
    config::ResetSettingsState();
    config::ResetPathsState();
    values::ResetValuesState();
  }
  void UseSettings(const std::string& usuari_lines) {
    dir_.Write("Tavo.ini", "[Sistema]\nDatOrdre=MDA\n[Usuari]\n" +
                               usuari_lines);
    values::ResetValuesState();
  }
  void Language(const char* code) { config::SettingsState().language = code; }

  testing_support::TempDir dir_;
  const std::string december7_ = Date("20261207");
  const std::string april1_ = Date("20260401");
};

struct Case {
  const char* language;
  int16_t mode;
  const char* fields;
  const char* expected;
};

TEST_F(FormatDateTest, EveryModeInEveryLanguage) {
  const Case cases[] = {
      {"CAT", 0, "dma", "7/12/2026 "},
      {"SPA", 0, "dma", "7/12/2026 "},
      {"CAT", 1, "dma", "7/des/2026 "},
      {"SPA", 1, "dma", "7/dic/2026 "},
      {"GLG", 1, "dma", "7/dez/2026 "},
      {"OCI", 1, "DMA", "7/des/2026 "},
      {"CAT", 2, "dma", "7 de desembre del 2026"},
      {"SPA", 2, "dma", "7 de diciembre de 2026"},
      {"GLG", 2, "dma", "7 de dezembro do 2026"},
      {"OCI", 2, "dma", "7 de deseme deth 2026"},
      {"CAT", 5, "amd", "7 de desembre del 2026"},  // fields never reorder
      {"CAT", 2, "m", "desembre"},
      {"SPA", 2, "ma", "diciembre de 2026"},
      {"CAT", -1, "", "2026-12-07"},
      {"CAT", 0, "ma", "12/2026"},
      {"CAT", 0, "a", "2026"},
      {"CAT", 0, "d", "7 "},
      {"CAT", 1, "m", "des"},
      {"CAT", 0, "", ""},
      {"XYZ", 2, "dma", "7 de desembre del 2026"},  // unknown code: Catalan
      {"   ", 1, "dma", "7/des/2026 "},
  };
  for (const auto& c : cases) {
    Language(c.language);
    EXPECT_EQ(FormatDate(december7_, c.mode, c.fields), c.expected)
        << c.language << " mode " << c.mode << " " << c.fields;
  }
}

TEST_F(FormatDateTest, ConnectingWordBeforeAVowel) {
  const Case cases[] = {
      {"CAT", 2, "dma", "1 d'abril del 2026"},
      {"OCI", 2, "dma", "1 d'abriu deth 2026"},
      {"SPA", 2, "dma", "1 de abril de 2026"},
      {"GLG", 2, "dma", "1 de abril do 2026"},
  };
  for (const auto& c : cases) {
    Language(c.language);
    EXPECT_EQ(FormatDate(april1_, c.mode, c.fields), c.expected) << c.language;
  }
  Language("CAT");
  EXPECT_EQ(FormatDate(Date("20260801"), 2, "dma"), "1 d'agost del 2026");
  EXPECT_EQ(FormatDate(Date("20261001"), 2, "dm"), "1 d'octubre");
  EXPECT_EQ(FormatDate(Date("20260301"), 2, "dm"), "1 de mar\x87");
}

struct MonthNames {
  const char* language;
  const char* names[12];
};

TEST_F(FormatDateTest, MonthTablesInCodePage850) {
  const MonthNames tables[] = {
      {"SPA", {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio",
               "agosto", "septiembre", "octubre", "noviembre", "diciembre"}},
      {"GLG", {"janeiro", "fevereiro", "mar\x87o", "abril", "maio", "junho",
               "julho", "agosto", "setembro", "outubro", "novembro",
               "dezembro"}},
      {"OCI", {"g\x8Ar", "hereu\x8Ar", "mar\x87", "abriu", "mai", "junh",
               "junhsega", "agost", "seteme", "octobre", "noveme", "deseme"}},
      {"CAT", {"gener", "febrer", "mar\x87", "abril", "maig", "juny", "juliol",
               "agost", "setembre", "octubre", "novembre", "desembre"}},
  };
  for (const auto& table : tables) {
    Language(table.language);
    for (int m = 1; m <= 12; ++m) {
      const std::string date =
          values::PackDigits("2026" + values::ZeroPad(m, 2) + "15");
      const std::string name = table.names[m - 1];
      EXPECT_EQ(FormatDate(date, 2, "m"), name) << table.language << " " << m;
      EXPECT_EQ(values::MonthName(m), name);
      // Abbreviated: the first three characters of the 10-character field.
      EXPECT_EQ(FormatDate(date, 1, "m"), name.substr(0, 3))
          << table.language << " " << m;
    }
  }
  Language("OCI");
  EXPECT_EQ(FormatDate(Date("20260615"), 1, "m"),
            FormatDate(Date("20260715"), 1, "m"));
}

TEST_F(FormatDateTest, EmptyDateInEveryMode) {
  const std::string empty = Date("00000000");
  EXPECT_EQ(FormatDate(empty, 0, "dma"), std::string(10, ' '));
  EXPECT_EQ(FormatDate(empty, 1, "dma"), std::string(11, ' '));
  EXPECT_EQ(FormatDate(empty, 2, "dma"), "");
  EXPECT_EQ(FormatDate(empty, -1, "dma"), "0000-00-00");
  EXPECT_EQ(FormatDate("", 0, "dma"), std::string(10, ' '));
  // A year alone is not enough: month and day both 0 count as no date.
  EXPECT_EQ(FormatDate(Date("20260000"), 0, "a"), "    ");
}

TEST_F(FormatDateTest, ConfiguredSeparatorAndOrder) {
  UseSettings("DatCaracter=-\nDatOrdre=AMD\n");
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "2026-12-7 ");
  EXPECT_EQ(FormatDate(december7_, 1, "dma"), "2026-des-7 ");
  EXPECT_EQ(FormatDate(december7_, 2, "dma"), "2026 de desembre del 7");
  EXPECT_EQ(FormatDate(december7_, 0, "da"), "2026-7 ");
  EXPECT_EQ(FormatDate(december7_, -1, "dma"), "2026-12-07");
}

TEST_F(FormatDateTest, SettingsAreReadOncePerRun) {
  UseSettings("DatCaracter=.\n");
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "7.12.2026 ");
  dir_.Write("Tavo.ini", "[Usuari]\nDatCaracter=-\nDatOrdre=MDA\n");
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "7.12.2026 ");
  values::ResetValuesState();
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "12-7-2026 ");
}

TEST_F(FormatDateTest, BlankOrOddSettingsFallBack) {
  UseSettings("DatCaracter= -\nDatOrdre=   \n");
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "7/12/2026 ");
  // A leading blank makes the value missing, as it does for the language.
  UseSettings("DatOrdre= AMD\n");
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "7/12/2026 ");
  UseSettings("DatOrdre=DXA\n");  // unknown letters contribute nothing
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "7/2026    ");
  UseSettings("DatOrdre=am\n");  // short order: the rest is blank
  EXPECT_EQ(FormatDate(december7_, 0, "dma"), "2026/12   ");
}

TEST_F(FormatDateTest, LanguageIsReadAtEveryCall) {
  Language("CAT");
  EXPECT_EQ(FormatDate(december7_, 2, "m"), "desembre");
  Language("SPA");
  EXPECT_EQ(FormatDate(december7_, 2, "m"), "diciembre");
}

TEST_F(FormatDateTest, MonthOutsideTheTablesShowsItsNumber) {
  Language("CAT");
  EXPECT_EQ(FormatDate(Date("20261307"), 2, "dma"), "7 de 13 del 2026");
  EXPECT_EQ(FormatDate(Date("20261307"), 1, "dma"), "7/13/2026  ");
  EXPECT_EQ(FormatDate(Date("20261307"), 0, "dma"), "7/13/2026 ");
}

}  // namespace
