// The record manager shared by several processes (fork), on both engines
// (on the server each process has its own connection): exclusive opens,
// record locks, locks of a killed process, and a file that survives a
// process killed in the middle of its inserts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "platform/tty_signals.h"
#include "store/btrcall.h"
#include "store/engine.h"
#include "tests/support/child_process.h"
#include "tests/support/engine_client.h"
#include "tests/support/engine_installation.h"
#include "tests/support/temp_dir.h"

namespace store {
namespace {

using testing_support::Child;
using testing_support::CreateRecordFile;
using testing_support::CreationSpec;
using testing_support::EngineFile;
using testing_support::KeyDefs;
using testing_support::Reply;
using testing_support::ResetEngines;
using testing_support::TestEngine;

// A lock of a process that ended goes when the system (or the server, once
// it has seen the connection close) lets it go: asked again for a while.
template <typename Call>
int16_t WhenReleased(Call call) {
  for (int i = 0; i < 250; ++i) {
    const int16_t st = call();
    if (st != kStFileLocked && st != kStRecordLocked) return st;
    usleep(20000);
  }
  return call();
}

std::string Rec(int n) {
  std::string r = std::to_string(100000 + n);  // 6 digits, key
  r.resize(16, '.');
  return r;
}

class EngineMultiProcessTest : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override {
    ResetEngines();
    std::string why;
    if (!installation_.SetUp(GetParam(), dir_.path(), why)) GTEST_SKIP() << why;
    path_ = installation_.Path("SHARED");
    ASSERT_EQ(CreateRecordFile(path_, CreationSpec(16, KeyDefs{{{1, 6, kSegModifiable}}})), kStOk);
    EngineFile f;
    ASSERT_EQ(f.Open(path_), kStOk);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(f.Insert(Rec(i)), kStOk);
  }
  void TearDown() override { ResetEngines(); }

  testing_support::TempDir dir_;
  testing_support::EngineInstallation installation_;
  std::string path_;
};

INSTANTIATE_TEST_SUITE_P(Engines, EngineMultiProcessTest,
                         ::testing::Values(TestEngine::kSqlite, TestEngine::kPostgres),
                         testing_support::EngineName);

TEST_P(EngineMultiProcessTest, ExclusiveOpenAnswers85ToOthersUntilItCloses) {
  EngineFile mine;
  ASSERT_EQ(mine.Open(path_, kOpenExclusive), kStOk);
  Child child([&](Child& me) {
    EngineFile f;
    if (f.Open(path_) != kStFileLocked) return 1;
    if (f.Open(path_, kOpenExclusive) != kStFileLocked) return 2;
    me.Tell('1');
    me.Hear();
    if (f.Open(path_) != kStOk) return 3;
    if (f.Read(kOpGetFirst).status != kStOk) return 4;
    return 0;
  });
  ASSERT_EQ(child.Hear_(), '1');
  ASSERT_EQ(mine.Close(), kStOk);
  child.Tell_('g');
  EXPECT_EQ(child.Wait(), 0);
}

TEST_P(EngineMultiProcessTest, ExclusiveOpenWhileOthersHaveItOpenAnswers85) {
  EngineFile mine;
  ASSERT_EQ(mine.Open(path_), kStOk);
  Child child([&](Child&) {
    EngineFile f;
    return f.Open(path_, kOpenExclusive) == kStFileLocked ? 0 : 1;
  });
  EXPECT_EQ(child.Wait(), 0);
}

TEST_P(EngineMultiProcessTest, RecordLockGives84ToLockedReadsOfOthersOnly) {
  EngineFile mine;
  ASSERT_EQ(mine.Open(path_), kStOk);
  // Inherited state must not get in the child's way.
  ASSERT_EQ(mine.Read(kOpGetEqual + kLockBias, Rec(1).substr(0, 6)).status, kStOk);
  Child child([&](Child& me) {
    EngineFile f;
    if (f.Open(path_) != kStOk) return 1;
    if (f.Read(kOpGetEqual + kLockBias, Rec(1).substr(0, 6)).status != kStRecordLocked) return 2;
    if (f.Read(kOpGetEqual, Rec(1).substr(0, 6)).status != kStOk) return 3;
    if (f.Update(Rec(1)) != kStRecordLocked) return 4;
    if (f.Read(kOpGetEqual + kLockBias, Rec(2).substr(0, 6)).status != kStOk) return 5;
    me.Tell('1');
    me.Hear();
    if (f.Read(kOpGetEqual + kLockBias, Rec(1).substr(0, 6)).status != kStOk) return 6;
    return 0;
  });
  ASSERT_EQ(child.Hear_(), '1');
  // The child holds record 2 now.
  EXPECT_EQ(mine.Read(kOpGetEqual + kLockBias, Rec(2).substr(0, 6)).status, kStRecordLocked);
  uint32_t len = 0;
  ASSERT_EQ(BTRCALL(kOpUnlock, mine.pb, nullptr, &len, nullptr, 0, 0), kStOk);
  child.Tell_('g');
  EXPECT_EQ(child.Wait(), 0);
  // The child ended without closing: the system dropped its locks.
  EXPECT_EQ(WhenReleased([&] {
              return mine.Read(kOpGetEqual + kLockBias, Rec(1).substr(0, 6)).status;
            }),
            kStOk);
}

TEST_P(EngineMultiProcessTest, LocksOfAKilledProcessAreReleased) {
  Child child([&](Child& me) {
    EngineFile f;
    if (f.Open(path_, kOpenExclusive) != kStOk) return 1;
    me.Tell('1');
    for (;;) pause();
  });
  ASSERT_EQ(child.Hear_(), '1');
  EngineFile mine;
  EXPECT_EQ(mine.Open(path_), kStFileLocked);
  child.Kill();
  child.Wait();
  ASSERT_EQ(WhenReleased([&] { return mine.Open(path_); }), kStOk);

  Child locker([&](Child& me) {
    EngineFile f;
    if (f.Open(path_) != kStOk) return 1;
    if (f.Read(kOpGetFirst + kLockBias).status != kStOk) return 2;
    me.Tell('1');
    for (;;) pause();
  });
  ASSERT_EQ(locker.Hear_(), '1');
  EXPECT_EQ(mine.Read(kOpGetFirst + kLockBias).status, kStRecordLocked);
  locker.Kill();
  locker.Wait();
  EXPECT_EQ(WhenReleased([&] { return mine.Read(kOpGetFirst + kLockBias).status; }), kStOk);
}

// Reads share one snapshot for a short while. Another process's writes must
// still show at once to a locked read and to this process's own writes, and
// to plain reads and Stat once that while has passed.
TEST_P(EngineMultiProcessTest, SharedReadSnapshotNeverHidesOthersWritesForLong) {
  EngineFile mine;
  ASSERT_EQ(mine.Open(path_), kStOk);
  ASSERT_EQ(mine.Read(kOpGetFirst).status, kStOk);
  ASSERT_EQ(mine.RecordCount(), 3u);
  std::string changed = Rec(1);
  changed[10] = '!';
  Child writer([&](Child& me) {
    EngineFile f;
    if (f.Open(path_) != kStOk || f.Read(kOpGetEqual, Rec(1).substr(0, 6)).status != kStOk)
      return 1;
    if (f.Update(changed) != kStOk || f.Insert(Rec(50)) != kStOk) return 2;
    me.Tell('1');
    me.Hear();
    return f.Insert(Rec(70)) == kStOk ? 0 : 3;
  });
  ASSERT_EQ(writer.Hear_(), '1');
  EXPECT_EQ(mine.Read(kOpGetEqual + kLockBias, Rec(1).substr(0, 6)).data, changed);
  EXPECT_EQ(mine.Insert(Rec(60)), kStOk);
  EXPECT_EQ(mine.RecordCount(), 5u);

  ASSERT_EQ(mine.Read(kOpGetFirst).status, kStOk);
  writer.Tell_('g');
  ASSERT_EQ(writer.Wait(), 0);
  usleep(150000);  // longer than a snapshot is kept
  EXPECT_EQ(mine.RecordCount(), 6u);
  EXPECT_EQ(mine.Read(kOpGetEqual, Rec(70).substr(0, 6)).status, kStOk);
}

// A reader that has gone idle holds no snapshot: another process can then
// checkpoint the whole write-ahead log and cut it to nothing.
TEST_P(EngineMultiProcessTest, IdleReaderLetsAnotherProcessCheckpoint) {
  if (GetParam() != TestEngine::kSqlite) GTEST_SKIP() << "a server keeps no snapshot between calls";
  // Forked before this process opens the file: a child would otherwise
  // inherit SQLite's record of the parent's locks.
  Child writer([&](Child& me) {
    EngineFile f;
    if (f.Open(path_) != kStOk) return 1;
    for (int round = 0; me.Hear() == 'g'; ++round) {
      if (f.Insert(Rec(10 + round)) != kStOk) return 2;
      sqlite3* db = nullptr;
      sqlite3_stmt* st = nullptr;
      int busy = -1;
      if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
          sqlite3_prepare_v2(db, "PRAGMA wal_checkpoint(TRUNCATE)", -1, &st, nullptr) ==
              SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        busy = sqlite3_column_int(st, 0);
      sqlite3_finalize(st);
      sqlite3_close(db);
      struct stat wal{};
      me.Tell(busy == 0 && stat((path_ + "-wal").c_str(), &wal) == 0 && wal.st_size == 0 ? 'y'
                                                                                           : 'n');
    }
    return 0;
  });
  EngineFile mine;
  ASSERT_EQ(mine.Open(path_), kStOk);
  ASSERT_EQ(mine.Read(kOpGetFirst).status, kStOk);
  ASSERT_EQ(mine.Read(kOpGetNext).status, kStOk);
  writer.Tell_('g');
  EXPECT_EQ(writer.Hear_(), 'n') << "the reader's snapshot holds the log";
  ReleaseReadSnapshots();
  writer.Tell_('g');
  EXPECT_EQ(writer.Hear_(), 'y');
  EXPECT_EQ(mine.Read(kOpGetNext).data, Rec(2)) << "the cursor kept its place";
  writer.Tell_('q');
  EXPECT_EQ(writer.Wait(), 0);
}

// A file cut short under a reader's memory map faults in the reader, which
// no status can answer: the reader ends in order, its message on standard
// error and exit code 135.
TEST_P(EngineMultiProcessTest, FileCutShortUnderAReaderEndsItInOrder) {
  if (GetParam() != TestEngine::kSqlite) GTEST_SKIP() << "files on a server are not mapped";
  const std::string said = dir_.path() + "said";
  Child reader([&](Child& me) {
    if (std::freopen(said.c_str(), "w", stderr) == nullptr) return 1;
    platform::EndOnBusError("CUT SHORT");
    me.Hear();
    EngineFile f;
    if (f.Open(path_) != kStOk || f.Read(kOpGetFirst).status != kStOk) return 2;
    me.Tell('r');
    me.Hear();
    for (Reply r = f.Read(kOpGetFirst); r.status == kStOk; r = f.Read(kOpGetNext)) {
    }
    return 3;  // read to the end: the fault never came
  });
  // Keeps the log (readers then take the file's length from it) after many
  // records went through it into the file; never closes, which would write
  // the log back.
  Child keeper([&](Child& me) {
    auto* f = new EngineFile;
    if (f->Open(path_) != kStOk || testing_support::SimpleCall(kOpBeginTransaction) != kStOk) _exit(1);
    for (int i = 10; i < 3000; ++i)
      if (f->Insert(Rec(i)) != kStOk) _exit(2);
    if (testing_support::SimpleCall(kOpEndTransaction) != kStOk) _exit(3);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA wal_checkpoint(PASSIVE)", nullptr, nullptr, nullptr) != SQLITE_OK)
      _exit(4);
    me.Tell('k');
    me.Hear();
    _exit(0);
    return 0;
  });
  ASSERT_EQ(keeper.Hear_(), 'k');
  reader.Tell_('g');
  ASSERT_EQ(reader.Hear_(), 'r');
  ASSERT_EQ(truncate(path_.c_str(), 4096), 0);
  reader.Tell_('g');
  EXPECT_EQ(reader.Wait(), platform::kBusErrorStatus);
  EXPECT_EQ(dir_.Read("said"), "CUT SHORT\n");
  keeper.Tell_('q');
  keeper.Wait();
}

TEST_P(EngineMultiProcessTest, KilledDuringInsertsLeavesAWholeFile) {
  Child writer([&](Child& me) {
    EngineFile f;
    if (f.Open(path_) != kStOk) return 1;
    for (int i = 10;; ++i) {
      if (f.Insert(Rec(i)) != kStOk) return 2;
      if (i == 200) me.Tell('1');
    }
  });
  ASSERT_EQ(writer.Hear_(), '1');
  usleep(20000);
  writer.Kill();
  writer.Wait();

  if (GetParam() == TestEngine::kSqlite) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    sqlite3_close(db);
  }

  // Opened exclusively once the writer is wholly gone: a server may still
  // be finishing (and committing) the statement it was given last.
  EngineFile f;
  ASSERT_EQ(WhenReleased([&] { return f.Open(path_, kOpenExclusive); }), kStOk);
  const uint32_t count = f.RecordCount();
  EXPECT_GE(count, 3u + 191u);
  // Every committed record is there, in key order, with nothing missing.
  uint32_t seen = 0;
  int expected = 0;
  for (auto r = f.Read(kOpGetFirst); r.status == kStOk; r = f.Read(kOpGetNext)) {
    if (seen == 3) expected = 10;
    ASSERT_EQ(r.data, Rec(expected)) << seen;
    ++expected;
    ++seen;
  }
  EXPECT_EQ(seen, count);
  EXPECT_EQ(f.Insert(Rec(expected)), kStOk);
}

}  // namespace
}  // namespace store
