// Installations whose record files live on a PostgreSQL server: the
// installation's "Tavo.ini" names the server ([Dades] Motor, a libpq URI
// without a password) and the schema ([Dades] Esquema); the record files
// are made there. And the move of an installation's SQLite record files to
// a server, which switches the setting only when everything arrived.
#pragma once

#include <ostream>
#include <string>

namespace tools {

// False with the reason when the URI or the schema cannot be used.
bool CheckServer(const std::string& uri, const std::string& schema, std::string& error);

// Writes the setting into dir's "Tavo.ini" and makes the four record files
// on the server (those already there are kept). Returns an exit code.
int UseServer(const std::string& dir, const std::string& uri, const std::string& schema,
              std::ostream& err);

// Copies every record file of dir/DADES to the server, in one transaction
// per file and in the files' physical order (so duplicates keep their
// order), checks each count, then switches the setting. The SQLite files
// are held exclusively while they are copied and left as they were.
int MigrateToServer(const std::string& dir, const std::string& uri, const std::string& schema,
                    std::ostream& out, std::ostream& err);

}  // namespace tools
