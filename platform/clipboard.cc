// The operator's clipboard: the desktop's tools where there is a desktop,
// the terminal's own channel always (it reaches the operator's machine over
// a remote session), and a copy kept in the program for when neither reads.
#include <vector>

#include "platform/console.h"
#include "platform/system.h"

namespace platform {

namespace {

constexpr int kToolTimeoutMs = 1000;

using Command = std::vector<std::string>;

std::vector<Command> CopyTools() {
  std::vector<Command> tools;
  if (!GetEnv("WAYLAND_DISPLAY").empty()) tools.push_back({"wl-copy"});
  if (!GetEnv("DISPLAY").empty()) {
    tools.push_back({"xsel", "--clipboard", "--input"});
    tools.push_back({"xclip", "-selection", "clipboard"});
  }
  return tools;
}

std::vector<Command> PasteTools() {
  std::vector<Command> tools;
  if (!GetEnv("WAYLAND_DISPLAY").empty()) tools.push_back({"wl-paste", "--no-newline"});
  if (!GetEnv("DISPLAY").empty()) {
    tools.push_back({"xsel", "--clipboard", "--output"});
    tools.push_back({"xclip", "-selection", "clipboard", "-o"});
  }
  return tools;
}

}  // namespace

void ClipboardSet(const std::string& text) {
  ConsoleState().clipboard = text;
  const std::string utf8 = Cp850ToUtf8(text);
  CurrentTerminal().SendClipboard(utf8);
  for (const Command& tool : CopyTools()) {
    if (RunCaptured(tool, utf8, nullptr, kToolTimeoutMs) == 0) break;
  }
}

std::string ClipboardGet() {
  for (const Command& tool : PasteTools()) {
    std::string out;
    if (RunCaptured(tool, std::string(), &out, kToolTimeoutMs) == 0) {
      return Utf8ToCp850(out);
    }
  }
  return ConsoleState().clipboard;
}

}  // namespace platform
