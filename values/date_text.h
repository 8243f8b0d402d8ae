// Dates as shown on screens and printouts. The field order and the separator
// come from "Tavo.ini" [Usuari] DatOrdre / DatCaracter, read once per run on
// first use ("DMA" and "/" when missing or blank). Month names and the
// connecting words of the long form follow the session language at every
// call ("SPA", "GLG", "OCI"; anything else is Catalan). Texts are CP850.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace values {

// Formats a PackedDate.
//   mode -1: ISO "YYYY-MM-DD".
//   mode 0:  numeric, e.g. "7/12/2026 ".
//   mode 1:  numeric with the month's first three letters, "7/des/2026 ".
//   mode 2+: long form, "7 de desembre del 2026", unpadded.
// fields names the parts to show by the letters D, M, A in any case; their
// order always comes from the configured order. Modes 0 and 1 give a fixed
// width (blank-padded or cut); an empty date gives blanks there.
std::string FormatDate(std::string_view date, int16_t mode,
                       std::string_view fields);

// The configured field order ("DMA" by default) and separator ("/"),
// loaded on first call as FormatDate loads them.
std::string DateOrder();
char DateSeparator();

// Month name of the session language, trailing blanks removed; the month
// number as text outside 1..12.
std::string MonthName(int month);

}  // namespace values
