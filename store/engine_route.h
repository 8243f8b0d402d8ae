// Which engine keeps a record file. The installation of a record file is the
// folder above the file's own folder (root/DADES/CobramV.dat belongs to
// root); its "Tavo.ini", section "Dades", decides: key "Motor" empty or
// missing means SQLite files, a libpq connection URI ("postgresql://..." or
// "postgres://...") a PostgreSQL server, where the file lives in the schema
// named by "Esquema" (default "kel") under the name "DADES/CobramV.dat" (the
// last two parts of its path). Anything else in "Motor" (or a URI carrying a
// password, or a bad schema name) is an unusable setting: the file is not
// opened at all rather than quietly taken from the local folder.
#pragma once

#include <string>

namespace store::engine {

struct RecordRoute {
  enum Kind { kSqlite, kPostgres, kUnusable };
  Kind kind = kSqlite;
  std::string uri;     // kPostgres: the connection URI as written
  std::string schema;  // kPostgres: lower case letters, digits and "_"
  std::string name;    // kPostgres: the file's name on the server
};

// path: an OS path ("/" separators) as Open and Create receive it.
RecordRoute RouteOf(const std::string& path);

// The settings file that decides for a record file's path.
std::string RouteSettingsFile(const std::string& path);

// True for a text that can name a schema (1-63 of a-z, 0-9, "_", not
// starting with a digit); upper-case letters are folded first by RouteOf.
bool ValidSchemaName(const std::string& schema);
// True when the URI names a server through libpq and carries no password.
bool UsableServerUri(const std::string& uri);

constexpr char kDefaultSchema[] = "kel";

}  // namespace store::engine
