// Installations on a PostgreSQL server, and kelrec migrate.
#include "tools/kelrec/server.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "app/config/settings.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "store/btrcall.h"
#include "store/engine_route.h"
#include "tools/kelrec/installation.h"
#include "tools/kelrec/layouts.h"
#include "tools/kelrec/record_io.h"
#include "tools/kelrec/transfer.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

// A folder beside the record files whose settings name the server: its
// DADES/X.dat reaches the table the installation's DADES/X.dat will reach
// once switched. Removed when it goes.
class Staging {
 public:
  Staging(const std::string& dir, const std::string& uri, const std::string& schema)
      : root_((fs::path(dir) / "MIGRA.tmp").string()) {
    std::error_code ec;
    fs::remove_all(root_, ec);
    fs::create_directories(fs::path(root_) / "DADES", ec);
    platform::File file;
    ok_ = !ec && file.Open((fs::path(root_) / "Tavo.ini").string(), platform::File::Mode::kOutput) &&
          file.Write("[Dades]\r\nMotor=" + uri + "\r\nEsquema=" + schema + "\r\n");
  }
  ~Staging() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  bool ok() const { return ok_; }
  std::string Path(const std::string& file) const { return root_ + "/DADES/" + file; }

 private:
  std::string root_;
  bool ok_ = false;
};

std::string StatusText(int16_t status) {
  return status == store::kStEngineInactive ? "the server cannot be reached (status 20)"
                                            : "status " + std::to_string(status);
}

// One file's records in physical order.
int16_t ReadAll(RecordIo& file, std::vector<std::pair<uint32_t, std::string>>& records) {
  std::string record;
  int16_t status = file.First(record);
  while (status == store::kStOk) {
    uint32_t position = 0;
    status = file.Position(position);
    if (status != store::kStOk) return status;
    records.emplace_back(position, record);
    status = file.Next(record);
  }
  if (status != store::kStEndOfFile) return status;
  std::sort(records.begin(), records.end());
  return store::kStOk;
}

// The Stat reply's record count.
uint32_t CountOf(const std::string& stat) {
  if (stat.size() < store::kRecordCountAt + 4) return 0;
  uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<uint8_t>(stat[store::kRecordCountAt + i]);
  return n;
}

// Copies one SQLite file (held open exclusively by the caller) to target.
bool CopyFile(RecordIo& source, const std::string& name, const std::string& target,
              std::ostream& out, std::ostream& err) {
  std::string stat;
  std::vector<std::pair<uint32_t, std::string>> records;
  int16_t status = source.Stat(stat);
  if (status == store::kStOk) status = ReadAll(source, records);
  if (status != store::kStOk) {
    err << name << ": cannot read (" << StatusText(status) << ")\n";
    return false;
  }
  // Stat's record count is not taken over: a creation keeps none.
  status = RecordIo::Create(target, stat);
  if (status != store::kStOk && status != store::kStFileExists) {
    err << name << ": cannot make it on the server (" << StatusText(status) << ")\n";
    return false;
  }
  RecordIo copy;
  std::string there;
  status = copy.OpenPath(target, store::kOpenExclusive);
  if (status == store::kStOk) status = copy.Stat(there);
  if (status != store::kStOk || CountOf(there) != 0) {
    err << name << ": "
        << (status != store::kStOk ? "cannot open it on the server (" + StatusText(status) + ")"
                                   : "the server already holds " + std::to_string(CountOf(there)) +
                                         " records of it")
        << "\n";
    return false;
  }
  status = RecordIo::Begin();
  for (size_t i = 0; status == store::kStOk && i < records.size(); ++i)
    status = copy.Insert(records[i].second);
  if (status == store::kStOk) status = RecordIo::Commit();
  else RecordIo::Abort();
  if (status == store::kStOk) status = copy.Stat(there);
  if (status != store::kStOk || CountOf(there) != records.size() || CountOf(stat) != records.size()) {
    err << name << ": the copy did not arrive whole ("
        << (status != store::kStOk ? StatusText(status)
                                   : std::to_string(CountOf(there)) + " of " +
                                         std::to_string(records.size()) + " records")
        << ")\n";
    return false;
  }
  out << name << ": " << records.size() << " records\n";
  return true;
}

// Points the installation's settings at the server and schema.
bool WriteServerSettings(const std::string& dir, const std::string& uri,
                         const std::string& schema, std::ostream& err) {
  std::string error;
  if (SetSetting(dir, "Dades", "Motor", uri, error) &&
      SetSetting(dir, "Dades", "Esquema", schema, error))
    return true;
  err << "kelrec: " << error << "\n";
  return false;
}

}  // namespace

bool CheckServer(const std::string& uri, const std::string& schema, std::string& error) {
  if (!store::engine::UsableServerUri(uri)) {
    error = "\"" + uri + "\" is not a PostgreSQL URI without a password (postgresql://...;"
            " passwords go in ~/.pgpass, a service file or PGPASSWORD)";
    return false;
  }
  if (!store::engine::ValidSchemaName(schema)) {
    error = "bad schema name \"" + schema + "\" (a-z, 0-9 and _, at most 63)";
    return false;
  }
  return true;
}

int UseServer(const std::string& dir, const std::string& uri, const std::string& schema,
              std::ostream& err) {
  if (!WriteServerSettings(dir, uri, schema, err)) return kExitBadData;
  for (Kind kind : AllKinds()) {
    RecordIo file;
    const int16_t status = file.Open(dir, kind);
    if (status != store::kStOk) {
      err << RecordFilePath(dir, kind) << ": cannot open or create on the server ("
          << StatusText(status) << ")\n";
      return kExitBadData;
    }
  }
  return kExitOk;
}

int MigrateToServer(const std::string& dir, const std::string& uri, const std::string& schema,
                    std::ostream& out, std::ostream& err) {
  const std::string settings = (fs::path(dir) / "Tavo.ini").string();
  std::error_code ec;
  if (!fs::is_regular_file(settings, ec) || !fs::is_directory(fs::path(dir) / "DADES", ec)) {
    err << "kelrec: " << dir << " is not an installation (no Tavo.ini or DADES)\n";
    return kExitBadData;
  }
  if (!platform::TrimWhiteSpace(config::ReadSetting(settings, "Dades", "Motor")).empty()) {
    err << "kelrec: " << dir << " keeps its record files on a server already\n";
    return kExitBadData;
  }
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(fs::path(dir) / "DADES", ec))
    if (e.is_regular_file(ec) && e.path().extension() == ".dat")
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  Staging staging(dir, uri, schema);
  if (!staging.ok()) {
    err << "kelrec: cannot make a work folder in " << dir << "\n";
    return kExitBadData;
  }
  // Held until the switch: nobody writes to a file after it was copied.
  std::vector<RecordIo> sources(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string path = (fs::path(dir) / "DADES" / names[i]).string();
    const int16_t status = sources[i].OpenPath(path, store::kOpenExclusive);
    if (status == store::kStNotRecordFile) {
      err << path << ": not a record file, left as it is\n";
      continue;
    }
    if (status != store::kStOk) {
      err << path << ": cannot open it alone (" << (status == store::kStFileLocked
                                                        ? std::string("in use by another program")
                                                        : StatusText(status))
          << "); nothing was switched\n";
      return kExitBadData;
    }
    if (!CopyFile(sources[i], "DADES/" + names[i], staging.Path(names[i]), out, err)) {
      err << "kelrec: nothing was switched; " << dir << " still uses its own files\n";
      return kExitBadData;
    }
  }
  if (!WriteServerSettings(dir, uri, schema, err)) return kExitBadData;
  out << dir << ": the record files are now on the server (schema " << schema
      << "); the files in DADES stay as they were\n";
  return kExitOk;
}

}  // namespace tools
