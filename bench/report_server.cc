// The report benchmark's data on a PostgreSQL server and its reference query.
#include "bench/report_server.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "store/pg_engine.h"
#include "store/record_layouts.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

using Conn = std::unique_ptr<PGconn, void (*)(PGconn*)>;
using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;

Conn Connect(const std::string& uri, std::ostream& log) {
  Conn c(PQconnectdb(uri.c_str()), PQfinish);
  if (PQstatus(c.get()) != CONNECTION_OK) {
    log << "report_bench: " << uri << ": " << PQerrorMessage(c.get());
    c.reset();
  }
  return c;
}

bool Exec(PGconn* c, const std::string& sql, std::ostream& log) {
  Result r(PQexec(c, ("SET client_min_messages = warning; " + sql).c_str()), PQclear);
  const ExecStatusType st = PQresultStatus(r.get());
  if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK) return true;
  log << "report_bench: " << PQerrorMessage(c);
  return false;
}

// The four files as the server names them, with what each must hold.
std::map<std::string, int64_t> ExpectedCounts(const std::string& typed_path) {
  std::map<std::string, int64_t> counts;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(typed_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    const std::pair<std::string_view, const char*> files[] = {
        {store::owner::kBaseName, "owners"}, {store::estate::kBaseName, "estates"},
        {store::unit::kBaseName, "units"}, {store::receipt::kBaseName, "receipts"}};
    for (const auto& [base, table] : files) {
      sqlite3_stmt* st = nullptr;
      const std::string sql = std::string("SELECT count(*) FROM ") + table;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        counts["DADES/" + std::string(base) + ".dat"] = sqlite3_column_int64(st, 0);
      sqlite3_finalize(st);
    }
  }
  sqlite3_close(db);
  return counts;
}

// True when the schema holds the four files with every record (a run that
// stopped half-way left fewer, or none).
bool RecordsPresent(PGconn* c, const std::string& schema,
                    const std::map<std::string, int64_t>& expected) {
  Result r(PQexec(c, ("SELECT name, records FROM " + schema + ".kel_files").c_str()), PQclear);
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) return false;
  std::map<std::string, int64_t> held;
  for (int i = 0; i < PQntuples(r.get()); ++i)
    held[PQgetvalue(r.get(), i, 0)] = std::atoll(PQgetvalue(r.get(), i, 1));
  return expected.size() == 4 && held == expected;
}

bool MakeRecords(const ServerData& d, const tools::DemoOptions& demo, PGconn* c,
                 std::ostream& log) {
  log << "report_bench: making the record files in schema " << d.records_schema
      << " (once)\n";
  if (!Exec(c, "DROP SCHEMA IF EXISTS " + d.records_schema + " CASCADE", log)) return false;
  std::error_code ec;
  fs::remove_all(d.root, ec);
  tools::DemoOptions on_server = demo;
  on_server.server_uri = d.uri;
  on_server.schema = d.records_schema;
  std::ostringstream quiet;
  const bool made = tools::MakeDemo(d.root, on_server, quiet, log) == 0;
  store::pg::ResetPgState();
  return made;
}

// A text value for COPY: UTF-8, with its escapes.
void PutCopyText(std::string& line, const unsigned char* cp850) {
  const std::string text =
      platform::Cp850ToUtf8(cp850 == nullptr ? "" : reinterpret_cast<const char*>(cp850));
  for (char ch : text) {
    switch (ch) {
      case '\\': line += "\\\\"; break;
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      default: line += ch;
    }
  }
}

// Copies one table of the SQLite typed copy into the same table on the
// server; integer columns are those whose SQLite type says so.
bool CopyTable(sqlite3* db, PGconn* c, const std::string& schema, const char* table,
               std::ostream& log) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, (std::string("SELECT * FROM ") + table).c_str(), -1, &st,
                         nullptr) != SQLITE_OK)
    return false;
  Result start(PQexec(c, ("COPY " + schema + "." + table + " FROM STDIN").c_str()), PQclear);
  bool ok = PQresultStatus(start.get()) == PGRES_COPY_IN;
  std::string block;
  const int columns = sqlite3_column_count(st);
  while (ok && sqlite3_step(st) == SQLITE_ROW) {
    for (int i = 0; i < columns; ++i) {
      if (i > 0) block += '\t';
      if (sqlite3_column_type(st, i) == SQLITE_INTEGER)
        block += std::to_string(sqlite3_column_int64(st, i));
      else
        PutCopyText(block, sqlite3_column_text(st, i));
    }
    block += '\n';
    if (block.size() >= (1 << 20)) {
      ok = PQputCopyData(c, block.data(), int(block.size())) == 1;
      block.clear();
    }
  }
  sqlite3_finalize(st);
  if (ok && !block.empty()) ok = PQputCopyData(c, block.data(), int(block.size())) == 1;
  ok = PQputCopyEnd(c, ok ? nullptr : "stopped") == 1 && ok;
  Result end(PQgetResult(c), PQclear);
  ok = ok && PQresultStatus(end.get()) == PGRES_COMMAND_OK;
  while (PGresult* more = PQgetResult(c)) PQclear(more);
  if (!ok) log << "report_bench: copying " << table << ": " << PQerrorMessage(c);
  return ok;
}

bool MakeTyped(const ServerData& d, const std::string& typed_path, PGconn* c,
               std::ostream& log) {
  log << "report_bench: loading the typed copy into schema " << d.typed_schema << " (once)\n";
  const std::string s = d.typed_schema;
  if (!Exec(c,
            "DROP SCHEMA IF EXISTS " + s + " CASCADE; CREATE SCHEMA " + s + ";"
            "CREATE TABLE " + s + ".owners(owner integer PRIMARY KEY, name text);"
            "CREATE TABLE " + s + ".estates(estate integer PRIMARY KEY, owner integer,"
            " name text, heading text);"
            "CREATE TABLE " + s + ".units(estate integer, unit integer, holder text,"
            " designation text, telephone text, PRIMARY KEY(estate, unit));"
            "CREATE TABLE " + s + ".receipts(estate integer, unit integer, issued integer,"
            " collected integer, amount integer, state text);",
            log))
    return false;
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(typed_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  for (const char* table : {"owners", "estates", "units", "receipts"})
    ok = ok && CopyTable(db, c, s, table, log);
  sqlite3_close(db);
  // The same index as the SQLite copy's; the marker table comes last.
  return ok && Exec(c,
                    "CREATE INDEX receipts_unit_issued ON " + s +
                        ".receipts(estate, unit, issued); ANALYZE " + s + ".owners; ANALYZE " +
                        s + ".estates; ANALYZE " + s + ".units; ANALYZE " + s +
                        ".receipts; CREATE TABLE " + s + ".loaded()",
                    log);
}

bool TypedPresent(PGconn* c, const std::string& schema) {
  Result r(PQexec(c, ("SELECT 1 FROM " + schema + ".loaded").c_str()), PQclear);
  return PQresultStatus(r.get()) == PGRES_TUPLES_OK;
}

}  // namespace

bool EnsureServerData(const std::string& uri, const std::string& tag,
                      const tools::DemoOptions& demo, const std::string& folder,
                      ServerData& out, std::ostream& log) {
  out.uri = uri;
  out.records_schema = "bench_" + tag;
  out.typed_schema = "bench_typed_" + tag;
  out.root = fs::absolute(folder + "/inst-pg").string() + "/";
  Conn c = Connect(uri, log);
  if (!c) return false;
  const std::string typed_path = folder + "/typed.sqlite";
  if (!RecordsPresent(c.get(), out.records_schema, ExpectedCounts(typed_path)) ||
      !fs::exists(out.root + "Tavo.ini")) {
    if (!MakeRecords(out, demo, c.get(), log)) return false;
  }
  if (!TypedPresent(c.get(), out.typed_schema) && !MakeTyped(out, typed_path, c.get(), log))
    return false;
  return true;
}

bool ServerQuery::Open(const ServerData& data, std::ostream& log) {
  conn_ = Connect(data.uri, log);
  const std::string& s = data.typed_schema;
  sql_ = "SELECT r.estate, r.unit, r.issued, r.collected, r.amount, r.state,"
         " u.holder, u.designation, u.telephone, e.name, e.heading, o.name"
         " FROM " + s + ".receipts r"
         " JOIN " + s + ".units u ON u.estate = r.estate AND u.unit = r.unit"
         " JOIN " + s + ".estates e ON e.estate = r.estate"
         " LEFT JOIN " + s + ".owners o ON o.owner = e.owner"
         " WHERE r.estate BETWEEN $1::integer AND $2::integer"
         " AND r.issued BETWEEN $3::integer AND $4::integer AND r.state IN ('P', 'D')"
         " ORDER BY r.estate, r.unit, r.issued";
  return conn_ != nullptr;
}

int64_t ServerQuery::Run(int first_year, int last_year) {
  const std::string values[4] = {"1", "999", std::to_string(first_year * 10000 + 101),
                                 std::to_string(last_year * 10000 + 1231)};
  const char* params[4] = {values[0].c_str(), values[1].c_str(), values[2].c_str(),
                           values[3].c_str()};
  Result r(PQexecParams(conn_.get(), sql_.c_str(), 4, nullptr, params, nullptr, nullptr, 0),
           PQclear);
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) return -1;
  // Every value looked at, as the report looks at every field it prints.
  volatile size_t sink = 0;
  const int rows = PQntuples(r.get()), columns = PQnfields(r.get());
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j)
      sink = sink + size_t(PQgetlength(r.get(), i, j)) +
             static_cast<unsigned char>(PQgetvalue(r.get(), i, j)[0]);
  return rows;
}

pid_t ServerQuery::BackendPid() const { return PQbackendPID(conn_.get()); }

double ProcessCpuSeconds(pid_t pid) {
  if (pid <= 0) return 0;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  // "pid (name) state ..." : utime and stime are fields 14 and 15.
  const size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) return 0;
  std::istringstream rest(stat.substr(name_end + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i)
    if (i >= 14) ticks += std::atof(field.c_str());
  return ticks / double(sysconf(_SC_CLK_TCK));
}

}  // namespace bench
