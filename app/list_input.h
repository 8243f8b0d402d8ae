// Free-format list input over a text file, as the form file and the language
// catalogue are written: values are separated by commas or line ends, leading
// blanks are ignored, and a value in double quotes keeps its blanks and may
// hold commas. Line ends may be CR LF or LF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

class ListReader {
 public:
  explicit ListReader(std::string contents);

  // True when only blanks and line ends remain.
  bool AtEnd();
  // Skips whole lines whose first non-blank character is an apostrophe,
  // when the reader stands at the start of a line.
  void SkipCommentLines();
  // Reads one value; false at end of input.
  bool ReadText(std::string& value);
  // Reads one 16-bit integer (an empty value is 0); false at end of input
  // or when the value is not a whole number (then not_a_number() holds it).
  bool ReadInt(int16_t& value);

  int line() const { return line_; }  // line of the last value read, 1-based
  // The value that failed the last ReadInt; empty when the input ended.
  const std::string& not_a_number() const { return error_; }

 private:
  void SkipBlanksAndLineEnds();
  bool AtLineStart() const;

  std::string text_;
  size_t pos_ = 0;
  int line_ = 1;
  int cur_line_ = 1;
  std::string error_;
};

}  // namespace app
