// Making a new installation folder from the template.
#include "tools/kelrec/installation.h"

#include <filesystem>
#include <system_error>

#include "app/config/settings.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/system.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

bool IsTemplate(const fs::path& dir) {
  std::error_code ec;
  return fs::is_directory(dir / "ddf", ec) && fs::is_regular_file(dir / "Tavo.ini", ec);
}

// Folders copied from the template. Of AJUDA only the help files go: the
// sources they are made from stay in the template.
struct Folder {
  const char* name;
  bool whole;
};
const Folder kFolders[] = {{"FORMS", true}, {"LOCALE", true}, {"ddf", true}, {"AJUDA", false}};

void CopyFolder(const fs::path& from, const fs::path& to, bool whole, std::error_code& ec) {
  if (whole) {
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    return;
  }
  for (const fs::directory_entry& e : fs::directory_iterator(from, ec)) {
    if (e.is_regular_file(ec))
      fs::copy_file(e.path(), to / e.path().filename(), fs::copy_options::overwrite_existing, ec);
    if (ec) return;
  }
}

}  // namespace

std::string TemplateDirectory() {
  const fs::path exe_dir = platform::ExecutableDirectory();
  fs::path beside = exe_dir / "install";
  if (IsTemplate(beside)) return beside.string();
#ifdef KEL_INSTALLED_TEMPLATE
  // Installed: <prefix>/bin/kelrec and the template under <prefix>/share.
  fs::path installed = (exe_dir / ".." / KEL_INSTALLED_TEMPLATE).lexically_normal();
  if (IsTemplate(installed)) return installed.string();
#endif
#ifdef KEL_SOURCE_DIR
  fs::path source = fs::path(KEL_SOURCE_DIR) / "install";
  if (IsTemplate(source)) return source.string();
#endif
  return std::string();
}

bool MakeInstallation(const std::string& dir, std::string& error) {
  std::string from = TemplateDirectory();
  if (from.empty()) {
    error = "the installation template (install/) was not found";
    return false;
  }
  std::error_code ec;
  fs::path to(dir);
  if (fs::exists(to, ec) && !(fs::is_directory(to, ec) && fs::is_empty(to, ec))) {
    error = dir + " already exists and is not an empty folder";
    return false;
  }
  fs::create_directories(to, ec);
  if (ec) {
    error = "cannot make " + dir + ": " + ec.message();
    return false;
  }
  for (const Folder& folder : kFolders) {
    fs::create_directories(to / folder.name, ec);
    if (!ec && fs::is_directory(fs::path(from) / folder.name))
      CopyFolder(fs::path(from) / folder.name, to / folder.name, folder.whole, ec);
    if (ec) {
      error = "cannot fill " + (to / folder.name).string() + ": " + ec.message();
      return false;
    }
  }
  fs::create_directories(to / "DADES", ec);
  if (!ec) fs::copy_file(fs::path(from) / "Tavo.ini", to / "Tavo.ini", ec);
  if (ec) {
    error = "cannot finish " + dir + ": " + ec.message();
    return false;
  }
  return true;
}

void RemoveInstallation(const std::string& dir) {
  std::error_code ec;
  fs::remove_all(dir, ec);
}

namespace {

// The section name of a "[...]" line, upper-cased; empty for other lines.
std::string SectionOf(const std::string& line) {
  const std::string text = platform::TrimWhiteSpace(line);
  if (text.empty() || text[0] != '[') return std::string();
  const size_t close = text.find(']');
  return config::SettingName(text.substr(1, close == std::string::npos ? close : close - 1));
}

bool IsKeyLine(const std::string& line, const std::string& wanted) {
  const size_t eq = line.find('=');
  return eq != std::string::npos && config::SettingName(line.substr(0, eq)) == wanted;
}

}  // namespace

bool SetSetting(const std::string& dir, const std::string& section,
                const std::string& key, const std::string& cp850_value,
                std::string& error) {
  std::string path = (fs::path(dir) / "Tavo.ini").string();
  std::string text;
  if (!platform::ReadWholeFile(path, text)) {
    error = "cannot read " + path;
    return false;
  }
  const std::string want_section = config::SettingName(section);
  const std::string want_key = config::SettingName(key);
  const std::string entry = key + "=" + cp850_value + "\r\n";
  std::string out, current;
  bool done = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? end : end - start + 1);
    start = end == std::string::npos ? text.size() : end + 1;
    const std::string name = SectionOf(line);
    if (!name.empty()) {
      // Leaving the section without having met the key: it goes at its end.
      if (!done && current == want_section) {
        out += entry;
        done = true;
      }
      current = name;
    } else if (!done && current == want_section && IsKeyLine(line, want_key)) {
      line = entry;
      done = true;
    }
    if (!line.empty() && line.back() != '\n') line += "\r\n";
    out += line;
  }
  if (!done) out += (current == want_section ? "" : "[" + section + "]\r\n") + entry;
  platform::File file;
  if (!file.Open(path, platform::File::Mode::kOutput) || !file.Write(out)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool SetFirmName(const std::string& dir, const std::string& cp850_name,
                 std::string& error) {
  return SetSetting(dir, "Usuari", "NomEmpresa", cp850_name, error);
}

}  // namespace tools
