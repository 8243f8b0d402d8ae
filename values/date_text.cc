#include "values/date_text.h"

#include "app/config/language.h"
#include "app/config/settings.h"
#include "platform/ascii.h"
#include "values/digits.h"
#include "values/values_state.h"

namespace values {

namespace {

// Twelve 10-character fields, January first, CP850.
constexpr std::string_view kMonthsSpanish =
    "enero     febrero   marzo     abril     mayo      junio     "
    "julio     agosto    septiembreoctubre   noviembre diciembre ";
constexpr std::string_view kMonthsGalician =
    "janeiro   fevereiro mar\x87o     abril     maio      junho     "
    "julho     agosto    setembro  outubro   novembro  dezembro  ";
constexpr std::string_view kMonthsOccitan =
    "g\x8Ar       hereu\x8Ar   mar\x87      abriu     mai       junh      "
    "junhsega  agost     seteme    octobre   noveme    deseme    ";
constexpr std::string_view kMonthsCatalan =
    "gener     febrer    mar\x87      abril     maig      juny      "
    "juliol    agost     setembre  octubre   novembre  desembre  ";
static_assert(kMonthsSpanish.size() == 120 && kMonthsGalician.size() == 120 &&
              kMonthsOccitan.size() == 120 && kMonthsCatalan.size() == 120);

struct LanguageWords {
  std::string_view months;
  std::string_view before_consonant;
  std::string_view before_vowel;
  std::string_view before_day_or_year;
};

LanguageWords WordsFor(const std::string& language) {
  return config::ByLanguage<LanguageWords>(std::string_view(language).substr(0, 3),
                                           {kMonthsCatalan, " de ", " d'", " del "},
                                           {kMonthsSpanish, " de ", " de ", " de "},
                                           {kMonthsGalician, " de ", " de ", " do "},
                                           {kMonthsOccitan, " de ", " d'", " deth "});
}

std::string_view MonthField(std::string_view months, int month) {
  return months.substr(static_cast<size_t>(10 * (month - 1)), 10);
}

void LoadDateSettings() {
  Values& state = ValuesState();
  if (state.date_separator.empty() || state.date_separator[0] == '\0') {
    state.date_separator = UserSetting("DatCaracter", 1, "/");
  }
  if (state.date_order.empty() || state.date_order[0] == '\0') {
    state.date_order = UserSetting("DatOrdre", 3, "DMA");
  }
}

bool HasLetter(std::string_view fields, char letter) {
  for (char c : fields) {
    if (platform::UpperAscii(c) == letter) return true;
  }
  return false;
}

std::string WithoutLeadingZeros(std::string_view two_digits) {
  if (two_digits.size() == 2 && two_digits[0] == '0') {
    return std::string(two_digits.substr(1));
  }
  return std::string(two_digits);
}

}  // namespace

std::string DateOrder() {
  LoadDateSettings();
  return ValuesState().date_order;
}

char DateSeparator() {
  LoadDateSettings();
  return ValuesState().date_separator[0];
}

std::string MonthName(int month) {
  if (month < 1 || month > 12) return std::to_string(month);
  const LanguageWords words = WordsFor(config::SettingsState().language);
  return platform::TrimTrailingBlanks(MonthField(words.months, month));
}

std::string FormatDate(std::string_view date, int16_t mode,
                       std::string_view fields) {
  LoadDateSettings();
  const Values& state = ValuesState();

  // Exactly eight digits: a short date is zero-filled on the left, a long
  // one keeps its last eight.
  std::string digits = UnpackDigits(date);
  if (digits.size() < 8) digits.insert(0, 8 - digits.size(), '0');
  if (digits.size() > 8) digits.erase(0, digits.size() - 8);
  const std::string year_text = digits.substr(0, 4);
  const std::string month_digits = digits.substr(4, 2);
  const std::string day_digits = digits.substr(6, 2);

  if (mode < 0) return year_text + "-" + month_digits + "-" + day_digits;

  const std::string month_text = WithoutLeadingZeros(month_digits);
  const std::string day_text = WithoutLeadingZeros(day_digits);
  const int month = (month_digits[0] - '0') * 10 + (month_digits[1] - '0');

  std::string text;
  if (month_text + day_text != "00") {
    const LanguageWords words =
        mode > 0 ? WordsFor(config::SettingsState().language)
                 : LanguageWords{};
    const bool known_month = month >= 1 && month <= 12;
    std::string month_name;
    if (mode >= 1) {
      if (!known_month) {
        month_name = month_text;
      } else if (mode == 1) {
        month_name = std::string(MonthField(words.months, month).substr(0, 3));
      } else {
        month_name = platform::TrimTrailingBlanks(MonthField(words.months, month));
      }
    }
    bool placed = false;
    for (char letter : state.date_order) {
      const char part_letter = platform::UpperAscii(letter);
      if (part_letter != 'D' && part_letter != 'M' && part_letter != 'A') {
        continue;
      }
      if (!HasLetter(fields, part_letter)) continue;
      std::string part;
      if (part_letter == 'D') {
        part = day_text;
      } else if (part_letter == 'A') {
        part = year_text;
      } else {
        part = mode == 0 ? month_text : month_name;
      }
      if (placed) {
        if (mode <= 1) {
          text += state.date_separator;
        } else if (part_letter == 'M') {
          const char first = month_name.empty() ? ' ' : platform::UpperAscii(month_name[0]);
          const bool vowel = first == 'A' || first == 'E' || first == 'I' ||
                             first == 'O' || first == 'U';
          text += vowel ? words.before_vowel : words.before_consonant;
        } else {
          text += words.before_day_or_year;
        }
      }
      text += part;
      placed = true;
    }
  }

  if (mode >= 2) return text;
  int width = static_cast<int>(fields.size()) - 1;
  if (HasLetter(fields, 'M')) width += mode + 2;
  if (HasLetter(fields, 'A')) width += 4;
  if (HasLetter(fields, 'D')) width += 2;
  if (width < 0) width = 0;
  text.resize(static_cast<size_t>(width), ' ');
  return text;
}

}  // namespace values
