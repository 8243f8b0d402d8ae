// The report at the scale of a large office (999 estates, about 20 units
// each, ten years of monthly receipts, a fifth of them pending or returned)
// next to one SQL query that returns the same rows from a plain typed SQLite
// copy of the same data (owners, estates, units, receipts with an index on
// estate, unit and issue date).
//
// Report production is timed as the program runs it after the confirming
// key: opening the print work file, the body, closing the file (KELPRINT is
// not run). The query joins receipts with units, estates and owners for the
// same period, estate range and states, and is stepped to its end reading
// every column. Both keep their connections (and page caches) between runs;
// the best of --runs runs counts, in processor time (user and system, which
// other work on a shared machine disturbs least) and on the wall clock.
//
// The installation and the typed copy are built once under
// build/bench-data/<parameters>/ and reused by later runs.
//
// With a PostgreSQL server (--server URI, or KEL_BENCH_PG, or KEL_TEST_PG)
// the same installation is also made on the server and the typed copy
// loaded there, each in a schema of its own named after the parameters and
// kept for later runs; the one-year report on the server is then timed next
// to the same query on the server's typed copy. Processor time counts the
// server process of each connection too.
//
// Run: report_bench [--runs N] [--estates N] [--years N] [--data DIR]
//                   [--period year|all] [--sql no] [--server URI|no]
// Exit status 1 when the report and the query disagree on the rows.
#include <sqlite3.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/form_file.h"
#include "app/main_flow.h"
#include "app/print_file.h"
#include "app/report.h"
#include "app/report_run.h"
#include "bench/report_server.h"
#include "platform/files.h"
#include "store/record_files.h"
#include "store/engine.h"
#include "store/pg_engine.h"
#include "store/record_layouts.h"
#include "tools/kelrec/demo.h"
#include "tools/kelrec/record_io.h"
#include "tools/kelrec/transfer.h"
#include "values/masks.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLastYear = 2025;

struct Options {
  int runs = 3;
  int estates = 999;
  int years = 10;
  std::string period;  // "year" or "all" for one of them, empty for both
  bool sql = true;  // false: the report alone (for profiles)
  std::string data;
  std::string server;  // URI of a PostgreSQL server, empty: none
};

double Since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Processor time of the process (user and system): other programs sharing
// the machine disturb it far less than the clock on the wall.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Wall and processor seconds of one piece of work.
struct Timing {
  double wall = 1e9, cpu = 1e9;
};

// Processor time is this process's, and that of the server process that
// does the work of its connection, if any.
struct Stopwatch {
  explicit Stopwatch(pid_t server = 0) : server(server) {}
  pid_t server;
  Clock::time_point wall0 = Clock::now();
  double cpu0 = CpuSeconds() + bench::ProcessCpuSeconds(server);
  void KeepBest(Timing& t) const {
    t.wall = std::min(t.wall, Since(wall0));
    t.cpu = std::min(t.cpu, CpuSeconds() + bench::ProcessCpuSeconds(server) - cpu0);
  }
};

tools::DemoOptions Demo(const Options& o) {
  tools::DemoOptions d;
  d.estates = o.estates;
  d.years = o.years;
  d.units = 20;
  d.unpaid = 20;
  d.end_year = kLastYear;
  d.end_month = 12;
  return d;
}

// The cache folder is named after everything the generator is given, and
// the layout of the record files it holds.
std::string DataDir(const Options& o) {
  if (!o.data.empty()) return o.data;
  const tools::DemoOptions d = Demo(o);
  return std::string(KEL_BINARY_DIR) + "/bench-data/e" + std::to_string(d.estates) + "-y" +
         std::to_string(d.years) + "-u" + std::to_string(d.units) + "-p" +
         std::to_string(d.unpaid) + "-s" + std::to_string(d.seed) + "-" +
         std::to_string(d.end_year) + std::to_string(d.end_month) + "-f" +
         std::to_string(store::engine::kFormatVersion);
}

// ---- The typed copy ------------------------------------------------------

bool Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
  std::cerr << "report_bench: " << (error ? error : "sqlite error") << "\n";
  sqlite3_free(error);
  return false;
}

int Code(const std::string& record, store::RecordField f) {
  return tools::UnpackNumber(store::FieldText(record, f));
}

// Copies one record file of the installation into a typed table, row by row
// through one prepared insert whose parameters bind() fills.
template <typename Bind>
bool CopyKind(const std::string& root, tools::Kind kind, sqlite3* db, const char* insert,
              Bind&& bind) {
  tools::RecordIo io;
  if (io.Open(root, kind) != store::kStOk) return false;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, insert, -1, &st, nullptr) != SQLITE_OK) return false;
  std::string r;
  bool ok = true;
  for (int16_t s = io.First(r); ok && s == store::kStOk; s = io.Next(r)) {
    bind(st, r);
    ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  return ok;
}

void BindText(sqlite3_stmt* st, int column, const std::string& record, store::RecordField f) {
  sqlite3_bind_text(st, column, tools::TrimmedText(store::FieldText(record, f)).c_str(), -1,
                    SQLITE_TRANSIENT);
}

bool MakeTypedCopy(const std::string& root, const std::string& path) {
  namespace L = store;
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            Exec(db,
                 "PRAGMA journal_mode = OFF; BEGIN;"
                 "CREATE TABLE owners(owner INTEGER PRIMARY KEY, name TEXT);"
                 "CREATE TABLE estates(estate INTEGER PRIMARY KEY, owner INTEGER,"
                 " name TEXT, heading TEXT);"
                 "CREATE TABLE units(estate INTEGER, unit INTEGER, holder TEXT,"
                 " designation TEXT, telephone TEXT, PRIMARY KEY(estate, unit));"
                 "CREATE TABLE receipts(estate INTEGER, unit INTEGER, issued INTEGER,"
                 " collected INTEGER, amount INTEGER, state TEXT);");
  ok = ok && CopyKind(root, tools::Kind::kOwners, db, "INSERT INTO owners VALUES(?,?)",
                      [](sqlite3_stmt* st, const std::string& r) {
                        sqlite3_bind_int(st, 1, Code(r, L::owner::kNumber));
                        BindText(st, 2, r, L::owner::kName);
                      });
  ok = ok && CopyKind(root, tools::Kind::kEstates, db, "INSERT INTO estates VALUES(?,?,?,?)",
                      [](sqlite3_stmt* st, const std::string& r) {
                        sqlite3_bind_int(st, 1, Code(r, L::estate::kNumber));
                        sqlite3_bind_int(st, 2, Code(r, L::estate::kOwner));
                        BindText(st, 3, r, L::estate::kName);
                        BindText(st, 4, r, L::estate::kHeading);
                      });
  ok = ok && CopyKind(root, tools::Kind::kUnits, db, "INSERT INTO units VALUES(?,?,?,?,?)",
                      [](sqlite3_stmt* st, const std::string& r) {
                        sqlite3_bind_int(st, 1, Code(r, L::unit::kEstate));
                        sqlite3_bind_int(st, 2, Code(r, L::unit::kUnit));
                        BindText(st, 3, r, L::unit::kHolder);
                        BindText(st, 4, r, L::unit::kDesignation);
                        BindText(st, 5, r, L::unit::kTelephone);
                      });
  ok = ok && CopyKind(root, tools::Kind::kReceipts, db,
                      "INSERT INTO receipts VALUES(?,?,?,?,?,?)",
                      [](sqlite3_stmt* st, const std::string& r) {
                        sqlite3_bind_int(st, 1, Code(r, L::receipt::kEstate));
                        sqlite3_bind_int(st, 2, Code(r, L::receipt::kUnit));
                        sqlite3_bind_int(st, 3, Code(r, L::receipt::kIssued));
                        sqlite3_bind_int(st, 4, Code(r, L::receipt::kCollected));
                        sqlite3_bind_int(st, 5, L::FieldInt32(r, L::receipt::kAmount));
                        BindText(st, 6, r, L::receipt::kState);
                      });
  ok = ok && Exec(db, "CREATE INDEX receipts_unit_issued ON receipts(estate, unit, issued);"
                      "COMMIT;");
  sqlite3_close(db);
  return ok;
}

// Builds the installation and its typed copy unless an earlier run did.
bool EnsureData(const Options& o, const std::string& dir) {
  const std::string done = dir + "/complete";
  if (fs::exists(done)) return true;
  std::cerr << "report_bench: building " << dir << " (once)\n";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir, ec);
  const auto t0 = Clock::now();
  if (tools::MakeDemo(dir + "/inst", Demo(o), std::cerr, std::cerr) != tools::kExitOk)
    return false;
  if (!MakeTypedCopy(dir + "/inst/", dir + "/typed.sqlite")) return false;
  std::ofstream(done) << "built in " << Since(t0) << " s\n";
  std::cerr << "report_bench: built in " << Since(t0) << " s\n";
  return true;
}

// ---- The two sides -------------------------------------------------------

struct Period {
  const char* name;
  int first_year;
};

// One SQL query for the rows of the report, stepped to the end.
struct Reference {
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  ~Reference() {
    sqlite3_finalize(query);
    sqlite3_close(db);
  }
  bool Open(const std::string& path) {
    static const char kSql[] =
        "SELECT r.estate, r.unit, r.issued, r.collected, r.amount, r.state,"
        " u.holder, u.designation, u.telephone, e.name, e.heading, o.name"
        " FROM receipts r"
        " JOIN units u ON u.estate = r.estate AND u.unit = r.unit"
        " JOIN estates e ON e.estate = r.estate"
        " LEFT JOIN owners o ON o.owner = e.owner"
        " WHERE r.estate BETWEEN ?1 AND ?2 AND r.issued BETWEEN ?3 AND ?4"
        " AND r.state IN ('P', 'D')"
        " ORDER BY r.estate, r.unit, r.issued";
    return sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
           Exec(db, "PRAGMA cache_size = -32768") &&
           sqlite3_prepare_v2(db, kSql, -1, &query, nullptr) == SQLITE_OK;
  }
  int64_t Run(const Period& p) {
    sqlite3_bind_int(query, 1, 1);
    sqlite3_bind_int(query, 2, 999);
    sqlite3_bind_int(query, 3, p.first_year * 10000 + 101);
    sqlite3_bind_int(query, 4, kLastYear * 10000 + 1231);
    int64_t rows = 0, sink = 0;
    const int columns = sqlite3_column_count(query);
    while (sqlite3_step(query) == SQLITE_ROW) {
      for (int c = 0; c < columns; ++c) {
        if (sqlite3_column_type(query, c) == SQLITE_INTEGER)
          sink += sqlite3_column_int64(query, c);
        else if (const unsigned char* t = sqlite3_column_text(query, c))
          sink += t[0] + sqlite3_column_bytes(query, c);
      }
      ++rows;
    }
    sqlite3_reset(query);
    sink_ = sink;
    return rows;
  }
  volatile int64_t sink_ = 0;  // what was read, so that nothing is skipped
};

// The module as it stands after start-up, over the cached installation.
bool StartModule(const std::string& root, const std::string& temp) {
  setenv("KELROOT", root.c_str(), 1);
  setenv("KELEXE", (fs::path(root) / "").c_str(), 1);
  setenv("KELTMP", temp.c_str(), 1);
  app::StartUp();
  app::AppState().program_name = "RBPNDLST";
  const std::string form_file = app::FormFilePath();
  app::FormFileResult loaded = app::LoadFormFile(form_file);
  if (loaded.ok) loaded = app::PrepareParameterForm(form_file);
  if (!loaded.ok) {
    std::cerr << "report_bench: " << loaded.message << "\n";
    return false;
  }
  app::OpenReportFiles();
  return true;
}

// Seconds of one start-up in the language, from a fresh state.
double StartUpSeconds(const std::string& root, const std::string& temp, const char* language) {
  int16_t status = 0;
  store::CloseAllRecordFiles(status);
  config::ResetSettingsState();
  config::ResetPathsState();
  app::ResetAppState();
  std::ofstream(temp + "TavoTerm.ini") << "[Sistema]\r\nSortida=PDF\r\nIdioma=" << language
                                       << "\r\n";
  const auto t0 = Clock::now();
  if (!StartModule(root, temp)) return -1;
  return Since(t0);
}

// Rows of a work file: only a receipt row goes back to left alignment.
int64_t WorkFileRows(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  int64_t rows = 0;
  while (std::getline(in, line)) rows += line == "JUSE\r";
  return rows;
}

// The server process of the record files' connection, if they are on one.
pid_t RecordServerPid() {
  const auto& conns = store::pg::PgState().conns;
  return conns.empty() || conns.front()->pg == nullptr ? 0 : PQbackendPID(conns.front()->pg);
}

// What the program does between the confirming key and KELPRINT.
bool Produce(const Period& p, const char* language, Timing& t, int64_t& rows) {
  config::SettingsState().language = language;
  const app::ReportParameters params = app::ParametersFromTexts(
      "1.1." + std::to_string(p.first_year), "31.12." + std::to_string(kLastYear), "1", "999");
  Stopwatch watch(RecordServerPid());
  if (app::OpenPrintFile(config::SettingsState().output_device) != app::kPrintOk) return false;
  values::SetCurrency("p");
  app::ProduceReport(params);
  values::SetCurrency("");
  if (app::ClosePrintFile() != app::kPrintOk) return false;
  watch.KeepBest(t);
  rows = WorkFileRows(app::PrintFileState().path);
  return true;
}

struct Line {
  std::string what;
  int64_t rows = 0, sql_rows = 0;
  Timing report, sql;
};

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i], v = argv[i + 1];
    if (a == "--runs") o.runs = std::max(1, std::atoi(v.c_str()));
    else if (a == "--estates") o.estates = std::clamp(std::atoi(v.c_str()), 1, 999);
    else if (a == "--years") o.years = std::clamp(std::atoi(v.c_str()), 1, 20);
    else if (a == "--data") o.data = v;
    else if (a == "--period" && (v == "year" || v == "all")) o.period = v;
    else if (a == "--sql") o.sql = v != "no";
    else if (a == "--server") o.server = v == "no" ? "" : v;
    else return false;
  }
  return argc % 2 == 1;
}

// One line of figures: rows, both times and their ratios.
void PrintRow(const Line& l) {
  std::printf("%-16s %8lld | %7.3f %7.3f %7.2f | %7.3f %7.3f %7.2f\n", l.what.c_str(),
              static_cast<long long>(l.rows), l.report.cpu, l.sql.cpu, l.report.cpu / l.sql.cpu,
              l.report.wall, l.sql.wall, l.report.wall / l.sql.wall);
}

void Print(const std::vector<Line>& lines, double startup, bool with_sql) {
  std::printf("start-up (settings, forms, catalogue, four files; SPA): %.1f ms\n\n",
              startup * 1000);
  std::printf("%-16s %8s | %-23s | %-23s\n", "", "", "processor time", "wall clock");
  std::printf("%-16s %8s | %7s %7s %7s | %7s %7s %7s\n", "report", "rows", "report", "SQL",
              "ratio", "report", "SQL", "ratio");
  for (const Line& l : lines) {
    if (with_sql)
      PrintRow(l);
    else
      std::printf("%-16s %8lld | %7.3f %7s %7s | %7.3f %7s %7s\n", l.what.c_str(),
                  static_cast<long long>(l.rows), l.report.cpu, "-", "-", l.report.wall, "-",
                  "-");
  }
  for (size_t i = 0; i + 1 < lines.size(); i += 2)
    std::printf("Spanish / Catalan, %s: %.2f (processor), %.2f (wall)\n",
                lines[i].what.substr(0, lines[i].what.size() - 4).c_str(),
                lines[i + 1].report.cpu / lines[i].report.cpu,
                lines[i + 1].report.wall / lines[i].report.wall);
}

// The server's line: processor time of this process and of the server
// process of each connection.
void PrintServer(const Line& l, const std::string& uri) {
  std::printf("\non the server %s (processor time with the server's):\n", uri.c_str());
  PrintRow(l);
}

// The cache folder's name as a schema name's part: a-z, 0-9 and "_".
std::string Tag(const std::string& dir) {
  std::string tag;
  for (char c : fs::path(dir).filename().string()) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    tag += (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ? c : '_';
  }
  return tag;
}

// The one-year report on the server next to the same query on the
// server's typed copy. False when the server cannot be used.
bool OnServer(const Options& o, const std::string& dir, const std::string& temp, Line& line) {
  bench::ServerData data;
  if (!bench::EnsureServerData(o.server, Tag(dir), Demo(o), dir, data, std::cerr)) return false;
  bench::ServerQuery query;
  if (!query.Open(data, std::cerr) || StartUpSeconds(data.root, temp, "CAT") < 0) return false;
  const Period year{"one year", kLastYear};
  line.what = "one year CAT";
  for (int r = 0; r < o.runs; ++r) {
    Stopwatch watch(query.BackendPid());
    line.sql_rows = query.Run(kLastYear, kLastYear);
    watch.KeepBest(line.sql);
    if (!Produce(year, "CAT", line.report, line.rows)) return false;
  }
  return true;
}

// The report next to the query on SQLite files, for the periods asked for.
bool OnFiles(const Options& o, const std::string& dir, std::vector<Line>& lines) {
  Reference sql;
  if (!sql.Open(dir + "/typed.sqlite")) return false;
  std::vector<Period> periods;
  if (o.period != "all") periods.push_back({"one year", kLastYear});
  if (o.period != "year") periods.push_back({"all years", kLastYear - o.years + 1});
  for (const Period& p : periods)
    for (const char* language : {"CAT", "SPA"})
      lines.push_back(Line{std::string(p.name) + " " + language, 0, 0, {}, {}});
  for (int r = 0; r < o.runs; ++r) {
    for (size_t i = 0; i < lines.size(); ++i) {
      const Period& p = periods[i / 2];
      Line& l = lines[i];
      if (o.sql) {
        Stopwatch watch;
        l.sql_rows = sql.Run(p);
        watch.KeepBest(l.sql);
      }
      if (!Produce(p, i % 2 ? "SPA" : "CAT", l.report, l.rows)) return false;
      if (!o.sql) l.sql_rows = l.rows;
    }
  }
  return true;
}

bool SameRows(const Line& l, const char* where) {
  if (l.rows == l.sql_rows) return true;
  std::printf("%s%s: the report has %lld rows, the query %lld\n", where, l.what.c_str(),
              static_cast<long long>(l.rows), static_cast<long long>(l.sql_rows));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (const char* name : {"KEL_BENCH_PG", "KEL_TEST_PG"})
    if (o.server.empty() && std::getenv(name) != nullptr) o.server = std::getenv(name);
  if (!Parse(argc, argv, o)) {
    std::cerr << "usage: report_bench [--runs N] [--estates N] [--years N] [--data DIR]"
                 " [--period year|all] [--sql no] [--server URI|no]\n";
    return 2;
  }
  const std::string dir = DataDir(o);
  if (!EnsureData(o, dir)) return 1;
  const std::string root = fs::absolute(dir + "/inst").string() + "/";
  const std::string temp = fs::absolute(dir + "/tmp").string() + "/";
  fs::create_directories(temp);
  app::PrintFileState().notice = [](const std::string& t) { std::cerr << t << "\n"; };

  double startup = 1e9;
  for (int r = 0; r < o.runs; ++r)
    startup = std::min(startup, StartUpSeconds(root, temp, "SPA"));
  if (startup < 0) return 1;
  std::vector<Line> lines;
  if (!OnFiles(o, dir, lines)) return 1;
  Print(lines, startup, o.sql);
  bool same = true;
  for (const Line& l : lines) same = SameRows(l, "") && same;
  if (!o.server.empty()) {
    Line server;
    if (!OnServer(o, dir, temp, server)) return 1;
    PrintServer(server, o.server);
    same = SameRows(server, "on the server, ") && same;
    if (!lines.empty() && lines.front().what == server.what && lines.front().rows != server.rows) {
      std::printf("the report on the server has %lld rows, on the files %lld\n",
                  static_cast<long long>(server.rows), static_cast<long long>(lines.front().rows));
      same = false;
    }
  }
  return same ? 0 : 1;
}
