// Dates as stored (PackedDate: the 4-byte packing of YYYYMMDD, the empty
// date four 0x80 bytes) and the calendar operations on them: compact entry
// text, parsing and validating typed date text, day of the week and date
// differences. Two-digit years are placed in a window around the current
// year (current - 50 .. current + 49). Nothing here throws; malformed text
// yields the empty date or a "bad" answer (-1 true, 0 false).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace values {

// The current year from the platform clock (four digits).
int32_t CurrentYear();

// The packing of "00000000".
std::string EmptyDate();

// DDMMYY, or DDMMYYYY when the year lies outside the two-digit window;
// "" when day and month are both 0.
std::string DateToCompactText(std::string_view date);

// Typed date text (day, month, year separated by ".", "/" or "-", or the
// compact form without separators) to a PackedDate. Day and month are not
// range-checked; malformed text gives the empty date.
std::string ParseDateText(std::string_view text);

// -1 when the typed text names no real day (malformed, out of range, or one
// of the ten days dropped in October 1582), 0 otherwise.
int16_t IsBadDateText(std::string_view text);

// 1 = Monday .. 7 = Sunday; Julian before 15 October 1582.
int16_t DayOfWeek(std::string_view date);

// Days of the month (1..12) in the year, Gregorian leap rule for every year
// as IsBadDateText counts them; 0 for any other month.
int16_t MonthLength(int32_t year, int32_t month);

// Count between two dates in unit "D" days, "M" months or "A" completed
// years (any case); never negative, independent of the argument order;
// 0 for any other unit.
int32_t DateDiff(std::string_view a, std::string_view b, std::string_view unit);

// Dotted numeric code ("012345.1234", "12.3") to a packed key of fixed-width
// groups: the first 6 or 4 digits wide, every later one 4.
std::string PackCodeKey(std::string_view text);

}  // namespace values
