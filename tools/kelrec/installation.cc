// Making a new installation folder from the template.
#include "tools/kelrec/installation.h"

#include <filesystem>
#include <system_error>

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
  fs::path beside = fs::path(platform::ExecutableDirectory()) / "install";
  if (IsTemplate(beside)) return beside.string();
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

bool SetFirmName(const std::string& dir, const std::string& cp850_name,
                 std::string& error) {
  std::string path = (fs::path(dir) / "Tavo.ini").string();
  std::string text;
  if (!platform::ReadWholeFile(path, text)) {
    error = "cannot read " + path;
    return false;
  }
  const std::string key = "NomEmpresa=";
  std::string out;
  bool done = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? end : end - start + 1);
    start = end == std::string::npos ? text.size() : end + 1;
    if (!done && line.compare(0, key.size(), key) == 0) {
      line = key + cp850_name + "\r\n";
      done = true;
    }
    out += line;
  }
  if (!done) out += "[Usuari]\r\n" + key + cp850_name + "\r\n";
  platform::File file;
  if (!file.Open(path, platform::File::Mode::kOutput) || !file.Write(out)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace tools
