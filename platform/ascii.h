// Small byte-string helpers that every layer may use, the settings reader
// below values/ included: ASCII upper-casing and trimming. Upper-casing
// changes only "a" to "z" (code page 850 letters are folded by the text
// helpers of values/). Trimming has three rules: fixed-width fields are
// padded with blanks, so only blanks go; lines of text files and what programs
// say may also carry tabs and line ends; names read from settings and records
// (a device) lose every control byte at their ends as well.
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string UpperAscii(std::string_view text);

// Without blanks at either end / at the end.
std::string TrimBlanks(std::string_view text);
std::string TrimTrailingBlanks(std::string_view text);

// Without blanks, tabs, CR and LF at either end / at the end.
std::string TrimWhiteSpace(std::string_view text);
std::string TrimTrailingWhiteSpace(std::string_view text);

// Without blanks and control bytes (0-31, 127) at either end: a tab typed
// after "PDF" in a settings file must not make another device of it.
std::string TrimControls(std::string_view text);

}  // namespace platform
