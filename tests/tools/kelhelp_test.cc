// kelhelp: the committed help files equal what their sources make; the marks
// of a source and the faults it is refused for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tools/kelhelp/help_source.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& p) {
  std::string s;
  platform::ReadWholeFile(p.string(), s);
  return s;
}

TEST(HelpSourceTest, CommittedFilesEqualTheGenerator) {
  const fs::path ajuda = fs::path(KEL_SOURCE_DIR) / "install" / "AJUDA";
  int sources = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(ajuda / "src")) {
    if (e.path().extension() != ".txt") continue;
    ++sources;
    std::string hlp, error;
    ASSERT_TRUE(MakeHelpFile(Bytes(e.path()), hlp, error)) << e.path() << ": " << error;
    EXPECT_EQ(Bytes(ajuda / (e.path().stem().string() + ".HLP")), hlp)
        << e.path() << " changed: build/bin/kelhelp install/AJUDA install/AJUDA/src/*.txt";
  }
  EXPECT_EQ(sources, 2) << "RBPNDLST and QOPSHELL";
  for (const fs::directory_entry& e : fs::directory_iterator(ajuda)) {
    if (e.path().extension() != ".HLP") continue;
    EXPECT_TRUE(fs::exists(ajuda / "src" / (e.path().stem().string() + ".txt"))) << e.path();
  }
}

TEST(HelpSourceTest, MarksBecomeTogglesAndLinesRecords) {
  std::string hlp, error;
  ASSERT_TRUE(MakeHelpFile("# T\xC3\xADtol\r\n{F4} llista\n\nfi   \n", hlp, error)) << error;
  ASSERT_EQ(hlp.size(), 4u * 80);
  EXPECT_EQ(hlp.substr(0, 8), "\x1ET\xA1tol\x1E ");
  EXPECT_EQ(hlp.substr(80, 12), "\x1E" "F4\x1E llista ");
  EXPECT_EQ(hlp.substr(160, 80), std::string(80, ' '));
  EXPECT_EQ(hlp.substr(240, 80), "fi" + std::string(78, ' '));
  // 76 characters fit however many highlights there are, up to 80 bytes.
  EXPECT_TRUE(MakeHelpFile("{" + std::string(37, 'x') + "}{" + std::string(39, 'y') + "}", hlp,
                           error));
}

TEST(HelpSourceTest, BadSourcesAreRefusedWithTheLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ok\n" + std::string(77, 'x'), "line 2: more than 76 characters"},
      {"a\tb", "line 1: a control character (a tab?)"},
      {"{F4 llista", "line 1: an unmatched \"{\""},
      {"F4} llista", "line 1: an unmatched \"}\""},
      {"# {F4}", "line 1: braces inside a heading"},
      {"\xE2\x9C\x93", "line 1: a character that code page 850 does not have"},
      {"{a}{b}{c}" + std::string(73, 'x'), "line 1: too many highlights for one record of 80 bytes"},
  };
  for (const auto& [source, expected] : cases) {
    std::string hlp, error;
    EXPECT_FALSE(MakeHelpFile(source, hlp, error)) << source;
    EXPECT_EQ(error, expected) << source;
  }
}

TEST(HelpSourceTest, ProgramWritesEveryFileOrNamesTheBadOne) {
  testing_support::TempDir dir;
  const std::string good = dir.Write("src/UN.txt", "# U\n");
  const std::string bad = dir.Write("src/DOS.txt", "{\n");
  std::string out = dir.path() + "out", err;
  fs::create_directories(out);
  std::vector<std::string> args = {"kelhelp", out, good};
  auto run = [&] {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    err.clear();
    return RunKelhelp(static_cast<int>(argv.size()), argv.data(), err);
  };
  EXPECT_EQ(run(), 0) << err;
  EXPECT_EQ(Bytes(out + "/UN.HLP").size(), 80u);
  args.push_back(bad);
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(err, "kelhelp: " + bad + ": line 1: an unmatched \"{\"\n");
  args.resize(2);
  EXPECT_EQ(run(), 2);
}

}  // namespace
}  // namespace tools
