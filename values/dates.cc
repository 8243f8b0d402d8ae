#include "values/dates.h"

#include <algorithm>
#include <limits>

#include "platform/ascii.h"
#include "platform/system.h"
#include "values/digits.h"

namespace values {

namespace {

constexpr int32_t kInt16Max = std::numeric_limits<int16_t>::max();

// Date text taken apart as the scan of typed date text leaves it.
struct DateParts {
  int32_t day = 0;
  int32_t month = 0;
  int32_t year = 0;
  bool four_digit_year = false;
  bool error = false;
};

// Leading blanks skipped, digits up to the first other character; a value
// beyond the 16-bit range marks the text as malformed.
int32_t FieldValue(std::string_view field, bool& error) {
  size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  int32_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
    if (value > kInt16Max) {
      error = true;
      return 0;
    }
  }
  return value;
}

std::string_view Slice(std::string_view s, size_t from, size_t count) {
  if (from >= s.size()) return {};
  return s.substr(from, count);
}

DateParts SplitDateText(std::string_view text) {
  DateParts parts;
  int field = 1;
  std::string buffer;
  for (char c : text) {
    if (c == ' ' || (c >= '0' && c <= '9')) {
      buffer.push_back(c);
    } else if (c == '.' || c == '/' || c == '-') {
      if (field == 1) {
        parts.day = FieldValue(buffer, parts.error);
      } else if (field == 2) {
        parts.month = FieldValue(buffer, parts.error);
      } else {
        parts.error = true;
      }
      buffer.clear();
      if (field < 1000) ++field;  // stays above 3 once there
    } else {
      parts.error = true;
    }
  }
  if (field == 1) {
    parts.day = FieldValue(Slice(text, 0, 2), parts.error);
    parts.month = FieldValue(Slice(text, 2, 2), parts.error);
    const std::string_view year = Slice(text, 4, std::string_view::npos);
    parts.year = FieldValue(year, parts.error);
    parts.four_digit_year = platform::TrimBlanks(year).size() > 3;
  } else if (field == 3) {
    parts.year = FieldValue(buffer, parts.error);
    parts.four_digit_year = platform::TrimBlanks(buffer).size() > 3;
  } else {
    parts.error = true;
  }
  return parts;
}

int32_t ByteValue(char byte) {
  const int v = static_cast<unsigned char>(byte) & 0x7F;
  return v % 100;
}

bool GregorianLeap(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Leap rule of day counting: Julian before 1582, Gregorian from then on.
bool CountingLeap(int64_t year) {
  return year < 1582 ? year % 4 == 0 : GregorianLeap(year);
}

int32_t DaysInMonth(int64_t month, bool leap) {
  int32_t days = 30 + static_cast<int32_t>((1 + (month + 1) % 9) % 2);
  if (month == 2) days -= 2 - (leap ? 1 : 0);
  return days;
}

// Leap years in 0..year under the counting rule (year >= 0).
int64_t LeapYearsUpTo(int64_t year) {
  auto gregorian = [](int64_t y) { return y / 4 - y / 100 + y / 400; };
  if (year < 1582) return year / 4 + 1;
  return LeapYearsUpTo(1581) + gregorian(year) - gregorian(1581);
}

struct Ymd {
  int64_t year, month, day;
};

Ymd SplitPacked(std::string_view date) {
  const int64_t v = DigitsValue(UnpackDigits(date));
  return Ymd{v / 10000, (v / 100) % 100, v % 100};
}

bool ByteLess(std::string_view a, std::string_view b) {
  return a.compare(b) < 0;  // char_traits<char> compares as unsigned bytes
}

int64_t PositiveMod(int64_t a, int64_t m) { return ((a % m) + m) % m; }

int32_t ClampCount(int64_t count) {
  if (count < 0) return 0;
  if (count > std::numeric_limits<int32_t>::max()) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(count);
}

}  // namespace

int32_t CurrentYear() { return platform::Now().year; }

std::string EmptyDate() { return PackDigits("00000000"); }

std::string DateToCompactText(std::string_view date) {
  const size_t n = date.size();
  const int32_t day = n >= 1 ? ByteValue(date[n - 1]) : 0;
  const int32_t month = n >= 2 ? ByteValue(date[n - 2]) : 0;
  if (day == 0 && month == 0) return std::string();
  const int64_t year =
      n > 2 ? DigitsValue(UnpackDigits(date.substr(0, n - 2))) : 0;
  const int32_t current = CurrentYear();
  std::string text = ZeroPad(day, 2) + ZeroPad(month, 2);
  if (year >= current - 50 && year <= current + 49) {
    text += ZeroPad(year % 100, 2);
  } else {
    text += ZeroPad(year, 4);
  }
  return text;
}

std::string ParseDateText(std::string_view text) {
  DateParts parts = SplitDateText(text);
  if (parts.error) return EmptyDate();
  if (parts.day > 0 && parts.month > 0 && !parts.four_digit_year) {
    const int32_t current = CurrentYear();
    parts.year += 100 * (current / 100);
    if (parts.year > current + 49) {
      parts.year -= 100;
    } else if (parts.year < current - 50) {
      parts.year += 100;
    }
  }
  return PackDigits(ZeroPad(parts.year, 4) + ZeroPad(parts.month, 2) +
                    ZeroPad(parts.day, 2));
}

int16_t IsBadDateText(std::string_view text) {
  DateParts parts = SplitDateText(text);
  if (parts.error) return -1;
  if (parts.year < 100 && !parts.four_digit_year) {
    const int32_t current = CurrentYear();
    parts.year += 100 * (current / 100);
    if (parts.year - current > 50) {
      parts.year -= 100;
    } else if (current - parts.year > 50) {
      parts.year += 100;
    }
  }
  const int64_t stamp = int64_t{parts.year} * 10000 + parts.month * 100 +
                        parts.day;
  if (stamp >= 15821005 && stamp <= 15821014) return -1;
  if (parts.month < 1 || parts.month > 12 || parts.day < 1) return -1;
  if (parts.day > DaysInMonth(parts.month, GregorianLeap(parts.year))) {
    return -1;
  }
  return 0;
}

int16_t MonthLength(int32_t year, int32_t month) {
  if (month < 1 || month > 12) return 0;
  return static_cast<int16_t>(DaysInMonth(month, GregorianLeap(year)));
}

int16_t DayOfWeek(std::string_view date) {
  std::string head(date.substr(0, std::min<size_t>(2, date.size())));
  head.resize(2, static_cast<char>(0x80));
  const std::string january_first = head + PackDigits("0101");
  const int64_t d0 = DateDiff(date, january_first, "D");
  const int64_t y = DigitsValue(UnpackDigits(head)) - 1;
  int64_t result;
  if (ByteLess(date, PackDigits("15821005"))) {
    result = PositiveMod(PositiveMod(y + y / 4, 7) + 5 + d0, 7) + 1;
  } else {
    result = PositiveMod(
                 PositiveMod(y + y / 4 - y / 100 + y / 400, 7) + d0, 7) + 1;
  }
  return static_cast<int16_t>(result);
}

int32_t DateDiff(std::string_view a, std::string_view b,
                 std::string_view unit) {
  const bool a_first = ByteLess(a, b);
  const Ymd early = SplitPacked(a_first ? a : b);
  const Ymd late = SplitPacked(a_first ? b : a);
  if (unit.size() != 1) return 0;
  switch (unit[0]) {
    case 'D':
    case 'd': {
      int64_t days = 0;
      if (late.year > early.year + 1) {
        const int64_t whole = late.year - early.year - 1;
        days += 365 * whole + LeapYearsUpTo(late.year - 1) -
                LeapYearsUpTo(early.year);
      }
      const bool early_leap = CountingLeap(early.year);
      if (late.year != early.year) {
        for (int64_t m = early.month; m <= 12; ++m) {
          days += DaysInMonth(m, early_leap);
        }
        const bool late_leap = CountingLeap(late.year);
        for (int64_t m = 1; m < late.month; ++m) {
          days += DaysInMonth(m, late_leap);
        }
      } else {
        for (int64_t m = early.month; m < late.month; ++m) {
          days += DaysInMonth(m, early_leap);
        }
      }
      return ClampCount(days + late.day - early.day);
    }
    case 'M':
    case 'm':
      return ClampCount(12 * (late.year - early.year) + late.month -
                        early.month);
    case 'A':
    case 'a': {
      int64_t years = late.year - early.year;
      if (late.month < early.month ||
          (late.month == early.month && late.day < early.day)) {
        --years;
      }
      return ClampCount(years);
    }
    default:
      return 0;
  }
}

std::string PackCodeKey(std::string_view text) {
  const size_t dots = static_cast<size_t>(std::count(text.begin(), text.end(), '.'));
  const bool wide_first = (text.size() == 6 && dots == 0) ||
                          (text.size() == 11 && dots < 2);
  size_t width = wide_first ? 6 : 4;

  std::string digits;
  size_t pos = 0;
  while (true) {
    const std::string_view rest = Slice(text, pos, std::string_view::npos);
    const size_t dot = rest.find('.');
    if (dot == std::string_view::npos && platform::TrimBlanks(rest).empty()) break;
    const std::string_view group = rest.substr(0, dot);

    // Numeric value of the group: blanks, an optional sign, then digits.
    size_t i = 0;
    while (i < group.size() && group[i] == ' ') ++i;
    if (i < group.size() && (group[i] == '+' || group[i] == '-')) ++i;
    while (i < group.size() && group[i] == '0') ++i;
    size_t end = i;
    while (end < group.size() && group[end] >= '0' && group[end] <= '9') ++end;
    std::string value(group.substr(i, end - i));

    if (value.size() >= width) {
      digits += value.substr(value.size() - width);
    } else {
      digits += std::string(width - value.size(), '0') + value;
    }
    width = 4;
    if (dot == std::string_view::npos) break;
    pos += dot + 1;
  }
  return PackDigits(digits);
}

}  // namespace values
