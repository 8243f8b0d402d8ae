#include "values/masks.h"

#include <charconv>
#include <cmath>

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
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, whole,
                                    std::chars_format::fixed, 0);
  if (result.ec != std::errc()) return std::string();
  return std::string(buffer, result.ptr);
}

// The plain number for a value too wide for its mask.
std::string OverflowText(size_t width, bool negative, const std::string& digits,
                         int64_t integer_count, int n_decimals, char decimal) {
  const std::string integer_part =
      integer_count > 0 ? digits.substr(0, static_cast<size_t>(integer_count))
                        : std::string();
  if (width < integer_part.size() + (negative ? 1 : 0)) {
    return std::string(width, '!');
  }
  std::string text = negative ? "-" : "";
  text += integer_part;
  if (n_decimals > 0) {
    std::string padded = digits;
    if (padded.size() < static_cast<size_t>(n_decimals)) {
      padded.insert(0, static_cast<size_t>(n_decimals) - padded.size(), '0');
    }
    text += decimal;
    text += padded.substr(padded.size() - static_cast<size_t>(n_decimals));
  }
  if (text.size() >= width) return text.substr(0, width);
  return std::string(width - text.size(), ' ') + text;
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
  const char decimal = ValuesState().decimal_char;
  const char thousands = ValuesState().thousands_char;
  const int64_t length = static_cast<int64_t>(mask.size());
  std::string out(mask);
  if (length == 0) return out;
  if (!std::isfinite(value)) return std::string(mask.size(), '!');

  // Measure the mask.
  const bool has_sign = IsOneOf('-', mask) || IsOneOf('+', mask);
  int64_t d_count = 0;
  int n_decimals = 0;
  const size_t point = mask.find('.');
  if (point != std::string_view::npos) {
    for (size_t i = point + 1; i < mask.size(); ++i) {
      if (IsOneOf(mask[i], "9Zz*-+")) ++d_count;
    }
    if (d_count > 0) {
      for (size_t i = point + 1; i < mask.size() && IsOneOf(mask[i], "9Zz*");
           ++i) {
        ++n_decimals;
      }
    }
  }

  // Scale and round half to even on the binary value.
  const double scaled = std::fabs(value) * std::pow(10.0, n_decimals);
  if (!std::isfinite(scaled)) return std::string(mask.size(), '!');
  double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) {
    whole += 1;
  }
  const std::string digits = WholeDigits(whole);
  const int64_t digit_count = static_cast<int64_t>(digits.size());
  const bool negative = value < 0;
  const int64_t integer_count = digit_count - n_decimals;
  int64_t j = d_count + integer_count;

  auto digit_at = [&](int64_t index) -> char {
    return index >= 1 && index <= digit_count ? digits[index - 1] : '\0';
  };
  auto tail_above_zero = [&](int64_t from) {
    for (int64_t i = from < 1 ? 1 : from; i <= digit_count; ++i) {
      if (digits[i - 1] != '0') return true;
    }
    return false;
  };

  bool point_passed = false;
  auto in_decimal_zone = [&](int64_t p) {
    return !point_passed && p >= length - d_count;
  };
  // Fill of the last digit placeholder handled.
  char fill = '\0';
  bool replaced = false;
  auto set_fill = [&](char c, bool was_replaced) {
    fill = c;
    replaced = was_replaced;
  };

  // First pass: the digits, from the right.
  int64_t p = length;
  for (; p > 0 && j > 0; --p) {
    char& cell = out[p - 1];
    const char digit = digit_at(j);
    switch (mask[p - 1]) {
      case '9':
        cell = digit ? digit : '0';
        set_fill('\0', false);
        --j;
        break;
      case 'Z':
      case 'z':
        if (!in_decimal_zone(p)) {
          cell = digit ? digit : ' ';
          set_fill(' ', !digit);
        } else if (d_count == 0 || tail_above_zero(j)) {
          cell = digit ? digit : '0';
          set_fill(' ', false);
        } else {
          cell = ' ';
          set_fill(' ', true);
        }
        --j;
        break;
      case '*':
        cell = digit ? digit : '*';
        set_fill('*', !digit);
        --j;
        break;
      case '.':
        cell = replaced ? fill : decimal;
        point_passed = true;
        break;
      case ',':
        cell = thousands;
        break;
      case '-':
      case '+':
        if (mask[p - 1] == '-') {
          cell = negative ? '-' : ' ';
        } else {
          cell = negative ? '-' : '+';
        }
        if (!point_passed && d_count > 0) --j;
        break;
      default:
        break;
    }
  }

  if (j > 0 || (negative && !has_sign && p == 0)) {
    return OverflowText(mask.size(), negative, digits, integer_count,
                        n_decimals, decimal);
  }

  // Second pass: the leading positions. The floating minus goes to the
  // first free position left of the digits, never among the decimals.
  bool minus_placed = false;
  auto floating_minus = [&](int64_t pos) {
    if (!negative || has_sign || minus_placed || in_decimal_zone(pos)) {
      return false;
    }
    minus_placed = true;
    return true;
  };
  for (; p > 0; --p) {
    char& cell = out[p - 1];
    switch (mask[p - 1]) {
      case '9':
        cell = floating_minus(p) ? '-' : '0';
        set_fill('\0', false);
        break;
      case 'Z':
      case 'z':
        if (floating_minus(p)) {
          cell = '-';
        } else if (!in_decimal_zone(p) || value == 0) {
          cell = ' ';
          set_fill(' ', true);
        } else {
          cell = '0';
          set_fill(' ', false);
        }
        break;
      case '*':
        if (floating_minus(p)) {
          cell = '-';
        } else {
          cell = in_decimal_zone(p) ? '0' : '*';
          set_fill('*', false);
        }
        break;
      case ',':
        if (floating_minus(p)) {
          cell = '-';
        } else {
          cell = fill != '\0' ? fill : thousands;
        }
        break;
      case '.':
        cell = replaced ? fill : decimal;
        point_passed = true;
        break;
      case '-':
        cell = negative ? '-' : ' ';
        break;
      case '+':
        cell = negative ? '-' : '+';
        break;
      default:
        break;
    }
  }

  // A minus that found no place would show a negative value as positive.
  if (negative && !has_sign && !minus_placed && !digits.empty()) {
    return OverflowText(mask.size(), negative, digits, integer_count,
                        n_decimals, decimal);
  }
  return out;
}

std::string FormatAmount(std::string_view mask, double cents) {
  const size_t length = mask.size();
  bool star = false;
  bool units = cents != 0;
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
  if (length == 0) return std::string();

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

  double shown = cents / 100.0;
  if (ValuesState().currency == "P") {
    shown *= 166.386;
  } else {
    decimals = decimals == 0 ? 3 : decimals + 2;
  }
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
  return FormatNumber(built, shown);
}

void SetCurrency(std::string_view command) {
  Values& state = ValuesState();
  auto upper = [](char c) -> char {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  };
  const size_t comma = command.find(',');
  if (comma != std::string_view::npos) {
    std::string_view rest = command.substr(comma + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const std::string letter =
        rest.empty() ? std::string() : std::string(1, upper(rest.front()));
    if (upper(command.front()) == 'A') {
      state.app_currency = letter;
      state.currency = state.app_currency;
    } else {
      state.print_currency = letter;
    }
    return;
  }
  if (!command.empty() && upper(command.front()) == 'P') {
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
