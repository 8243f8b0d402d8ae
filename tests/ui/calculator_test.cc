// The pop-up calculator: keys in, the tape on screen, the typed result out,
// and its state file between openings. The screen checked is the one the
// calculator showed while it waited for its last key.

#include <gtest/gtest.h>

#include "platform/key_decoder.h"
#include "tests/support/ui_fixture.h"
#include "ui/calculator.h"

namespace {

using testing_support::UiTest;

const std::string kBar = "\xB3";

class CalculatorTest : public UiTest {
 protected:
  // Opens the calculator, types the keys (one per byte; "<" is Left, ">"
  // Right, "\b" Backspace, "\x1b" Esc) and returns what it gave back.
  std::string Run(const std::string& keys) {
    for (char k : keys) {
      if (k == '<' || k == '>') {
        term().PushExtended(k == '<' ? platform::scan::kLeft : platform::scan::kRight);
      } else {
        term().PushKey(static_cast<uint8_t>(k));
      }
    }
    return ui::Calculator();
  }
  // What a line of the calculator at column col showed: the 21 positions
  // of its number and the operator column.
  std::string Number(int row, int col = 1) { return term().Text(row).substr(col, 21); }
  char Op(int row, int col = 1) { return term().Text(row)[static_cast<size_t>(col + 22)]; }
  static std::string Right(const std::string& shown) { return std::string(21 - shown.size(), ' ') + shown; }
  std::string StateFile() const { return dir().path() + "KELCALC.TMP"; }
};

TEST_F(CalculatorTest, SumsGoOnTheTapeAndFTypesHundredths) {
  EXPECT_EQ(Run("12+30=F"), "4200");
  EXPECT_EQ(term().Text(19).substr(0, 26), "\xDA" + std::string(24, '\xC4') + "\xBF");
  EXPECT_EQ(Number(20), Right("12"));
  EXPECT_EQ(Op(20), '+');
  EXPECT_EQ(Number(21), Right("30"));
  EXPECT_EQ(Op(21), '=');
  EXPECT_EQ(term().Text(22).substr(0, 26), kBar + Right("42") + "   " + kBar);
  EXPECT_EQ(term().Text(23).substr(0, 26), "\xC3" + std::string(24, '\xC4') + "\xB4");
  EXPECT_EQ(term().Text(24).substr(0, 26), kBar + Right("42") + "   " + kBar);
  EXPECT_EQ(term().Text(25).substr(0, 26), "\xC0" + std::string(24, '\xC4') + "\xD9");
  EXPECT_EQ(term().Text(18).substr(0, 26), std::string(26, ' ')) << "above the tape: the screen";

  EXPECT_EQ(Run("CC12345678.9F"), "1234567890");
  EXPECT_EQ(Number(24), Right("12.345.678'9"));
  EXPECT_EQ(Run("CC1.234F"), "123.4");
  EXPECT_EQ(Run("CC0.001F"), "0.1");
  EXPECT_EQ(Run("CC1T2=F"), "1200") << "the sign is not typed";
  EXPECT_EQ(Number(22), Right("-12")) << "digits typed after T grow away from zero";
}

TEST_F(CalculatorTest, PercentRoundingAndBackspace) {
  EXPECT_EQ(Run("200+10%=F"), "22000");
  EXPECT_EQ(Op(20), '%');
  EXPECT_EQ(Run("CC200*10%=F"), "2000");
  EXPECT_EQ(Run("CC0.125RF"), "12");
  EXPECT_EQ(Number(22), Right("0'12"));
  EXPECT_EQ(Op(22), 'R');
  EXPECT_EQ(Run("CC0.375RF"), "38");
  EXPECT_EQ(Run("CC1.005RF"), "100") << "1.005 lies just below the half";
  EXPECT_EQ(Run("CC2.556TRF"), "255") << "a negative value is cut toward zero";

  EXPECT_EQ(Run("CC7.5\b\bF"), "700");
  EXPECT_EQ(Number(24), Right("7")) << "no point left";
  EXPECT_EQ(Run("CC0.290\bF"), "29") << "the cut keeps the typed digits";
  EXPECT_EQ(Run("CC1234567890123456789F"), "12345678901234500") << "15 digits at most";
}

TEST_F(CalculatorTest, ClearOnceTwiceAndDivisionByZero) {
  EXPECT_EQ(Run("5+3CF"), "500") << "C while typing brings the total back";
  EXPECT_EQ(Run("CF"), "0") << "the first C clears everything";
  EXPECT_EQ(term().Text(21).substr(0, 26), "\xDA" + std::string(24, '\xC4') + "\xBF")
      << "but keeps the tape";
  Run("C\x1b");
  EXPECT_EQ(term().Text(23).substr(0, 26), "\xDA" + std::string(24, '\xC4') + "\xBF")
      << "a second C empties it";
  EXPECT_EQ(term().Text(22).substr(0, 26), std::string(26, ' '));

  EXPECT_EQ(Run("8/0=\x1b"), "");
  EXPECT_EQ(Op(24), 'E') << "the error mark";
  EXPECT_EQ(Number(24), Right("0"));
  EXPECT_EQ(Run("C=F"), "800") << "the total was left as it was";
  const std::string state = dir().Read("KELCALC.TMP");
  EXPECT_EQ(state.find("inf"), std::string::npos) << state;
  EXPECT_EQ(state.find("nan"), std::string::npos) << state;
}

TEST_F(CalculatorTest, TapeKeepsTheLastTwentyOneLines) {
  std::string keys;
  for (int i = 1; i <= 25; ++i) keys += std::to_string(i) + "+";
  Run(keys + "\x1b");
  EXPECT_EQ(term().Text(1).substr(0, 26), "\xDA" + std::string(24, '\xC4') + "\xBF");
  EXPECT_EQ(Number(2), Right("5"));
  EXPECT_EQ(Number(22), Right("25"));
  EXPECT_EQ(Number(24), Right("325"));
}

TEST_F(CalculatorTest, WindowSlidesAndWrapsAtColumnEighty) {
  Run("<\x1b");
  EXPECT_EQ(term().Text(25).substr(54, 26), "\xC0" + std::string(24, '\xC4') + "\xD9");
  Run("<\x1b");
  EXPECT_EQ(term().Text(25)[53], '\xC0') << "the column was kept";
  Run(">>\x1b");
  EXPECT_EQ(term().Text(25)[0], '\xC0') << "from the right edge to column 1";
  EXPECT_EQ(platform::ReadCell(25, 1).ch, ' ') << "the screen under it is back";
}

TEST_F(CalculatorTest, StateSurvivesRunsAndABadFileStartsAfresh) {
  Run("12+7\x1b");
  EXPECT_EQ(Run("\x1b"), "");
  EXPECT_EQ(Number(24), Right("7")) << "the number half typed is shown again";
  EXPECT_EQ(Run("=F"), "1900");
  EXPECT_EQ(dir().Read("KELCALC.TMP").substr(0, 12), "1,20,19,19\r\n");

  const std::string good = dir().Read("KELCALC.TMP");
  for (const std::string& bad :
       {std::string("garbage"), good.substr(0, good.size() / 2),
        "0" + good.substr(1),                           // column 0
        "1,20,nan,19" + good.substr(good.find('\r')),   // not a number
        "1,20,1e5,19" + good.substr(good.find('\r')),   // not plain decimal
        good + "1,0,0,\" \"\r\n",                       // a line too many
        std::string(100000, '7')}) {
    dir().Write("KELCALC.TMP", bad);
    EXPECT_EQ(Run("F"), "0") << bad.substr(0, 40);
    EXPECT_EQ(term().Text(23).substr(0, 1), "\xDA") << "an empty tape";
    EXPECT_EQ(dir().Read("KELCALC.TMP").substr(0, 10), "1,23,0,0\r\n");
  }
}

TEST_F(CalculatorTest, StateFileFollowsTheTerminalDirectory) {
  EXPECT_EQ(ui::CalculatorStateFile(), dir().path() + "KELCALC.TMP");
  config::PathsState().term_dir = dir().path() + "T\\";
  EXPECT_EQ(ui::CalculatorStateFile(), dir().path() + "T\\KELCALC.TMP");
  config::PathsState().term_dir.clear();
  config::PathsState().temp_dir.clear();
  EXPECT_EQ(ui::CalculatorStateFile(), "") << "never the shared installation root";
}

TEST_F(CalculatorTest, AltXTypesTheResultIntoTheFieldBeingEdited) {
  ui::KeyHooksState().calculator = ui::Calculator;
  term().PushExtended(0x2D, platform::kLeftAlt);
  term().PushText("2+3=F");
  term().PushKey(13);
  int16_t key = 0;
  EXPECT_EQ(EditAsForm(6, key), "500   ");
  EXPECT_EQ(key, 13);
  EXPECT_EQ(term().DryEscapes(), 0);
}

}  // namespace
