// Laid-out pages to table rows: headings, items to columns, figures and
// dates read back with the characters the listing was printed with.

#include "tools/kelprint/sheet_table.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/ascii.h"
#include "platform/console.h"
#include "values/dates.h"

namespace tools {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One item of a line as the page shows it, after overprinting.
struct Piece {
  int start = 0;  // column of its first cell
  int first = 0;  // columns of its first and last printed characters,
  int end = 0;    // fill included
  std::string text;  // without outer blanks and without fill bytes
  bool bold = false;
  bool padded() const { return first > start; }
};

std::vector<Piece> Pieces(const LaidLine& line) {
  std::vector<Piece> out;
  std::string raw;
  auto close = [&] {
    if (out.empty()) return;
    out.back().text = platform::TrimBlanks(raw);
    if (out.back().text.empty()) out.pop_back();
    raw.clear();
  };
  for (size_t i = 0; i < line.cells.size(); ++i) {
    const Cell& cell = line.cells[i];
    const int column = static_cast<int>(i) + 1;
    if (cell.written && (cell.starts_item || out.empty())) {
      close();
      out.push_back(Piece{column, 0, 0, "", false});
    }
    if (out.empty()) continue;
    const char ch = cell.written ? cell.ch : ' ';
    if (!cell.fill) raw += ch;
    if (ch == ' ') continue;
    Piece& p = out.back();
    if (p.first == 0) p.first = column;
    p.end = column;
    p.bold = p.bold || cell.style.bold;
  }
  close();
  return out;
}

bool IsBlank(const LaidLine& line) {
  return std::none_of(line.cells.begin(), line.cells.end(),
                      [](const Cell& c) { return c.written && c.ch != ' '; });
}

// A line of nothing but rule characters.
bool IsRule(const LaidLine& line, std::string_view rule_chars) {
  bool any = false;
  for (const Cell& c : line.cells) {
    if (!c.written || c.ch == ' ') continue;
    if (rule_chars.find(c.ch) == std::string_view::npos) return false;
    any = true;
  }
  return any;
}

// Index of the nearest non-blank line above line i; -1 when none.
int LineAbove(const LaidPage& page, size_t i) {
  for (size_t j = i; j-- > 0;)
    if (!IsBlank(page.lines[j])) return static_cast<int>(j);
  return -1;
}

// Three digits from s[at + 1] and no fourth.
bool ThreeDigitsAfter(std::string_view s, size_t at) {
  if (at + 3 >= s.size()) return false;
  for (size_t k = at + 1; k <= at + 3; ++k)
    if (!IsDigit(s[k])) return false;
  return at + 4 == s.size() || !IsDigit(s[at + 4]);
}

// "-1.234'56" with thousands "." and decimal "'"; a sign before or after;
// the integer part grouped by threes or not at all.
bool ReadAmount(std::string_view s, const ListingFormat& f, SheetCell& cell) {
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  } else if (!s.empty() && (s.back() == '-' || s.back() == '+')) {
    negative = s.back() == '-';
    s.remove_suffix(1);
  }
  int64_t mantissa = 0;
  int digits = 0, group = 0, decimals = -1;
  bool grouped = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (IsDigit(c)) {
      if (++digits > 15) return false;  // beyond what a double holds exactly
      mantissa = mantissa * 10 + (c - '0');
      ++group;
      if (decimals >= 0) ++decimals;
      continue;
    }
    const bool group_ok = group >= 1 && (grouped ? group == 3 : group <= 3);
    if (decimals < 0 && c == f.thousands && group_ok && ThreeDigitsAfter(s, i)) {
      grouped = true;
      group = 0;
    } else if (decimals < 0 && c == f.decimal && group >= 1 && (!grouped || group == 3)) {
      decimals = 0;
    } else {
      return false;
    }
  }
  if (digits == 0 || decimals == 0) return false;
  // One division, so that 474'06 is the double nearest 474.06.
  int64_t scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  const double value = static_cast<double>(mantissa) / static_cast<double>(scale);
  cell.kind = SheetCell::Kind::kNumber;
  cell.number = negative ? -value : value;
  cell.decimals = decimals < 0 ? 0 : decimals;
  return true;
}

// Day, month and year in the configured order and separator, the year in
// four digits; days a spreadsheet can hold (from 1900) and that exist.
bool ReadDate(std::string_view s, const ListingFormat& f, SheetCell& cell) {
  std::string order;
  for (char c : f.date_order) {
    const char u = platform::UpperAscii(c);
    if ((u == 'D' || u == 'M' || u == 'A') && order.find(u) == std::string::npos) order += u;
  }
  if (order.size() != 3) return false;
  int parts[3] = {0, 0, 0}, widths[3] = {0, 0, 0};
  size_t k = 0;
  for (char c : s) {
    if (c == f.date_separator) {
      if (widths[k] == 0 || ++k == 3) return false;
    } else if (IsDigit(c) && widths[k] < 4) {
      parts[k] = parts[k] * 10 + (c - '0');
      ++widths[k];
    } else {
      return false;
    }
  }
  if (k != 2 || widths[2] == 0) return false;
  int day = 0, month = 0, year = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (order[i] == 'A' && widths[i] != 4) return false;
    (order[i] == 'D' ? day : order[i] == 'M' ? month : year) = parts[i];
  }
  if (year < 1900 || month < 1 || month > 12 || day < 1 ||
      day > values::MonthLength(year, month))
    return false;
  cell.kind = SheetCell::Kind::kDate;
  cell.year = year;
  cell.month = month;
  cell.day = day;
  return true;
}

}  // namespace

std::vector<SheetRow> SheetTable::Rows(const LaidPage& page) {
  size_t start = 0;
  if (first_page_) {
    first_page_ = false;
    FindHeadings(page);
    start = body_start_;
  } else if (!columns_.empty()) {
    start = SkipHeading(page);
  }
  std::vector<SheetRow> rows;
  for (size_t i = start; i < page.lines.size(); ++i) {
    const LaidLine& line = page.lines[i];
    if (IsBlank(line) || IsRule(line, "-=")) continue;
    rows.push_back(Row(line));
  }
  return rows;
}

void SheetTable::FindHeadings(const LaidPage& page) {
  for (size_t i = 0; i < page.lines.size(); ++i) {
    if (!IsRule(page.lines[i], "-")) continue;
    const int h = LineAbove(page, i);
    if (h < 0) continue;
    const std::vector<Piece> headings = Pieces(page.lines[h]);
    const std::vector<Piece> rule = Pieces(page.lines[i]);
    const int rule_last = rule.back().end;
    if (headings.size() < 2 || rule.front().first > headings.front().start ||
        rule_last < headings.back().end)
      continue;

    std::vector<size_t> amounts;
    for (size_t k = 0; k < headings.size(); ++k) {
      SheetColumn col;
      col.heading = platform::Cp850ToUtf8(headings[k].text);
      col.first = headings[k].start;
      col.last = k + 1 < headings.size() ? headings[k + 1].start - 1
                                         : std::max(headings[k].end, headings[k].start);
      col.amount = headings[k].padded();
      if (col.amount) amounts.push_back(k);
      columns_.push_back(col);
    }
    // Right of the headings, up to the rule's end: the totals.
    const int first = columns_.back().last + 1;
    const int span = rule_last - first + 1;
    if (span > 0) {
      const int count = std::clamp(static_cast<int>(amounts.size()), 1, span);
      for (int j = 0; j < count; ++j) {
        SheetColumn col;
        col.heading = amounts.empty() ? "TOTAL" : "TOTAL " + columns_[amounts[j]].heading;
        col.first = first + j * (span / count);
        col.last = j + 1 == count ? rule_last : col.first + span / count - 1;
        col.amount = true;
        columns_.push_back(col);
      }
    }
    heading_line_ = LineText(page.lines[h]);
    rule_line_ = LineText(page.lines[i]);
    body_start_ = i + 1;
    // Above the headings: the firm first, the title last.
    const int top = LineAbove(page, static_cast<size_t>(h));
    for (size_t j = 0; top >= 0 && j <= static_cast<size_t>(top); ++j) {
      const std::vector<Piece> items = Pieces(page.lines[j]);
      if (items.empty()) continue;
      firm_ = platform::Cp850ToUtf8(items.front().text);
      break;
    }
    if (top > 0) title_ = platform::Cp850ToUtf8(platform::TrimBlanks(LineText(page.lines[top])));
    return;
  }
}

// Later pages repeat the first page's heading: the body starts after its
// rule, or at the top when the page has none.
size_t SheetTable::SkipHeading(const LaidPage& page) const {
  for (size_t i = 0; i < page.lines.size(); ++i) {
    if (LineText(page.lines[i]) != rule_line_) continue;
    const int h = LineAbove(page, i);
    if (h >= 0 && LineText(page.lines[h]) == heading_line_) return i + 1;
  }
  return 0;
}

SheetRow SheetTable::Row(const LaidLine& line) const {
  SheetRow row;
  const std::vector<Piece> pieces = Pieces(line);
  for (const Piece& p : pieces) row.bold = row.bold || p.bold;
  if (columns_.empty()) {
    row.cells.push_back(Convert(platform::TrimBlanks(LineText(line)), false));
    return row;
  }
  std::vector<std::string> texts(columns_.size());
  for (const Piece& p : pieces) {
    size_t c = 0;
    while (c + 1 < columns_.size() && columns_[c + 1].first <= p.start) ++c;
    if (!texts[c].empty()) texts[c] += ' ';
    texts[c] += p.text;
    // Labels are written across the grid; figures keep to their column.
    if (p.end > columns_[c].last) row.bold = true;
  }
  for (size_t c = 0; c < columns_.size(); ++c)
    row.cells.push_back(Convert(texts[c], columns_[c].amount));
  return row;
}

SheetCell SheetTable::Convert(const std::string& cp850, bool amount) const {
  SheetCell cell;
  if (cp850.empty()) return cell;
  if (amount ? ReadAmount(cp850, format_, cell) : ReadDate(cp850, format_, cell)) return cell;
  cell.kind = SheetCell::Kind::kText;
  cell.text = platform::Cp850ToUtf8(cp850);
  return cell;
}

}  // namespace tools
