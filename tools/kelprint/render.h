// Drawing laid-out pages. Text: UTF-8 lines without trailing blanks, a form
// feed before every page but the first. PDF: A4 portrait, 66-line pages on
// an 11-inch body (the line pitch follows the page length), the 8-inch print
// line 7.5 inches wide, DejaVu Sans Mono; condensed cells are narrower
// glyphs of the same height, emphasised cells bold. Spreadsheets: the
// listing as a table (sheet_table.h), one header row and one row per body
// line; XLSX with numeric amounts and date cells, CSV as RFC 4180.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/kelprint/layout.h"
#include "tools/kelprint/sheet_table.h"

namespace tools {

// Receives the bytes of a rendering as they are produced; false stops the
// output.
using ByteSink = std::function<bool(const unsigned char* data, size_t size)>;

// Gives the bytes of out to the sink; false, with error set, when it does
// not take them.
bool SendToSink(const ByteSink& sink, const std::string& out, std::string& error);

// One device's drawing of a listing. Pages come one at a time, in order, and
// none is kept once drawn, so a listing of any length takes the memory of a
// page; every device (the listing files, the print queue, a preview) sits
// behind this.
class PageRenderer {
 public:
  virtual ~PageRenderer() = default;
  // False when the output failed (error() tells); later pages are ignored.
  virtual bool Page(const LaidPage& page) = 0;
  // After the last page: completes the output. False with error() when
  // anything was lost or the device cannot do without pages (PDF).
  virtual bool Finish() = 0;
  virtual const std::string& error() const = 0;
};

std::unique_ptr<PageRenderer> MakeTextRenderer(ByteSink sink);

struct PdfInfo {
  std::string title;    // UTF-8
  std::string creator;  // UTF-8
};

std::unique_ptr<PageRenderer> MakePdfRenderer(const PdfInfo& info, ByteSink sink);

struct SheetInfo {
  std::string name;     // of the sheet: the program name, ASCII
  std::string creator;  // UTF-8
  ListingFormat format;
};

// The workbook is built in a private temporary folder, row by row (libxlsxwriter's
// constant memory mode), and handed to the sink when finished: header row
// frozen, autofilter, estate headings and totals bold, landscape A4 one page
// wide. A sheet that reaches the row limit goes on in a new one.
std::unique_ptr<PageRenderer> MakeXlsxRenderer(const SheetInfo& info, ByteSink sink);
// UTF-8, CR LF, quotes doubled; amounts as numbers with a "." decimal point
// and no grouping, dates as YYYY-MM-DD, so that any reader takes them.
std::unique_ptr<PageRenderer> MakeCsvRenderer(const ListingFormat& format, ByteSink sink);

// The text of whole pages at once.
std::string RenderText(const std::vector<LaidPage>& pages);

}  // namespace tools
