// Small text operations on CP850 byte strings: folding to capitals (accents
// kept for display, or stripped with punctuation blanked for letter
// searches while ValuesState().fold_for_search is set), breaking text into
// fixed-width aligned lines, a last-in first-out text stack, and two tests
// used by screens and headings. None of them report errors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace values {

// Same length; codes 64..237 replaced through the selected table.
std::string FoldText(std::string_view text);

// Breaks text into lines of width visible columns (codes below 32 take no
// column) and lays them end to end. indent > 0 indents the first line,
// indent < 0 every later line. Alignment: "L"/"E"/"I" left, "R"/"D" right,
// "C" centred, "N" left padded with "-", "A"/"B" justified (the last line
// and one-word lines unpadded); any other letter leaves lines unpadded.
// Only the first character of alignment counts.
void FormatParagraph(std::string& text, int16_t indent, int16_t width,
                     std::string_view alignment);

void PushText(std::string_view text);
// The most recently pushed text, removed; "" when the stack is empty.
std::string PopText();

// -1 when every byte of text is code (true for the empty text), else 0.
int16_t IsAllChar(std::string_view text, int16_t code);

// (width - length) / 2, truncated towards zero; negative for wide texts.
int16_t CenterOffset(std::string_view text, int16_t width);

// A line longer than width (above 20) with its middle dropped for "...":
// the end of a long path names the file. Shorter lines are kept whole.
std::string CutMiddle(std::string_view text, size_t width);

}  // namespace values
