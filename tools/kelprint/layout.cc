// Items to cells: alignment, overprinting and clipping.

#include "tools/kelprint/layout.h"

#include <string>
#include <string_view>

#include "platform/ascii.h"

namespace tools {

namespace {

// No line holds more cells than the condensed pitch allows.
constexpr int kMaxColumns = kLineUnits / kCondensedCellUnits;

class LineBuilder {
 public:
  explicit LineBuilder(std::vector<Cell>& cells) : cells_(cells) {}

  void Put(int column, char ch, const PrintStyle& style, bool fill = false) {
    if (column < 1 || column > kMaxColumns) return;
    if (cells_.size() < static_cast<size_t>(column)) cells_.resize(column);
    cells_[column - 1] = Cell{ch, true, item_start_, fill, style};
    item_start_ = false;
  }

  void PutText(int column, std::string_view text, const PrintStyle& style) {
    for (size_t i = 0; i < text.size(); ++i) {
      int c = column + static_cast<int>(i);
      if (c > kMaxColumns) break;
      Put(c, text[i], style);
    }
  }

  void Place(const PrintRun& run) {
    const std::string& text = run.text;
    const int col = run.column < 1 ? 1 : run.column;
    item_start_ = true;
    switch (run.align.mode) {
      // The report pads a right-aligned item to its field itself and
      // leaves "D" in force for the items that follow a heading or a
      // total, so moving blanks would push those off their columns.
      case AlignMode::kLeft:
      case AlignMode::kRight:
        PutText(col, text, run.style);
        break;
      case AlignMode::kCentre: {
        const std::string core = platform::TrimBlanks(text);
        int span = LineColumns(run.style) - col + 1;
        if (span < static_cast<int>(core.size())) {
          PutText(col, text, run.style);
        } else {
          int start = col + (span - static_cast<int>(core.size())) / 2;
          PutText(start, core, run.style);
        }
        break;
      }
      case AlignMode::kBoth:
        PlaceJustified(col, text, run.style);
        break;
      case AlignMode::kFill: {
        PutText(col, text, run.style);
        int last = run.align.fill_column < kMaxColumns ? run.align.fill_column
                                                        : kMaxColumns;
        for (int c = col + static_cast<int>(text.size()); c <= last; ++c)
          Put(c, run.align.fill, run.style, true);
        break;
      }
    }
  }

  // Gaps print in the pitch of what follows them, so that an item reaches
  // its column in its own pitch; then whatever passes the line's end goes.
  void Finish() {
    if (cells_.empty()) return;
    PrintStyle carry = cells_.back().style;
    for (size_t i = cells_.size(); i-- > 0;) {
      if (cells_[i].written)
        carry = cells_[i].style;
      else
        cells_[i].style = carry;
    }
    int x = 0;
    size_t keep = 0;
    for (size_t i = 0; i < cells_.size(); ++i) {
      int w = CellUnits(cells_[i].style);
      if (x + w > kLineUnits) break;
      x += w;
      keep = i + 1;
    }
    cells_.resize(keep);
    while (!cells_.empty() && !cells_.back().written) cells_.pop_back();
  }

 private:
  void PlaceJustified(int col, std::string_view text, const PrintStyle& style) {
    std::vector<std::string_view> words;
    size_t letters = 0;
    for (size_t i = 0; i < text.size();) {
      if (text[i] == ' ') {
        ++i;
        continue;
      }
      size_t j = text.find(' ', i);
      if (j == std::string_view::npos) j = text.size();
      words.push_back(text.substr(i, j - i));
      letters += j - i;
      i = j;
    }
    int span = LineColumns(style) - col + 1;
    int gaps = static_cast<int>(words.size()) - 1;
    if (gaps < 1 || static_cast<int>(letters) + gaps > span) {
      PutText(col, text, style);
      return;
    }
    int blanks = span - static_cast<int>(letters);
    int c = col;
    for (size_t w = 0; w < words.size(); ++w) {
      PutText(c, words[w], style);
      c += static_cast<int>(words[w].size());
      if (static_cast<int>(w) < gaps) {
        int gap = blanks / gaps + (static_cast<int>(w) < blanks % gaps ? 1 : 0);
        for (int k = 0; k < gap; ++k) Put(c + k, ' ', style);
        c += gap;
      }
    }
  }

  std::vector<Cell>& cells_;
  bool item_start_ = false;  // the next cell put is the item's first
};

}  // namespace

LaidLine LayOutLine(const PrintLine& line) {
  LaidLine out;
  LineBuilder builder(out.cells);
  for (const PrintRun& run : line.runs) builder.Place(run);
  builder.Finish();
  return out;
}

LaidPage LayOutPage(const PrintPage& page) {
  LaidPage laid;
  laid.length = page.length;
  laid.lines.reserve(page.lines.size());
  for (const PrintLine& line : page.lines) laid.lines.push_back(LayOutLine(line));
  return laid;
}

std::vector<LaidPage> LayOutDocument(const PrintDocument& doc) {
  std::vector<LaidPage> pages;
  pages.reserve(doc.pages.size());
  for (const PrintPage& page : doc.pages) pages.push_back(LayOutPage(page));
  return pages;
}

std::string LineText(const LaidLine& line) {
  std::string text;
  for (const Cell& cell : line.cells) text += cell.written ? cell.ch : ' ';
  return text;
}

int CellOffsetUnits(const LaidLine& line, size_t i) {
  int x = 0;
  for (size_t k = 0; k < i && k < line.cells.size(); ++k)
    x += CellUnits(line.cells[k].style);
  return x;
}

}  // namespace tools
