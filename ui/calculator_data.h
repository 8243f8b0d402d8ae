// The calculator's state and the operations on it: the arithmetic steps of
// its keys and the state file. The tape has 22 slots, 1 at the top (index
// 0); the first used slot is 23 while the tape is empty and never goes
// below 2. Every step leaves all numbers finite or is not made at all (the
// error mark is set instead), so no inf or nan reaches the tape, the file
// or the field.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

constexpr int16_t kTapeSlots = 22;
constexpr int16_t kEmptyTape = 23;
constexpr int16_t kCalculatorWidth = 26;
// The window slides between column 1 and the column that puts its right
// edge on column 80.
constexpr int16_t kLastCalculatorColumn = 80 - kCalculatorWidth + 1;
// Digits a number keeps: what a double holds exactly.
constexpr int16_t kCalculatorDigits = 15;

struct TapeLine {
  double value = 0;
  bool point = false;
  int16_t decimals = 0;
  char op = ' ';
};

struct CalculatorData {
  int16_t column = 1;
  int16_t first_used = kEmptyTape;
  double value = 0;  // the entry line
  double total = 0;
  bool cleared = true;
  bool entering = false;  // a number is being typed
  bool point = false;
  int16_t decimals = 0;
  std::string last_key;  // the operator key last processed
  std::string pending;   // "", "+", "-", "*" or "/"
  std::array<TapeLine, kTapeSlots> tape{};
  bool error = false;  // the last step was invalid arithmetic; not kept
};

// Key steps. Each works on the state as given; a step whose arithmetic
// fails is refused by ApplyCalculatorKey, which runs them.
void TypeDigit(CalculatorData& c, int digit);
void TypePoint(CalculatorData& c);
void EraseDigit(CalculatorData& c);
void OperatorStep(CalculatorData& c, char op);  // "+", "-", "*", "/", "="
void PercentStep(CalculatorData& c);
void RoundStep(CalculatorData& c);
// True when the tape was emptied (the window must be drawn afresh).
bool ClearStep(CalculatorData& c);
void AddTapeLine(CalculatorData& c, double value, bool point, int16_t decimals, char op);
// The smallest number of decimals that shows the value within 15 digits.
void Normalise(double& value, bool& point, int16_t& decimals);

// Decimal text of a value with exactly `decimals` places (the last one
// rounded half to even on the binary value), or in the shortest plain form
// that reads back as the same value; never an exponent.
std::string DecimalText(double value, int decimals);
std::string PlainDecimal(double value);
// The whole text must be a plain decimal number.
bool ReadDecimal(std::string_view text, double& value);

// Runs the step of an upper-cased character key ("0"-"9", ".", Backspace,
// the operators, "=" or Enter, "%", "R", "C", "T"). Returns true when the
// tape was emptied. A step that would leave a number that is not finite
// changes nothing and sets the error mark.
bool ApplyCalculatorKey(CalculatorData& c, int key);

// The amount in hundredths to be typed ("1250" for 12.5, "123.4" for
// 1.234); "" when it is too large to be written.
std::string CalculatorResult(const CalculatorData& c);

// The state file: comma-separated items, texts in double quotes, numbers in
// plain decimal notation, one group per line (4 lines of state, then one
// line per slot). Parsing refuses anything damaged, cut short, of another
// layout or out of range, leaving c as it was.
std::string CalculatorStateText(const CalculatorData& c);
bool ParseCalculatorState(const std::string& text, CalculatorData& c);

}  // namespace ui
