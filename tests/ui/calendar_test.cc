// The pop-up calendar: keys in, the quarter on screen and the picked date
// out. The screen checked is the one the calendar showed while it waited
// for its last key.

#include <gtest/gtest.h>

#include "app/config/settings.h"
#include "platform/key_decoder.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/ui_fixture.h"
#include "ui/calendar.h"
#include "values/digits.h"

namespace {

using testing_support::UiTest;

using namespace platform::scan;

class CalendarTest : public UiTest {
 protected:
  // Opens the calendar on the work date, moves with the extended keys and
  // ends with the key given ('F' picks, 27 cancels).
  std::string Pick(const std::string& work_date, std::initializer_list<uint8_t> moves,
                   uint8_t last = 'F') {
    config::SettingsState().work_date = values::PackDigits(work_date);
    for (uint8_t scan : moves) term().PushExtended(scan);
    term().PushKey(last);
    return ui::Calendar();
  }
  // A row of the calendar's inside (columns 60-79) as last shown.
  std::string Inside(int row) { return term().Text(row).substr(59, 20); }
  uint8_t ShownAttr(int row, int col) { return term().CellAt(row, col).attr; }

  testing_support::FixedClock clock_{2026, 6, 15};
};

TEST_F(CalendarTest, OpensOnTheWorkDateQuarterAndGivesTheScreenBack) {
  ui::ClearScreen();
  platform::SetCursor(5, 60);
  platform::WriteText("under the window");
  ui::SetColour("r");
  platform::SetCursor(5, 70);
  platform::Refresh();
  const std::string before = term().ScreenText();

  EXPECT_EQ(Pick("20261207", {}), "7/12/2026 ");
  EXPECT_EQ(term().Text(1).substr(58, 22), "\xDA\xC4\xC4\xC4\xC4\xC4\xC4\xC4 2026 \xC4\xC4\xC4\xC4\xC4\xC4\xC4\xBF");
  EXPECT_EQ(Inside(2), "DL DT DC DJ DV DS DG");
  EXPECT_EQ(Inside(3), "      OCTUBRE       ");
  EXPECT_EQ(Inside(4), "          1  2  3  4") << "1 October 2026 is a Thursday";
  EXPECT_EQ(Inside(10), "      NOVEMBRE      ");
  EXPECT_EQ(Inside(17), "      DESEMBRE      ");
  EXPECT_EQ(Inside(18), "    1  2  3  4  5  6");
  EXPECT_EQ(Inside(19), " 7  8  9 10 11 12 13");
  EXPECT_EQ(Inside(23), "                    ");
  EXPECT_EQ(term().Text(24).substr(58, 22), "\xC0" + std::string(20, '\xC4') + "\xD9");
  EXPECT_EQ(ShownAttr(19, 61), 0x70) << "the day under the cursor";
  EXPECT_EQ(ShownAttr(19, 64), 0x0F);

  platform::Refresh();
  EXPECT_EQ(term().ScreenText(), before);
  EXPECT_EQ(term().CursorRow(), 5);
  EXPECT_EQ(ui::ScreenState().current_colour, 2);
  EXPECT_EQ(ui::ScreenState().win_depth, 0);

  EXPECT_EQ(Pick("20261207", {kRight}, 27), "") << "Esc picks nothing";
}

TEST_F(CalendarTest, MovesCrossMonthsQuartersAndYears) {
  EXPECT_EQ(Pick("20261231", {kRight}), "1/1/2027  ");
  EXPECT_EQ(term().Text(1).substr(66, 6), " 2027 ");
  EXPECT_EQ(Inside(3), "       GENER        ");
  EXPECT_EQ(Pick("20270101", {kLeft}), "31/12/2026");
  EXPECT_EQ(Pick("20260328", {kDown}), "4/4/2026  ");
  EXPECT_EQ(Inside(3), "       ABRIL        ");
  EXPECT_EQ(Pick("20260404", {kUp}), "28/3/2026 ");
  EXPECT_EQ(Pick("20260101", {kUp, kUp}), "18/12/2025");
  EXPECT_EQ(Pick("20240228", {kRight}), "29/2/2024 ");
  EXPECT_EQ(Pick("20250228", {kRight}), "1/3/2025  ");
}

TEST_F(CalendarTest, PagesKeepTheDayWithinTheMonthOfTheYearShown) {
  EXPECT_EQ(Pick("20271130", {kPgDn}), "28/2/2028 ") << "February of 2027 has 28 days";
  EXPECT_EQ(Pick("20270131", {kPgDn}), "30/4/2027 ");
  EXPECT_EQ(Pick("20280531", {kPgUp}), "29/2/2028 ");
  EXPECT_EQ(Pick("20270215", {kPgUp, kPgUp}), "15/8/2026 ");
  EXPECT_EQ(Pick("20260215", {kEnd}), "15/12/2026");
  EXPECT_EQ(Inside(3), "      OCTUBRE       ");
  EXPECT_EQ(Pick("20261231", {kHome}), "31/1/2026 ");
  EXPECT_EQ(Pick("00010101", {kLeft, kPgUp}), "1/1/0001  ") << "no year before 1";
}

TEST_F(CalendarTest, LanguagesAndAStartWithoutARealMonth) {
  config::SettingsState().language = "OCI";
  Pick("20260707", {});
  EXPECT_EQ(Inside(2), "DL DT DC DJ DD DS DG");
  EXPECT_EQ(Inside(3), "      JUNHSEGA      ");
  config::SettingsState().language = "SPA";
  Pick("20260307", {});
  EXPECT_EQ(Inside(2), " L  M  X  J  V  S  D");
  EXPECT_EQ(Inside(17), "       MARZO        ");
  config::SettingsState().language = "CAT";
  Pick("20260307", {});
  EXPECT_EQ(Inside(17), "        MAR\x80        ") << "accents kept in capitals";

  EXPECT_EQ(Pick("", {}), "15/6/2026 ") << "no work date: today";
  EXPECT_EQ(Pick("20261307", {}), "15/6/2026 ");
  EXPECT_EQ(Pick("20260200", {}), "1/2/2026  ");
  EXPECT_EQ(Pick("20260231", {}), "28/2/2026 ");
}

TEST_F(CalendarTest, AltCTypesThePickedDateIntoTheFieldBeingEdited) {
  ui::KeyHooksState().calendar = ui::Calendar;
  config::SettingsState().work_date = values::PackDigits("20261227");
  term().PushExtended(0x2E, platform::kLeftAlt);
  term().PushKey('f');
  term().PushKey(13);
  int16_t key = 0;
  EXPECT_EQ(EditAsForm(10, key), "27/12/2026");
  EXPECT_EQ(key, 13) << "the field kept its exit keys through the calendar";
  EXPECT_TRUE(ui::KeyInputState().saved) << "and the form its saved copy";
  EXPECT_EQ(term().DryEscapes(), 0);
}

}  // namespace
