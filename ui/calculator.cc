// The pop-up calculator: its window, the tape and the key loop.

#include "ui/calculator.h"

#include "platform/console.h"
#include "platform/files.h"
#include "ui/calculator_data.h"
#include "ui/keys.h"
#include "ui/popup.h"
#include "ui/screen.h"
#include "values/masks.h"
#include "values/text.h"

namespace ui {

namespace {

constexpr int16_t kEntryRow = 24, kSeparatorRow = 23, kBottomRow = 25;
// A sane state file is well under 2 KiB; anything much larger is not ours.
constexpr size_t kStateLimit = 64 * 1024;
// Shown in the operator column of the entry line after invalid arithmetic.
constexpr char kErrorMark = 'E';

const std::string kBar = "\xB3";

std::string Rule(char left, char right) {
  return std::string(1, left) + std::string(kCalculatorWidth - 2, '\xC4') + right;
}

// The rightmost 21 characters of "-Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9" with the point and
// decimals of the number: decimals take integer positions on the left.
std::string NumberMask(bool point, int16_t decimals) {
  std::string mask = "-Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";
  if (point) mask += '.';
  mask += std::string(static_cast<size_t>(decimals), '9');
  return mask.substr(mask.size() - 21);
}

void PutAt(int row, int col, const std::string& text) {
  platform::SetCursor(row, col);
  platform::WriteText(text);
}

void DrawEntry(const CalculatorData& c) {
  PutAt(kEntryRow, c.column,
        kBar + values::FormatNumber(NumberMask(c.point, c.decimals), c.value) + " " +
            (c.error ? kErrorMark : ' ') + " " + kBar);
}

// The rows above the tape's top line keep whatever the screen had there.
void DrawTape(const CalculatorData& c) {
  const int col = c.column;
  if (c.first_used < kEmptyTape) {
    PutAt(c.first_used - 1, col, Rule('\xDA', '\xBF'));
    for (int s = c.first_used; s <= kTapeSlots; ++s) {
      const TapeLine& line = c.tape[static_cast<size_t>(s - 1)];
      PutAt(s, col,
            kBar + values::FormatNumber(NumberMask(line.point, line.decimals), line.value) + " " +
                line.op + " " + kBar);
    }
    PutAt(kSeparatorRow, col, Rule('\xC3', '\xB4'));
  } else {
    PutAt(kSeparatorRow, col, Rule('\xDA', '\xBF'));
  }
  DrawEntry(c);
  PutAt(kBottomRow, col, Rule('\xC0', '\xD9'));
}

// Saves the screen under the window at the calculator's column and draws
// it; false when the screen could not be saved (then nothing is drawn).
bool OpenWindow(const CalculatorData& c) {
  const int16_t depth = ScreenState().win_depth;
  WinPush(1, c.column, kBottomRow, static_cast<int16_t>(c.column + kCalculatorWidth - 1));
  if (ScreenState().win_depth == depth) return false;
  DrawTape(c);
  return true;
}

int16_t SlidLeft(int16_t column) { return column == 1 ? kLastCalculatorColumn : column - 1; }
int16_t SlidRight(int16_t column) { return column >= kLastCalculatorColumn ? 1 : column + 1; }

// kWindowLost: the window could not be saved again after being taken away.
enum class Outcome { kGoOn, kFinish, kCancel, kWindowLost };

// One key of the loop; the window is redrawn as the key needs.
Outcome HandleKey(CalculatorData& c, int16_t key, std::string& result) {
  c.error = false;
  if (key == kKeyEsc) return Outcome::kCancel;
  int upper = key;
  if (key > 0 && key <= 255) {
    upper = static_cast<unsigned char>(values::FoldText(std::string(1, static_cast<char>(key)))[0]);
  }
  if (upper == 'F' || key == kKeyAltF) {
    result = CalculatorResult(c);
    if (!result.empty()) return Outcome::kFinish;
    c.error = true;
  } else if (key == kKeyLeft || key == kKeyCtrlLeft || key == kKeyRight || key == kKeyCtrlRight) {
    WinPop();
    const bool left = key == kKeyLeft || key == kKeyCtrlLeft;
    c.column = left ? SlidLeft(c.column) : SlidRight(c.column);
    return OpenWindow(c) ? Outcome::kGoOn : Outcome::kWindowLost;
  } else if (key > 0 && key <= 255 && ApplyCalculatorKey(c, upper)) {
    WinPop();
    return OpenWindow(c) ? Outcome::kGoOn : Outcome::kWindowLost;
  }
  DrawTape(c);
  return Outcome::kGoOn;
}

}  // namespace

std::string Calculator() {
  PopupScope scope("");
  const std::string file = CalculatorStateFile();
  CalculatorData c;
  std::string saved;
  if (!file.empty() && platform::ReadOwnFile(file, saved, kStateLimit)) {
    // A damaged or foreign file leaves the fresh calculator.
    ParseCalculatorState(saved, c);
  }
  if (!OpenWindow(c)) return std::string();

  std::string result;
  Outcome outcome = Outcome::kGoOn;
  while (outcome == Outcome::kGoOn) {
    int16_t key = 0;
    WaitKey(key);
    outcome = HandleKey(c, key, result);
  }
  if (outcome != Outcome::kWindowLost) WinPop();
  if (outcome != Outcome::kFinish) result.clear();
  if (!file.empty()) platform::ReplaceFile(file, CalculatorStateText(c));
  return result;
}

}  // namespace ui
