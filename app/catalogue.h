// The module's language catalogue: root + "LOCALE\" + program name + ".LNG",
// a free-format list of entries of four texts (the Catalan text, which is the
// key, then Galician, Aranese and Spanish). Every lookup scans the file from
// its start; nothing is cached.
#pragma once

#include <string>

namespace app {

// The text in the session's language; unchanged for Catalan, for an unknown
// language code, and when no entry has the text as its key (case counts).
std::string Translate(const std::string& text);

}  // namespace app
