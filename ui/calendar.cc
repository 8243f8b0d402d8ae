// The pop-up calendar: drawing a quarter and moving the highlighted day.

#include "ui/calendar.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "app/config/language.h"
#include "app/config/settings.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/system.h"
#include "ui/keys.h"
#include "ui/popup.h"
#include "ui/screen.h"
#include "values/date_text.h"
#include "values/dates.h"
#include "values/digits.h"
#include "values/text.h"

namespace ui {

namespace {

constexpr int16_t kTop = 1, kLeft = 59, kBottom = 24, kRight = 80;
// Right, left, down, up, page down, page up, home, end, Alt+F, Esc.
constexpr const char* kCalendarKeys = "4d00,4b00,5000,4800,5100,4900,4700,4f00,2100,1b";
// A packed date holds four year digits; moves that would leave them are
// not made.
constexpr int kFirstYear = 1, kLastYear = 9999;

struct Day {
  int year = 0, month = 0, day = 0;
};

// The tables of the year shown: the weekday of every month and day (the
// impossible days included, as the grid asks for them) and the month lengths.
struct YearTables {
  std::array<std::array<int16_t, 31>, 12> weekday{};
  std::array<int16_t, 12> days{};

  int16_t W(int m, int d) const { return weekday[static_cast<size_t>(m - 1)][static_cast<size_t>(d - 1)]; }
  int16_t D(int m) const { return days[static_cast<size_t>(m - 1)]; }
};

std::string PackedDay(int year, int month, int day) {
  return values::PackDigits(values::ZeroPad(int64_t{year} * 10000 + month * 100 + day, 8));
}

void FillTables(YearTables& t, int year) {
  for (int m = 1; m <= 12; ++m) {
    t.days[static_cast<size_t>(m - 1)] = values::MonthLength(year, m);
    for (int d = 1; d <= 31; ++d) {
      t.weekday[static_cast<size_t>(m - 1)][static_cast<size_t>(d - 1)] =
          values::DayOfWeek(PackedDay(year, m, d));
    }
  }
}

int FirstOfQuarter(int month) { return (month - 1) / 3 * 3 + 1; }

std::string DayHeader() {
  return config::ByLanguage<std::string>(config::SettingsState().language, "DL DT DC DJ DV DS DG",
                                         " L  M  X  J  V  S  D", " L  M  X  J  V  S  D",
                                         "DL DT DC DJ DD DS DG");
}

// A number right-aligned in width positions (the pictures "##", "####").
std::string Picture(int n, size_t width) {
  std::string digits = std::to_string(n);
  return digits.size() < width ? std::string(width - digits.size(), ' ') + digits : digits;
}

void PutAt(int row, int col, const std::string& text) {
  WinLocate(static_cast<int16_t>(row), static_cast<int16_t>(col));
  platform::WriteText(text);
}

// The window row of a day of a month shown.
int GridRow(const YearTables& t, int first, int month, int day) {
  return 7 * (month - first) + 2 + (t.W(month, 1) + day - 2) / 7 + 1;
}

void DrawMonth(const YearTables& t, int year, int first, int month) {
  const int width = WinLastCol() - WinFirstCol() + 1;
  const int base = 7 * (month - first) + 2;
  SetColour("n");
  PutAt(base, 1, std::string(static_cast<size_t>(width), ' '));
  const std::string title =
      platform::TrimTrailingBlanks(values::FoldText(values::FormatDate(PackedDay(year, month, 1), 2, "m")));
  PutAt(base, (width - static_cast<int>(title.size())) / 2 + 1, title);

  // The grid: 6 weeks of 7 cells from the Monday on or before the first.
  SetColour("h");
  const int lead = t.W(month, 1) - 1;
  for (int cell = 0; cell < 42; ++cell) {
    const int d = cell - lead + 1;
    const int row = base + cell / 7 + 1;
    if (d >= 1 && d <= t.D(month)) {
      PutAt(row, 3 * t.W(month, d) - 2, Picture(d, 2));
    } else {
      PutAt(row, 3 * (cell % 7 + 1) - 2, "  ");
    }
  }
}

void DrawDisplay(YearTables& t, int year, int first) {
  SetColour("n");
  PutAt(0, (WinLastCol() - WinFirstCol() - 5) / 2 + 1, " " + Picture(year, 4) + " ");
  PutAt(1, 1, DayHeader());
  FillTables(t, year);
  for (int m = first; m <= first + 2; ++m) DrawMonth(t, year, first, m);
}

// The work date when it names a real month, otherwise today; a day outside
// its month is brought into it.
Day StartingDay() {
  const std::string& work = config::SettingsState().work_date;
  Day start;
  if (work.size() >= 4) {
    start.year = static_cast<int>(values::DigitsValue(values::UnpackDigits(work.substr(0, 2))));
    start.month = static_cast<int>(values::DigitsValue(values::UnpackDigits(work.substr(2, 1))));
    start.day = static_cast<int>(values::DigitsValue(values::UnpackDigits(work.substr(3, 1))));
  }
  if (start.month < 1 || start.month > 12 || start.year < kFirstYear) {
    const platform::LocalTime now = platform::Now();
    start = {now.year, now.month, now.day};
  }
  start.day = std::clamp(start.day, 1, static_cast<int>(values::MonthLength(start.year, start.month)));
  return start;
}

// The day after an arrow key moved it by delta days, carried across month,
// quarter and year ends.
Day StepDays(Day p, int delta) {
  const int first = FirstOfQuarter(p.month);
  p.day += delta;
  if (p.day < 1) --p.month;
  if (p.month < first && p.month < 1) {
    p.month += 12;
    --p.year;
  }
  if (p.day < 1) p.day += values::MonthLength(p.year, p.month);
  if (p.day > values::MonthLength(p.year, p.month)) {
    p.day -= values::MonthLength(p.year, p.month);
    ++p.month;
  }
  if (p.month > first + 2 && p.month > 12) {
    p.month -= 12;
    ++p.year;
  }
  return p;
}

// Three months on or back. The day is held to the month's length in the
// year shown before the move, so page down from 30 November 2027 lands on
// 28 February 2028.
Day StepQuarter(Day p, int months) {
  const int shown_year = p.year;
  p.month += months;
  if (p.month > 12) {
    p.month -= 12;
    ++p.year;
  } else if (p.month < 1) {
    p.month += 12;
    --p.year;
  }
  p.day = std::min(p.day, static_cast<int>(values::MonthLength(shown_year, p.month)));
  return p;
}

Day Moved(const Day& p, int16_t key) {
  switch (key) {
    case kKeyRight: return StepDays(p, 1);
    case kKeyLeft: return StepDays(p, -1);
    case kKeyDown: return StepDays(p, 7);
    case kKeyUp: return StepDays(p, -7);
    case kKeyPgDn: return StepQuarter(p, 3);
    case kKeyPgUp: return StepQuarter(p, -3);
    case kKeyHome: return {p.year, 1, p.day};
    case kKeyEnd: return {p.year, 12, p.day};
    default: return p;
  }
}

}  // namespace

std::string Calendar() {
  PopupScope scope(kCalendarKeys);
  const int16_t depth = ScreenState().win_depth;
  WinPush(kTop, kLeft, kBottom, kRight);
  // Without a saved rectangle the screen under the calendar could not be
  // given back: better not to open at all.
  if (ScreenState().win_depth == depth) return std::string();
  WinFrame(1);

  YearTables tables;
  Day at = StartingDay();
  int first = FirstOfQuarter(at.month);
  DrawDisplay(tables, at.year, first);

  std::string result;
  for (;;) {
    const int row = GridRow(tables, first, at.month, at.day);
    const int col = 3 * tables.W(at.month, at.day) - 2;
    SetColour("+u");
    PutAt(row, col, Picture(at.day, 2));
    int16_t key = 0;
    WaitKey(key);
    SetColour("-");
    PutAt(row, col, Picture(at.day, 2));

    if (key == 'F' || key == 'f' || key == kKeyAltF) {
      result = values::FormatDate(PackedDay(at.year, at.month, at.day), 0, "dma");
      break;
    }
    if (key == kKeyEsc) break;
    const Day next = Moved(at, key);
    if (next.year < kFirstYear || next.year > kLastYear) continue;
    const bool rebuild = next.year != at.year || FirstOfQuarter(next.month) != first;
    at = next;
    if (rebuild) {
      first = FirstOfQuarter(at.month);
      DrawDisplay(tables, at.year, first);
    }
  }
  WinPop();
  return result;
}

}  // namespace ui
