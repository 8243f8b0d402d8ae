#include "app/catalogue.h"

#include <cerrno>

#include "app/app_state.h"
#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/list_input.h"

namespace app {

namespace {

// The entries of the catalogue at path as it stands now. A missing catalogue
// is created empty, so the installation shows where the translations belong.
const CatalogueEntries& CurrentEntries(const std::string& path) {
  Catalogue& c = CatalogueState();
  platform::FileStamp now;
  if (!platform::StampOfFile(path, now)) {
    if (platform::ErrorNumber() == ENOENT) {
      platform::File created;
      created.Open(path, platform::File::Mode::kCreateNew);
    }
    c = Catalogue();
    return c.entries;
  }
  if (c.path == path && c.stamp == now) return c.entries;
  c = Catalogue();
  std::string contents;
  // Not even opened unless it is a regular file: opening a FIFO could wait
  // for a writer that never comes.
  if (!now.regular ||
      !platform::ReadRegularFile(path, kCatalogueLimit, contents, c.stamp))
    return c.entries;  // read again next time: it may be mended meanwhile
  c.entries = ParseCatalogue(std::move(contents));
  c.path = path;
  return c.entries;
}

}  // namespace

Catalogue& CatalogueState() {
  static Catalogue state;
  return state;
}

void ResetCatalogueState() { CatalogueState() = Catalogue(); }

CatalogueEntries ParseCatalogue(std::string contents) {
  CatalogueEntries entries;
  ListReader reader(std::move(contents));
  std::string key;
  std::array<std::string, 3> values;
  while (reader.ReadText(key)) {
    if (reader.AtEnd()) break;
    if (!reader.ReadText(values[0]) || !reader.ReadText(values[1]) ||
        !reader.ReadText(values[2]))
      break;
    entries.try_emplace(key, values);
  }
  return entries;
}

std::string Translate(const std::string& text) {
  const std::string& language = config::SettingsState().language;
  if (language == "CAT") return text;
  App& state = AppState();
  if (state.catalogue_name.empty()) state.catalogue_name = state.program_name;
  const CatalogueEntries& entries = CurrentEntries(
      config::PathsState().root + "LOCALE\\" + state.catalogue_name + ".LNG");
  // Columns of an entry after its key: Galician, Aranese, Spanish.
  const int column = config::ByLanguage(language, 0, 3, 1, 2);
  if (column == 0) return text;
  auto it = entries.find(text);
  return it == entries.end() ? text : it->second[static_cast<size_t>(column - 1)];
}

}  // namespace app
