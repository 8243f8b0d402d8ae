// Fuzzes the language catalogue's reader with arbitrary file contents. Beyond
// "no crash, no sanitizer report" it checks the kept entries against a plain
// scan from the start of the text, the way a lookup without them would go:
// every key maps to its first entry, and nothing else is kept.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "app/catalogue.h"
#include "app/list_input.h"
#include "fuzz/fuzz_support.h"

using fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const app::CatalogueEntries entries = app::ParseCatalogue(text);

  app::ListReader scan(text);
  std::unordered_map<std::string, bool> seen;
  std::string key, galician, aranese, spanish;
  while (scan.ReadText(key) && !scan.AtEnd()) {
    if (!scan.ReadText(galician) || !scan.ReadText(aranese) || !scan.ReadText(spanish)) break;
    if (!seen.emplace(key, true).second) continue;  // a later entry of the key
    auto it = entries.find(key);
    Check(it != entries.end());
    Check(it->second[0] == galician && it->second[1] == aranese && it->second[2] == spanish);
  }
  Check(entries.size() == seen.size());
  return 0;
}
