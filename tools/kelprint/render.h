// Drawing laid-out pages. Text: UTF-8 lines without trailing blanks, a form
// feed before every page but the first. PDF: A4 portrait, 66-line pages on
// an 11-inch body (the line pitch follows the page length), the 8-inch print
// line 7.5 inches wide, DejaVu Sans Mono; condensed cells are narrower
// glyphs of the same height, emphasised cells bold.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/kelprint/layout.h"

namespace tools {

std::string RenderText(const std::vector<LaidPage>& pages);

// Receives the PDF bytes as cairo produces them; false stops the output.
using PdfSink = std::function<bool(const unsigned char* data, size_t size)>;

struct PdfInfo {
  std::string title;    // UTF-8
  std::string creator;  // UTF-8
};

// False with a message when cairo or the sink fails. A document without
// pages is refused (a PDF must have one).
bool RenderPdf(const std::vector<LaidPage>& pages, const PdfInfo& info,
               const PdfSink& sink, std::string& error);

}  // namespace tools
