#include "app/catalogue.h"

#include "app/app_state.h"
#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/list_input.h"
#include "platform/files.h"

namespace app {

std::string Translate(const std::string& text) {
  const std::string& language = config::SettingsState().language;
  if (language == "CAT") return text;
  App& state = AppState();
  if (state.catalogue_name.empty()) state.catalogue_name = state.program_name;
  const std::string path = config::PathsState().root + "LOCALE\\" + state.catalogue_name + ".LNG";

  // A missing catalogue is created empty, so the installation shows where the
  // translations belong.
  {
    platform::File touch;
    touch.Open(path, platform::File::Mode::kReadWrite);
  }
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) return text;

  // Columns of an entry after its key: Galician, Aranese, Spanish.
  const int column = config::ByLanguage(language, 0, 3, 1, 2);
  ListReader reader(std::move(contents));
  std::string key;
  std::string values[3];
  while (reader.ReadText(key)) {
    if (reader.AtEnd()) break;
    if (!reader.ReadText(values[0]) || !reader.ReadText(values[1]) || !reader.ReadText(values[2]))
      break;  // an entry cut short ends the lookup
    if (key == text) return column == 0 ? text : values[column - 1];
  }
  return text;
}

}  // namespace app
