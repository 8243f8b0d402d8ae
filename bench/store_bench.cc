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
#include "store/record_layouts.h"
#include "tests/support/engine_client.h"

namespace {

namespace receipt = store::receipt;
using testing_support::EngineFile;

constexpr int kEstates = 2000, kUnits = 20, kMonths = 25;
constexpr int kRecords = kEstates * kUnits * kMonths;  // 1,000,000

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
std::string Packed(int v) { return {char(0x80 + v / 100), char(0x80 + v % 100)}; }

// A receipt of the suite's layout; only key 0 (unit and issue date) is kept
// by the file, so that the figures measure the engine, not index upkeep.
std::string Receipt(int estate, int unit, int month) {
  std::string r(receipt::kLength, ' ');
  const int year = 2022 + month / 12, mon = 1 + month % 12;
  store::PutField(r, receipt::kUnitKey, Packed(estate) + Packed(unit));
  store::PutField(r, receipt::kIssued, Packed(year) + char(0x80 + mon) + char(0x80 + 1));
  store::PutField(r, receipt::kCollected, std::string(4, '\x80'));
  store::PutInt32(r, receipt::kAmount, 45000 + estate * 7 + unit);
  store::PutField(r, receipt::kState, month % 5 == 0 ? "P" : "C");
  return r;
}

std::string Spec() {
  return testing_support::CreationSpec(
      receipt::kLength,
      testing_support::KeyDefs{{{uint16_t(receipt::kKey.pos + 1), uint16_t(receipt::kKey.width),
                                 store::kSegDuplicates | store::kSegModifiable}}});
}

// Creates the file and inserts every receipt in one transaction.
double BuildFile(const std::string& path) {
  std::filesystem::remove(path);
  std::string spec = Spec();
  if (testing_support::CreateRecordFile(path, spec) != 0) return -1;
  EngineFile h;
  if (h.Open(path) != 0) return -1;
  const auto t0 = std::chrono::steady_clock::now();
  testing_support::SimpleCall(store::kOpBeginTransaction);
  uint8_t kbuf[store::kKeyAreaSize];
  for (int e = 1; e <= kEstates; ++e)
    for (int u = 1; u <= kUnits; ++u)
      for (int m = 0; m < kMonths; ++m) {
        std::string r = Receipt(e, u, m);
        uint32_t n = receipt::kLength;
        if (store::BTRCALL(store::kOpInsert, h.pb, r.data(), &n, kbuf,
                           store::kMaxKeyLength, 0) != 0)
          return -1;
      }
  if (testing_support::SimpleCall(store::kOpEndTransaction) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

const std::string& File() {
  BenchFile& b = Bench();
  if (!b.built) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kel-bench-XXXXXX").string();
    b.dir = mkdtemp(tmpl.data()) ? tmpl : "/tmp";
    b.path = b.dir + "/" + std::string(receipt::kBaseName) + ".dat";
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
                     "SELECT k, id, data FROM key0 ORDER BY k, id", -1, &st, nullptr);
  uint8_t data[store::kDataAreaSize];
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
  EngineFile h;
  if (h.Open(File()) != 0) {
    state.SkipWithError("open failed");
    return;
  }
  double engine = 0, plain = 0;
  int64_t rows = 0;
  for (auto _ : state) {
    uint8_t data[store::kDataAreaSize], key[store::kKeyAreaSize] = {};
    uint32_t len = sizeof data;
    const auto t0 = std::chrono::steady_clock::now();
    int16_t st = store::BTRCALL(store::kOpGetFirst, h.pb, data, &len, key, 0, 0);
    rows = 0;
    while (st == 0) {
      ++rows;
      len = sizeof data;
      st = store::BTRCALL(store::kOpGetNext, h.pb, data, &len, key,
                          uint8_t(receipt::kKey.width), 0);
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
  EngineFile h;
  if (h.Open(File()) != 0) {
    state.SkipWithError("open failed");
    return;
  }
  std::mt19937 rng(42);
  uint8_t data[store::kDataAreaSize];
  for (auto _ : state) {
    std::string k = store::FieldText(Receipt(1 + int(rng() % kEstates), 1 + int(rng() % kUnits),
                                             int(rng() % kMonths)),
                                     receipt::kKey);
    k.resize(store::kKeyAreaSize, '\0');
    uint32_t len = sizeof data;
    int16_t st = store::BTRCALL(store::kOpGetGreaterOrEqual, h.pb, data, &len,
                                k.data(), uint8_t(receipt::kKey.width), 0);
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
    testing_support::SimpleCall(store::kOpReset);
    if (Bench().insert_seconds > 0)
      std::printf("first build of the file (1,000,000 inserts): %.2f s\n",
                  Bench().insert_seconds);
    std::filesystem::remove_all(Bench().dir);
  }
  return 0;
}
