// The preview of a listing on the terminal (device "PANTALLA"): the pages
// full screen, one at a time, with a status line on the bottom row in the
// session's language. Keys: PgDn/PgUp a page, Up/Down a line (on into the
// next or previous page), Left/Right eight columns sideways, Ctrl+Left and
// Ctrl+Right to either edge, Home/End the first and the last page, G a page
// by number, F a text (N or F3 again), T the grand total, I prints to the
// printer of the terminal settings, X exports a spreadsheet (device "XLSX"),
// F1 the list of keys, Esc ends. The work file is counted a piece at a time
// while the operator reads, and pages are read and laid out as they are
// shown, so a listing of any length opens at once; long walks (a search, the
// count, a print) show their progress and stop on Esc.
//
// Columns on the screen: a column is a condensed cell on a page that has
// any (a body of 135 condensed columns needs sideways scrolling on 80), a
// normal one on a page in normal pitch alone. Written text takes one column
// a character whatever its pitch, and the blank space of each line is shared
// out in proportion to its width on paper, so that a normal-pitch heading
// spans the condensed body's width as on paper: flush left stays left, the
// page number ends at the body's right edge, the title stays centred over
// the body, its letters side by side. Emphasised cells are highlighted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/kelprint/kelprint.h"
#include "tools/kelprint/layout.h"
#include "tools/kelprint/page_index.h"

namespace tools {

// The preview of the work file of the request on the terminal installed,
// until Esc. What it says is what it made (one line each: prints and
// exports), or that it only showed the listing; the exit code is 1 when
// anything it made failed or the work file is faulty.
KelprintResult RunPreview(const KelprintRequest& request);

// One line of a page as the screen shows it.
struct ShownCell {
  char ch = ' ';
  bool bold = false;
};
struct ShownLine {
  std::vector<ShownCell> cells;  // screen column 1 first
  std::vector<int> column;       // per laid cell: its screen column, 0-based (-1: a gap)
};
// Units of a screen column for a page: a condensed cell when the page has
// any, else a normal one (1/120 inch).
int ColumnUnits(const LaidPage& page);
ShownLine ShowLine(const LaidLine& line, int column_units);

// A found text: page, line, first and last laid cell.
struct PreviewHit {
  int64_t page = -1;
  int line = 0;
  int first = 0, last = -1;
};

// The preview's state, one per run; RunPreview drives it.
class Preview {
 public:
  explicit Preview(const KelprintRequest& request) : request_(request) {}

  // Opens the work file; false with the outcome to report when there is
  // nothing to show (unreadable, faulty before its first page, no pages).
  bool Open(KelprintResult& refused);
  void Draw();
  // One key; false once the preview ends.
  bool Key(int16_t key);
  // Waits for the next key, counting pages meanwhile; 0 when the screen
  // changed size and wants drawing again.
  int16_t NextKey();
  KelprintResult Close();

  int64_t page() const { return page_; }
  int top() const { return top_; }
  int left() const { return left_; }

 private:
  int BodyRows() const;
  const LaidPage* Current();
  void Clamp();
  void DrawLine(int row, const LaidPage* page, int line, int units);
  void DrawStatus();
  void DrawKeys();
  void Say(const std::string& cp850) { said_ = cp850; }
  bool Interrupted();
  bool CountTo(int64_t page);
  // Counts every page; true when the whole file was counted.
  bool CountAll() {
    CountTo(INT64_MAX);
    return index_.complete();
  }
  // The work file's fault on the status row.
  void SayFault(const ParseError& error);
  void GoTo(int64_t page, int top);
  void Down();
  void Up();
  void AskPage();
  void AskText();
  void FindAgain();
  void Find(PreviewHit from);
  void FindTotal();
  void Show(const PreviewHit& hit);
  void Print();
  void Make(const std::string& device, bool queues);

  const KelprintRequest& request_;
  PageIndex index_;
  int64_t page_ = 0;
  int top_ = 0;   // first page line on the screen
  int left_ = 0;  // first screen column shown
  std::string said_;    // replaces the key help until the next key
  std::string wanted_;  // the text last searched for
  PreviewHit hit_;
  std::vector<std::string> made_;  // outcomes of prints and exports (UTF-8)
  bool failed_ = false;
  bool keys_shown_ = false;
  int rows_ = 0, cols_ = 0;  // of the last drawing
};

}  // namespace tools
