// The one-year report on a PostgreSQL server next to one SQL query that
// returns the same rows from the same server, and the same report on SQLite
// files for reference. The demo data: 300 estates, three years of monthly
// receipts (2024-2026); the report asks for 2026 and every estate.
//
// Run: pg_report_bench [ROUNDS] with KEL_BENCH_PG (or KEL_TEST_PG) naming the
// server, e.g. the one of scripts/pg.sh. Prints the median of each and the
// ratio report / query. KEL_P1 and KEL_P2 change the period (texts as typed
// on form 1): a period without receipts times the walk through the files
// without the printing. The installations live in a temporary folder and a
// schema of their own, both removed at the end.
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/print_file.h"
#include "app/report.h"
#include "store/engine.h"
#include "store/pg_engine.h"
#include "store/record_files.h"
#include "store/store_hooks.h"
#include "tools/kelrec/demo.h"
#include "values/masks.h"

namespace {

namespace fs = std::filesystem;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Seconds(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// One report production into root's work file; its size.
size_t Report(const std::string& root) {
  config::PathsState().root = root;
  config::PathsState().temp_dir = root;
  app::ResetReportRunState();
  app::OpenReportFiles();
  app::OpenPrintFile("");
  values::SetCurrency("p");
  app::ProduceReport(app::ParametersFromTexts(std::getenv("KEL_P1") ? std::getenv("KEL_P1") : "1/1/2026", std::getenv("KEL_P2") ? std::getenv("KEL_P2") : "31/12/2026", "1", "999"));
  values::SetCurrency("");
  app::ClosePrintFile();
  int16_t status = 0;
  store::CloseAllRecordFiles(status);
  return size_t(fs::file_size(root + "kelprint.tmp"));
}

// The report's rows as one query: pending and returned receipts of 2026
// with their unit, estate and owner, in the report's order.
std::string QuerySql(PGconn* c, const std::string& schema) {
  PGresult* r = PQexec(c, ("SELECT name, id FROM " + schema + ".kel_files").c_str());
  auto table = [&](const std::string& name) {
    for (int i = 0; i < PQntuples(r); ++i)
      if (name == PQgetvalue(r, i, 0)) return schema + ".f" + PQgetvalue(r, i, 1);
    return std::string("missing");
  };
  const std::string sql =
      "SELECT r.data, u.data, e.data, o.data FROM " + table("DADES/CobramV.dat") +
      " r JOIN " + table("DADES/DepartaV.dat") + " u ON substring(u.data from 1 for 4) ="
      " substring(r.data from 1 for 4) JOIN " + table("DADES/FinquesV.dat") +
      " e ON substring(e.data from 1 for 2) = substring(r.data from 1 for 2) LEFT JOIN " +
      table("DADES/PropietV.dat") + " o ON substring(o.data from 1 for 2) ="
      " substring(e.data from 7 for 2) WHERE substring(r.data from 5 for 4) BETWEEN"
      " '\\x949A8181'::bytea AND '\\x949A8C9F'::bytea AND substring(r.data from 18 for 1) IN"
      " ('\\x50'::bytea, '\\x44'::bytea) ORDER BY r.k0, r.id";
  PQclear(r);
  return sql;
}

}  // namespace

int main(int argc, char** argv) {
  const char* uri_env = std::getenv("KEL_BENCH_PG");
  if (uri_env == nullptr) uri_env = std::getenv("KEL_TEST_PG");
  if (uri_env == nullptr) {
    std::cout << "pg_report_bench: set KEL_BENCH_PG to a server's URI (scripts/pg.sh start)\n";
    return 0;
  }
  const std::string uri = uri_env;
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const std::string schema = "bench" + std::to_string(getpid());
  const fs::path dir = fs::temp_directory_path() / ("kel-bench-" + std::to_string(getpid()));
  tools::DemoOptions options;
  options.end_year = 2026;
  options.end_month = 12;
  std::ostringstream quiet;
  tools::MakeDemo((dir / "local").string(), options, quiet, std::cerr);
  options.server_uri = uri;
  options.schema = schema;
  if (tools::MakeDemo((dir / "server").string(), options, quiet, std::cerr) != 0) return 1;

  app::AppState().program_name = "RBPNDLST";
  values::SetCurrency("a,E");
  const std::string server = (dir / "server").string() + "/", local = (dir / "local").string() + "/";
  PGconn* c = PQconnectdb(uri.c_str());
  const std::string sql = QuerySql(c, schema);
  std::vector<double> on_server, query, on_files;
  size_t bytes = 0, rows = 0;
  for (int i = 0; i < rounds; ++i) {
    on_server.push_back(Seconds([&] { bytes = Report(server); }));
    query.push_back(Seconds([&] {
      PGresult* r = PQexecParams(c, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 1);
      rows = size_t(PQntuples(r));
      PQclear(r);
    }));
    on_files.push_back(Seconds([&] { Report(local); }));
  }
  const bool same = fs::file_size(server + "kelprint.tmp") == fs::file_size(local + "kelprint.tmp");
  std::printf("one-year report, %zu receipt rows, work file %zu bytes%s\n", rows, bytes,
              same ? "" : " (DIFFERS from the SQLite one)");
  std::printf("report on PostgreSQL  %8.1f ms\n", Median(on_server) * 1000);
  std::printf("one SQL query         %8.1f ms\n", Median(query) * 1000);
  std::printf("ratio                 %8.2f\n", Median(on_server) / Median(query));
  std::printf("report on SQLite      %8.1f ms (for reference)\n", Median(on_files) * 1000);

  PGresult* r = PQexec(c, ("SET client_min_messages = warning; DROP SCHEMA " + schema + " CASCADE").c_str());
  PQclear(r);
  PQfinish(c);
  store::pg::ResetPgState();
  std::error_code ec;
  fs::remove_all(dir, ec);
  return same ? 0 : 1;
}
