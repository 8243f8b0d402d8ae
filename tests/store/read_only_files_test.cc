// Record files that the operator may read but not write, nor their folder (a
// read-only share, an auditor's copy, a backup): they are read all the same,
// also when a writer that died left its -wal (and -shm) behind. chmod does
// not stop root, so the reading is done by a child process that first
// becomes an unprivileged user when the tests run as root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "store/btrcall.h"
#include "tests/support/child_process.h"
#include "tests/support/engine_client.h"
#include "tests/support/engine_installation.h"
#include "tests/support/temp_dir.h"

namespace store {
namespace {

using testing_support::Child;
using testing_support::EngineFile;
using testing_support::Reply;

constexpr uid_t kUnprivileged = 65534;  // "nobody"

std::string Record(int n) {
  std::string r(16, ' ');
  r[0] = char(n >> 8);
  r[1] = char(n & 0xFF);
  return r;
}

class ReadOnlyFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetEngines();
    chmod(dir_.path().c_str(), 0755);  // the unprivileged reader passes through
    std::filesystem::create_directories(folder_);
    const auto spec = testing_support::CreationSpec(16, testing_support::KeyDefs{{{1, 2, 0}}});
    ASSERT_EQ(testing_support::CreateRecordFile(path_, spec), kStOk);
  }
  void TearDown() override { testing_support::ResetEngines(); }

  // Inserts records first to last; with die, by a process killed while it
  // still holds the file, so that its -wal and -shm stay with the records.
  void Insert(int first, int last, bool die) {
    Child writer([&](Child& c) {
      EngineFile f;
      if (f.Open(path_) != kStOk) return 1;
      for (int n = first; n <= last; ++n)
        if (f.Insert(Record(n)) != kStOk) return 2;
      c.Tell('w');
      if (die) c.Hear();  // killed here
      return 0;
    });
    ASSERT_EQ(writer.Hear_(), 'w');
    if (die) writer.Kill();
    writer.Wait();
  }

  // Makes the folder and everything in it read-only, then reads the file
  // as the operator: 0 when every one of the records is read and a write
  // is refused with 46, the open's status when it fails. The folder is
  // writable again afterwards.
  int ReadAsOperator(int records) {
    for (const auto& e : std::filesystem::directory_iterator(folder_))
      chmod(e.path().c_str(), 0444);
    chmod(folder_.c_str(), 0555);
    Child reader([&](Child&) {
      if (geteuid() == 0 && (setgid(kUnprivileged) != 0 || setuid(kUnprivileged) != 0))
        return 90;
      EngineFile f;
      const int16_t st = f.Open(path_);
      if (st != kStOk) return int{st};
      int n = 0;
      for (Reply r = f.Read(kOpGetFirst); r.status == kStOk; r = f.Read(kOpGetNext)) ++n;
      if (n != records) return 100 + n % 100;
      return f.Insert(Record(999)) == kStAccessDenied ? 0 : 91;
    });
    const int code = reader.Wait();
    chmod(folder_.c_str(), 0755);
    return code;
  }

  testing_support::TempDir dir_;
  std::string folder_ = dir_.path() + "DADES";
  std::string path_ = folder_ + "/CobramV.dat";
};

TEST_F(ReadOnlyFilesTest, ClosedFileIsRead) {
  Insert(1, 30, false);
  std::filesystem::remove(path_ + ".lck");  // nor can its lock file be made
  EXPECT_EQ(ReadAsOperator(30), 0);
}

TEST_F(ReadOnlyFilesTest, RecordsOfAWriterThatDiedAreReadFromItsLog) {
  Insert(1, 20, false);
  Insert(21, 25, true);
  ASSERT_TRUE(std::filesystem::exists(path_ + "-wal"));
  EXPECT_EQ(ReadAsOperator(25), 0);
  // Without the log's index beside it, which the operator cannot make.
  std::filesystem::remove(path_ + "-shm");
  EXPECT_EQ(ReadAsOperator(25), 0);
}

}  // namespace
}  // namespace store
