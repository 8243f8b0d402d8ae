// Any bytes at all as a print work file: the parser must answer with a
// document or a located error, and the layout and text rendering of a
// document it accepts must hold up too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/kelprint/layout.h"
#include "tools/kelprint/render.h"
#include "tools/kelprint/work_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tools::PrintDocument doc;
  tools::ParseError error;
  if (!tools::ParseWorkFile(bytes, doc, error)) {
    if (error.line < 1 || error.message.empty()) __builtin_trap();
    return 0;
  }
  std::vector<tools::LaidPage> pages = tools::LayOutDocument(doc);
  if (pages.size() != doc.pages.size()) __builtin_trap();
  for (const tools::LaidPage& page : pages) {
    if (static_cast<int>(page.lines.size()) > page.length) __builtin_trap();
    for (const tools::LaidLine& line : page.lines)
      if (tools::CellOffsetUnits(line, line.cells.size()) > tools::kLineUnits)
        __builtin_trap();
  }
  (void)tools::RenderText(pages);
  return 0;
}
