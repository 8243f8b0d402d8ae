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

const char* const kFolders[] = {"FORMS", "LOCALE", "ddf", "AJUDA"};

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
  for (const char* folder : kFolders) {
    fs::create_directories(to / folder, ec);
    if (!ec && fs::is_directory(fs::path(from) / folder)) {
      fs::copy(fs::path(from) / folder, to / folder,
               fs::copy_options::recursive | fs::copy_options::overwrite_existing,
               ec);
    }
    if (ec) {
      error = "cannot fill " + (to / folder).string() + ": " + ec.message();
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
