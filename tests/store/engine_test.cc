// The record manager through BTRCALL, in one process: creation and its
// checks, opening, key orders, every read, writes, statuses, locks between
// two position blocks, transactions and Reset.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

#include "store/btrcall.h"
#include "store/engine.h"
#include "tests/support/engine_client.h"
#include "tests/support/engine_installation.h"
#include "tests/support/temp_dir.h"

namespace store {
namespace {

using testing_support::AsciiFoldingTable;
using testing_support::CreateRecordFile;
using testing_support::CreationSpec;
using testing_support::EngineFile;
using testing_support::KeyDefs;
using testing_support::Reply;
using testing_support::ResetEngines;
using testing_support::TestEngine;
using namespace std::string_literals;

constexpr uint16_t kRecLen = 24;

// key 0: bytes 1-8 (unit + date), duplicates, modifiable.
// key 1: 2-byte unsigned at 9, unique, modifiable.
// key 2: 10 bytes at 11 through the table, duplicates, modifiable.
// key 3: bytes 21-24, unique, not modifiable.
std::string TestSpec() {
  return CreationSpec(kRecLen,
                      KeyDefs{{{1, 8, kSegDuplicates | kSegModifiable}},
                              {{9, 2, kSegBinary | kSegModifiable}},
                              {{11, 10, kSegCollated | kSegDuplicates | kSegModifiable}},
                              {{21, 4, 0x00}}},
                      AsciiFoldingTable());
}

std::string Rec(const std::string& unit_date, uint16_t number,
                const std::string& name, const std::string& tail) {
  std::string r = unit_date;
  r.resize(8, ' ');
  r += char(number & 0xFF);
  r += char(number >> 8);
  std::string n = name;
  n.resize(10, ' ');
  r += n;
  std::string t = tail;
  t.resize(4, ' ');
  return r + t;
}

// Every case runs on SQLite files of both layouts and on the test server.
class EngineTest : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override {
    ResetEngines();
    std::string why;
    if (!installation_.SetUp(GetParam(), dir_.path(), why)) GTEST_SKIP() << why;
    path_ = Path("REC");
    ASSERT_EQ(CreateRecordFile(path_, TestSpec()), kStOk);
    if (GetParam() == TestEngine::kSqliteFirstLayout) {
      ASSERT_TRUE(testing_support::MakeFirstLayout(path_));
    }
    ASSERT_EQ(file_.Open(path_), kStOk);
  }
  void TearDown() override { ResetEngines(); }
  std::string Path(const std::string& base) const { return installation_.Path(base); }

  // Walks a key from first to last, returning one field of each record.
  std::vector<std::string> Walk(int8_t key, size_t at, size_t n, bool backward = false) {
    std::vector<std::string> out;
    Reply r = file_.Read(backward ? kOpGetLast : kOpGetFirst, "", key);
    while (r.status == kStOk) {
      out.push_back(r.data.substr(at, n));
      r = file_.Read(backward ? kOpGetPrevious : kOpGetNext, "", key);
    }
    EXPECT_EQ(r.status, kStEndOfFile);
    return out;
  }

  testing_support::TempDir dir_;
  testing_support::EngineInstallation installation_;
  std::string path_;
  EngineFile file_;
};

INSTANTIATE_TEST_SUITE_P(Engines, EngineTest,
                         ::testing::Values(TestEngine::kSqlite, TestEngine::kPostgres,
                                           TestEngine::kSqliteFirstLayout),
                         testing_support::EngineName);

// ---- Creation ----

TEST_P(EngineTest, StatReturnsTheSpecificationAndTheRecordCount) {
  Reply st = file_.Stat();
  ASSERT_EQ(st.status, kStOk);
  std::string expected = TestSpec();
  ASSERT_EQ(st.data.size(), expected.size());
  EXPECT_EQ(st.data, expected);
  ASSERT_EQ(file_.Insert(Rec("U001", 1, "a", "0001")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("U002", 2, "b", "0002")), kStOk);
  EXPECT_EQ(file_.RecordCount(), 2u);
  // A short buffer still gets the start, and says so.
  Reply r = file_.Read(kOpStat, "", 0, 10);
  EXPECT_EQ(r.status, kStBufferTooShort);
  EXPECT_EQ(r.data, expected.substr(0, 6) + "\x02\0\0\0"s);
}

TEST_P(EngineTest, CreateRefusesToReplaceWithMinusOneAndReplacesOtherwise) {
  ASSERT_EQ(file_.Insert(Rec("U001", 1, "a", "0001")), kStOk);
  EXPECT_EQ(CreateRecordFile(path_, TestSpec(), kCreateNoReplace), kStFileExists);
  // Replacing a file that is open here is refused too.
  EXPECT_EQ(CreateRecordFile(path_, TestSpec(), 0), kStFileLocked);
  ASSERT_EQ(file_.Close(), kStOk);
  EXPECT_EQ(CreateRecordFile(path_, TestSpec(), 0), kStOk);
  ASSERT_EQ(file_.Open(path_), kStOk);
  EXPECT_EQ(file_.RecordCount(), 0u);
}

TEST_P(EngineTest, CreateIgnoresPaddingAfterTheSpecificationAndTakesBackslashes) {
  std::string spec = CreationSpec(30, KeyDefs{{{1, 2, 0}}});
  spec.resize(kDataAreaSize, ' ');
  ASSERT_EQ(CreateRecordFile(Path("sub"), ""s), kStBufferTooShort);
  std::string windows = Path("PAD");
  std::replace(windows.begin(), windows.end(), '/', '\\');
  ASSERT_EQ(CreateRecordFile(windows, spec), kStOk);
  EngineFile f;
  ASSERT_EQ(f.Open(windows), kStOk);
  EXPECT_EQ(f.Stat().data, CreationSpec(30, KeyDefs{{{1, 2, 0}}}));
  EXPECT_EQ(CreateRecordFile(dir_.path() + "missing/dir/X.dat", spec), kStFileNotFound);
}

TEST_P(EngineTest, BadCreationSpecificationsGiveTheirStatus) {
  const std::string p = Path("BAD");
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(0, KeyDefs{{{1, 2, 0}}})), kStBadRecordLength);
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(5000, KeyDefs{{{1, 2, 0}}})), kStBadRecordLength);
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(10, KeyDefs{})), kStBadKeyCount);
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(10, KeyDefs(25, {{1, 1, 0}}))), kStBadKeyCount);
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(10, KeyDefs{{{9, 3, 0}}})), kStBadKeyPosition);
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(10, KeyDefs{{{0, 3, 0}}})), kStBadKeyPosition);
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(10, KeyDefs{{{1, 0, 0}}})), kStBadKeyLength);
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(600, KeyDefs{{{1, 200, 0}, {201, 56, 0}}})),
            kStBadKeyLength);
  EXPECT_EQ(CreateRecordFile(Path("LONGKEY"),
                             CreationSpec(600, KeyDefs{{{1, 200, 0}, {201, 55, 0}}})),
            kStOk);
  // Collated segment without its block, or with a wrong signature.
  EXPECT_EQ(CreateRecordFile(p, CreationSpec(10, KeyDefs{{{1, 2, kSegCollated}}})),
            kStBadCollatingTable);
  std::string bad_sig = CreationSpec(10, KeyDefs{{{1, 2, kSegCollated}}}, AsciiFoldingTable());
  bad_sig[kFirstSegmentAt + kSegmentEntrySize] = 'X';
  EXPECT_EQ(CreateRecordFile(p, bad_sig), kStBadCollatingTable);
  // Declared segments beyond the buffer.
  std::string cut = CreationSpec(10, KeyDefs{{{1, 2, 0}}, {{3, 2, 0}}});
  cut.resize(40);
  EXPECT_EQ(CreateRecordFile(p, cut), kStBufferTooShort);
  EngineFile f;
  EXPECT_EQ(f.Open(p), kStFileNotFound);
}

TEST_P(EngineTest, RandomCreationSpecificationsNeverCrash) {
  std::mt19937 rng(7);
  const std::string p = Path("RND");
  for (int i = 0; i < 300; ++i) {
    std::string spec(size_t(rng() % 400), '\0');
    for (char& c : spec) c = char(rng() % 4 == 0 ? rng() : rng() % 8);
    // Replacing: the file of a previous round goes.
    if (CreateRecordFile(p, spec, 0) == kStOk) {
      EngineFile f;
      ASSERT_EQ(f.Open(p), kStOk);
      EXPECT_EQ(f.Read(kOpGetFirst).status, kStEndOfFile);
      f.Close();
    }
  }
}

// ---- Opening ----

TEST_P(EngineTest, OpenTellsMissingForeignAndDamagedFilesApart) {
  EngineFile f;
  EXPECT_EQ(f.Open(Path("NONE")), kStFileNotFound);
  EXPECT_EQ(f.Open(dir_.path() + "no/such/dir.dat"), kStFileNotFound);
  if (GetParam() == TestEngine::kPostgres) {
    // A catalogued file whose table is gone, and one whose stored
    // specification cannot be read back.
    const std::string schema = installation_.schema();
    ASSERT_TRUE(testing_support::ServerCommand(
        "INSERT INTO " + schema + ".kel_files (name, spec) VALUES ('DADES/GONE.dat', ''),"
        " ('DADES/REC2.dat', '\\x0000')"));
    EXPECT_EQ(f.Open(Path("GONE")), kStNotRecordFile);
    ASSERT_TRUE(testing_support::ServerCommand("UPDATE " + schema +
                                               ".kel_files SET spec = '\\x01' WHERE name = 'DADES/REC.dat'"));
    ResetEngines();
    EXPECT_EQ(f.Open(path_), kStNotRecordFile);
    EXPECT_FALSE(f.IsOpen());
    std::memset(file_.pb, 0, kPositionBlockSize);
    return;
  }
  std::string junk(5000, '\0');
  std::mt19937 rng(1);
  for (char& c : junk) c = char(rng());
  EXPECT_EQ(f.Open(dir_.Write("JUNK.dat", junk)), kStNotRecordFile);
  EXPECT_EQ(f.Open(dir_.Write("EMPTY.dat", "")), kStNotRecordFile);
  EXPECT_EQ(f.Open(dir_.path()), kStNotRecordFile);
  sqlite3* db = nullptr;
  const std::string foreign = dir_.path() + "FOREIGN.dat";
  ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE rec(id INTEGER PRIMARY KEY, data BLOB)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(f.Open(foreign), kStNotRecordFile);
  EXPECT_FALSE(f.IsOpen());
  // One of a layout later than this program knows.
  const std::string later = Path("LATER");
  ASSERT_EQ(CreateRecordFile(later, TestSpec()), kStOk);
  ASSERT_EQ(sqlite3_open(later.c_str(), &db), SQLITE_OK);
  const std::string bump = "PRAGMA user_version = " + std::to_string(engine::kFormatVersion + 1);
  sqlite3_exec(db, bump.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(f.Open(later), kStNotRecordFile);
}

TEST_P(EngineTest, OperationsOnABlockThatIsNotOpenGiveThree) {
  EngineFile never;
  EXPECT_EQ(never.Read(kOpGetFirst).status, kStNotOpen);
  EXPECT_EQ(never.Insert(Rec("U1", 1, "a", "1")), kStNotOpen);
  EXPECT_EQ(never.Stat().status, kStNotOpen);
  EXPECT_EQ(never.Close(), kStNotOpen);
  // A stale copy of a closed block stays dead even when its slot is reused.
  uint8_t stale[kPositionBlockSize];
  std::memcpy(stale, file_.pb, kPositionBlockSize);
  ASSERT_EQ(file_.Close(), kStOk);
  EngineFile again;
  ASSERT_EQ(again.Open(path_), kStOk);
  std::memcpy(never.pb, stale, kPositionBlockSize);
  EXPECT_EQ(never.Read(kOpGetFirst).status, kStNotOpen);
  std::memset(never.pb, 0, kPositionBlockSize);
}

TEST_P(EngineTest, RecordsPersistAcrossCloseAndReopen) {
  for (int i = 0; i < 50; ++i)
    ASSERT_EQ(file_.Insert(Rec("U" + std::to_string(100 + i), uint16_t(i), "n", std::to_string(1000 + i))), kStOk);
  file_.Close();
  ResetEngines();
  EngineFile f;
  ASSERT_EQ(f.Open(path_), kStOk);
  EXPECT_EQ(f.RecordCount(), 50u);
  Reply r = f.Read(kOpGetEqual, "U120    ", 0);
  ASSERT_EQ(r.status, kStOk);
  EXPECT_EQ(r.data.substr(20, 4), "1020");
}

// ---- Key orders ----

TEST_P(EngineTest, BinarySegmentsOrderByUnsignedValue) {
  for (uint16_t n : {513, 2, 255, 256, 65535, 1, 0x8000})
    ASSERT_EQ(file_.Insert(Rec("U" + std::to_string(n), n, "x", std::to_string(n))), kStOk);
  std::vector<std::string> got = Walk(1, 8, 2);
  std::vector<uint16_t> values;
  for (auto& s : got) values.push_back(uint16_t(uint8_t(s[0]) | uint8_t(s[1]) << 8));
  EXPECT_EQ(values, (std::vector<uint16_t>{1, 2, 255, 256, 513, 0x8000, 65535}));
  // Searching uses the same order: greater or equal 300 finds 513.
  Reply r = file_.Read(kOpGetGreaterOrEqual, "\x2C\x01"s, 1);
  ASSERT_EQ(r.status, kStOk);
  EXPECT_EQ(r.key.substr(0, 2), "\x01\x02"s);
}

TEST_P(EngineTest, CollatedSegmentsFoldThroughTheTableAndPlainBytesAreUnsigned) {
  ASSERT_EQ(file_.Insert(Rec("U1", 1, "beta", "1")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("U2", 2, "ALPHA", "2")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("U3", 3, "alpha", "3")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("U4", 4, "Beta", "4")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("U5", 5, "\x80zz", "5")), kStOk);
  // Equal under the table: duplicates, in insertion order.
  EXPECT_EQ(Walk(2, 20, 1), (std::vector<std::string>{"2", "3", "1", "4", "5"}));
  // Get Equal through the table finds the first of them.
  Reply r = file_.Read(kOpGetEqual, "Alpha     ", 2);
  ASSERT_EQ(r.status, kStOk);
  EXPECT_EQ(r.data.substr(20, 1), "2");
  EXPECT_EQ(r.key.substr(0, 10), "ALPHA     ");  // the record's own bytes
  // Bytes compare unsigned: \x80 after every letter.
  r = file_.Read(kOpGetLast, "", 2);
  EXPECT_EQ(r.data.substr(20, 1), "5");
}

TEST_P(EngineTest, MultiSegmentKeysCombineBinaryAndPlainSegments) {
  const std::string p = Path("MULTI");
  // 4-byte binary then 2 plain bytes; duplicates.
  ASSERT_EQ(CreateRecordFile(p, CreationSpec(8, KeyDefs{{{3, 4, 0x05}, {1, 2, 0x01}}})), kStOk);
  EngineFile f;
  ASSERT_EQ(f.Open(p), kStOk);
  auto rec = [](const std::string& tag, uint32_t n) {
    std::string r = tag;
    for (int i = 0; i < 4; ++i) r += char(n >> (8 * i));
    return r + "..";
  };
  ASSERT_EQ(f.Insert(rec("BB", 70000)), kStOk);
  ASSERT_EQ(f.Insert(rec("AA", 70000)), kStOk);
  ASSERT_EQ(f.Insert(rec("ZZ", 5)), kStOk);
  ASSERT_EQ(f.Insert(rec("AA", 70000)), kStOk);
  std::vector<std::string> order;
  for (Reply r = f.Read(kOpGetFirst); r.status == kStOk; r = f.Read(kOpGetNext))
    order.push_back(r.data.substr(0, 2));
  EXPECT_EQ(order, (std::vector<std::string>{"ZZ", "AA", "AA", "BB"}));
  // The key buffer gets the key's bytes segment after segment.
  Reply r = f.Read(kOpGetFirst);
  EXPECT_EQ(r.key.substr(0, 6), "\x05\0\0\0ZZ"s);
}

TEST_P(EngineTest, DuplicatesKeepInsertionOrderBothWays) {
  for (const char* t : {"1", "2", "3"}) ASSERT_EQ(file_.Insert(Rec("SAME", uint16_t(t[0]), "x", t)), kStOk);
  ASSERT_EQ(file_.Insert(Rec("AAAA", 9, "x", "0")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("ZZZZ", 10, "x", "9")), kStOk);
  EXPECT_EQ(Walk(0, 20, 1), (std::vector<std::string>{"0", "1", "2", "3", "9"}));
  EXPECT_EQ(Walk(0, 20, 1, true), (std::vector<std::string>{"9", "3", "2", "1", "0"}));
  EXPECT_EQ(file_.Read(kOpGetEqual, "SAME    ").data.substr(20, 1), "1");
  EXPECT_EQ(file_.Read(kOpGetLessOrEqual, "SAME    ").data.substr(20, 1), "3");
  // Get Next from the last duplicate leaves the group.
  EXPECT_EQ(file_.Read(kOpGetNext).data.substr(20, 1), "9");
}

// ---- Reads ----

TEST_P(EngineTest, KeyedReadsFindTheirRecordOrTheirStatus) {
  ASSERT_EQ(file_.Insert(Rec("B", 1, "x", "b")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("D", 2, "x", "d")), kStOk);
  auto tail = [&](uint16_t op, const std::string& k) {
    Reply r = file_.Read(op, k + std::string(8 - k.size(), ' '));
    return r.status == kStOk ? r.data.substr(20, 1) : "status " + std::to_string(r.status);
  };
  EXPECT_EQ(tail(kOpGetEqual, "D"), "d");
  EXPECT_EQ(tail(kOpGetEqual, "C"), "status 4");
  EXPECT_EQ(tail(kOpGetGreaterOrEqual, "C"), "d");
  EXPECT_EQ(tail(kOpGetGreaterOrEqual, "B"), "b");
  EXPECT_EQ(tail(kOpGetGreater, "B"), "d");
  EXPECT_EQ(tail(kOpGetGreater, "D"), "status 9");
  EXPECT_EQ(tail(kOpGetLessOrEqual, "C"), "b");
  EXPECT_EQ(tail(kOpGetLessOrEqual, "D"), "d");
  EXPECT_EQ(tail(kOpGetLess, "D"), "b");
  EXPECT_EQ(tail(kOpGetLess, "B"), "status 9");
  EXPECT_EQ(file_.Read(kOpGetEqual, "B       ", 7).status, kStInvalidKeyNumber);
  EXPECT_EQ(file_.Read(kOpGetFirst, "", -3).status, kStInvalidKeyNumber);
}

TEST_P(EngineTest, KeyBufferPaddingDecidesWhereARangeStarts) {
  ASSERT_EQ(file_.Insert(Rec("AB\x01", 1, "x", "1")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("AB\xF0", 2, "x", "2")), kStOk);
  // The layer pads a partial key with zeros for GE and with 0xFF for LE.
  Reply r = file_.Read(kOpGetGreaterOrEqual, "AB", 0, kDataAreaSize, '\0');
  EXPECT_EQ(r.data.substr(20, 1), "1");
  r = file_.Read(kOpGetLessOrEqual, "AB", 0, kDataAreaSize, '\xFF');
  EXPECT_EQ(r.data.substr(20, 1), "2");
}

TEST_P(EngineTest, StepsNeedAPositionAndStopAtTheEnds) {
  EXPECT_EQ(file_.Read(kOpGetNext).status, kStInvalidPositioning);
  EXPECT_EQ(file_.Read(kOpGetFirst).status, kStEndOfFile);
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  ASSERT_EQ(file_.Read(kOpGetFirst).status, kStOk);
  EXPECT_EQ(file_.Read(kOpGetNext).status, kStEndOfFile);
  // A failed step leaves the cursor where it was.
  EXPECT_EQ(file_.Read(kOpGetPrevious).status, kStEndOfFile);
  ASSERT_EQ(file_.Insert(Rec("B", 2, "x", "b")), kStOk);
  ASSERT_EQ(file_.Read(kOpGetFirst).status, kStOk);
  EXPECT_EQ(file_.Read(kOpGetNext).data.substr(20, 1), "b");
  EXPECT_EQ(file_.Read(kOpGetNext).status, kStEndOfFile);
  EXPECT_EQ(file_.Read(kOpGetPrevious).data.substr(20, 1), "a");
}

// Many records, read by random keyed reads and runs of steps both ways:
// every answer is the one a sorted list gives (on the server most of them
// come from batches fetched earlier).
TEST_P(EngineTest, SeeksAndStepsAgreeWithASortedModel) {
  std::mt19937 rng(11);
  std::vector<std::pair<std::string, std::string>> model;  // key 0, tail
  ASSERT_EQ(testing_support::SimpleCall(kOpBeginTransaction), kStOk);
  for (int i = 0; i < 3000; ++i) {
    std::string k = "K" + std::to_string(100 + rng() % 500);
    k.resize(8, ' ');
    char tail[5];
    std::snprintf(tail, sizeof tail, "%04d", i);
    ASSERT_EQ(file_.Insert(Rec(k, uint16_t(i), "n", tail)), kStOk);
    model.emplace_back(k, tail);  // duplicates stay in insertion order
  }
  ASSERT_EQ(testing_support::SimpleCall(kOpEndTransaction), kStOk);
  std::stable_sort(model.begin(), model.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> tails;
  for (const auto& m : model) tails.push_back(m.second);
  ASSERT_EQ(Walk(0, 20, 4), tails);
  std::reverse(tails.begin(), tails.end());
  ASSERT_EQ(Walk(0, 20, 4, true), tails);
  auto first_not_less = [&](const std::string& p, bool strict) {
    size_t i = 0;
    while (i < model.size() && (strict ? model[i].first <= p : model[i].first < p)) ++i;
    return long(i);
  };
  const uint16_t ops[] = {kOpGetEqual, kOpGetGreaterOrEqual, kOpGetGreater, kOpGetLessOrEqual,
                          kOpGetLess};
  for (int round = 0; round < 400; ++round) {
    std::string p = "K" + std::to_string(95 + rng() % 510);
    p.resize(8, ' ');
    const uint16_t op = ops[rng() % 5];
    long at = op == kOpGetGreater || op == kOpGetLessOrEqual ? first_not_less(p, true)
                                                              : first_not_less(p, false);
    if (op == kOpGetLessOrEqual || op == kOpGetLess) --at;
    if (op == kOpGetEqual && (at >= long(model.size()) || model[size_t(at)].first != p)) at = -2;
    Reply r = file_.Read(op, p);
    if (at < 0 || at >= long(model.size())) {
      EXPECT_NE(r.status, kStOk) << round;
      continue;
    }
    ASSERT_EQ(r.status, kStOk) << round;
    ASSERT_EQ(r.data.substr(20, 4), model[size_t(at)].second) << round;
    const bool forward = rng() % 2 == 0;
    for (int step = int(rng() % 40); step > 0; --step) {
      at += forward ? 1 : -1;
      r = file_.Read(forward ? kOpGetNext : kOpGetPrevious);
      if (at < 0 || at >= long(model.size())) {
        EXPECT_EQ(r.status, kStEndOfFile) << round;
        break;
      }
      ASSERT_EQ(r.data.substr(20, 4), model[size_t(at)].second) << round << " " << step;
    }
  }
}

// A report's walk: each unit from its period start until a record past the
// period, unit after unit; units of every length, some with nothing in the
// period or nothing at all, periods ending inside a unit or with it.
TEST_P(EngineTest, UnitAfterUnitWalksReadWhatASortedModelHolds) {
  std::mt19937 rng(5);
  std::vector<std::pair<std::string, std::string>> model;  // key 0, tail
  ASSERT_EQ(testing_support::SimpleCall(kOpBeginTransaction), kStOk);
  for (int unit = 100, i = 0; unit < 500; ++unit) {
    for (int n = rng() % 4 == 0 ? 0 : int(rng() % 20); n > 0; --n, ++i) {
      const std::string k = "U" + std::to_string(unit) + "D" + std::to_string(100 + rng() % 200);
      char tail[5];
      std::snprintf(tail, sizeof tail, "%04d", i % 10000);
      ASSERT_EQ(file_.Insert(Rec(k, uint16_t(i), "n", tail)), kStOk);
      model.emplace_back(k, tail);
    }
  }
  ASSERT_EQ(testing_support::SimpleCall(kOpEndTransaction), kStOk);
  std::stable_sort(model.begin(), model.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const std::string end : {"D240", "D999"}) {
    for (int unit = 100; unit <= 500; ++unit) {
      const std::string u = "U" + std::to_string(unit), from = u + "D200";
      size_t at = size_t(std::lower_bound(model.begin(), model.end(), std::pair(from, ""s)) -
                         model.begin());
      for (Reply r = file_.Read(kOpGetGreaterOrEqual, from);; r = file_.Read(kOpGetNext), ++at) {
        if (at == model.size()) {
          ASSERT_EQ(r.status, kStEndOfFile) << end << " " << u;
          break;
        }
        ASSERT_EQ(r.status, kStOk) << end << " " << u;
        ASSERT_EQ(r.data.substr(20, 4), model[at].second) << end << " " << u;
        if (r.data.substr(0, 4) != u || r.data.substr(4, 4) >= end) break;
      }
    }
  }
}

// Such walks see what another open adds on their way, wherever they are
// when it comes: nothing read ahead of them hides it.
TEST_P(EngineTest, UnitAfterUnitWalksSeeWhatIsAddedOnTheWay) {
  EngineFile other;
  ASSERT_EQ(other.Open(path_), kStOk);
  std::vector<std::string> model;  // key 0 of every record, sorted
  uint16_t number = 0;
  const auto add = [&](EngineFile& f, const std::string& k) {
    const std::string tail = std::to_string(10000 + number).substr(1);
    ASSERT_EQ(f.Insert(Rec(k, number++, "n", tail)), kStOk);
    model.insert(std::upper_bound(model.begin(), model.end(), k), k);
  };
  for (int unit = 100; unit < 140; ++unit)
    for (int day = 100; day < 110; ++day)
      add(file_, "U" + std::to_string(unit) + "D" + std::to_string(day));
  for (int when = 100; when < 125; ++when) {
    // A walk of its own each time, as a new report's.
    ASSERT_EQ(file_.Close(), kStOk);
    ASSERT_EQ(file_.Open(path_), kStOk);
    for (int unit = 100; unit < 140; ++unit) {
      const std::string u = "U" + std::to_string(unit), from = u + "D105";
      auto at = std::lower_bound(model.begin(), model.end(), from);
      for (Reply r = file_.Read(kOpGetGreaterOrEqual, from);; r = file_.Read(kOpGetNext), ++at) {
        if (at == model.end()) {
          ASSERT_EQ(r.status, kStEndOfFile) << when << " " << u;
          break;
        }
        ASSERT_EQ(r.status, kStOk) << when << " " << u;
        ASSERT_EQ(r.data.substr(0, 8), *at) << when << " " << u;
        if (r.data.substr(0, 4) != u) break;
      }
      if (unit == when) add(other, "U" + std::to_string(unit + 5) + "D107");
    }
  }
}

TEST_P(EngineTest, StepsSeeRecordsInsertedMeanwhile) {
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("C", 3, "x", "c")), kStOk);
  ASSERT_EQ(file_.Read(kOpGetFirst).status, kStOk);
  EngineFile other;
  ASSERT_EQ(other.Open(path_), kStOk);
  ASSERT_EQ(other.Insert(Rec("B", 2, "x", "b")), kStOk);
  EXPECT_EQ(file_.Read(kOpGetNext).data.substr(20, 1), "b");
  EXPECT_EQ(file_.Read(kOpGetNext).data.substr(20, 1), "c");
}

TEST_P(EngineTest, ShortDataBufferGetsTheRecordCutAndStatus22) {
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  Reply r = file_.Read(kOpGetFirst, "", 0, 5);
  EXPECT_EQ(r.status, kStBufferTooShort);
  EXPECT_EQ(r.data, "A    ");
  EXPECT_EQ(r.key.substr(0, 8), "A       ");
  // The cursor is on the record all the same.
  EXPECT_EQ(file_.Read(kOpGetNext).status, kStEndOfFile);
  EXPECT_EQ(file_.Read(kOpGetPrevious).status, kStEndOfFile);
  r = file_.Read(kOpGetFirst, "", 0, kDataAreaSize);
  EXPECT_EQ(r.data.size(), kRecLen);
}

TEST_P(EngineTest, GetDirectAfterGetPositionContinuesInTheGivenKey) {
  ASSERT_EQ(file_.Insert(Rec("A", 30, "x", "a")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("B", 10, "x", "b")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("C", 20, "x", "c")), kStOk);
  ASSERT_EQ(file_.Read(kOpGetEqual, "C       ").status, kStOk);
  int16_t st;
  const uint32_t pos = file_.Position(&st);
  ASSERT_EQ(st, kStOk);
  ASSERT_NE(pos, 0u);
  ASSERT_EQ(file_.Read(kOpGetFirst).status, kStOk);
  // Back to "C" by position, now in the order of key 1 (20 -> 30).
  Reply r = file_.Direct(pos, 1);
  ASSERT_EQ(r.status, kStOk);
  EXPECT_EQ(r.data.substr(20, 1), "c");
  EXPECT_EQ(r.key.substr(0, 2), "\x14\x00"s);
  EXPECT_EQ(file_.Read(kOpGetNext, "", 1).data.substr(20, 1), "a");
  EXPECT_EQ(file_.Direct(pos, 1).status, kStOk);
  EXPECT_EQ(file_.Read(kOpGetPrevious, "", 1).data.substr(20, 1), "b");
  // Addresses that hold nothing.
  EXPECT_EQ(file_.Direct(0, 0).status, kStInvalidRecordAddress);
  EXPECT_EQ(file_.Direct(pos + 1000, 0).status, kStInvalidRecordAddress);
  EXPECT_EQ(file_.Direct(pos, 9).status, kStInvalidKeyNumber);
}

TEST_P(EngineTest, StepInAnotherKeyContinuesFromTheCurrentRecord) {
  ASSERT_EQ(file_.Insert(Rec("A", 30, "x", "a")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("B", 10, "x", "b")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("C", 20, "x", "c")), kStOk);
  ASSERT_EQ(file_.Read(kOpGetEqual, "C       ").status, kStOk);
  EXPECT_EQ(file_.Read(kOpGetNext, "", 1).data.substr(20, 1), "a");
}

// ---- Writes ----

TEST_P(EngineTest, InsertRefusesDuplicatesOfUniqueKeysAndShortRecords) {
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  EXPECT_EQ(file_.Insert(Rec("B", 1, "x", "b")), kStDuplicateKey);
  EXPECT_EQ(file_.Insert(Rec("B", 2, "x", "a")), kStDuplicateKey);
  EXPECT_EQ(file_.Insert(Rec("B", 2, "x", "b").substr(0, 10)), kStBufferTooShort);
  EXPECT_EQ(file_.Insert(Rec("B", 2, "x", "b"), 9), kStInvalidKeyNumber);
  EXPECT_EQ(file_.RecordCount(), 1u);
  // Nothing half-written: the refused record is in no key.
  for (int8_t k = 0; k < 4; ++k) EXPECT_EQ(Walk(k, 20, 1).size(), 1u) << int(k);
}

TEST_P(EngineTest, InsertMakesTheNewRecordCurrent) {
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("C", 3, "x", "c")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("B", 2, "x", "b")), kStOk);
  EXPECT_EQ(file_.Read(kOpGetNext).data.substr(20, 1), "c");
}

TEST_P(EngineTest, UpdateMovesTheRecordInItsKeysAndChecksThem) {
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("B", 2, "x", "b")), kStOk);
  ASSERT_EQ(file_.Read(kOpGetEqual, "A       ").status, kStOk);
  EXPECT_EQ(file_.Update(Rec("A", 2, "x", "a")), kStDuplicateKey);
  EXPECT_EQ(file_.Update(Rec("A", 1, "x", "z")), kStKeyNotModifiable);
  EXPECT_EQ(file_.Update(Rec("Z", 5, "moved", "a")), kStOk);
  EXPECT_EQ(Walk(0, 0, 1), (std::vector<std::string>{"B", "Z"}));
  EXPECT_EQ(Walk(1, 20, 1), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(file_.Read(kOpGetEqual, "MOVED     ", 2).status, kStOk);
  EXPECT_EQ(file_.Read(kOpGetEqual, "A       ").status, kStKeyNotFound);
  EXPECT_EQ(file_.RecordCount(), 2u);
  // A change outside key 0 shows in key 0's order too.
  ASSERT_EQ(file_.Read(kOpGetEqual, "B       ").status, kStOk);
  EXPECT_EQ(file_.Update(Rec("B", 2, "kept", "b")), kStOk);
  EXPECT_EQ(Walk(0, 10, 4), (std::vector<std::string>{"kept", "move"}));
}

TEST_P(EngineTest, DeleteKeepsThePlaceForTheNextStep) {
  for (const char* t : {"A", "B", "C"}) ASSERT_EQ(file_.Insert(Rec(t, uint16_t(t[0]), "x", t)), kStOk);
  ASSERT_EQ(file_.Read(kOpGetEqual, "B       ").status, kStOk);
  ASSERT_EQ(file_.Delete(), kStOk);
  EXPECT_EQ(file_.Delete(), kStInvalidPositioning);
  EXPECT_EQ(file_.Update(Rec("B", 66, "x", "B")), kStInvalidPositioning);
  int16_t st;
  file_.Position(&st);
  EXPECT_EQ(st, kStInvalidPositioning);
  EXPECT_EQ(file_.Read(kOpGetNext).data.substr(0, 1), "C");
  EXPECT_EQ(file_.RecordCount(), 2u);
  EXPECT_EQ(Walk(1, 0, 1), (std::vector<std::string>{"A", "C"}));
}

TEST_P(EngineTest, ReadOnlyOpenRefusesWrites) {
  EngineFile ro;
  ASSERT_EQ(ro.Open(path_, kOpenReadOnly), kStOk);
  EXPECT_EQ(ro.Insert(Rec("A", 1, "x", "a")), kStAccessDenied);
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  ASSERT_EQ(ro.Read(kOpGetFirst).status, kStOk);
  EXPECT_EQ(ro.Delete(), kStAccessDenied);
}

// Every SQLite failure the engine meets becomes one status, extended codes
// by their primary code; nothing that failed comes out as 0.
TEST(SqliteStatusTest, ResultCodesMapByKind) {
  const std::pair<int, int16_t> cases[] = {
      {SQLITE_BUSY, kStFileLocked},          {SQLITE_BUSY_SNAPSHOT, kStFileLocked},
      {SQLITE_LOCKED, kStFileLocked},        {SQLITE_LOCKED_SHAREDCACHE, kStFileLocked},
      {SQLITE_READONLY, kStAccessDenied},    {SQLITE_READONLY_DBMOVED, kStAccessDenied},
      {SQLITE_PERM, kStAccessDenied},        {SQLITE_AUTH, kStAccessDenied},
      {SQLITE_NOTADB, kStNotRecordFile},     {SQLITE_FORMAT, kStNotRecordFile},
      {SQLITE_CORRUPT, kStIoError},          {SQLITE_CORRUPT_INDEX, kStIoError},
      {SQLITE_IOERR, kStIoError},            {SQLITE_IOERR_WRITE, kStIoError},
      {SQLITE_FULL, kStIoError},             {SQLITE_CANTOPEN, kStIoError},
      {SQLITE_NOMEM, kStIoError},            {SQLITE_ERROR, kStIoError},
      {SQLITE_OK, kStIoError},               {SQLITE_DONE, kStIoError},
  };
  for (const auto& [rc, status] : cases) EXPECT_EQ(engine::SqliteStatus(rc), status) << rc;
}

// ---- Locks between position blocks of one process ----

TEST_P(EngineTest, ExclusiveOpenShutsOutOtherOpens) {
  EngineFile other;
  EXPECT_EQ(other.Open(path_, kOpenExclusive), kStFileLocked);  // file_ has it open
  ASSERT_EQ(file_.Close(), kStOk);
  ASSERT_EQ(other.Open(path_, kOpenExclusive), kStOk);
  EngineFile third;
  EXPECT_EQ(third.Open(path_), kStFileLocked);
  ASSERT_EQ(other.Close(), kStOk);
  EXPECT_EQ(third.Open(path_), kStOk);
}

TEST_P(EngineTest, RecordLockBlocksOnlyOtherBlocksLockedReadsAndWrites) {
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("B", 2, "x", "b")), kStOk);
  EngineFile other;
  ASSERT_EQ(other.Open(path_), kStOk);
  ASSERT_EQ(file_.Read(kOpGetEqual + kLockBias, "A       ").status, kStOk);
  EXPECT_EQ(other.Read(kOpGetFirst + kLockBias).status, kStRecordLocked);
  EXPECT_EQ(other.Read(kOpGetFirst).status, kStOk);          // unlocked read
  EXPECT_EQ(other.Update(Rec("A", 1, "y", "a")), kStRecordLocked);
  EXPECT_EQ(other.Delete(), kStRecordLocked);
  EXPECT_EQ(other.Read(kOpGetLast + kLockBias).status, kStOk);  // "B" is free
  // The owner may still read it locked again, and update it.
  EXPECT_EQ(file_.Read(kOpGetFirst + kLockBias).status, kStOk);
  EXPECT_EQ(file_.Update(Rec("A", 1, "y", "a")), kStOk);
  EXPECT_EQ(other.Read(kOpGetFirst + kLockBias).status, kStOk);  // released
  // Unlock and the next read release too.
  EXPECT_EQ(file_.Read(kOpGetFirst + kLockBias).status, kStRecordLocked);
  uint32_t len = 0;
  EXPECT_EQ(BTRCALL(kOpUnlock, other.pb, nullptr, &len, nullptr, 0, 0), kStOk);
  EXPECT_EQ(file_.Read(kOpGetFirst + kLockBias).status, kStOk);
  EXPECT_EQ(file_.Read(kOpGetLast).status, kStOk);
  EXPECT_EQ(other.Read(kOpGetFirst + kLockBias).status, kStOk);
  // Close releases.
  other.Close();
  EXPECT_EQ(file_.Read(kOpGetFirst + kLockBias).status, kStOk);
}

TEST_P(EngineTest, LockedReadThatMeetsALockLeavesTheCursorForTheRetry) {
  for (const char* t : {"A", "B", "C"}) ASSERT_EQ(file_.Insert(Rec(t, uint16_t(t[0]), "x", t)), kStOk);
  EngineFile other;
  ASSERT_EQ(other.Open(path_), kStOk);
  ASSERT_EQ(other.Read(kOpGetEqual + kLockBias, "B       ").status, kStOk);
  ASSERT_EQ(file_.Read(kOpGetFirst).status, kStOk);
  EXPECT_EQ(file_.Read(kOpGetNext + kLockBias).status, kStRecordLocked);
  other.Close();
  EXPECT_EQ(file_.Read(kOpGetNext + kLockBias).data.substr(0, 1), "B");
  EXPECT_EQ(file_.Direct(file_.Position(), 0, kOpGetDirect + kLockBias).status, kStOk);
  EXPECT_EQ(file_.Read(kOpStat + kLockBias).status, kStInvalidOperation);
}

// Inside the process's transaction a locked step goes on from the statement
// already stepping; when it meets a lock the cursor still stays put.
TEST_P(EngineTest, LockedStepInATransactionThatMeetsALockStaysPut) {
  for (const char* t : {"B", "A", "C"}) ASSERT_EQ(file_.Insert(Rec(t, uint16_t(t[0]), "x", t)), kStOk);
  EngineFile other;
  ASSERT_EQ(other.Open(path_), kStOk);
  ASSERT_EQ(other.Read(kOpGetEqual + kLockBias, "B       ").status, kStOk);
  ASSERT_EQ(testing_support::SimpleCall(kOpBeginTransaction), kStOk);
  ASSERT_EQ(file_.Insert(Rec("D", 1, "x", "D")), kStOk);
  ASSERT_EQ(file_.Read(kOpGetFirst).data.substr(0, 1), "A");
  EXPECT_EQ(file_.Read(kOpGetNext + kLockBias).status, kStRecordLocked);
  EXPECT_EQ(file_.Read(kOpGetNext).data.substr(0, 1), "B");
  ASSERT_EQ(testing_support::SimpleCall(kOpAbortTransaction), kStOk);
}

// ---- Transactions and Reset ----

TEST_P(EngineTest, TransactionsCommitOrDiscardEverything) {
  using testing_support::SimpleCall;
  EXPECT_EQ(SimpleCall(kOpEndTransaction), kStNoTransaction);
  ASSERT_EQ(SimpleCall(kOpBeginTransaction), kStOk);
  EXPECT_EQ(SimpleCall(kOpBeginTransaction), kStTransactionActive);
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(file_.Insert(Rec("T" + std::to_string(i), uint16_t(i), "x", std::to_string(i))), kStOk);
  // A refused insert inside does not spoil the rest.
  EXPECT_EQ(file_.Insert(Rec("DUP", 5, "x", "dup")), kStDuplicateKey);
  EXPECT_EQ(file_.RecordCount(), 100u);
  ASSERT_EQ(SimpleCall(kOpAbortTransaction), kStOk);
  EXPECT_EQ(file_.RecordCount(), 0u);
  EXPECT_EQ(file_.Read(kOpGetFirst).status, kStEndOfFile);
  ASSERT_EQ(SimpleCall(kOpBeginTransaction), kStOk);
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(file_.Insert(Rec("T" + std::to_string(i), uint16_t(i), "x", std::to_string(i))), kStOk);
  ASSERT_EQ(SimpleCall(kOpEndTransaction), kStOk);
  file_.Close();
  ResetEngines();
  EngineFile f;
  ASSERT_EQ(f.Open(path_), kStOk);
  EXPECT_EQ(f.RecordCount(), 100u);
}

TEST_P(EngineTest, AWriteFailingHalfWayTakesTheWholeTransactionDown) {
  if (GetParam() == TestEngine::kPostgres) GTEST_SKIP() << "the failure is planted with SQLite";
  using testing_support::SimpleCall;
  // A trigger makes the third key's row of one record fail after its record
  // row and first keys went in: the state no savepoint is there to undo.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TRIGGER boom BEFORE INSERT ON key2 WHEN hex(NEW.k) LIKE "
                         "hex('BOOM') || '%' BEGIN SELECT RAISE(ABORT, 'boom'); END",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const std::string other_path = dir_.path() + "OTHER.dat";
  ASSERT_EQ(CreateRecordFile(other_path, TestSpec()), kStOk);
  EngineFile other;
  ASSERT_EQ(other.Open(other_path), kStOk);

  ASSERT_EQ(SimpleCall(kOpBeginTransaction), kStOk);
  ASSERT_EQ(other.Insert(Rec("O", 1, "x", "o")), kStOk);
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  EXPECT_EQ(file_.Insert(Rec("B", 2, "boom", "b")), kStIoError);
  // Gone already, in every file; nothing more goes in, and the end says so.
  EXPECT_EQ(file_.RecordCount(), 0u);
  EXPECT_EQ(other.RecordCount(), 0u);
  EXPECT_EQ(file_.Insert(Rec("C", 3, "x", "c")), kStIoError);
  EXPECT_EQ(SimpleCall(kOpEndTransaction), kStIoError);
  EXPECT_EQ(SimpleCall(kOpEndTransaction), kStNoTransaction);
  EXPECT_EQ(file_.Read(kOpGetFirst).status, kStEndOfFile);
  EXPECT_EQ(other.Read(kOpGetFirst).status, kStEndOfFile);
  // The next transaction starts clean; an abort of a failed one is plain.
  ASSERT_EQ(SimpleCall(kOpBeginTransaction), kStOk);
  ASSERT_EQ(file_.Insert(Rec("D", 4, "x", "d")), kStOk);
  ASSERT_EQ(SimpleCall(kOpEndTransaction), kStOk);
  ASSERT_EQ(SimpleCall(kOpBeginTransaction), kStOk);
  EXPECT_EQ(file_.Insert(Rec("E", 5, "boom", "e")), kStIoError);
  EXPECT_EQ(SimpleCall(kOpAbortTransaction), kStOk);
  EXPECT_EQ(file_.RecordCount(), 1u);
}

TEST_P(EngineTest, ResetClosesEveryFileAndDropsAnOpenTransaction) {
  EngineFile other;
  ASSERT_EQ(other.Open(path_), kStOk);
  ASSERT_EQ(other.Read(kOpGetFirst).status, kStEndOfFile);
  ASSERT_EQ(testing_support::SimpleCall(kOpBeginTransaction), kStOk);
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  EXPECT_EQ(testing_support::SimpleCall(kOpReset), kStOk);
  EXPECT_EQ(file_.Read(kOpGetFirst).status, kStNotOpen);
  EXPECT_EQ(other.Stat().status, kStNotOpen);
  EXPECT_EQ(testing_support::SimpleCall(kOpEndTransaction), kStNoTransaction);
  std::memset(file_.pb, 0, kPositionBlockSize);
  std::memset(other.pb, 0, kPositionBlockSize);
  // Exclusive opens are possible again: nothing of ours holds the file.
  ASSERT_EQ(file_.Open(path_, kOpenExclusive), kStOk);
  EXPECT_EQ(file_.RecordCount(), 0u);
}

TEST_P(EngineTest, NullAndOddBuffersGiveStatusesNotCrashes) {
  ASSERT_EQ(file_.Insert(Rec("A", 1, "x", "a")), kStOk);
  EXPECT_EQ(BTRCALL(kOpGetFirst, file_.pb, nullptr, nullptr, nullptr, 0, 0), kStBufferTooShort);
  EXPECT_EQ(BTRCALL(kOpGetEqual, file_.pb, nullptr, nullptr, nullptr, 0, 0), kStKeyBufferTooShort);
  EXPECT_EQ(BTRCALL(kOpInsert, file_.pb, nullptr, nullptr, nullptr, 0, 0), kStBufferTooShort);
  EXPECT_EQ(BTRCALL(kOpOpen, nullptr, nullptr, nullptr, nullptr, 0, 0), kStInvalidOperation);
  EXPECT_EQ(BTRCALL(99, file_.pb, nullptr, nullptr, nullptr, 0, 0), kStInvalidOperation);
  EXPECT_EQ(BTRCALL(kOpGetDirect, file_.pb, nullptr, nullptr, nullptr, 0, 0), kStBufferTooShort);
  EngineFile f;
  EXPECT_EQ(f.Open(""), kStFileNotFound);
}

}  // namespace
}  // namespace store
