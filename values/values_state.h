// Process-wide state of the values subsystem: the formatting characters read
// lazily from the main settings file, the currency state, the fold mode and
// the text stack. One instance per process; ResetValuesState() returns it to the
// start-of-run state (tests use it to force the settings to be read again).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace values {

struct Values {
  // Fixed-width cells; a NUL first character means "not read yet".
  std::string date_separator = std::string(1, '\0');  // 1 character
  std::string date_order = std::string(3, '\0');      // 3 characters
  char decimal_char = '\0';
  char thousands_char = '\0';

  // One-letter currency texts; "P" means pesetas, anything else euros.
  std::string app_currency;
  std::string print_currency;
  std::string currency;  // the currency in effect

  // Number masks lately built for amount masks (FormatAmount), by the mask
  // given, the currency and whether the amount was zero.
  struct AmountMask {
    std::string given;
    bool pesetas = false;
    bool nonzero = false;
    std::string built;  // empty given: unused
  };
  std::array<AmountMask, 4> amount_masks;
  size_t next_amount_mask = 0;

  // While set, FoldText strips accents and punctuation for letter searches.
  bool fold_for_search = false;

  // Last-in first-out store of PushText/PopText.
  std::vector<std::string> text_stack;
};

Values& ValuesState();
void ResetValuesState();

// A fixed-width value of "Tavo.ini" [Usuari]: the first width characters of
// the setting, blank-padded; fallback when it starts with a blank, the
// settings files' rule for every fixed-width value.
std::string UserSetting(const char* key, size_t width,
                        const std::string& fallback);

}  // namespace values
