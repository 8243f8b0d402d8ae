// The record manager on a file of 1,000,000 receipts: bulk insert in one
// transaction, stepping through the whole file in key order (next to a plain
// SQLite query reading the same rows in the same order), and Get Greater or
// Equal at random keys.
//
// Run: store_bench [--benchmark_filter=...]. The file lives in a temporary
// folder removed at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "store/btrcall.h"

namespace {

constexpr int kEstates = 2000, kUnits = 20, kMonths = 25;
constexpr int kRecords = kEstates * kUnits * kMonths;  // 1,000,000
constexpr uint16_t kRecordLength = 64;

struct BenchFile {
  std::string dir;
  std::string path;
  bool built = false;
  double insert_seconds = 0;
};

BenchFile& Bench() {
  static BenchFile b;
  return b;
}

// Four decimal digits, two to a byte (0x80 + 0..99).
void Packed2(std::string& r, size_t at, int v) {
  r[at] = char(0x80 + v / 100);
  r[at + 1] = char(0x80 + v % 100);
}

// Receipt: estate (2) unit (2) issue date (4) collection date (4)
// amount (4, cents) state (1), padding; key 0 = bytes 1-8, duplicates.
std::string Receipt(int estate, int unit, int month) {
  std::string r(kRecordLength, ' ');
  Packed2(r, 0, estate);
  Packed2(r, 2, unit);
  const int year = 2022 + month / 12, mon = 1 + month % 12;
  Packed2(r, 4, year);        // YYYY as two digit pairs
  r[6] = char(0x80 + mon);    // MM
  r[7] = char(0x80 + 1);      // DD
  std::memset(&r[8], 0x80, 4);
  const int32_t cents = 45000 + estate * 7 + unit;
  std::memcpy(&r[12], &cents, 4);
  r[16] = month % 5 == 0 ? 'P' : 'C';
  return r;
}

std::string Spec() {
  std::string s(32, '\0');
  s[0] = char(kRecordLength);
  s[2] = 0x00; s[3] = 0x04;  // page size 1024
  s[4] = 1;
  s[16] = 1;       // position 1
  s[18] = 8;       // length 8
  s[20] = 0x03;    // duplicates, modifiable
  return s;
}

struct Handle {
  uint8_t pb[128] = {};
  ~Handle() {
    uint32_t len = 0;
    store::BTRCALL(store::kOpClose, pb, nullptr, &len, nullptr, 0, 0);
  }
  int16_t Open(const std::string& path) {
    char owner[5] = "1234";
    uint32_t len = 5;
    std::string key = path;
    return store::BTRCALL(store::kOpOpen, pb, owner, &len, key.data(),
                          uint8_t(key.size()), 0);
  }
};

int16_t Transaction(uint16_t op) {
  uint8_t pb[128] = {};
  uint32_t len = 0;
  return store::BTRCALL(op, pb, nullptr, &len, nullptr, 0, 0);
}

// Creates the file and inserts every receipt in one transaction.
double BuildFile(const std::string& path) {
  std::filesystem::remove(path);
  std::string spec = Spec();
  uint8_t scratch[128] = {};
  uint32_t len = uint32_t(spec.size());
  std::string key = path;
  if (store::BTRCALL(store::kOpCreate, scratch, spec.data(), &len, key.data(),
                     uint8_t(key.size()), -1) != 0)
    return -1;
  Handle h;
  if (h.Open(path) != 0) return -1;
  const auto t0 = std::chrono::steady_clock::now();
  Transaction(store::kOpBeginTransaction);
  uint8_t kbuf[256];
  for (int e = 1; e <= kEstates; ++e)
    for (int u = 1; u <= kUnits; ++u)
      for (int m = 0; m < kMonths; ++m) {
        std::string r = Receipt(e, u, m);
        uint32_t n = kRecordLength;
        if (store::BTRCALL(store::kOpInsert, h.pb, r.data(), &n, kbuf, 255, 0) != 0)
          return -1;
      }
  if (Transaction(store::kOpEndTransaction) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

const std::string& File() {
  BenchFile& b = Bench();
  if (!b.built) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kel-bench-XXXXXX").string();
    b.dir = mkdtemp(tmpl.data()) ? tmpl : "/tmp";
    b.path = b.dir + "/CobramV.dat";
    b.insert_seconds = BuildFile(b.path);
    b.built = true;
  }
  return b.path;
}

void BM_BulkInsert1M(benchmark::State& state) {
  for (auto _ : state) {
    const std::string path = File() + ".bulk";
    const double s = BuildFile(path);
    if (s < 0) state.SkipWithError("insert failed");
    state.SetIterationTime(s);
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".lck");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_BulkInsert1M)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same rows in the same order, straight from SQLite.
double PlainScan(const std::string& path, int64_t& rows) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT t.k, t.id, r.data FROM key0 t JOIN rec r ON r.id = t.id"
                     " ORDER BY t.k, t.id", -1, &st, nullptr);
  uint8_t data[1536];
  const auto t0 = std::chrono::steady_clock::now();
  rows = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::memcpy(data, sqlite3_column_blob(st, 2), size_t(sqlite3_column_bytes(st, 2)));
    benchmark::DoNotOptimize(data);
    ++rows;
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  sqlite3_finalize(st);
  sqlite3_close(db);
  return s;
}

void BM_GetNextWholeFile(benchmark::State& state) {
  Handle h;
  if (h.Open(File()) != 0) {
    state.SkipWithError("open failed");
    return;
  }
  double engine = 0, plain = 0;
  int64_t rows = 0;
  for (auto _ : state) {
    uint8_t data[1536], key[256] = {};
    uint32_t len = sizeof data;
    const auto t0 = std::chrono::steady_clock::now();
    int16_t st = store::BTRCALL(store::kOpGetFirst, h.pb, data, &len, key, 0, 0);
    rows = 0;
    while (st == 0) {
      ++rows;
      len = sizeof data;
      st = store::BTRCALL(store::kOpGetNext, h.pb, data, &len, key, 8, 0);
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (rows != kRecords) state.SkipWithError("wrong row count");
    state.SetIterationTime(s);
    engine += s;
    int64_t plain_rows = 0;
    plain += PlainScan(File(), plain_rows);
  }
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["vs_plain_sqlite"] = engine / plain;
  state.counters["plain_rows_per_s"] =
      benchmark::Counter(double(rows) * double(state.iterations()) / plain);
}
BENCHMARK(BM_GetNextWholeFile)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_GetGreaterOrEqualRandom(benchmark::State& state) {
  Handle h;
  if (h.Open(File()) != 0) {
    state.SkipWithError("open failed");
    return;
  }
  std::mt19937 rng(42);
  uint8_t data[1536];
  for (auto _ : state) {
    std::string k = Receipt(1 + int(rng() % kEstates), 1 + int(rng() % kUnits),
                            int(rng() % kMonths)).substr(0, 8);
    k.resize(256, '\0');
    uint32_t len = sizeof data;
    int16_t st = store::BTRCALL(store::kOpGetGreaterOrEqual, h.pb, data, &len,
                                k.data(), 8, 0);
    benchmark::DoNotOptimize(st);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetGreaterOrEqualRandom)->Iterations(200000);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!Bench().dir.empty() && Bench().dir != "/tmp") {
    uint32_t len = 0;
    uint8_t pb[128] = {};
    store::BTRCALL(store::kOpReset, pb, nullptr, &len, nullptr, 0, 0);
    if (Bench().insert_seconds > 0)
      std::printf("first build of the file (1,000,000 inserts): %.2f s\n",
                  Bench().insert_seconds);
    std::filesystem::remove_all(Bench().dir);
  }
  return 0;
}
