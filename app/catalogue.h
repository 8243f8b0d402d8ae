// The module's language catalogue: root + "LOCALE\" + program name + ".LNG",
// a free-format list of entries of four texts (the Catalan text, which is the
// key, then Galician, Aranese and Spanish); the first entry of a key counts.
//
// Every lookup sees the file as it stands on disk, yet a report translates
// thousands of headings: the parsed entries are kept and the file is read
// again only when its stamp (device, inode, size, modification time) has
// changed. On a local file system the kernel tells of changes as they happen
// (platform/file_watch.h), so the stamp is looked at only after one. Only a
// regular file of at most kCatalogueLimit bytes is read; a FIFO, device or
// longer file translates nothing and never holds the program up.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>

#include "platform/file_watch.h"
#include "platform/files.h"

namespace app {

// Key -> Galician, Aranese and Spanish text.
using CatalogueEntries = std::unordered_map<std::string, std::array<std::string, 3>>;

constexpr size_t kCatalogueLimit = 4 << 20;

struct Catalogue {
  std::string root, name;  // what the path was formed from
  std::string path;        // root + "LOCALE\" + name + ".LNG", system form
  bool read = false;       // entries hold the file as it had stamp
  platform::FileStamp stamp;
  CatalogueEntries entries;
  platform::FileWatch watch;
  bool use_watch = true;  // false: the stamp at every lookup (network shares)
};
Catalogue& CatalogueState();
void ResetCatalogueState();

// The entries of a catalogue's text, the first of each key kept. An entry
// cut short by the end of the text is left out.
CatalogueEntries ParseCatalogue(std::string contents);

// The text in the session's language; unchanged for Catalan, for an unknown
// language code, and when no entry has the text as its key (case counts).
std::string Translate(const std::string& text);

}  // namespace app
