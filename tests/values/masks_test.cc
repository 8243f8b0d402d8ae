#include "values/masks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "app/config/paths.h"
#include "tests/support/temp_dir.h"
#include "values/values_state.h"

namespace {

using values::FormatAmount;
using values::FormatNumber;
using values::IsBadNumberText;
using values::SetCurrency;

class MasksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    values::ResetValuesState();
    config::PathsState().root = dir_.path();  // no Tavo.ini: "'" and "."
  }
  void TearDown() override {
    config::ResetPathsState();
    values::ResetValuesState();
  }
  testing_support::TempDir dir_;
};

struct NumberCase {
  const char* mask;
  double value;
  const char* expected;
};

void ExpectAll(const NumberCase* begin, const NumberCase* end) {
  for (const NumberCase* c = begin; c != end; ++c) {
    EXPECT_EQ(FormatNumber(c->mask, c->value), c->expected)
        << "mask '" << c->mask << "' value " << c->value;
  }
}

TEST_F(MasksTest, WorkedExamples) {
  const NumberCase cases[] = {
      {"Z,ZZZ,ZZ9", 1234, "    1.234"},
      {"Z,ZZZ,ZZ9", -1234, "   -1.234"},
      {"Z,ZZZ,ZZ9", 0, "        0"},
      {"Z,ZZZ,ZZ9", 1234567, "1.234.567"},
      {"ZZ9.99", 0.05, "  0'05"},
      {"ZZ9.ZZ", 1.5, "  1'5 "},
      {"ZZ9.ZZ", 1, "  1   "},  // point blanked with the zero decimals
      {"*,**9.99", 5, "****5'00"},
      {"ZZZ9", 0, "   0"},
      {"ZZZZ", 0, "    "},
      {"ZZZZ", 0.3, "   0"},
      {"ZZZZ", 12, "  12"},
      {"zzz9", 42, "  42"},
      {"ZZ.ZZ", 0.05, "  '05"},
      {"ZZZ.ZZ", 0, "      "},
      {"Z,ZZ9", 5, "    5"},
      {"*,**9", 5, "****5"},
      {"9,999", 5, "0.005"},
      {"99/99", 1231, "12/31"},  // literals are copied
      {"ZZZ9", 7, "   7"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

// Digit places and separators only, the masks of amounts: blanks and
// separators left of the digits, decimals that run short, values too wide.
TEST_F(MasksTest, MasksOfDigitPlacesAndSeparators) {
  const NumberCase cases[] = {
      {"ZZ,ZZ9.99", 0, "     0'00"},
      {"ZZ,ZZ9.99", 0.004, "     0'00"},
      {"ZZ,ZZ9.99", 12345.675, "12.345'68"},
      {"ZZ,ZZ9.99", 123456.7, "123456'70"},
      {".99", 0.5, "'50"},
      {"Z.99", 0.125, " '12"},
      {"ZZ,ZZ9.", 1234, " 1.234'"},
      {"9,ZZ9", 12, "0  12"},
      {"Z,ZZZ,ZZ9", -0.0, "        0"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST_F(MasksTest, RoundsHalfToEvenOnTheBinaryValue) {
  const NumberCase cases[] = {
      {"9", 2.5, "2"},       {"9", 3.5, "4"},      {"9", 0.5, "0"},
      {"9", 1.5, "2"},       {"99", 10.5, "10"},   {"99", 11.5, "12"},
      {"9.9", 0.25, "0'2"},  {"9.9", 0.75, "0'8"}, {"9.99", 1.005, "1'00"},
      {"9.99", 2.675, "2'68"},  // scaled product is exactly 267.5
      {"9", 2.5000001, "3"}, {"ZZ9", 9.49, "  9"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST_F(MasksTest, SignPositions) {
  const NumberCase cases[] = {
      {"ZZ9.99-", -1.5, "  1'50-"}, {"ZZ9.99-", 1.5, "  1'50 "},
      {"+ZZ9", 5, "+  5"},          {"+ZZ9", -5, "-  5"},
      {"-ZZ9", 5, "   5"},          {"ZZ9+", 5, "  5+"},
      {"99", -5, "-5"},             {"Z,ZZZ,ZZ9", -5, "       -5"},
      {"ZZ9.99", -0.05, "  -'05"},  // the minus floats into the "9"
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST_F(MasksTest, MinusNeverLandsAmongTheDecimals) {
  const NumberCase cases[] = {
      {"ZZ.ZZ", -0.05, " -'05"},
      {"ZZZZ", -0.3, "  -0"},
      {".99", -0.05, "-'0"},  // no place for the minus: the plain number
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST_F(MasksTest, Overflow) {
  const NumberCase cases[] = {
      {"ZZ9", 1234, "!!!"},
      {"ZZZ9.99", 12345.678, "12345'6"},  // last decimals go first
      {"9", -5, "!"},
      {"ZZ9", -123, "!!!"},  // three digits and a minus need four places
      {"9999", -123, "-123"},
      {"999.9", -999.9, "-999'"},
      {"9/9", -12, "-12"},
      {"ZZ9", std::numeric_limits<double>::infinity(), "!!!"},
      {"ZZ9", std::nan(""), "!!!"},
      {"ZZ9.99", 1e300, "!!!!!!"},
      {"", 5, ""},
  };
  ExpectAll(std::begin(cases), std::end(cases));
  // Scaling past the double range.
  const std::string wide = "9." + std::string(30, '9');
  EXPECT_EQ(FormatNumber(wide, 1e300), std::string(wide.size(), '!'));
}

TEST_F(MasksTest, ResultAlwaysHasTheMaskLength) {
  const char* masks[] = {"Z,ZZZ,ZZ9", "ZZ9.99-", "+ZZ9", "*,**9.99", "9",
                         "ZZZZ", ".99", "Z.Z.Z", "--99", "9,9.9,9", "x9y",
                         "ZZ,ZZZ,ZZ9.99", "**.**", "z", "-", "."};
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> magnitude(-8, 8);
  std::uniform_int_distribution<int> coin(0, 1);
  for (const char* mask : masks) {
    for (int i = 0; i < 300; ++i) {
      double v = std::pow(10.0, magnitude(random));
      if (coin(random)) v = -v;
      ASSERT_EQ(FormatNumber(mask, v).size(), std::string(mask).size())
          << mask << " " << v;
    }
  }
}

TEST_F(MasksTest, ConfiguredCharactersAreReadOnce) {
  dir_.Write("Tavo.ini", "[Usuari]\nDecCaracter=,\nMilCaracter= \n");
  values::ResetValuesState();
  // A blank thousands setting falls back to ".".
  EXPECT_EQ(FormatNumber("Z,ZZZ,ZZ9.99", 1234.5), "    1.234,50");
  EXPECT_EQ(values::DecimalChar(), ',');
  dir_.Write("Tavo.ini", "[Usuari]\nDecCaracter=.\nMilCaracter=_\n");
  EXPECT_EQ(FormatNumber("Z,ZZ9.9", 1234.5), "1.234,5");
  values::ResetValuesState();
  EXPECT_EQ(FormatNumber("Z,ZZ9.9", 1234.5), "1_234.5");
  EXPECT_EQ(values::ThousandsChar(), '_');
}

struct AmountCase {
  const char* mask;
  double cents;
  const char* expected;
};

TEST_F(MasksTest, AmountsInEuros) {
  SetCurrency("a,E");
  const AmountCase cases[] = {
      {"Z,ZZZ,ZZ9", 123456, " 1.234'56"},
      {"Z,ZZZ,ZZ9", 0, "     0'00"},
      {"Z,ZZZ,ZZ9", -123456, "-1.234'56"},
      {"ZZ,ZZZ,ZZ9", -123456, " -1.234'56"},
      {"ZZ,ZZZ,ZZ9", 123456789, "1234567'89"},  // too wide: plain
      {"Z,ZZ9", 123456789, "!!!!!"},
      {"Z,ZZZ,ZZ9", 5, "     0'05"},
      {"*,***,**9", 5, "*****0'05"},
      {"ZZZ9-", -150, "1'50-"},
      {"ZZZZ", 0, "    "},
      {"", 100, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatAmount(c.mask, c.cents), c.expected)
        << c.mask << " " << c.cents;
  }
}

TEST_F(MasksTest, AmountsInPesetas) {
  SetCurrency("a,E");
  SetCurrency("x,P");
  SetCurrency("p");
  EXPECT_EQ(FormatAmount("Z,ZZZ,ZZ9", 123456), "  205.414");
  EXPECT_EQ(FormatAmount("Z,ZZZ,ZZ9", 100), "      166");
  EXPECT_EQ(FormatAmount("Z,ZZZ,ZZ9", 0), "        0");
  SetCurrency("");
  EXPECT_EQ(FormatAmount("Z,ZZZ,ZZ9", 123456), " 1.234'56");
}

TEST_F(MasksTest, CurrencyCommands) {
  values::Values& state = values::ValuesState();
  SetCurrency("a,E");
  EXPECT_EQ(state.app_currency, "E");
  EXPECT_EQ(state.currency, "E");
  SetCurrency("p");  // no print currency yet: the application one
  EXPECT_EQ(state.currency, "E");
  SetCurrency("x, p");
  EXPECT_EQ(state.print_currency, "P");
  EXPECT_EQ(state.currency, "E");  // setting it does not switch
  SetCurrency("P");
  EXPECT_EQ(state.currency, "P");
  SetCurrency("");
  EXPECT_EQ(state.currency, "E");
  SetCurrency("A,  p");
  EXPECT_EQ(state.app_currency, "P");
  EXPECT_EQ(state.currency, "P");
  SetCurrency("a,");
  EXPECT_EQ(state.app_currency, "");
  EXPECT_EQ(state.currency, "");
  EXPECT_EQ(FormatAmount("ZZ9", 150), "1'5");  // no letter: euros
}

struct TypedCase {
  const char* text;
  const char* mask;
  int16_t bad;
};

TEST_F(MasksTest, TypedNumbers) {
  const TypedCase cases[] = {
      {"12.5", "ZZ9", -1},    {"12.5", "ZZ9.99", 0},  {"-12", "ZZ9", -1},
      {"-12", "ZZ9-", 0},     {"+12", "+ZZ9", 0},     {"1-2", "ZZ9-", -1},
      {"1.2.3", "ZZ9.99", -1}, {"1.2.3", "ZZ9", -1},  {"1,234", "Z,ZZ9", -1},
      {"1,234", "", -1},      {"x-", "ZZ9-", -1},     {"  12  ", "ZZ9", 0},
      {"  12  ", "", 0},      {"  12  ", "ZZ9.99-", 0}, {"", "", 0},
      {"1'5", "ZZ9.99", -1},  {".5-", "ZZ9.9-", -1},  {"-.5", "ZZ9.9-", 0},
      {"--1", "ZZ9-", -1},    {"12", "", 0},          {"1 2", "", 0},
      {"-", "", -1},          {"5", "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsBadNumberText(c.text, c.mask), c.bad)
        << "'" << c.text << "' for '" << c.mask << "'";
  }
}

}  // namespace
