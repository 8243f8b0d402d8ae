#include "app/catalogue.h"

#include <cerrno>

#include "app/app_state.h"
#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/list_input.h"

namespace app {

namespace {

// The entries of the catalogue as it stands now. A missing catalogue is
// created empty, so the installation shows where the translations belong.
const CatalogueEntries& CurrentEntries(Catalogue& c) {
  // Between the changes the kernel tells of, the file is as it was read; a
  // change it told of is read even when the stamp looks the same.
  const bool watched = c.watch.Active();
  const bool quiet = watched && !c.watch.Changed();
  if (quiet && c.read) return c.entries;
  // Watched afresh before the file is looked at, so that no change after the
  // look goes unnoticed.
  if (c.use_watch && !quiet && !c.watch.Start(c.path)) c.use_watch = false;
  platform::FileStamp now;
  if (!platform::StampOfFile(c.path, now)) {
    if (platform::ErrorNumber() == ENOENT) {
      platform::File created;
      created.Open(c.path, platform::File::Mode::kCreateNew);
    }
    c.read = false;
    c.entries.clear();
    return c.entries;
  }
  if (c.read && c.stamp == now && !watched) return c.entries;
  c.read = false;
  c.entries.clear();
  std::string contents;
  // Not even opened unless it is a regular file: opening a FIFO could wait
  // for a writer that never comes. A file that cannot be read now is tried
  // again at the next lookup.
  if (!now.regular ||
      !platform::ReadRegularFile(c.path, kCatalogueLimit, contents, c.stamp))
    return c.entries;
  c.entries = ParseCatalogue(std::move(contents));
  c.read = true;
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
  Catalogue& c = CatalogueState();
  const std::string& root = config::PathsState().root;
  if (c.path.empty() || c.root != root || c.name != state.catalogue_name) {
    const bool use_watch = c.use_watch;
    c = Catalogue();
    c.use_watch = use_watch;
    c.root = root;
    c.name = state.catalogue_name;
    c.path = platform::OsPath(root + "LOCALE\\" + c.name + ".LNG");
  }
  const CatalogueEntries& entries = CurrentEntries(c);
  // Columns of an entry after its key: Galician, Aranese, Spanish.
  const int column = config::ByLanguage(language, 0, 3, 1, 2);
  if (column == 0) return text;
  auto it = entries.find(text);
  return it == entries.end() ? text : it->second[static_cast<size_t>(column - 1)];
}

}  // namespace app
