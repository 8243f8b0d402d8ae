// Help sources to fixed 80-byte records.
#include "tools/kelhelp/help_source.h"

#include <filesystem>

#include "platform/console.h"
#include "platform/files.h"
#include "ui/help.h"

namespace tools {

namespace {

// One source line (UTF-8, no line end) to its record.
bool MakeRecord(const std::string& line, std::string& record, std::string& why) {
  std::string text = line;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  const bool heading = text.rfind("# ", 0) == 0;
  if (heading) text.erase(0, 2);
  bool ok = true;
  const std::string cp850 = platform::Utf8ToCp850(text, &ok);
  if (!ok) {
    why = "a character that code page 850 does not have";
    return false;
  }
  record.clear();
  if (heading) record += ui::kHelpHighlight;
  int shown = 0;
  bool open = false;
  for (char c : cp850) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127) {
      why = "a control character (a tab?)";
      return false;
    }
    if ((c == '{' || c == '}') && heading) {
      why = "braces inside a heading";
      return false;
    }
    if (c == '{' || c == '}') {
      if ((c == '{') == open) {
        why = std::string("an unmatched \"") + c + "\"";
        return false;
      }
      open = !open;
      record += ui::kHelpHighlight;
      continue;
    }
    record += c;
    ++shown;
  }
  if (open) {
    why = "an unmatched \"{\"";
    return false;
  }
  if (heading) record += ui::kHelpHighlight;
  if (shown > ui::kHelpShownChars) {
    why = "more than " + std::to_string(ui::kHelpShownChars) + " characters";
    return false;
  }
  if (record.size() > static_cast<size_t>(ui::kHelpRecordBytes)) {
    why = "too many highlights for one record of " + std::to_string(ui::kHelpRecordBytes) +
          " bytes";
    return false;
  }
  record.resize(static_cast<size_t>(ui::kHelpRecordBytes), ' ');
  return true;
}

}  // namespace

bool MakeHelpFile(const std::string& source_utf8, std::string& hlp, std::string& error) {
  hlp.clear();
  size_t start = 0;
  int number = 0;
  while (start < source_utf8.size()) {
    size_t end = source_utf8.find('\n', start);
    if (end == std::string::npos) end = source_utf8.size();
    ++number;
    if (number > ui::kHelpMaxLines) {
      error = "more than " + std::to_string(ui::kHelpMaxLines) + " lines";
      return false;
    }
    std::string record, why;
    if (!MakeRecord(source_utf8.substr(start, end - start), record, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    hlp += record;
    start = end + 1;
  }
  return true;
}

int RunKelhelp(int argc, char** argv, std::string& err) {
  if (argc < 3) {
    err = "usage: kelhelp OUTDIR SOURCE.txt...\n";
    return 2;
  }
  const std::filesystem::path out_dir(argv[1]);
  for (int k = 2; k < argc; ++k) {
    const std::string source = argv[k];
    std::string text, hlp, error;
    if (!platform::ReadWholeFile(source, text)) {
      err += "kelhelp: cannot read " + source + "\n";
      return 1;
    }
    if (!MakeHelpFile(text, hlp, error)) {
      err += "kelhelp: " + source + ": " + error + "\n";
      return 1;
    }
    const std::string target =
        (out_dir / std::filesystem::path(source).stem()).string() + ".HLP";
    platform::File file;
    if (!file.Open(target, platform::File::Mode::kOutput) || !file.Write(hlp)) {
      err += "kelhelp: cannot write " + target + "\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace tools
