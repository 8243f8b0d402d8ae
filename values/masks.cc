#include "values/masks.h"

#include <charconv>
#include <cmath>

#include "platform/ascii.h"
#include "values/values_state.h"

namespace values {

namespace {

void LoadNumberSettings() {
  Values& state = ValuesState();
  if (state.decimal_char == '\0') {
    state.decimal_char = UserSetting("DecCaracter", 1, "'")[0];
  }
  if (state.thousands_char == '\0') {
    state.thousands_char = UserSetting("MilCaracter", 1, ".")[0];
  }
}

bool IsOneOf(char c, std::string_view set) {
  return set.find(c) != std::string_view::npos;
}

// Decimal digits of a non-negative whole double; "" for zero.
std::string WholeDigits(double whole) {
  if (whole == 0) return std::string();
  char buffer[400];
  // Money and counts fit an integer, whose digits come much cheaper; the
  // conversion is exact for every whole double below 2^64.
  if (whole < 18446744073709551616.0) {
    const auto result = std::to_chars(buffer, buffer + sizeof buffer,
                                      static_cast<uint64_t>(whole));
    return std::string(buffer, result.ptr);
  }
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, whole,
                                    std::chars_format::fixed, 0);
  if (result.ec != std::errc()) return std::string();
  return std::string(buffer, result.ptr);
}

// What the mask says before any digit is placed.
struct MaskShape {
  bool has_sign = false;   // a "-" or "+" anywhere
  int64_t d_count = 0;     // "9Zz*-+" after the first "."
  int decimals = 0;        // the run of "9Zz*" right after the "." (when d_count > 0)
};

MaskShape MeasureMask(std::string_view mask) {
  MaskShape shape;
  shape.has_sign = IsOneOf('-', mask) || IsOneOf('+', mask);
  const size_t point = mask.find('.');
  if (point == std::string_view::npos) return shape;
  for (size_t i = point + 1; i < mask.size(); ++i) {
    if (IsOneOf(mask[i], "9Zz*-+")) ++shape.d_count;
  }
  if (shape.d_count > 0) {
    for (size_t i = point + 1; i < mask.size() && IsOneOf(mask[i], "9Zz*"); ++i) {
      ++shape.decimals;
    }
  }
  return shape;
}

// |value| in units of the last decimal shown, rounded half to even on the
// binary value. False when the scaled value is not a finite number.
bool RoundedWhole(double value, int decimals, double& whole) {
  // The powers of ten that a double holds exactly, as pow() gives them.
  static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                                            1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17,
                                            1e18, 1e19, 1e20, 1e21, 1e22};
  const double power = decimals >= 0 && decimals <= 22 ? kExactPowers[decimals]
                                                       : std::pow(10.0, decimals);
  const double scaled = std::fabs(value) * power;
  if (!std::isfinite(scaled)) return false;
  whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) {
    whole += 1;
  }
  return true;
}

// Its decimal digits; "" for zero.
bool RoundedDigits(double value, int decimals, std::string& digits) {
  double whole = 0;
  if (!RoundedWhole(value, decimals, whole)) return false;
  digits = WholeDigits(whole);
  return true;
}

// The result being written over the mask, from the right, by two passes:
// first the digits, then the positions left of them.
struct Placement {
  Placement(std::string_view m, const MaskShape& s, const std::string& d, double value)
      : mask(m), shape(s), digits(d), out(m), zero(value == 0), negative(value < 0) {
    decimal = ValuesState().decimal_char;
    thousands = ValuesState().thousands_char;
    length = static_cast<int64_t>(mask.size());
    integer_count = static_cast<int64_t>(digits.size()) - shape.decimals;
    j = shape.d_count + integer_count;
    p = length;
  }

  std::string_view mask;
  const MaskShape& shape;
  const std::string& digits;
  std::string out;
  bool zero, negative;
  char decimal = '\0', thousands = '\0';  // as configured
  int64_t length = 0;
  int64_t integer_count = 0;  // digits left of the point; may be 0 or less
  int64_t j = 0;              // 1-based index in digits of the next digit to place
  int64_t p = 0;              // 1-based mask position still to be handled
  bool point_passed = false;
  char fill = '\0';       // fill of the last digit placeholder handled,
  bool replaced = false;  // and whether that placeholder printed it
  bool minus_placed = false;

  char DigitAt(int64_t index) const {
    return index >= 1 && index <= static_cast<int64_t>(digits.size()) ? digits[index - 1] : '\0';
  }
  bool TailAboveZero(int64_t from) const {
    for (int64_t i = from < 1 ? 1 : from; i <= static_cast<int64_t>(digits.size()); ++i) {
      if (digits[i - 1] != '0') return true;
    }
    return false;
  }
  bool InDecimalZone(int64_t pos) const {
    return !point_passed && pos >= length - shape.d_count;
  }
  void SetFill(char c, bool was_replaced) {
    fill = c;
    replaced = was_replaced;
  }
  // The floating minus takes the first free position left of the digits,
  // never one among the decimals.
  bool FloatingMinus(int64_t pos) {
    if (!negative || shape.has_sign || minus_placed || InDecimalZone(pos)) return false;
    minus_placed = true;
    return true;
  }
};

// A "Z" of the first pass: blank when it has no digit left of the point;
// among the decimals, trailing zeros are blanked.
void PlaceZ(Placement& at, char& cell, char digit) {
  if (!at.InDecimalZone(at.p)) {
    cell = digit ? digit : ' ';
    at.SetFill(' ', !digit);
  } else if (at.shape.d_count == 0 || at.TailAboveZero(at.j)) {
    cell = digit ? digit : '0';
    at.SetFill(' ', false);
  } else {
    cell = ' ';
    at.SetFill(' ', true);
  }
}

// First pass: the digits, from the right, until they run out.
void PlaceDigits(Placement& at) {
  for (; at.p > 0 && at.j > 0; --at.p) {
    char& cell = at.out[at.p - 1];
    const char digit = at.DigitAt(at.j);
    switch (at.mask[at.p - 1]) {
      case '9':
        cell = digit ? digit : '0';
        at.SetFill('\0', false);
        --at.j;
        break;
      case 'Z':
      case 'z':
        PlaceZ(at, cell, digit);
        --at.j;
        break;
      case '*':
        cell = digit ? digit : '*';
        at.SetFill('*', !digit);
        --at.j;
        break;
      case '.':
        cell = at.replaced ? at.fill : at.decimal;
        at.point_passed = true;
        break;
      case ',':
        cell = at.thousands;
        break;
      case '-':
      case '+':
        if (at.mask[at.p - 1] == '-') {
          cell = at.negative ? '-' : ' ';
        } else {
          cell = at.negative ? '-' : '+';
        }
        // The sign counted as a decimal position.
        if (!at.point_passed && at.shape.d_count > 0) --at.j;
        break;
      default:
        break;
    }
  }
}

// Second pass: the positions left of the digits, leftwards to the start.
void PlaceLeading(Placement& at) {
  for (; at.p > 0; --at.p) {
    char& cell = at.out[at.p - 1];
    switch (at.mask[at.p - 1]) {
      case '9':
        cell = at.FloatingMinus(at.p) ? '-' : '0';
        at.SetFill('\0', false);
        break;
      case 'Z':
      case 'z':
        if (at.FloatingMinus(at.p)) {
          cell = '-';
        } else if (!at.InDecimalZone(at.p) || at.zero) {
          cell = ' ';
          at.SetFill(' ', true);
        } else {
          cell = '0';
          at.SetFill(' ', false);
        }
        break;
      case '*':
        if (at.FloatingMinus(at.p)) {
          cell = '-';
        } else {
          cell = at.InDecimalZone(at.p) ? '0' : '*';
          at.SetFill('*', false);
        }
        break;
      case ',':
        if (at.FloatingMinus(at.p)) {
          cell = '-';
        } else {
          cell = at.fill != '\0' ? at.fill : at.thousands;
        }
        break;
      case '.':
        cell = at.replaced ? at.fill : at.decimal;
        at.point_passed = true;
        break;
      case '-':
        cell = at.negative ? '-' : ' ';
        break;
      case '+':
        cell = at.negative ? '-' : '+';
        break;
      default:
        break;
    }
  }
}

// The plain number for a value too wide for its mask.
std::string OverflowText(const Placement& at) {
  const size_t width = at.mask.size();
  const std::string& digits = at.digits;
  const size_t decimals = static_cast<size_t>(at.shape.decimals);
  const std::string integer_part =
      at.integer_count > 0 ? digits.substr(0, static_cast<size_t>(at.integer_count))
                           : std::string();
  if (width < integer_part.size() + (at.negative ? 1 : 0)) {
    return std::string(width, '!');
  }
  std::string text = at.negative ? "-" : "";
  text += integer_part;
  if (decimals > 0) {
    std::string padded = digits;
    if (padded.size() < decimals) padded.insert(0, decimals - padded.size(), '0');
    text += at.decimal;
    text += padded.substr(padded.size() - decimals);
  }
  if (text.size() >= width) return text.substr(0, width);
  return std::string(width - text.size(), ' ') + text;
}

// Cells of the result; a longer mask goes the general way.
constexpr size_t kPlainCells = 32;

// The common masks, digit places ("9", "Z") and thousands separators with
// at most one point followed by "9"s only, for a value that is not negative:
// the same two passes as Placement, with everything that cannot arise for
// them left out, into mask.size() cells of out. False (out untouched) for
// any other mask or value, for a mask longer than kPlainCells, for a value
// too wide for the mask, and for one that rounds to no digits under a mask
// without a point.
[[gnu::noinline]] bool PlaceOnPlainMask(std::string_view mask, double value, char* out) {
  if (!(value >= 0) || mask.size() > kPlainCells) return false;
  int64_t places = 0, decimals = 0;
  bool point = false;
  for (const char c : mask) {
    if (c == '9' || c == 'Z') {
      ++places;
      if (point) ++decimals;
      if (point && c != '9') return false;
    } else if (c == '.') {
      if (point) return false;
      point = true;
    } else if (c != ',') {
      return false;
    }
  }
  double whole = 0;
  if (!RoundedWhole(value, static_cast<int>(decimals), whole) || !(whole < 1e18)) return false;
  // The digits as WholeDigits gives them ("" for zero), without a string.
  char digits[24];
  const size_t count =
      whole == 0 ? 0
                 : static_cast<size_t>(
                       std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(whole)).ptr -
                       digits);
  if (static_cast<int64_t>(count) > places || (count == 0 && !point)) return false;
  const Values& state = ValuesState();
  const char decimal = state.decimal_char, thousands = state.thousands_char;
  size_t p = mask.size();
  size_t j = count;
  char fill = '\0';
  bool replaced = false;
  for (; p > 0 && j > 0; --p) {
    char& cell = out[p - 1];
    switch (mask[p - 1]) {
      case '9': cell = digits[--j]; fill = '\0'; replaced = false; break;
      case 'Z': cell = digits[--j]; fill = ' '; replaced = false; break;
      case '.': cell = decimal; break;
      default: cell = thousands; break;
    }
  }
  for (; p > 0; --p) {
    char& cell = out[p - 1];
    switch (mask[p - 1]) {
      case '9': cell = '0'; fill = '\0'; replaced = false; break;
      case 'Z': cell = ' '; fill = ' '; replaced = true; break;
      case '.': cell = replaced ? fill : decimal; break;
      default: cell = fill != '\0' ? fill : thousands; break;
    }
  }
  return true;
}

}  // namespace

char DecimalChar() {
  LoadNumberSettings();
  return ValuesState().decimal_char;
}

char ThousandsChar() {
  LoadNumberSettings();
  return ValuesState().thousands_char;
}

std::string FormatNumber(std::string_view mask, double value) {
  LoadNumberSettings();
  if (mask.empty()) return std::string();
  if (!std::isfinite(value)) return std::string(mask.size(), '!');
  char plain[kPlainCells];
  if (PlaceOnPlainMask(mask, value, plain)) return std::string(plain, mask.size());
  const MaskShape shape = MeasureMask(mask);
  std::string digits;
  if (!RoundedDigits(value, shape.decimals, digits)) return std::string(mask.size(), '!');

  Placement at{mask, shape, digits, value};
  PlaceDigits(at);
  if (at.j > 0 || (at.negative && !shape.has_sign && at.p == 0)) return OverflowText(at);
  PlaceLeading(at);
  // A minus that found no place would show a negative value as positive.
  if (at.negative && !shape.has_sign && !at.minus_placed && !digits.empty())
    return OverflowText(at);
  return at.out;
}

namespace {

// The number mask that an amount mask stands for: the shape for whole units
// with the decimals of the currency (two more for euros) added on the right.
std::string AmountNumberMask(std::string_view mask, bool nonzero, bool pesetas) {
  const size_t length = mask.size();
  bool star = false;
  bool units = nonzero;
  bool commas = false;
  bool point_seen = false;
  int decimals = 0;
  int sign = 0;
  for (size_t i = 0; i < length; ++i) {
    const char c = mask[i];
    if (c == '*') star = true;
    if (c == 'Z' || c == 'z') star = false;
    if (c == '9' && !point_seen) units = true;
    if (c == ',') commas = true;
    if (c == '.') {
      ++decimals;
      point_seen = true;
    }
    if (c == '9' && point_seen) ++decimals;
    if (c == '-') sign = i == 0 ? -2 : -1;
    if (c == '+') sign = i == 0 ? 2 : 1;
  }

  auto keep_right = [length](std::string& s) {
    if (s.size() > length) s.erase(0, s.size() - length);
  };

  std::string built(length, star ? '*' : 'Z');
  if (units) {
    built.erase(0, 1);
    built.push_back('9');
  }
  if (commas) {
    for (int64_t after = static_cast<int64_t>(length) - 3; after >= 1;
         after -= 4) {
      built.insert(static_cast<size_t>(after), 1, ',');
      built.erase(0, 1);
    }
  }
  if (!pesetas) decimals = decimals == 0 ? 3 : decimals + 2;
  if (decimals > 0) {
    built.push_back('.');
    built.append(static_cast<size_t>(decimals - 1), units ? '9' : 'Z');
    keep_right(built);
  }
  if (sign == 1 || sign == -1) {
    built.push_back(sign > 0 ? '+' : '-');
    keep_right(built);
  } else if (sign == 2 || sign == -2) {
    built[0] = sign > 0 ? '+' : '-';
  }
  return built;
}

}  // namespace

std::string FormatAmount(std::string_view mask, double cents) {
  if (mask.empty()) return std::string();
  Values& state = ValuesState();
  const bool pesetas = state.currency == "P";
  const bool nonzero = cents != 0;
  double shown = cents / 100.0;
  if (pesetas) shown *= 166.386;
  // A report formats thousands of amounts through the same few masks.
  for (const Values::AmountMask& m : state.amount_masks) {
    if (m.pesetas == pesetas && m.nonzero == nonzero && m.given == mask)
      return FormatNumber(m.built, shown);
  }
  Values::AmountMask& m =
      state.amount_masks[state.next_amount_mask++ % state.amount_masks.size()];
  m.given = mask;
  m.pesetas = pesetas;
  m.nonzero = nonzero;
  m.built = AmountNumberMask(mask, nonzero, pesetas);
  return FormatNumber(m.built, shown);
}

void SetCurrency(std::string_view command) {
  Values& state = ValuesState();
  const size_t comma = command.find(',');
  if (comma != std::string_view::npos) {
    std::string_view rest = command.substr(comma + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const std::string letter =
        rest.empty() ? std::string() : std::string(1, platform::UpperAscii(rest.front()));
    if (platform::UpperAscii(command.front()) == 'A') {
      state.app_currency = letter;
      state.currency = state.app_currency;
    } else {
      state.print_currency = letter;
    }
    return;
  }
  if (!command.empty() && platform::UpperAscii(command.front()) == 'P') {
    state.currency =
        state.print_currency.empty() ? state.app_currency : state.print_currency;
  } else {
    state.currency = state.app_currency;
  }
}

int16_t IsBadNumberText(std::string_view text, std::string_view mask) {
  const bool decimals_allowed = IsOneOf('.', mask);
  const bool sign_allowed = IsOneOf('-', mask) || IsOneOf('+', mask);
  bool bad = false;
  bool point_seen = !decimals_allowed;
  bool sign_closed = !sign_allowed;
  for (char c : text) {
    if (c == '+' || c == '-') {
      if (sign_closed) bad = true;
      sign_closed = true;
    } else if (c == '.') {
      if (point_seen) bad = true;
      point_seen = true;
      sign_closed = true;
    } else if (c >= '0' && c <= '9') {
      sign_closed = true;
    } else if (c != ' ') {
      bad = true;
    }
  }
  return bad ? -1 : 0;
}

}  // namespace values
