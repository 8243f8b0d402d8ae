// Record files of the engine tests on either engine: a temporary
// installation whose files live in DADES/, as SQLite files or on the test
// server named by KEL_TEST_PG (a libpq URI), in a schema of their own that
// goes at the end. Without KEL_TEST_PG the server's half is skipped.
// Header only, for test programs that link the store.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "store/engine.h"
#include "store/pg_engine.h"

namespace testing_support {

// kSqliteFirstLayout: SQLite files as the engine's first layout made them
// (records in rec only), which it still reads and writes.
enum class TestEngine { kSqlite, kPostgres, kSqliteFirstLayout };

inline std::string EngineName(const ::testing::TestParamInfo<TestEngine>& info) {
  switch (info.param) {
    case TestEngine::kSqlite: return "Sqlite";
    case TestEngine::kPostgres: return "Postgres";
    default: return "SqliteFirstLayout";
  }
}

// Turns a record file just made into one of the first layout.
inline bool MakeFirstLayout(const std::string& path) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, "ALTER TABLE key0 DROP COLUMN data; PRAGMA user_version = 1",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// Closes everything both engines hold in this process.
inline void ResetEngines() {
  store::engine::ResetEngineState();
  store::pg::ResetPgState();
}

// The test server's URI, empty when there is none.
inline std::string TestServerUri() {
  const char* uri = std::getenv("KEL_TEST_PG");
  return uri != nullptr ? uri : "";
}

// Runs SQL on the test server; false when it failed.
inline bool ServerCommand(const std::string& sql) {
  PGconn* c = PQconnectdb(TestServerUri().c_str());
  bool ok = PQstatus(c) == CONNECTION_OK;
  if (ok) {
    PGresult* r = PQexec(c, ("SET client_min_messages = warning; " + sql).c_str());
    ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    PQclear(r);
  }
  PQfinish(c);
  return ok;
}

class EngineInstallation {
 public:
  EngineInstallation() = default;
  EngineInstallation(const EngineInstallation&) = delete;
  EngineInstallation& operator=(const EngineInstallation&) = delete;
  ~EngineInstallation() {
    if (!schema_.empty()) {
      store::pg::ResetPgState();
      ServerCommand("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
    }
  }

  // root ends in a separator. False with the reason when the engine cannot
  // be had here.
  bool SetUp(TestEngine engine, const std::string& root, std::string& why) {
    root_ = root;
    std::filesystem::create_directories(root + "DADES");
    if (engine != TestEngine::kPostgres) return true;
    const std::string uri = TestServerUri();
    if (uri.empty()) {
      why = "KEL_TEST_PG is not set: no test server (scripts/pg.sh start makes one)";
      return false;
    }
    static int counter = 0;
    schema_ = "t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    std::ofstream(root + "Tavo.ini") << "[Dades]\r\nMotor=" << uri << "\r\nEsquema=" << schema_
                                     << "\r\n";
    return true;
  }

  std::string Path(const std::string& base) const { return root_ + "DADES/" + base + ".dat"; }
  const std::string& schema() const { return schema_; }

 private:
  std::string root_;
  std::string schema_;
};

}  // namespace testing_support
