// The calculator's arithmetic: what each key does to the entry, the total
// and the tape.

#include <algorithm>
#include <charconv>
#include <cmath>

#include "ui/calculator_data.h"
#include "ui/keys.h"

namespace ui {

namespace {

// Largest text a double can need in fixed notation: 309 integer digits, a
// sign, a point and the decimals asked for (never more than 15 here).
constexpr size_t kTextRoom = 400;

double Pow10(int n) {
  double p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

// Digits left of the point of |value| (0 below 1).
int IntegerDigits(double value) {
  value = std::fabs(value);
  int n = 0;
  for (double m = 1; m <= value && n < 400; m *= 10) ++n;
  return n;
}

// The value cut (not rounded) from `from` to `to` decimals, on its decimal
// text so that a typed 0.290 cut to 0.29 stays 0.29.
double CutDecimals(double value, int from, int to) {
  std::string text = DecimalText(value, from);
  size_t dot = text.find('.');
  if (dot != std::string::npos) text.resize(to > 0 ? dot + 1 + static_cast<size_t>(to) : dot);
  double out = 0;
  return ReadDecimal(text, out) ? out : std::trunc(value);
}

bool AllFinite(const CalculatorData& c) {
  if (!std::isfinite(c.value) || !std::isfinite(c.total)) return false;
  for (const TapeLine& line : c.tape) {
    if (!std::isfinite(line.value)) return false;
  }
  return true;
}

void StartNumber(CalculatorData& c) {
  if (c.entering) return;
  c.value = 0;
  c.point = false;
  c.decimals = 0;
  c.entering = true;
}

}  // namespace

std::string DecimalText(double value, int decimals) {
  char buf[kTextRoom];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

std::string PlainDecimal(double value) {
  char buf[kTextRoom];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

bool ReadDecimal(std::string_view text, double& value) {
  if (text.empty()) return false;
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

void Normalise(double& value, bool& point, int16_t& decimals) {
  if (value == 0) {
    value = 0;  // no negative zero on the tape
    point = false;
    decimals = 0;
    return;
  }
  std::string text =
      DecimalText(value, std::max(0, kCalculatorDigits - IntegerDigits(value)));
  size_t dot = text.find('.');
  if (dot != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  ReadDecimal(text, value);
  decimals = dot == std::string::npos || dot >= text.size()
                 ? 0
                 : static_cast<int16_t>(text.size() - dot - 1);
  point = decimals > 0;
}

void TypeDigit(CalculatorData& c, int digit) {
  StartNumber(c);
  // Beyond 15 digits a double no longer holds what was typed.
  if (IntegerDigits(c.value) + c.decimals >= kCalculatorDigits) return;
  // Digits are appended to the number as typed, so that a number made
  // negative with "T" grows away from zero like any other.
  std::string text = DecimalText(c.value, c.decimals);
  if (c.point && c.decimals == 0) text += '.';
  text += static_cast<char>('0' + digit);
  if (c.point) ++c.decimals;
  ReadDecimal(text, c.value);
}

void TypePoint(CalculatorData& c) {
  StartNumber(c);
  if (!c.point) {
    c.point = true;
    c.decimals = 0;
  }
}

void EraseDigit(CalculatorData& c) {
  if (!c.point) {
    c.value = std::trunc(c.value / 10);
  } else {
    const int from = c.decimals;
    if (--c.decimals < 0) {
      c.point = false;
      c.decimals = 0;
    }
    c.value = CutDecimals(c.value, from, c.decimals);
  }
  c.entering = c.entering && c.value != 0;
}

void AddTapeLine(CalculatorData& c, double value, bool point, int16_t decimals, char op) {
  if (c.first_used > 2) --c.first_used;
  for (size_t i = 0; i + 1 < c.tape.size(); ++i) c.tape[i] = c.tape[i + 1];
  c.tape.back() = {value, point, decimals, op};
}

void OperatorStep(CalculatorData& c, char op) {
  if (c.pending == "+") {
    c.total += c.value;
  } else if (c.pending == "-") {
    c.total -= c.value;
  } else if (c.pending == "*") {
    c.total *= c.value;
  } else if (c.pending == "/") {
    c.total /= c.value;
  } else {
    c.total = c.value;
  }
  AddTapeLine(c, c.value, c.point, c.decimals, op);
  c.value = c.total;
  Normalise(c.value, c.point, c.decimals);
  if (op == '=') {
    AddTapeLine(c, c.value, c.point, c.decimals, ' ');
    c.pending.clear();
  } else {
    c.pending = std::string(1, op);
  }
  c.last_key = std::string(1, op);
  c.entering = false;
  c.cleared = false;
}

void PercentStep(CalculatorData& c) {
  AddTapeLine(c, c.value, c.point, c.decimals, '%');
  if (c.pending == "+" || c.pending == "-") {
    c.value = c.total / 100 * c.value;
  } else {
    c.value = c.value / 100;
  }
  Normalise(c.value, c.point, c.decimals);
}

void RoundStep(CalculatorData& c) {
  // Half to even on the binary value, so 1.005 (just below the half) gives
  // 1.00; a negative value is cut toward zero.
  const double hundredths =
      c.value >= 0 ? std::nearbyint(c.value * 100) : std::trunc(c.value * 100);
  c.value = hundredths / 100;
  c.total = c.value;
  c.point = true;
  c.decimals = 2;
  AddTapeLine(c, c.value, true, 2, 'R');
}

bool ClearStep(CalculatorData& c) {
  if (c.entering) {
    // The running total comes back, shown with its own decimals.
    c.value = c.total;
    Normalise(c.value, c.point, c.decimals);
    c.entering = false;
    return false;
  }
  if (!c.cleared) {
    c.value = 0;
    c.total = 0;
    c.pending.clear();
    c.point = false;
    c.decimals = 0;
    c.cleared = true;
    return false;
  }
  c.tape = {};
  c.first_used = kEmptyTape;
  return true;
}

bool ApplyCalculatorKey(CalculatorData& c, int key) {
  CalculatorData next = c;
  next.error = false;
  bool emptied = false;
  if (key >= '0' && key <= '9') {
    TypeDigit(next, key - '0');
  } else if (key == '.') {
    TypePoint(next);
  } else if (key == kKeyBackspace) {
    EraseDigit(next);
  } else if (key == '+' || key == '-' || key == '*' || key == '/') {
    OperatorStep(next, static_cast<char>(key));
  } else if (key == '=' || key == kKeyEnter) {
    if (next.entering) OperatorStep(next, '=');
  } else if (key == '%') {
    PercentStep(next);
  } else if (key == 'R') {
    RoundStep(next);
  } else if (key == 'C') {
    emptied = ClearStep(next);
  } else if (key == 'T') {
    next.value = -next.value;
  }
  if (!AllFinite(next)) {
    c.error = true;
    return false;
  }
  c = next;
  return emptied;
}

std::string CalculatorResult(const CalculatorData& c) {
  const int e = std::max<int>(2, c.decimals);
  const double hundredths =
      std::nearbyint(std::fabs((c.entering ? c.value : c.total) * Pow10(e)));
  if (!std::isfinite(hundredths)) return std::string();
  std::string digits = DecimalText(hundredths, 0);
  if (e > 2) {
    // A digit always stands before the point: 0.001 gives "0.1".
    if (digits.size() < static_cast<size_t>(e - 1)) {
      digits.insert(0, static_cast<size_t>(e - 1) - digits.size(), '0');
    }
    digits.insert(digits.size() - static_cast<size_t>(e - 2), 1, '.');
  }
  return digits;
}

}  // namespace ui
