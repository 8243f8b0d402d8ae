// kelhelp: the committed help files equal what their sources make; the marks
// of a source and the faults it is refused for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/kelhelp/help_source.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& p) { return testing_support::ReadFileBytes(p.string()); }

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
      {"{a}{b}{c}" + std::string(73, 'x'),
       "line 1: too many highlights for one record of 80 bytes"},
  };
  for (const auto& [source, expected] : cases) {
    std::string hlp, error;
    EXPECT_FALSE(MakeHelpFile(source, hlp, error)) << source;
    EXPECT_EQ(error, expected) << source;
  }
}

}  // namespace
}  // namespace tools
