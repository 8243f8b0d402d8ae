// Fuzzes the value parsers and formatters with arbitrary text, masks,
// numbers and formatting characters. Beyond "no crash, no sanitizer report"
// it checks the promises callers rely on: fixed result widths, -1/0 answers,
// packed dates of four bytes and full-width paragraph lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/config/paths.h"
#include "platform/system.h"
#include "values/date_text.h"
#include "values/dates.h"
#include "values/digits.h"
#include "values/masks.h"
#include "values/text.h"
#include "values/values_state.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsAnswer(int16_t answer) { return answer == -1 || answer == 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // No settings file: the formatting characters come from the input.
  config::PathsState().root = "/nonexistent-kel-fuzz/";
  platform::SetClock([] {
    platform::LocalTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 7;
    return t;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  values::ResetValuesState();
  values::Values& state = values::ValuesState();
  if (in.ConsumeBool()) {
    state.decimal_char = in.ConsumeIntegralInRange<char>(1, 127);
    state.thousands_char = in.ConsumeIntegralInRange<char>(1, 127);
    state.date_separator = std::string(1, in.ConsumeIntegralInRange<char>(1, 127));
    state.date_order = in.ConsumeBytesAsString(3);
    if (state.date_order.empty() || state.date_order[0] == '\0') {
      state.date_order = "AMD";
    }
  }
  if (in.ConsumeBool()) values::SetCurrency(in.ConsumeBool() ? "a,P" : "a,E");

  const int16_t mode = in.ConsumeIntegralInRange<int16_t>(-2, 3);
  const int16_t width = in.ConsumeIntegralInRange<int16_t>(1, 120);
  const int16_t indent =
      in.ConsumeIntegralInRange<int16_t>(static_cast<int16_t>(1 - width),
                                         static_cast<int16_t>(width - 1));
  const double number = in.ConsumeFloatingPoint<double>();
  const double cents =
      static_cast<double>(in.ConsumeIntegral<int32_t>());  // record fields
  const std::string mask = in.ConsumeRandomLengthString(40);
  const std::string fields = in.ConsumeRandomLengthString(6);
  const std::string text = in.ConsumeRemainingBytesAsString();

  // Dates.
  const std::string date = values::ParseDateText(text);
  Check(date.size() == 4);
  const int16_t bad = values::IsBadDateText(text);
  Check(IsAnswer(bad));
  if (bad == 0) {
    const std::string digits = values::UnpackDigits(date);
    const int month = std::atoi(digits.substr(4, 2).c_str());
    const int day = std::atoi(digits.substr(6, 2).c_str());
    Check(month >= 1 && month <= 12 && day >= 1 && day <= 31);
    const int16_t weekday = values::DayOfWeek(date);
    Check(weekday >= 1 && weekday <= 7);
  }
  values::DateToCompactText(text);  // arbitrary bytes as a stored date
  Check(values::DateDiff(date, text.substr(0, 4), "D") >= 0);
  Check(values::DateDiff(text.substr(0, 4), date, "M") >= 0);
  const std::string key = values::PackCodeKey(text);
  Check(values::UnpackDigits(key).find_first_not_of("0123456789") ==
        std::string::npos);
  Check(values::PackDigits(text).size() == (text.size() + 1) / 2);

  const std::string shown = values::FormatDate(date, mode, fields);
  if (mode < 0) Check(shown.size() == 10);
  values::FormatDate(text, mode, fields);

  // Numbers.
  Check(values::FormatNumber(mask, number).size() == mask.size());
  Check(values::FormatNumber(mask, cents).size() == mask.size());
  Check(values::FormatAmount(mask, cents).size() == mask.size());
  Check(IsAnswer(values::IsBadNumberText(text, mask)));

  // Text helpers.
  Check(values::FoldText(text).size() == text.size());
  state.fold_for_search = true;
  Check(values::FoldText(text).size() == text.size());
  std::string visible;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 32) visible.push_back(c);
  }
  std::string paragraph = visible;
  values::FormatParagraph(paragraph, indent, width, "i");
  Check(paragraph.size() % static_cast<size_t>(width) == 0);
  for (const char* alignment : {"R", "C", "N", "A", "z"}) {
    std::string laid = text;  // control codes included
    values::FormatParagraph(laid, indent, width, alignment);
  }
  values::PushText(text);
  Check(values::PopText() == text);
  return 0;
}
