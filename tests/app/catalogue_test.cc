#include "app/catalogue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "app/app_state.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    config::ResetSettingsState();
    app::ResetAppState();
    app::ResetCatalogueState();
    app::AppState().program_name = "RBPNDLST";
    config::PathsState().root = dir.path();
  }
  void Language(const char* code) { config::SettingsState().language = code; }
  void PicksUpChanges(bool watched);
  std::string Catalogue() const { return dir.path() + "LOCALE/RBPNDLST.LNG"; }
  TempDir dir;
};

TEST_F(CatalogueTest, TranslatesByLanguageKeepingQuotedBlanks) {
  dir.Write("LOCALE/RBPNDLST.LNG",
            "\"P\xB7GINA \",\"P\xB5XINA \",\"PAGINA \",\"P\xB5GINA \"\r\n"
            "\"FINCA \",\"FINCA \",\"FINCA \",\"FINCA \"\r\n"
            "TITULAR, TITULAR,TITOLAR,\r\n"
            "  TITULAR\r\n"
            "\"FINCA \",\"dup\",\"dup\",\"dup\"\r\n");
  Language("SPA");
  EXPECT_EQ(app::Translate("P\xB7GINA "), "P\xB5GINA ");
  EXPECT_EQ(app::Translate("FINCA "), "FINCA ");  // the first of two entries wins
  EXPECT_EQ(app::Translate("Finca "), "Finca ");  // case counts
  EXPECT_EQ(app::Translate("NO ENTRY"), "NO ENTRY");
  EXPECT_EQ(app::Translate("TITULAR"), "TITULAR");  // entry laid over two lines
  Language("GLG");
  EXPECT_EQ(app::Translate("P\xB7GINA "), "P\xB5XINA ");
  Language("OCI");
  EXPECT_EQ(app::Translate("TITULAR"), "TITOLAR");
  Language("   ");
  EXPECT_EQ(app::Translate("P\xB7GINA "), "P\xB7GINA ");
}

TEST_F(CatalogueTest, CatalanNeverOpensTheFile) {
  dir.Write("LOCALE/keep", "");
  Language("CAT");
  EXPECT_EQ(app::Translate("FINCA "), "FINCA ");
  EXPECT_FALSE(platform::FileExists(Catalogue()));
}

TEST_F(CatalogueTest, MissingFileIsCreatedEmpty) {
  dir.Write("LOCALE/keep", "");
  Language("   ");
  EXPECT_EQ(app::Translate("FINCA "), "FINCA ");
  EXPECT_TRUE(platform::FileExists(Catalogue()));
  EXPECT_EQ(platform::FileLength(Catalogue()), 0);
}

TEST_F(CatalogueTest, MissingFolderOrCutEntryLeavesTextUnchanged) {
  Language("SPA");
  EXPECT_EQ(app::Translate("FINCA "), "FINCA ");  // no LOCALE folder at all
  dir.Write("LOCALE/RBPNDLST.LNG", "\"FINCA \",\"a\",\"b\"");
  EXPECT_EQ(app::Translate("FINCA "), "FINCA ");
}

// The entries are kept between lookups, yet every change on disk shows:
// new contents of another size, a file renamed into place (same size), and
// a rewrite in place to the same size with a new modification time; told by
// the kernel, and on a network share by the file's stamp alone.
TEST_F(CatalogueTest, PicksUpTheFileChangedDuringTheRun) {
  for (bool watch : {true, false}) {
    SCOPED_TRACE(watch ? "watched" : "stamp only");
    app::ResetCatalogueState();
    app::CatalogueState().use_watch = watch;
    PicksUpChanges(watch);
  }
}

void CatalogueTest::PicksUpChanges(bool watched) {
  Language("SPA");
  dir.Write("LOCALE/RBPNDLST.LNG", "REBUT,a,b,RECIBO\r\n");
  EXPECT_EQ(app::Translate("REBUT"), "RECIBO");
  dir.Write("LOCALE/RBPNDLST.LNG", "REBUT,a,b,RECIBOS\r\n");
  EXPECT_EQ(app::Translate("REBUT"), "RECIBOS");
  const std::string fresh = dir.Write("LOCALE/new", "REBUT,a,b,RECIBIS\r\n");
  ASSERT_EQ(std::rename(fresh.c_str(), Catalogue().c_str()), 0);
  EXPECT_EQ(app::Translate("REBUT"), "RECIBIS");
  const auto before = std::filesystem::last_write_time(Catalogue());
  dir.Write("LOCALE/RBPNDLST.LNG", "REBUT,a,b,RECIBAS\r\n");
  std::filesystem::last_write_time(Catalogue(), before + std::chrono::seconds(1));
  EXPECT_EQ(app::Translate("REBUT"), "RECIBAS");
  std::filesystem::remove(Catalogue());
  EXPECT_EQ(app::Translate("REBUT"), "REBUT");
  if (!watched) return;

  // Only the kernel tells of a rewrite to the same size whose time is put
  // back (the tests' temporary folders are local).
  ASSERT_TRUE(app::CatalogueState().watch.Active());
  dir.Write("LOCALE/RBPNDLST.LNG", "REBUT,a,b,RECIBES\r\n");
  EXPECT_EQ(app::Translate("REBUT"), "RECIBES");
  const auto read_at = std::filesystem::last_write_time(Catalogue());
  dir.Write("LOCALE/RBPNDLST.LNG", "REBUT,a,b,RECIBUS\r\n");
  std::filesystem::last_write_time(Catalogue(), read_at);
  EXPECT_EQ(app::Translate("REBUT"), "RECIBUS");
}

// Neither a FIFO (which would wait for a writer) nor a file larger than the
// limit is read; texts stay as they are.
TEST_F(CatalogueTest, FifoOrOversizedFileTranslatesNothing) {
  Language("SPA");
  dir.Write("LOCALE/keep", "");
  ASSERT_EQ(mkfifo(Catalogue().c_str(), 0600), 0);
  EXPECT_EQ(app::Translate("REBUT"), "REBUT");
  std::filesystem::remove(Catalogue());
  std::string big = "REBUT,a,b,RECIBO\r\n";
  big.resize(app::kCatalogueLimit + 1, ' ');
  dir.Write("LOCALE/RBPNDLST.LNG", big);
  EXPECT_EQ(app::Translate("REBUT"), "REBUT");
}

}  // namespace
