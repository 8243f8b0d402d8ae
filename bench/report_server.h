// The report benchmark's server half: the large installation's record files
// on a PostgreSQL server, in a schema named after the generator's parameters,
// and the typed copy of the same data in a schema of its own beside them,
// each made once and found again by later runs; and the one SQL query that
// returns the report's rows from the typed copy on the same server.
#pragma once

#include <libpq-fe.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "tools/kelrec/demo.h"

namespace bench {

// Where the data of one set of generator parameters lives on the server.
struct ServerData {
  std::string uri;
  std::string records_schema;  // the installation's record files
  std::string typed_schema;    // the typed copy
  std::string root;            // installation folder naming the server, ending in "/"
};

// Makes (or finds) the record files and the typed copy on the server. tag
// names the generator's parameters (a-z, 0-9, "_"); folder is the local
// cache folder of those parameters, holding typed.sqlite. False, with the
// reason on log, when the server cannot be used.
bool EnsureServerData(const std::string& uri, const std::string& tag,
                      const tools::DemoOptions& demo, const std::string& folder,
                      ServerData& out, std::ostream& log);

// The report's rows as one query on the typed copy: the same period, estate
// range and states, joined with units, estates and owners, every column of
// every row read.
class ServerQuery {
 public:
  bool Open(const ServerData& data, std::ostream& log);
  int64_t Run(int first_year, int last_year);
  // The server process answering it, whose processor time counts too.
  pid_t BackendPid() const;

 private:
  std::unique_ptr<PGconn, void (*)(PGconn*)> conn_{nullptr, PQfinish};
  std::string sql_;
};

// Processor seconds a process of this machine has used so far (user and
// system), read from /proc; 0 when it cannot be read.
double ProcessCpuSeconds(pid_t pid);

}  // namespace bench
