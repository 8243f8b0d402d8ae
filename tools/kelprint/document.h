// The print work file as KELPRINT understands it: a device name and pages of
// positioned text runs, each run carrying the alignment and the style that
// were in force when its item record was read. Produced by ParseWorkFile,
// consumed by the layout. Texts are code page 850 bytes as in the file.
#pragma once

#include <string>
#include <vector>

namespace tools {

enum class AlignMode {
  kLeft,    // "E": text starts at the column
  kRight,   // "D": text as written; the writer pads it to end its field
  kCentre,  // "C": centred between the column and the end of the line
  kBoth,    // "A": words spread between the column and the end of the line
  kFill,    // "N c \x\": text at the column, then x up to column c
};

struct Alignment {
  AlignMode mode = AlignMode::kLeft;
  int fill_column = 0;  // kFill only: last column that gets the fill
  char fill = ' ';      // kFill only: the fill byte
};

// A style record replaces the whole style: it starts from the normal pitch,
// regular weight, and applies its letters ("e" emphasised, "q" condensed).
struct PrintStyle {
  bool bold = false;
  bool condensed = false;
  bool operator==(const PrintStyle&) const = default;
};

struct PrintRun {
  int column = 1;  // 1 = first column; 0 is read as 1
  std::string text;
  Alignment align;
  PrintStyle style;
  int source_line = 0;  // record number in the work file, for messages
};

struct PrintLine {
  std::vector<PrintRun> runs;  // in file order; later runs overprint earlier
};

struct PrintPage {
  int length = 66;               // lines on the page
  std::vector<PrintLine> lines;  // up to the last line written, <= length
};

struct PrintDocument {
  std::string device;  // device record text, as written
  std::vector<PrintPage> pages;
};

}  // namespace tools
