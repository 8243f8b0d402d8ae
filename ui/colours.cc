// Colour selection by letter codes and the colour stack.

#include "app/config/settings.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "ui/screen.h"
#include "values/text.h"

namespace ui {

const std::array<std::pair<int16_t, int16_t>, 5>& ColourTable() {
  return config::SettingsState().colour_table;
}

void SetColour(const std::string& code) {
  const std::string upper = platform::UpperAscii(code);
  if (values::IsAllChar(upper, ' ')) return;

  Screen& s = ScreenState();
  if (upper.find('+') != std::string::npos) {
    s.colour_stack.push_back(static_cast<char>(s.current_colour));
  }
  int index;
  if (upper.find('-') != std::string::npos) {
    if (s.colour_stack.empty()) {
      index = 0;
    } else {
      index = static_cast<unsigned char>(s.colour_stack.back());
      s.colour_stack.pop_back();
    }
  } else if (upper.find('U') != std::string::npos) {
    index = 4;
  } else {
    index = (upper.find('R') != std::string::npos ? 2 : 0) +
            (upper.find('N') != std::string::npos ? 1 : 0);
  }
  if (index < 0 || index > 4) index = 0;
  const auto& pair = ColourTable()[static_cast<size_t>(index)];
  platform::SetTextColours(pair.first, pair.second);
  s.current_colour = static_cast<int16_t>(index);
}

}  // namespace ui
