#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/system.h"

namespace platform {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kel_files_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ErrorNumber() = 0;
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string Path(const std::string& name) { return dir_ + "/" + name; }
  std::string dir_;
};

TEST_F(FilesTest, OsPathTurnsBackslashesIntoSlashes) {
  EXPECT_EQ(OsPath("DADES\\PropietV.dat"), "DADES/PropietV.dat");
  EXPECT_EQ(OsPath("/a/b\\c\\"), "/a/b/c/");
  EXPECT_EQ(OsPath(""), "");
}

TEST_F(FilesTest, ProgramStylePathsReachTheFile) {
  File f;
  ASSERT_TRUE(f.Open(dir_ + "\\x.txt", File::Mode::kOutput));
  ASSERT_TRUE(f.Write("abc"));
  f.Close();
  EXPECT_TRUE(FileExists(dir_ + "\\x.txt"));
  EXPECT_EQ(FileLength(dir_ + "/x.txt"), 3);
}

TEST_F(FilesTest, ReadWriteCreatesAMissingFileWithoutTruncating) {
  {
    File f;
    ASSERT_TRUE(f.Open(Path("rw"), File::Mode::kReadWrite));
    EXPECT_EQ(f.Length(), 0);
    ASSERT_TRUE(f.WriteAt(0, "0123456789", 10));
  }
  File f;
  ASSERT_TRUE(f.Open(Path("rw"), File::Mode::kReadWrite));
  EXPECT_EQ(f.Length(), 10);
  ASSERT_TRUE(f.WriteAt(4, "ab", 2));
  char buf[16] = {};
  EXPECT_EQ(f.ReadAt(2, buf, 5), 5u);
  EXPECT_EQ(std::string(buf, 5), "23ab6");
  EXPECT_EQ(f.ReadAt(8, buf, 10), 2u);  // short at the end
  EXPECT_EQ(f.ReadAt(50, buf, 10), 0u);
  ASSERT_TRUE(f.WriteAt(12, "z", 1));  // past the end leaves a hole of zeros
  EXPECT_EQ(f.Length(), 13);
  EXPECT_EQ(f.ReadAt(10, buf, 3), 3u);
  EXPECT_EQ(std::string(buf, 3), std::string("\0\0z", 3));
}

TEST_F(FilesTest, ReadOfAMissingFileFails) {
  File f;
  EXPECT_FALSE(f.Open(Path("none"), File::Mode::kRead));
  EXPECT_EQ(ErrorNumber(), ENOENT);
  EXPECT_FALSE(f.IsOpen());
  char c;
  EXPECT_EQ(f.ReadAt(0, &c, 1), 0u);
  EXPECT_EQ(ErrorNumber(), EBADF);
  EXPECT_FALSE(f.Write("x"));
  EXPECT_EQ(f.ReadAll(), "");
  std::string s;
  EXPECT_FALSE(ReadWholeFile(Path("none"), s));
}

TEST_F(FilesTest, OutputEmptiesAndAppendAddsAtTheEnd) {
  File f;
  ASSERT_TRUE(f.Open(Path("o"), File::Mode::kOutput));
  ASSERT_TRUE(f.Write("first line\r\n"));
  f.Close();
  ASSERT_TRUE(f.Open(Path("o"), File::Mode::kAppend));
  ASSERT_TRUE(f.Write("second\n"));
  f.Seek(0);  // an append still goes to the end
  ASSERT_TRUE(f.Write("third"));
  f.Close();
  std::string s;
  ASSERT_TRUE(ReadWholeFile(Path("o"), s));
  EXPECT_EQ(s, "first line\r\nsecond\nthird");
  ASSERT_TRUE(f.Open(Path("o"), File::Mode::kOutput));
  f.Close();
  EXPECT_EQ(FileLength(Path("o")), 0);
}

TEST_F(FilesTest, ReadLineHandlesCrLfLfAndAFinalLineWithoutEnd) {
  std::string longline(10000, 'x');
  {
    File f;
    ASSERT_TRUE(f.Open(Path("lines"), File::Mode::kOutput));
    ASSERT_TRUE(f.Write("one\r\ntwo\n\n" + longline + "\nlast"));
  }
  File f;
  ASSERT_TRUE(f.Open(Path("lines"), File::Mode::kRead));
  std::string line;
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "one");
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "two");
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, longline);
  ASSERT_TRUE(f.ReadLine(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(f.ReadLine(line));
}

TEST_F(FilesTest, SequentialReadFollowsThePosition) {
  File f;
  ASSERT_TRUE(f.Open(Path("seq"), File::Mode::kReadWrite));
  ASSERT_TRUE(f.Write("abcdef"));
  EXPECT_EQ(f.Tell(), 6);
  f.Seek(2);
  char buf[3];
  EXPECT_EQ(f.Read(buf, 3), 3u);
  EXPECT_EQ(std::string(buf, 3), "cde");
  EXPECT_EQ(f.Tell(), 5);
  EXPECT_EQ(f.ReadAll(), "abcdef");
}

TEST_F(FilesTest, NoFollowRefusesASymbolicLink) {
  {
    File f;
    ASSERT_TRUE(f.Open(Path("target"), File::Mode::kOutput));
    ASSERT_TRUE(f.Write("secret"));
  }
  ASSERT_EQ(symlink(Path("target").c_str(), Path("link").c_str()), 0);
  File f;
  EXPECT_FALSE(f.Open(Path("link"), File::Mode::kOutput, /*no_follow=*/true));
  EXPECT_EQ(ErrorNumber(), ELOOP);
  EXPECT_EQ(FileLength(Path("target")), 6);  // not emptied through the link
  EXPECT_TRUE(f.Open(Path("link"), File::Mode::kRead));  // following is allowed
}

TEST_F(FilesTest, ReplacedWorkFileNeverGoesThroughALinkOrAFifo) {
  {
    File f;
    ASSERT_TRUE(f.Open(Path("target"), File::Mode::kOutput));
    ASSERT_TRUE(f.Write("secret"));
  }
  ASSERT_EQ(symlink(Path("target").c_str(), Path("state").c_str()), 0);
  std::string got;
  EXPECT_FALSE(ReadOwnFile(Path("state"), got, 100)) << "not through the link";
  ASSERT_TRUE(ReplaceFile(Path("state"), "new"));
  EXPECT_TRUE(ReadOwnFile(Path("state"), got, 100));
  EXPECT_EQ(got, "new");
  ASSERT_TRUE(ReadWholeFile(Path("target"), got));
  EXPECT_EQ(got, "secret") << "the link was replaced, its target left alone";
  EXPECT_FALSE(ReadOwnFile(Path("state"), got, 2)) << "longer than allowed";

  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadOwnFile(Path("fifo"), got, 100));
  EXPECT_FALSE(ReplaceFile(Path("none/state"), "x"));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 3) << "no half-written file left behind";
}

TEST_F(FilesTest, ExclusiveOpenIsRefusedWhileHeldAndTheHolderKeepsItsData) {
  File holder;
  ASSERT_TRUE(holder.Open(Path("lock"), File::Mode::kOutput, false, true));
  ASSERT_TRUE(holder.Write("kept"));
  File other;
  EXPECT_FALSE(other.Open(Path("lock"), File::Mode::kOutput, false, true));
  EXPECT_EQ(ErrorNumber(), EWOULDBLOCK);
  EXPECT_EQ(FileLength(Path("lock")), 4);
  File plain;  // a non-exclusive opener is not stopped
  EXPECT_TRUE(plain.Open(Path("lock"), File::Mode::kRead));
  holder.Close();
  EXPECT_TRUE(other.Open(Path("lock"), File::Mode::kReadWrite, false, true));
}

TEST_F(FilesTest, MovedFileKeepsItsHandle) {
  File a;
  ASSERT_TRUE(a.Open(Path("m"), File::Mode::kOutput));
  File b = std::move(a);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_TRUE(b.Write("x"));
  File c;
  c = std::move(b);
  EXPECT_TRUE(c.IsOpen());
}

TEST_F(FilesTest, ADirectoryIsNotAFile) {
  File f;
  EXPECT_FALSE(f.Open(dir_, File::Mode::kRead));
  EXPECT_EQ(ErrorNumber(), EISDIR);
  EXPECT_TRUE(DirectoryExists(dir_));
  EXPECT_TRUE(DirectoryExists(dir_ + "\\"));
  EXPECT_FALSE(FileExists(dir_));
  EXPECT_EQ(FileLength(dir_), -1);
  EXPECT_FALSE(DirectoryExists(Path("none")));
}

TEST_F(FilesTest, DeleteFile) {
  File f;
  ASSERT_TRUE(f.Open(Path("d"), File::Mode::kOutput));
  f.Close();
  EXPECT_TRUE(DeleteFile(Path("d")));
  EXPECT_FALSE(FileExists(Path("d")));
  EXPECT_FALSE(DeleteFile(Path("d")));
  EXPECT_EQ(ErrorNumber(), ENOENT);
  EXPECT_EQ(FileLength(Path("d")), -1);
  EXPECT_FALSE(FileExists(""));
}

TEST_F(FilesTest, ChangeDirectoryTakesProgramStylePaths) {
  char* before = getcwd(nullptr, 0);
  ASSERT_EQ(mkdir(Path("root").c_str(), 0755), 0);
  ASSERT_TRUE(ChangeDirectory(dir_ + "\\root\\"));
  File f;
  EXPECT_TRUE(f.Open("DADES.txt", File::Mode::kOutput));  // lands in the new directory
  EXPECT_TRUE(FileExists(Path("root/DADES.txt")));
  EXPECT_FALSE(ChangeDirectory(Path("missing")));
  EXPECT_EQ(ErrorNumber(), ENOENT);
  EXPECT_EQ(chdir(before), 0);
  free(before);
}

}  // namespace
}  // namespace platform
