// Settings files of the sections-and-keys kind ("Sessio.ini", "TavoTerm.ini",
// "Tavo.ini"), read only, and the values read from them at start-up.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace config {

// The value of key in section of the file; empty when the file cannot be
// opened, the section or key is absent or the value is empty. Only the first
// section of that name is searched; the first matching entry wins.
std::string ReadSetting(const std::string& file, const std::string& section,
                        const std::string& key);

// A section name or key in the form they are compared in: white space
// around it dropped, upper-cased. Whatever writes a settings file must find
// names by the same rule, or it would add a key the reader never sees.
std::string SettingName(std::string_view name);

// Settings files are small; anything longer than this is not one.
constexpr size_t kSettingsFileLimit = 1 << 20;

// A fixed-width value: the first width characters, blank-padded. A value
// whose first character is a blank (all blanks included) counts as missing
// and gives the empty text, so that the caller's default applies.
std::string FixedWidthSetting(const std::string& value, size_t width);

// Leading digits as a number (after blanks and a sign); 0 when there are none.
int32_t SettingNumber(const std::string& text);

struct Settings {
  std::string menu_title = "  ";  // one blank before and after the title
  std::string menu_name, menu, chained_menu, operator_name;
  int16_t operator_type = 0;
  int16_t colour_selection = 0;
  std::string colour_string = "15000700000700070007";
  std::array<std::pair<int16_t, int16_t>, 5> colour_table{
      {{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}}};
  std::string work_date_text;  // [Sistema] Data as read
  std::string work_date;       // its packing (set by the program start-up)
  std::string output_device;
  std::string printer_device = "PDF";  // [Sistema] Impressora: the preview prints there
  std::string language = "   ";  // 3 characters, blank means Catalan
};
Settings& SettingsState();
void ResetSettingsState();

// The start-up reading, called by SetUpPaths: session file values, terminal
// directory, terminal file (colours, work date text, device, language), the
// language from "Tavo.ini" when still blank. Each step completes before the
// next one.
void ReadSessionSettings();   // Sessio.ini [Menu] and [Terminal] Dir
void ReadTerminalSettings();  // TavoTerm.ini and the language fallback

// Builds the colour table from a 20-digit colour string.
void BuildColourTable(const std::string& colours,
                      std::array<std::pair<int16_t, int16_t>, 5>& table);

// Path of the installation-wide settings file.
std::string MainSettingsFile();

}  // namespace config
