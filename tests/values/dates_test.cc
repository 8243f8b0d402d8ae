#include "values/dates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

#include "tests/support/fixed_clock.h"
#include "values/digits.h"
#include "values/values_state.h"

namespace {

using testing_support::FixedClock;
using values::DateDiff;
using values::DateToCompactText;
using values::DayOfWeek;
using values::IsBadDateText;
using values::PackDigits;
using values::ParseDateText;

std::string Date(int year, int month, int day) {
  return PackDigits(values::ZeroPad(year, 4) + values::ZeroPad(month, 2) +
                    values::ZeroPad(day, 2));
}

std::string Digits(const std::string& date) {
  return values::UnpackDigits(date);
}

class DatesTest : public ::testing::Test {
 protected:
  void SetUp() override { values::ResetValuesState(); }
  FixedClock clock_{2026, 12, 7};
};

struct ParseCase {
  const char* text;
  const char* digits;  // YYYYMMDD
};

TEST_F(DatesTest, ParsesEveryTypedForm) {
  const ParseCase cases[] = {
      {"7/12/26", "20261207"},   {"07.12.2026", "20261207"},
      {"7-12-26", "20261207"},   {"071226", "20261207"},
      {"0712  26", "20261207"},  {"07122026", "20261207"},
      {"0712", "20001207"},      // no year digits: year 0 gets the century
      {"31/02/26", "20260231"},  // impossible days pack as typed
      {"1/13/26", "20261301"},
      {"1 2/3/26", "20260301"},  // a field stops at the first non-digit
      {"1/1/76", "19760101"},    // window: 1976 .. 2075
      {"1/1/75", "20750101"},    {"1/1/77", "19770101"},
      {"1/1/123", "20230101"},   // three digits are a short year
      {"1/1/0026", "00260101"},  // four digits are kept
      {"0/0/26", "00260000"},    // no century without day and month
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Digits(ParseDateText(c.text)), c.digits) << c.text;
  }
}

TEST_F(DatesTest, MalformedTextGivesTheEmptyDate) {
  const char* cases[] = {"1/2",      "1/2/3/4", "1a/2/26", "7/12/26x",
                         "40000/1/26", "1/1/99999", "070199999", "",
                         "abc"};
  for (const char* text : cases) {
    EXPECT_EQ(ParseDateText(text), values::EmptyDate()) << text;
  }
  EXPECT_EQ(values::EmptyDate(), std::string(4, '\x80'));
}

TEST_F(DatesTest, WindowFollowsTheCurrentYear) {
  FixedClock later(2099);
  EXPECT_EQ(Digits(ParseDateText("1/1/49")), "20490101");  // exactly -50
  EXPECT_EQ(Digits(ParseDateText("1/1/48")), "21480101");
  EXPECT_EQ(Digits(ParseDateText("1/1/99")), "20990101");
  EXPECT_EQ(DateToCompactText(Date(2049, 1, 1)), "010149");
  EXPECT_EQ(DateToCompactText(Date(2048, 1, 1)), "01012048");
  EXPECT_EQ(DateToCompactText(Date(2148, 1, 1)), "010148");
  EXPECT_EQ(DateToCompactText(Date(2149, 1, 1)), "01012149");
}

TEST(DatesRealClockTest, TwoDigitYearsUseTheRealYear) {
  platform::SetClock({});
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int year = local.tm_year + 1900;
  EXPECT_EQ(values::CurrentYear(), year);
  const std::string yy = values::ZeroPad(year % 100, 2);
  EXPECT_EQ(Digits(ParseDateText("15/06/" + yy)),
            values::ZeroPad(year, 4) + "0615");
  EXPECT_EQ(Digits(ParseDateText("1506")),
            values::ZeroPad(year / 100 * 100, 4) + "0615");
  EXPECT_EQ(DateToCompactText(Date(year, 6, 15)), "1506" + yy);
  EXPECT_EQ(DateToCompactText(Date(year - 51, 6, 15)).size(), 8u);
}

TEST_F(DatesTest, CompactTextOfStoredDates) {
  EXPECT_EQ(DateToCompactText(Date(2026, 12, 7)), "071226");
  EXPECT_EQ(DateToCompactText(Date(1950, 3, 1)), "01031950");
  EXPECT_EQ(DateToCompactText(Date(1976, 1, 1)), "010176");
  EXPECT_EQ(DateToCompactText(Date(2075, 1, 1)), "010175");
  EXPECT_EQ(DateToCompactText(Date(2076, 1, 1)), "01012076");
  EXPECT_EQ(DateToCompactText(values::EmptyDate()), "");
  EXPECT_EQ(DateToCompactText(""), "");  // a work date with no bytes
}

TEST_F(DatesTest, CompactTextReadsBackUnchanged) {
  for (int year = 1900; year <= 2150; ++year) {
    for (int month : {1, 2, 12}) {
      const std::string date = Date(year, month, 28);
      ASSERT_EQ(ParseDateText(DateToCompactText(date)), date)
          << year << "-" << month;
    }
  }
}

struct BadCase {
  const char* text;
  int16_t bad;
};

TEST_F(DatesTest, ValidatesRealDays) {
  const BadCase cases[] = {
      {"29/2/2000", 0},  {"29/2/1900", -1}, {"29/2/2100", -1},
      {"29/2/1500", -1},  // Gregorian rule even before 1582
      {"29/2/24", 0},     {"29/2/26", -1},  {"28/2/26", 0},
      {"4/10/1582", 0},   {"5/10/1582", -1}, {"10/10/1582", -1},
      {"14/10/1582", -1}, {"15/10/1582", 0},
      {"30/4/26", 0},     {"31/4/26", -1},   {"31/12/26", 0},
      {"0/1/26", -1},     {"1/0/26", -1},    {"1/13/26", -1},
      {"32/1/26", -1},    {"1/1/76", 0},     {"1/1/75", 0},
      {"29/2/400", 0},    // three digits are validated as typed: 400 is leap
      {"29/2/100", -1},   {"29/2/0", 0},     {"071226", 0},
      {"1/2", -1},        {"1/2/3/4", -1},   {"1a/2/26", -1},
      {"", -1},           {"40000/1/26", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsBadDateText(c.text), c.bad) << c.text;
  }
}

TEST_F(DatesTest, DaysPerMonth) {
  const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) {
    const std::string month = std::to_string(m);
    EXPECT_EQ(IsBadDateText(std::to_string(days[m - 1]) + "/" + month + "/26"),
              0) << m;
    EXPECT_EQ(
        IsBadDateText(std::to_string(days[m - 1] + 1) + "/" + month + "/26"),
        -1) << m;
  }
}

TEST_F(DatesTest, DayOfWeekExamples) {
  EXPECT_EQ(DayOfWeek(Date(1582, 10, 4)), 4);
  EXPECT_EQ(DayOfWeek(Date(1582, 10, 15)), 5);
  EXPECT_EQ(DayOfWeek(Date(2000, 1, 1)), 6);
  EXPECT_EQ(DayOfWeek(Date(2026, 12, 7)), 1);
  EXPECT_EQ(DayOfWeek(Date(2026, 12, 13)), 7);
}

std::chrono::year_month_day Civil(int y, int m, int d) {
  return std::chrono::year{y} / std::chrono::month{static_cast<unsigned>(m)} /
         std::chrono::day{static_cast<unsigned>(d)};
}

TEST_F(DatesTest, GregorianDaysAgreeWithTheCivilCalendar) {
  // Every day from 1583 to 2100, one after the other.
  std::chrono::sys_days day = std::chrono::sys_days{Civil(1583, 1, 1)};
  const std::chrono::sys_days last = std::chrono::sys_days{Civil(2100, 12, 31)};
  const std::chrono::sys_days origin = std::chrono::sys_days{Civil(1600, 3, 1)};
  const std::string origin_date = Date(1600, 3, 1);
  for (; day <= last; day += std::chrono::days{1}) {
    const std::chrono::year_month_day ymd{day};
    const std::string date = Date(int(ymd.year()), unsigned(ymd.month()),
                                  unsigned(ymd.day()));
    ASSERT_EQ(DayOfWeek(date),
              std::chrono::weekday{day}.iso_encoding())
        << Digits(date);
    const auto expected = (day - origin).count();
    ASSERT_EQ(DateDiff(date, origin_date, "D"),
              expected < 0 ? -expected : expected)
        << Digits(date);
  }
}

TEST_F(DatesTest, DayCountsAcrossTheCalendarChange) {
  EXPECT_EQ(DateDiff(Date(1582, 10, 1), Date(1582, 10, 20), "D"), 19);
  EXPECT_EQ(DateDiff(Date(1582, 10, 4), Date(1582, 10, 15), "D"), 11);
  // February 1500 has 29 days here (Julian), though "29/2/1500" is refused.
  EXPECT_EQ(DateDiff(Date(1500, 2, 1), Date(1500, 3, 1), "D"), 29);
  EXPECT_EQ(DateDiff(Date(1900, 2, 1), Date(1900, 3, 1), "D"), 28);
  EXPECT_EQ(DateDiff(Date(2000, 2, 1), Date(2000, 3, 1), "D"), 29);
  EXPECT_EQ(DateDiff(Date(1500, 1, 1), Date(1501, 1, 1), "D"), 366);
  EXPECT_EQ(DateDiff(Date(1582, 1, 1), Date(1583, 1, 1), "D"), 365);
  EXPECT_EQ(DateDiff(Date(1700, 1, 1), Date(1701, 1, 1), "D"), 365);
}

// Whole years counted one by one with the counting leap rule.
int64_t YearByYear(int from, int to) {
  int64_t days = 0;
  for (int y = from; y < to; ++y) {
    const bool leap = y < 1582 ? y % 4 == 0
                               : (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0));
    days += leap ? 366 : 365;
  }
  return days;
}

TEST_F(DatesTest, WholeYearSpansMatchYearByYearCounting) {
  const int spans[][2] = {{1, 2},       {4, 1000},   {1000, 2000},
                          {1581, 1583}, {1582, 9999}, {1, 9999},
                          {1899, 1901}, {2000, 2401}};
  for (const auto& s : spans) {
    EXPECT_EQ(DateDiff(Date(s[0], 1, 1), Date(s[1], 1, 1), "D"),
              YearByYear(s[0], s[1]))
        << s[0] << ".." << s[1];
  }
}

TEST_F(DatesTest, MonthsYearsAndUnits) {
  const std::string a = Date(2024, 3, 15);
  for (const char* unit : {"D", "M", "A", "d", "m", "a"}) {
    EXPECT_EQ(DateDiff(a, a, unit), 0) << unit;
  }
  EXPECT_EQ(DateDiff(a, Date(2025, 3, 14), "A"), 0);
  EXPECT_EQ(DateDiff(a, Date(2025, 3, 15), "A"), 1);
  EXPECT_EQ(DateDiff(Date(2025, 3, 15), a, "a"), 1);  // order does not matter
  EXPECT_EQ(DateDiff(a, Date(2025, 2, 28), "A"), 0);
  EXPECT_EQ(DateDiff(Date(2024, 1, 31), Date(2024, 2, 1), "M"), 1);
  EXPECT_EQ(DateDiff(Date(2024, 2, 1), Date(2024, 1, 31), "m"), 1);
  EXPECT_EQ(DateDiff(Date(2020, 11, 30), Date(2026, 2, 1), "M"), 63);
  EXPECT_EQ(DateDiff(Date(2026, 12, 7), Date(2026, 1, 1), "D"), 340);
  EXPECT_EQ(DateDiff(Date(2026, 1, 1), Date(2026, 12, 7), "d"), 340);
  EXPECT_EQ(DateDiff(a, Date(2030, 1, 1), "X"), 0);
  EXPECT_EQ(DateDiff(a, Date(2030, 1, 1), ""), 0);
  EXPECT_EQ(DateDiff(a, Date(2030, 1, 1), "DD"), 0);
}

TEST_F(DatesTest, OddStoredDatesNeverGiveNegativeCounts) {
  // Day 99 of December before 1 January: invalid, but never negative.
  EXPECT_GE(DateDiff(Date(2025, 12, 99), Date(2026, 1, 1), "D"), 0);
  EXPECT_GE(DateDiff(Date(2025, 99, 1), Date(2026, 1, 1), "M"), 0);
  EXPECT_GE(DateDiff("", std::string(8, '\xE3'), "D"), 0);
  EXPECT_GE(DayOfWeek(values::EmptyDate()), 1);
  EXPECT_LE(DayOfWeek(values::EmptyDate()), 7);
  EXPECT_GE(DayOfWeek(""), 1);
}

struct KeyCase {
  const char* text;
  const char* digits;
};

TEST_F(DatesTest, PacksDottedCodes) {
  const KeyCase cases[] = {
      {"012345.1234", "0123451234"},
      {"012.3", "00120003"},
      {"12.", "0012"},
      {"123456", "123456"},          // six characters, no dot: 6 wide
      {"12345678901", "678901"},     // eleven, no dot: 6 wide, cut left
      {"1234567", "4567"},
      {"5", "0005"},
      {"1.2.3", "000100020003"},
      {".5", "00000005"},
      {"  7 .  8", "00070008"},
      {"", ""},
      {"   ", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(values::UnpackDigits(values::PackCodeKey(c.text)), c.digits)
        << c.text;
  }
  EXPECT_EQ(values::PackCodeKey("012345.1234").size(), 5u);
}

}  // namespace
