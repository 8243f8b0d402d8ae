// Settings reader and the start-up values. Section names and keys compare
// without case and surrounding blanks; values are kept as they stand.
#include "app/config/settings.h"

#include "app/config/paths.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/system.h"

namespace config {

std::string SettingName(std::string_view name) {
  return platform::UpperAscii(platform::TrimWhiteSpace(name));
}

std::string FixedWidthSetting(const std::string& value, size_t width) {
  if (width == 0) return std::string();
  std::string v = value.substr(0, width);
  v.resize(width, ' ');
  return v[0] == ' ' ? std::string() : v;
}

std::string ReadSetting(const std::string& file, const std::string& section,
                        const std::string& key) {
  // Read whole and bounded: a FIFO or a device under a settings name must
  // neither hang the start-up nor fill the memory.
  std::string contents;
  if (!platform::ReadPlainFile(file, contents, kSettingsFileLimit)) return "";
  const std::string want_section = SettingName(section);
  const std::string want_key = SettingName(key);
  bool in_section = false;
  std::string value;
  size_t at = 0;
  while (at < contents.size()) {
    size_t end = contents.find('\n', at);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t semi = line.find(';');
    if (semi != std::string::npos) line.resize(semi);
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    line.erase(0, start);
    if (line[0] == '[') {
      if (in_section) break;
      size_t close = line.find(']');
      std::string name = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      if (SettingName(name) == want_section) in_section = true;
      continue;
    }
    if (!in_section) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SettingName(line.substr(0, eq)) == want_key) {
      value = line.substr(eq + 1);
      break;
    }
  }
  if (value.size() > 1 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value;
}

int32_t SettingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t n = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    n = n * 10 + (text[i++] - '0');
    if (n > 0x7FFFFFFF) return 0;  // does not fit: not a number we can use
  }
  return static_cast<int32_t>(negative ? -n : n);
}

Settings& SettingsState() {
  static Settings settings;
  return settings;
}

void ResetSettingsState() { SettingsState() = Settings(); }

std::string MainSettingsFile() { return PathsState().root + "Tavo.ini"; }

void BuildColourTable(const std::string& colours,
                      std::array<std::pair<int16_t, int16_t>, 5>& table) {
  auto two = [&](size_t at) {
    return static_cast<int16_t>(SettingNumber(at < colours.size() ? colours.substr(at, 2) : ""));
  };
  for (size_t i = 0; i < table.size(); ++i) table[i] = {two(4 * i), two(4 * i + 2)};
}

void ReadSessionSettings() {
  Settings& s = SettingsState();
  Paths& p = PathsState();
  const std::string session = p.temp_dir + "Sessio.ini";
  s.menu_title = " " + ReadSetting(session, "Menu", "Titol") + " ";
  s.menu_name = ReadSetting(session, "Menu", "NomMenu");
  s.menu = ReadSetting(session, "Menu", "Menu");
  s.chained_menu = ReadSetting(session, "Menu", "ChnMenu");
  s.operator_name = ReadSetting(session, "Menu", "Operador");
  s.operator_type = static_cast<int16_t>(SettingNumber(ReadSetting(session, "Menu", "KelTipOper")));

  std::string dir = ReadSetting(session, "Terminal", "Dir");
  if (dir.empty()) {
    // On Linux TERM names the terminal type; it is a directory only when one
    // of that name exists.
    std::string term = platform::GetEnv("TERM");
    if (!term.empty() && platform::DirectoryExists(term)) dir = term;
  }
  p.term_dir = CompleteDirectory(dir);
  if (p.temp_dir.empty()) p.temp_dir = p.term_dir;
}

void ReadTerminalSettings() {
  Settings& s = SettingsState();
  const std::string terminal = PathsState().temp_dir + "TavoTerm.ini";
  s.colour_selection = static_cast<int16_t>(SettingNumber(ReadSetting(terminal, "Pantalla", "Seleccio")));
  std::string colours = FixedWidthSetting(
      ReadSetting(terminal, "Pantalla", "Col" + std::to_string(s.colour_selection)), 20);
  s.colour_string = colours.empty() ? "15000700000700070007" : colours;
  BuildColourTable(s.colour_string, s.colour_table);

  s.work_date_text = ReadSetting(terminal, "Sistema", "Data");
  // A stray tab or blank around a name would make another device of it.
  s.output_device = platform::TrimControls(ReadSetting(terminal, "Sistema", "Sortida"));
  const std::string printer = platform::TrimControls(ReadSetting(terminal, "Sistema", "Impressora"));
  s.printer_device = printer.empty() ? "PDF" : printer;
  std::string language = FixedWidthSetting(ReadSetting(terminal, "Sistema", "Idioma"), 3);
  if (language.empty()) language = FixedWidthSetting(ReadSetting(MainSettingsFile(), "Usuari", "Idioma"), 3);
  s.language = language.empty() ? "   " : language;
}

}  // namespace config
