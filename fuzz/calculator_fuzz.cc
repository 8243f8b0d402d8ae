// Fuzzes the calculator's state file and its key steps: whatever a state
// file holds, a file that is accepted gives numbers in range that write back
// the same, and no run of keys on it leaves a number that is not finite or
// a result that is not plain digits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/calculator_data.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckState(const ui::CalculatorData& c) {
  Check(c.column >= 1 && c.column <= ui::kLastCalculatorColumn);
  Check(c.first_used >= 2 && c.first_used <= ui::kEmptyTape);
  Check(std::isfinite(c.value) && std::isfinite(c.total));
  Check(c.decimals >= 0 && c.decimals <= ui::kCalculatorDigits);
  for (const ui::TapeLine& line : c.tape) Check(std::isfinite(line.value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string file = in.ConsumeRandomLengthString(4096);
  ui::CalculatorData c;
  if (ui::ParseCalculatorState(file, c)) {
    CheckState(c);
    const std::string written = ui::CalculatorStateText(c);
    ui::CalculatorData again;
    Check(ui::ParseCalculatorState(written, again));
    Check(ui::CalculatorStateText(again) == written);
  }
  static const char kKeys[] = "0123456789.+-*/=%RCT\b\r";
  while (in.remaining_bytes() > 0) {
    ui::ApplyCalculatorKey(c, kKeys[in.ConsumeIntegralInRange<size_t>(0, sizeof kKeys - 2)]);
    CheckState(c);
  }
  const std::string result = ui::CalculatorResult(c);
  for (char ch : result) Check((ch >= '0' && ch <= '9') || ch == '.');
  return 0;
}
