// Layout of a parsed work file: every page becomes lines of character cells,
// each cell with the style it is printed in. Both renderers draw from this,
// so text and PDF always show the same characters in the same places.
//
// Geometry, as on the suite's printers: a print line is 8 inches wide; the
// normal pitch is 12 characters an inch (96 columns), the condensed pitch
// 17.1 (137 columns). The widest report line, 135 condensed columns, fits;
// the page heading, centred by the report in 96 columns, spans the same
// width in the normal pitch. Cells are measured in 1/120 inch.
//
// Alignments, applied to an item of text T at column c:
//   left      T starts at c.
//   right     T as written, in the columns c .. c+len(T)-1: on a
//             fixed-pitch line the writer has padded it to its field
//             already, so it ends where the field ends, and texts that
//             follow under the same mode keep the columns of the rows
//             written under left alignment.
//   centre    T without outer blanks is centred between c and the end of
//             the line (left when it does not fit).
//   both      the words of T are spread from c to the end of the line.
//   fill      T starts at c, then the fill byte follows T up to the fill
//             column.
// A later item overprints the cells of an earlier one, blanks included.
// Cells that would end past the line width are dropped (clipped).
#pragma once

#include <string>
#include <vector>

#include "tools/kelprint/document.h"

namespace tools {

constexpr int kLineUnits = 960;  // 8 inches
constexpr int kNormalCellUnits = 10;
constexpr int kCondensedCellUnits = 7;

inline int CellUnits(const PrintStyle& style) {
  return style.condensed ? kCondensedCellUnits : kNormalCellUnits;
}
// Columns of one style that fit on a line: 96 normal, 137 condensed.
inline int LineColumns(const PrintStyle& style) {
  return kLineUnits / CellUnits(style);
}

struct Cell {
  char ch = ' ';
  bool written = false;  // set by an item; other cells are gaps
  // First cell of the item that wrote it last, so that a line can be cut
  // back into its items; fill bytes of a fill alignment are marked apart.
  bool starts_item = false;
  bool fill = false;
  PrintStyle style;  // gaps take the style of the next item to the right
};

struct LaidLine {
  std::vector<Cell> cells;  // cells[0] is column 1; no trailing gaps
};

struct LaidPage {
  int length = 66;
  std::vector<LaidLine> lines;  // up to the last line written
};

LaidPage LayOutPage(const PrintPage& page);
std::vector<LaidPage> LayOutDocument(const PrintDocument& doc);
LaidLine LayOutLine(const PrintLine& line);
// The line's characters, gaps as blanks (code page 850).
std::string LineText(const LaidLine& line);

// Width of the cells before column index i (0-based) in 1/120 inch.
int CellOffsetUnits(const LaidLine& line, size_t i);

}  // namespace tools
