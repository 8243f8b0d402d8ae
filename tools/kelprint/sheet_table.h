// A laid-out listing read back as a table, for the spreadsheet devices.
//
// Columns: the first page's line of column headings, the line of items just
// above the dashed rule that spans them. Each heading item starts a column
// that runs up to the next one; the last runs to the end of its heading.
// Headings written with leading blanks stand right-aligned over figures:
// those are amount columns. What the listing prints right of the headings,
// up to the end of the rule, are the totals of the amount columns (the unit
// and estate totals of the pending-receipts report): that width is shared
// equally by one column per amount column, headed "TOTAL " and its heading
// (the word is the same in the suite's four languages); one "TOTAL" column
// when no heading is an amount.
//
// Rows: every body line that is neither blank nor a rule of "-" or "=", one
// row each; the lines of a page down to its column headings and their rule
// are page heading and are left out (the firm and title of the first page
// are kept for the document). A line is cut into its items, and each item
// goes to the column it starts in. Amount columns read the text as a number
// written with the decimal and thousands characters in force; every other
// column reads a date in the configured order and separator; what reads as
// neither stays text. A row is bold when its cells are emphasised in the
// page or when one of its items runs past the end of its column: estate
// headings and total labels are written across the grid, figures never are.
//
// A first page without such headings gives no columns: each line is then one
// text cell.
#pragma once

#include <string>
#include <vector>

#include "tools/kelprint/layout.h"

namespace tools {

// How the listing's figures and dates are written: the settings in force
// ("Tavo.ini" [Usuari] DecCaracter, MilCaracter, DatOrdre, DatCaracter).
struct ListingFormat {
  char decimal = '\'';
  char thousands = '.';
  std::string date_order = "DMA";
  char date_separator = '/';
};

struct SheetCell {
  enum class Kind { kEmpty, kText, kNumber, kDate };
  Kind kind = Kind::kEmpty;
  std::string text;  // kText, UTF-8
  double number = 0;
  int decimals = 0;  // kNumber: as many as the listing printed
  int year = 0, month = 0, day = 0;
};

struct SheetRow {
  std::vector<SheetCell> cells;  // one per column (one in all without columns)
  bool bold = false;
};

struct SheetColumn {
  std::string heading;    // UTF-8
  int first = 1, last = 1;  // print columns it takes, 1-based
  bool amount = false;
};

class SheetTable {
 public:
  explicit SheetTable(const ListingFormat& format) : format_(format) {}

  // The rows of the next page, in order; the first page also settles the
  // columns, the firm and the title.
  std::vector<SheetRow> Rows(const LaidPage& page);

  // Empty when the first page had no column headings.
  const std::vector<SheetColumn>& columns() const { return columns_; }
  const std::string& firm() const { return firm_; }    // UTF-8
  const std::string& title() const { return title_; }  // UTF-8

 private:
  void FindHeadings(const LaidPage& page);
  size_t SkipHeading(const LaidPage& page) const;
  SheetRow Row(const LaidLine& line) const;
  SheetCell Convert(const std::string& cp850, bool amount) const;

  ListingFormat format_;
  bool first_page_ = true;
  std::vector<SheetColumn> columns_;
  std::string firm_, title_;
  // The first page's heading line and rule as printed, to know them again
  // at the top of later pages.
  std::string heading_line_, rule_line_;
  size_t body_start_ = 0;  // first page: first line after the rule
};

}  // namespace tools
