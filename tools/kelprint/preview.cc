// The preview: pages on the screen, moving about, the status line.

#include "tools/kelprint/preview.h"

#include <algorithm>
#include <climits>

#include "platform/ascii.h"
#include "platform/console.h"
#include "tools/kelprint/preview_texts.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "values/text.h"

namespace tools {

namespace {

// Bytes counted between two looks at the keyboard: a few milliseconds.
constexpr size_t kCountBytes = 1 << 20;
// Columns a sideways key moves, as in the look-up lists.
constexpr int kSideways = 8;
constexpr int kIdleWaitMs = 100;

// The widest line of a page on the screen.
int ShownWidth(const LaidPage& page, int units) {
  size_t widest = 0;
  for (const LaidLine& line : page.lines)
    widest = std::max(widest, ShowLine(line, units).cells.size());
  return static_cast<int>(widest);
}

}  // namespace

int ColumnUnits(const LaidPage& page) {
  for (const LaidLine& line : page.lines)
    for (const Cell& cell : line.cells)
      if (cell.written && cell.style.condensed) return kCondensedCellUnits;
  return kNormalCellUnits;
}

// Written text takes a column a cell; the blank space of the line (the
// gaps between items and the margins) is shared out in proportion to its
// width on paper. So a line of cells as wide as a column is shown as it
// is, and a normal-pitch heading above a condensed body spans the same
// width as the body: flush left, centred and flush right as on paper.
ShownLine ShowLine(const LaidLine& line, int units) {
  ShownLine out;
  const std::vector<Cell>& cells = line.cells;
  out.column.assign(cells.size(), -1);
  int64_t written = 0, written_units = 0;
  for (const Cell& cell : cells)
    if (cell.written) {
      ++written;
      written_units += CellUnits(cell.style);
    }
  // Screen columns per unit of blank space: num / den.
  const int64_t num = std::max<int64_t>(kLineUnits - units * written, 0);
  const int64_t den = units * std::max<int64_t>(kLineUnits - written_units, 1);
  int64_t blank = 0, before = 0;  // blank units and written cells so far
  for (size_t k = 0; k < cells.size(); ++k) {
    if (!cells[k].written) {
      blank += CellUnits(cells[k].style);
      continue;
    }
    const size_t col = static_cast<size_t>(before++ + (2 * blank * num + den) / (2 * den));
    if (out.cells.size() <= col) out.cells.resize(col + 1);
    out.cells[col] = ShownCell{cells[k].ch, cells[k].style.bold};
    out.column[k] = static_cast<int>(col);
  }
  return out;
}

bool Preview::Open(KelprintResult& refused) {
  std::string error;
  if (!index_.Open(request_.work_file, error)) {
    refused = WorkFileUnreadable(request_, error);
    return false;
  }
  // The first page is whole once the second has begun.
  while (index_.pages() < 2 && index_.Advance(kCountBytes)) {
  }
  if (index_.pages() > 0) return true;
  refused = index_.failed() ? WorkFileFaulty(request_, index_.fault()) : NoPages();
  return false;
}

int Preview::BodyRows() const { return std::max(rows_ - 1, 1); }

const LaidPage* Preview::Current() {
  ParseError error;
  const LaidPage* page = index_.Page(page_, error);
  if (!page) SayFault(error);
  return page;
}

void Preview::Clamp() {
  const LaidPage* page = Current();
  const int lines = page ? static_cast<int>(page->lines.size()) : 0;
  const int width = page ? ShownWidth(*page, ColumnUnits(*page)) : 0;
  top_ = std::clamp(top_, 0, std::max(lines - BodyRows(), 0));
  left_ = std::clamp(left_, 0, std::max(width - cols_, 0));
}

void Preview::Draw() {
  rows_ = platform::ConsoleRows();
  cols_ = platform::ConsoleCols();
  Clamp();
  const LaidPage* page = Current();
  const int units = page ? ColumnUnits(*page) : kCondensedCellUnits;
  if (keys_shown_) {
    DrawKeys();
  } else {
    for (int r = 0; r < BodyRows(); ++r) DrawLine(r + 1, page, top_ + r, units);
  }
  DrawStatus();
}

void Preview::DrawLine(int row, const LaidPage* page, int line, int units) {
  ShownLine shown;
  if (page && line < static_cast<int>(page->lines.size()))
    shown = ShowLine(page->lines[static_cast<size_t>(line)], units);
  std::vector<bool> found(shown.cells.size(), false);
  if (hit_.page == page_ && hit_.line == line)
    for (int k = hit_.first; k <= hit_.last && k < static_cast<int>(shown.column.size()); ++k)
      if (shown.column[static_cast<size_t>(k)] >= 0)
        found[static_cast<size_t>(shown.column[static_cast<size_t>(k)])] = true;
  // Runs of one look, each written in its colour.
  platform::SetCursor(row, 1);
  std::string run;
  const char* look = "n";
  auto flush = [&] {
    ui::SetColour(look);
    platform::WriteText(run);
    run.clear();
  };
  for (int c = left_; c < left_ + cols_; ++c) {
    const size_t k = static_cast<size_t>(c);
    const bool in = k < shown.cells.size();
    const char* wanted = in && found[k] ? "u" : in && shown.cells[k].bold ? "h" : "n";
    if (wanted != look && !run.empty()) flush();
    look = wanted;
    run += in ? shown.cells[k].ch : ' ';
  }
  flush();
}

void Preview::DrawStatus() {
  std::string line =
      " " + PageOfText(page_ + 1, index_.pages(), !index_.complete()) + "  ";
  if (!said_.empty()) {
    const size_t room = static_cast<size_t>(cols_) > line.size() ? cols_ - line.size() : 0;
    line += values::CutMiddle(said_, room);
  } else {
    // As many of the keys as fit, whole.
    std::string keys = KeysText();
    while (line.size() + keys.size() > static_cast<size_t>(cols_)) {
      const size_t cut = keys.rfind("  ");
      if (cut == std::string::npos) break;
      keys.resize(cut);
    }
    line += keys;
  }
  line.resize(static_cast<size_t>(cols_), ' ');
  platform::SetCursor(rows_, 1);
  ui::SetColour("r");
  platform::WriteText(line);
}

void Preview::DrawKeys() {
  const std::vector<std::string> lines = KeysListText(request_.printer);
  ui::SetColour("n");
  for (int r = 1; r <= BodyRows(); ++r) {
    std::string text;
    if (r >= 2 && r - 2 < static_cast<int>(lines.size()))
      text = "  " + lines[static_cast<size_t>(r - 2)];
    else if (r == static_cast<int>(lines.size()) + 3)
      text = "  " + AnyKeyText();
    text.resize(static_cast<size_t>(cols_), ' ');
    platform::SetCursor(r, 1);
    platform::WriteText(text);
  }
}

int16_t Preview::NextKey() {
  for (;;) {
    int16_t key = 0, button = 0, row = 0, col = 0;
    ui::GetKey(key, button, row, col);
    if (key != 0) return key;
    if (platform::ConsoleRows() != rows_ || platform::ConsoleCols() != cols_) return 0;
    if (!index_.complete()) {
      index_.Advance(kCountBytes);
      if (index_.failed())
        SayFault(index_.fault());
      DrawStatus();
      continue;
    }
    ui::WaitForInput(kIdleWaitMs);
  }
}

bool Preview::Interrupted() {
  int16_t key = 0, button = 0, row = 0, col = 0;
  ui::GetKey(key, button, row, col);
  return key == ui::kKeyEsc;
}

bool Preview::CountTo(int64_t pages) {
  while (index_.pages() < pages && !index_.complete()) {
    index_.Advance(kCountBytes);
    Say(CountingText(index_.pages()));
    DrawStatus();
    if (Interrupted()) {
      Say(StoppedText(index_.pages()));
      return false;
    }
  }
  said_.clear();
  if (index_.failed()) SayFault(index_.fault());
  return index_.pages() >= pages;
}

void Preview::SayFault(const ParseError& error) {
  Say(platform::Utf8ToCp850(WorkFileFaulty(request_, error).message));
}

void Preview::GoTo(int64_t page, int top) {
  if (page < 0 || !CountTo(page + 1)) return;
  page_ = page;
  top_ = top;
}

void Preview::Down() {
  const LaidPage* page = Current();
  const int lines = page ? static_cast<int>(page->lines.size()) : 0;
  if (top_ + BodyRows() < lines)
    ++top_;
  else
    GoTo(page_ + 1, 0);
}

void Preview::Up() {
  if (top_ > 0)
    --top_;
  else if (page_ > 0)
    GoTo(page_ - 1, INT_MAX);  // its last lines
}

bool Preview::Key(int16_t key) {
  said_.clear();
  if (keys_shown_) {
    keys_shown_ = false;
    return true;
  }
  if (key >= 'a' && key <= 'z') key = static_cast<int16_t>(key - 'a' + 'A');
  switch (key) {
    case ui::kKeyEsc: return false;
    case ui::kKeyPgDn: GoTo(page_ + 1, 0); break;
    case ui::kKeyPgUp: GoTo(page_ - 1, 0); break;
    case ui::kKeyDown: Down(); break;
    case ui::kKeyUp: Up(); break;
    case ui::kKeyRight: left_ += kSideways; break;
    case ui::kKeyLeft: left_ -= kSideways; break;
    case ui::kKeyCtrlRight: left_ = INT_MAX; break;
    case ui::kKeyCtrlLeft: left_ = 0; break;
    case ui::kKeyHome: GoTo(0, 0); break;
    case ui::kKeyEnd:
      if (CountAll()) GoTo(index_.pages() - 1, 0);
      break;
    case ui::kKeyF1: keys_shown_ = true; break;
    case ui::kKeyF3:
    case 'N': FindAgain(); break;
    case 'G': AskPage(); break;
    case 'F': AskText(); break;
    case 'T': FindTotal(); break;
    case 'I': Print(); break;
    case 'X': Make("XLSX", false); break;
    default: break;
  }
  return true;
}

KelprintResult Preview::Close() {
  KelprintResult r;
  r.pages = index_.pages();
  r.exit_code = failed_ ? 1 : 0;
  for (const std::string& made : made_) r.message += (r.message.empty() ? "" : "\n") + made;
  if (index_.failed()) {
    const KelprintResult fault = index_.fault().line > 0
                                     ? WorkFileFaulty(request_, index_.fault())
                                     : WorkFileUnreadable(request_, index_.fault().message);
    r.message += (r.message.empty() ? "" : "\n") + fault.message;
    r.exit_code = 1;
  }
  if (r.message.empty()) r.message = ShownText(index_.complete() ? r.pages : -1);
  return r;
}

KelprintResult RunPreview(const KelprintRequest& request) {
  Preview preview(request);
  KelprintResult refused;
  if (!preview.Open(refused)) return refused;
  if (request.take_terminal && !request.take_terminal()) {
    KelprintResult r = PrintListing(request, "PDF");
    r.message += " (no hi ha cap terminal per a la vista prèvia)";
    return r;
  }
  platform::SetCursorSize(0);
  preview.Draw();
  for (;;) {
    if (!preview.Key(preview.NextKey())) break;
    preview.Draw();
  }
  return preview.Close();
}

}  // namespace tools
