// Connections to the server, prepared statements, binary parameters and
// results, and the statuses of failures.
#include <pthread.h>
#include <unistd.h>

#include <cstring>

#include "platform/system.h"
#include "store/btrcall.h"
#include "store/pg_engine.h"

namespace store::pg {
namespace {

uint64_t BigEndian(const char* p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | uint8_t(p[i]);
  return v;
}

// The server's notices ("already exists, skipping") are nobody's business
// on the operator's terminal.
void QuietNotices(void*, const char*) {}

PgEngine& Storage() {
  static PgEngine state;
  return state;
}

// This process's id, asked of the system once and again in a child of
// fork(): every call on the server compares it, and getpid() is a system
// call of its own each time.
pid_t& CachedPid() {
  static pid_t pid = [] {
    pthread_atfork(nullptr, nullptr, [] { CachedPid() = getpid(); });
    return getpid();
  }();
  return pid;
}

pid_t ProcessId() { return CachedPid(); }

// Session settings: lock waits end like SQLite's busy wait, a dead client
// machine is noticed by the server (its locks go with it), and plans of the
// keyset queries are made once and never compiled: a generic plan's
// estimate for a limit given as a parameter is high enough to set off the
// server's just-in-time compiler, which costs many times a walk of a few
// index entries.
constexpr char kSessionSettings[] =
    "SET lock_timeout = '10s'; SET tcp_keepalives_idle = 60;"
    " SET tcp_keepalives_interval = 10; SET tcp_keepalives_count = 6;"
    " SET plan_cache_mode = force_generic_plan; SET jit = off;"
    " SET client_min_messages = warning";

}  // namespace

Conn::~Conn() {
  // What a child of fork() inherited is its parent's: left alone.
  if (pg != nullptr && pid == ProcessId()) PQfinish(pg);
}

bool Conn::Usable() const {
  return pg != nullptr && !broken && pid == ProcessId() && PQstatus(pg) == CONNECTION_OK;
}

Result& Result::operator=(Result&& o) noexcept {
  if (this != &o) {
    if (r_ != nullptr) PQclear(r_);
    r_ = o.r_;
    o.r_ = nullptr;
  }
  return *this;
}

bool Result::ok() const {
  if (r_ == nullptr) return false;
  const ExecStatusType s = PQresultStatus(r_);
  return s == PGRES_TUPLES_OK || s == PGRES_COMMAND_OK;
}

std::string_view Result::Bytes(int row, int col) const {
  if (r_ == nullptr) return {};
  // A null reads as empty: libpq gives it length 0.
  const char* v = PQgetvalue(r_, row, col);
  return v != nullptr ? std::string_view(v, size_t(PQgetlength(r_, row, col)))
                      : std::string_view();
}

int64_t Result::Int8(int row, int col) const {
  const std::string_view b = Bytes(row, col);
  return b.size() == 8 ? int64_t(BigEndian(b.data(), 8)) : 0;
}

bool Result::Bool(int row, int col) const {
  const std::string_view b = Bytes(row, col);
  return b.size() == 1 && b[0] != 0;
}

std::string Result::SqlState() const {
  const char* s = r_ != nullptr ? PQresultErrorField(r_, PG_DIAG_SQLSTATE) : nullptr;
  return s != nullptr ? s : "";
}

Params& Params::Bytes(std::string_view b) {
  values_.emplace_back(b);
  return *this;
}

Params& Params::Int8(int64_t v) {
  std::string b(8, '\0');
  for (int i = 0; i < 8; ++i) b[i] = char(uint64_t(v) >> (56 - 8 * i));
  values_.push_back(std::move(b));
  return *this;
}

PgEngine& PgState() {
  PgEngine& s = Storage();
  // A child of fork() starts afresh; the inherited connections are not
  // closed (Conn's destructor leaves other processes' alone).
  if (s.pid != ProcessId()) {
    s = PgEngine();
    s.pid = ProcessId();
  }
  return s;
}

void ResetPgState() {
  CloseAll();
  PgState() = PgEngine();
  PgState();
}

int64_t NowNs() { return platform::MonotonicMs() * 1'000'000; }

std::shared_ptr<Conn> Connect(const std::string& uri, int16_t& status) {
  PgEngine& s = PgState();
  for (auto& c : s.conns)
    if (c->uri == uri && c->Usable()) return c;
  auto c = std::make_shared<Conn>();
  c->uri = uri;
  c->pid = ProcessId();
  const char* keys[] = {"dbname", "application_name", "connect_timeout", nullptr};
  const char* values[] = {uri.c_str(), "kel", "10", nullptr};
  c->pg = PQconnectdbParams(keys, values, 1);
  if (c->pg == nullptr || PQstatus(c->pg) != CONNECTION_OK) {
    status = kStEngineInactive;
    return nullptr;
  }
  PQsetNoticeProcessor(c->pg, QuietNotices, nullptr);
  if (!Command(*c, kSessionSettings).ok()) {
    status = kStEngineInactive;
    return nullptr;
  }
  // Dead connections go, unless the transaction's end must still report them.
  std::erase_if(s.conns, [](const std::shared_ptr<Conn>& k) {
    return !k->Usable() && !k->in_transaction;
  });
  s.conns.push_back(c);
  status = kStOk;
  return c;
}

namespace {

// Parameters as libpq takes them, all binary; they point into params.
struct Wire {
  explicit Wire(const Params& params)
      : values(params.size()), lengths(params.size()), formats(params.size(), 1) {
    for (size_t i = 0; i < params.size(); ++i) {
      values[i] = params.at(i).data();
      lengths[i] = int(params.at(i).size());
    }
  }
  int size() const { return int(values.size()); }
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
};

}  // namespace

Result Query(Conn& c, const std::string& sql, const Params& params) {
  if (!c.Usable()) return Result();
  Settle(c);
  auto it = c.prepared.find(sql);
  if (it == c.prepared.end()) {
    const std::string name = "k" + std::to_string(c.prepared.size() + 1);
    Result prep(PQprepare(c.pg, name.c_str(), sql.c_str(), int(params.size()), nullptr));
    if (!prep.ok()) return prep;
    it = c.prepared.emplace(sql, name).first;
  }
  const Wire w(params);
  return Result(PQexecPrepared(c.pg, it->second.c_str(), w.size(), w.values.data(),
                               w.lengths.data(), w.formats.data(), 1));
}

Result Command(Conn& c, const std::string& sql) {
  if (!c.Usable()) return Result();
  Settle(c);
  // Statements after a failed one do not run, and the failure is the result.
  return Result(PQexec(c.pg, sql.c_str()));
}

bool SendEarly(Conn& c, const std::string& sql, const Params& params) {
  const auto it = c.prepared.find(sql);
  if (!c.Usable() || it == c.prepared.end()) return false;
  Settle(c);
  const Wire w(params);
  c.early.in_flight = PQsendQueryPrepared(c.pg, it->second.c_str(), w.size(), w.values.data(),
                                          w.lengths.data(), w.formats.data(), 1) == 1;
  c.early.result.reset();
  return c.early.in_flight;
}

void Settle(Conn& c) {
  if (!c.early.in_flight) return;
  c.early.in_flight = false;
  // The statement's one result, then the null that ends the query; a lost
  // connection ends it too.
  auto first = std::make_shared<Result>(PQgetResult(c.pg));
  while (PGresult* more = PQgetResult(c.pg)) PQclear(more);
  c.early.result = std::move(first);
}

Atomic::~Atomic() {
  if (open_) Command(c_, nested_ ? "ROLLBACK TO kel_step; RELEASE kel_step" : "ROLLBACK");
}

int16_t Atomic::Begin() {
  nested_ = c_.in_transaction;
  Result r = Command(c_, nested_ ? "SAVEPOINT kel_step" : "BEGIN");
  if (!r.ok()) return StatusOf(c_, r);
  open_ = true;
  return kStOk;
}

int16_t Atomic::Commit() {
  Result r = Command(c_, nested_ ? "RELEASE kel_step" : "COMMIT");
  if (!r.ok()) return StatusOf(c_, r);
  open_ = false;
  // A transaction that had failed answers COMMIT with ROLLBACK.
  if (!nested_ && std::strcmp(r.CommandStatus(), "COMMIT") != 0) return kStIoError;
  return kStOk;
}

int16_t StatusOfSqlState(const std::string& state) {
  if (state == "23505") return kStDuplicateKey;
  if (state == "42P01" || state == "3F000") return kStFileNotFound;
  if (state == "55P03" || state == "40P01" || state == "40001") return kStFileLocked;
  if (state == "42501" || state == "25006") return kStAccessDenied;
  if (state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0) return kStEngineInactive;
  return kStIoError;
}

int16_t StatusOf(Conn& c, const Result& r) {
  if (c.pg == nullptr || c.pid != ProcessId() || PQstatus(c.pg) != CONNECTION_OK) {
    c.broken = true;
    return kStEngineInactive;
  }
  if (r.get() == nullptr) return kStIoError;
  const int16_t st = StatusOfSqlState(r.SqlState());
  return st == kStOk ? int16_t(kStIoError) : st;
}

std::string QuotedSchema(const std::string& schema) {
  // Schema names are checked to be plain (a-z, 0-9, "_") before they get here.
  return "\"" + schema + "\"";
}

}  // namespace store::pg
