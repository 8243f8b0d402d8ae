// Laid-out pages as plain UTF-8 text.

#include <string>

#include "platform/ascii.h"
#include "platform/console.h"
#include "tools/kelprint/render.h"

namespace tools {

std::string RenderText(const std::vector<LaidPage>& pages) {
  std::string out;
  for (size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) out += '\f';
    for (const LaidLine& line : pages[p].lines) {
      std::string bytes;
      bytes.reserve(line.cells.size());
      for (const Cell& cell : line.cells) bytes += cell.written ? cell.ch : ' ';
      out += platform::Cp850ToUtf8(platform::TrimTrailingBlanks(bytes));
      out += '\n';
    }
  }
  return out;
}

}  // namespace tools
