// Any bytes at all as a print work file: the parser must answer with a
// document or a located error, the same whether it gets the bytes at once or
// in pieces, a reading resumed at a page mark must give the same page, and
// the layout, the text rendering and the table of the spreadsheet devices of
// a document it accepts must hold up too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kelprint/layout.h"
#include "tools/kelprint/render.h"
#include "tools/kelprint/sheet_table.h"
#include "tools/kelprint/work_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tools::PrintDocument doc;
  tools::ParseError error;
  const bool parsed = tools::ParseWorkFile(bytes, doc, error);
  // Read in two pieces, the file gives the same pages or the same error.
  size_t streamed_pages = 0;
  std::vector<tools::PageMark> marks;
  tools::WorkFileParser parser([&streamed_pages](const tools::PrintPage&) {
    ++streamed_pages;
    return true;
  });
  parser.SetMarkHandler([&marks](const tools::PageMark& mark) { marks.push_back(mark); });
  const bool streamed = parser.Feed(bytes.substr(0, size / 2)) &&
                        parser.Feed(bytes.substr(size / 2)) && parser.Finish();
  if (streamed != parsed) __builtin_trap();
  if (!parsed) {
    if (error.line < 1 || error.message.empty()) __builtin_trap();
    if (parser.error().line != error.line) __builtin_trap();
    return 0;
  }
  if (streamed_pages != doc.pages.size()) __builtin_trap();
  std::vector<tools::LaidPage> pages = tools::LayOutDocument(doc);
  for (const tools::PageMark& mark : marks) {
    std::string again;
    tools::WorkFileParser resumed(
        [&again](const tools::PrintPage& page) {
          again = tools::RenderText({tools::LayOutPage(page)});
          return false;
        },
        mark);
    if (resumed.Feed(bytes.substr(static_cast<size_t>(mark.offset)))) resumed.Finish();
    if (resumed.failed() ||
        again != tools::RenderText({pages[static_cast<size_t>(mark.pages_before)]}))
      __builtin_trap();
  }
  if (pages.size() != doc.pages.size()) __builtin_trap();
  for (const tools::LaidPage& page : pages) {
    if (static_cast<int>(page.lines.size()) > page.length) __builtin_trap();
    for (const tools::LaidLine& line : page.lines)
      if (tools::CellOffsetUnits(line, line.cells.size()) > tools::kLineUnits)
        __builtin_trap();
  }
  (void)tools::RenderText(pages);
  // Every row has a cell per column, or one when there are no columns.
  tools::SheetTable table(tools::ListingFormat{});
  for (const tools::LaidPage& page : pages)
    for (const tools::SheetRow& row : table.Rows(page))
      if (row.cells.size() != (table.columns().empty() ? 1 : table.columns().size()))
        __builtin_trap();
  return 0;
}
