// The preview's walks: a page by number, a text, the grand total, and the
// listing made on another device.

#include <algorithm>
#include <climits>

#include "platform/ascii.h"
#include "platform/console.h"
#include "tools/kelprint/preview.h"
#include "tools/kelprint/preview_texts.h"
#include "ui/field_editor.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "values/text.h"
#include "values/values_state.h"

namespace tools {

namespace {

constexpr int kPageDigits = 7;
constexpr int kFindWidth = 40;
// Pages searched between two progress lines.
constexpr int64_t kFindReport = 25;
// The word every language of the suite starts its grand total with.
constexpr char kTotalWord[] = "TOTAL";

// Folding for searches, cleared again on the way out.
class SearchFolding {
 public:
  SearchFolding() { values::ValuesState().fold_for_search = true; }
  ~SearchFolding() { values::ValuesState().fold_for_search = false; }
  SearchFolding(const SearchFolding&) = delete;
  SearchFolding& operator=(const SearchFolding&) = delete;
};

// A text typed on the status row after the prompt; key is the key that
// ended the typing (Enter to take it).
std::string Ask(int row, int cols, const std::string& prompt, int width, int16_t& key) {
  std::string line = " " + prompt;
  line.resize(static_cast<size_t>(cols), ' ');
  platform::SetCursor(row, 1);
  ui::SetColour("r");
  platform::WriteText(line);
  width = std::min(width, cols - static_cast<int>(prompt.size()) - 2);
  std::string text(static_cast<size_t>(width), ' ');
  int16_t r = static_cast<int16_t>(row);
  int16_t c = static_cast<int16_t>(prompt.size() + 2);
  int16_t w = static_cast<int16_t>(width);
  int16_t position = 1;
  ui::EditField(r, c, w, text, position, key);
  platform::SetCursorSize(0);
  return platform::TrimBlanks(text);
}

}  // namespace

void Preview::AskPage() {
  int16_t key = 0;
  const std::string typed = Ask(rows_, cols_, GoToPromptText(), kPageDigits, key);
  if (key != ui::kKeyEnter || typed.empty()) return;
  int64_t n = 0;
  for (char c : typed) {
    if (c < '0' || c > '9' || n > INT32_MAX) {
      n = -1;
      break;
    }
    n = n * 10 + (c - '0');
  }
  if (n >= 1 && CountTo(n)) {
    GoTo(n - 1, 0);
    return;
  }
  if (said_.empty()) Say(PageRangeText(index_.pages()));
}

void Preview::AskText() {
  int16_t key = 0;
  const std::string typed = Ask(rows_, cols_, FindPromptText(), kFindWidth, key);
  if (key != ui::kKeyEnter || typed.empty()) return;
  wanted_ = typed;
  hit_ = PreviewHit{};
  Find(PreviewHit{page_, top_, 0, -1});
}

void Preview::FindAgain() {
  if (wanted_.empty()) {
    AskText();
    return;
  }
  if (hit_.page == page_)
    Find(PreviewHit{hit_.page, hit_.line, hit_.first + 1, -1});
  else
    Find(PreviewHit{page_, top_, 0, -1});
}

// Forward from a place (page, line, first cell), a page at a time.
void Preview::Find(PreviewHit from) {
  SearchFolding folding;
  const std::string wanted = platform::TrimBlanks(values::FoldText(wanted_));
  if (wanted.empty()) return;
  for (int64_t p = from.page;; ++p) {
    if (p >= index_.pages() && !CountTo(p + 1)) {
      if (said_.empty()) Say(NotFoundText(wanted_));
      return;
    }
    ParseError error;
    const LaidPage* page = index_.Page(p, error);
    if (!page) {
      SayFault(error);
      return;
    }
    const size_t first_line = p == from.page ? static_cast<size_t>(from.line) : 0;
    for (size_t l = first_line; l < page->lines.size(); ++l) {
      const std::string text = values::FoldText(LineText(page->lines[l]));
      const size_t start = p == from.page && l == first_line ? static_cast<size_t>(from.first) : 0;
      const size_t at = start > text.size() ? std::string::npos : text.find(wanted, start);
      if (at == std::string::npos) continue;
      Show(PreviewHit{p, static_cast<int>(l), static_cast<int>(at),
                      static_cast<int>(at + wanted.size()) - 1});
      return;
    }
    if ((p - from.page) % kFindReport == kFindReport - 1) {
      Say(FindingText(p + 1));
      DrawStatus();
    }
    if (Interrupted()) {
      Say(StoppedText(p + 1));
      return;
    }
  }
}

// Backwards from the end: the last line that starts a total is the grand
// total, whatever the language of the listing.
void Preview::FindTotal() {
  if (!CountAll()) return;
  SearchFolding folding;
  for (int64_t p = index_.pages() - 1; p >= 0; --p) {
    ParseError error;
    const LaidPage* page = index_.Page(p, error);
    if (!page) break;
    for (size_t l = page->lines.size(); l-- > 0;) {
      const std::string text = values::FoldText(LineText(page->lines[l]));
      for (size_t at = text.find(kTotalWord); at != std::string::npos;
           at = text.find(kTotalWord, at + 1)) {
        const size_t after = at + sizeof kTotalWord - 1;
        if ((at > 0 && text[at - 1] != ' ') || (after < text.size() && text[after] != ' '))
          continue;
        // The label as far as it goes: up to two blanks running.
        size_t end = after;
        while (end + 1 < text.size() && !(text[end] == ' ' && text[end + 1] == ' ')) ++end;
        while (end > at && text[end - 1] == ' ') --end;
        Show(PreviewHit{p, static_cast<int>(l), static_cast<int>(at), static_cast<int>(end) - 1});
        return;
      }
    }
    if (Interrupted()) {
      Say(StoppedText(p + 1));
      return;
    }
  }
  Say(NoTotalText());
}

// The found text on the screen: its page, its line a third of the way
// down when it was out of sight, its columns in view.
void Preview::Show(const PreviewHit& hit) {
  hit_ = hit;
  page_ = hit.page;
  if (hit.line < top_ || hit.line >= top_ + BodyRows()) top_ = std::max(hit.line - BodyRows() / 3, 0);
  ParseError error;
  const LaidPage* page = index_.Page(page_, error);
  if (!page) return;
  const ShownLine shown = ShowLine(page->lines[static_cast<size_t>(hit.line)], ColumnUnits(*page));
  const int first = shown.column[static_cast<size_t>(hit.first)];
  const int last = shown.column[static_cast<size_t>(hit.last)];
  if (first >= 0 && (first < left_ || last >= left_ + cols_)) left_ = std::max(first - cols_ / 4, 0);
}

void Preview::Print() {
  // The preview cannot be its own printer.
  const bool none = platform::TrimBlanks(request_.printer).empty();
  Make(none || IsPreviewDevice(request_.printer) ? "PDF" : request_.printer, true);
}

void Preview::Make(const std::string& device, bool queues) {
  if (!CountAll()) return;
  const int64_t pages = index_.pages();
  KelprintRequest request = request_;
  request.progress = [&](int64_t done) {
    Say(MakingText(done, pages));
    DrawStatus();
    return !Interrupted();
  };
  const KelprintResult made = PrintListing(request, device, queues);
  made_.push_back(made.message);
  if (made.exit_code != 0) failed_ = true;
  Say(platform::Utf8ToCp850(made.message));
}

}  // namespace tools
