// The preview of KELPRINT on the headless terminal (keys in, cells out), the
// page marks it finds pages by, and its place in the print program's run.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <algorithm>
#include <string>

#include "platform/ascii.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/work_files.h"
#include "tools/kelprint/kelprint.h"
#include "tools/kelprint/page_index.h"
#include "tools/kelprint/preview.h"
#include "tools/kelprint/render.h"
#include "tools/kelprint/work_file.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RealisticWorkFile;

// Screen attributes of the default colour table.
constexpr uint8_t kPlain = 0x07;
constexpr uint8_t kHighlit = 0x0F;  // emphasised cells
constexpr uint8_t kFound = 0x70;    // a found text

class PreviewTest : public testing_support::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    request_.work_file = dir().path() + "kelprint.tmp";
    request_.listing_dir = dir().path() + "LLISTATS";
    request_.program = "RBPNDLST";
    request_.search_path = dir().path() + "bin";  // no lp there
  }

  // Opens the preview on a work file and draws it.
  bool Open(const std::string& work) {
    dir().Write("kelprint.tmp", work);
    preview_ = std::make_unique<tools::Preview>(request_);
    if (!preview_->Open(refused_)) return false;
    preview_->Draw();
    return true;
  }
  // A key as the operator presses it; text typed first goes to a prompt.
  void Press(int16_t key, const std::string& typed = "") {
    for (char c : typed) term().PushKey(static_cast<uint8_t>(c));
    if (!typed.empty()) term().PushKey(ui::kKeyEnter);
    ASSERT_TRUE(preview_->Key(key));
    preview_->Draw();
  }
  static std::string Row(int row) { return ScreenAt(row, 1, platform::ConsoleCols()); }
  static std::string Status() { return Row(platform::ConsoleRows()); }
  // The screen row showing text, 0 when none does.
  static int RowOf(const std::string& text) {
    for (int r = 1; r < platform::ConsoleRows(); ++r)
      if (Row(r).find(text) != std::string::npos) return r;
    return 0;
  }
  std::vector<std::string> Listings() const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(request_.listing_dir, ec))
      files.push_back(e.path().string());
    return files;
  }

  tools::KelprintRequest request_;
  std::unique_ptr<tools::Preview> preview_;
  tools::KelprintResult refused_;
};

TEST_F(PreviewTest, PagesLinesAndTheStatusLineInTheSessionLanguage) {
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA")));
  EXPECT_EQ(Row(1).substr(0, 34), "ADMINISTRACI\xE0 DE FINQUES SERRA, SL");
  EXPECT_EQ(AttrAt(1, 1), kHighlit);
  EXPECT_EQ(ScreenAt(5, 1, 5), "REBUT");
  EXPECT_EQ(AttrAt(5, 1), kPlain);
  EXPECT_EQ(Status().substr(0, 25), " P\x85gina 1 de 3  F1 ajuda ");

  Press(ui::kKeyPgDn);
  EXPECT_NE(Status().find("gina 2 de 3"), std::string::npos);
  Press(ui::kKeyEnd);
  EXPECT_NE(Status().find("gina 3 de 3"), std::string::npos);
  Press(ui::kKeyPgDn);  // nothing past the last page
  EXPECT_NE(Status().find("gina 3 de 3"), std::string::npos);
  Press(ui::kKeyHome);
  EXPECT_NE(Status().find("gina 1 de 3"), std::string::npos);

  // Down scrolls the page, and goes on into the next one at its end.
  const std::string second = Row(2);
  Press(ui::kKeyDown);
  EXPECT_EQ(Row(1), second);
  for (int i = 0; i < 36; ++i) Press(ui::kKeyDown);  // 60 lines, 24 shown
  EXPECT_EQ(preview_->page(), 1);
  EXPECT_EQ(preview_->top(), 0);
  Press(ui::kKeyUp);  // back to the previous page's last lines
  EXPECT_EQ(preview_->page(), 0);
  EXPECT_EQ(preview_->top(), 60 - 24);

  // A larger window shows more of the page; the status line stays last.
  term().SetSize(30, 100);
  EXPECT_EQ(preview_->NextKey(), 0);
  preview_->Draw();
  EXPECT_EQ(Row(30).substr(0, 14), " P\x85gina 1 de 3");

  config::SettingsState().language = "SPA";
  Press(0);
  EXPECT_EQ(Status().substr(0, 25), " P\xA0gina 1 de 3  F1 ayuda ");
}

TEST_F(PreviewTest, SidewaysOverTheBodyWithTheHeadingAboveIt) {
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA")));
  Press(ui::kKeyRight);
  EXPECT_EQ(preview_->left(), 8);
  EXPECT_EQ(ScreenAt(5, 3, 7), "DEPART.");  // page column 11
  Press(ui::kKeyCtrlRight);
  // The widest line is the 135-column rule: its end is the screen's.
  EXPECT_EQ(preview_->left(), 135 - 80);
  EXPECT_EQ(ScreenAt(5, 113 - 55 - 5, 6), "TORNAT");
  // The page number in normal pitch ends where the body ends.
  EXPECT_EQ(ScreenAt(1, 80, 1), "1");
  EXPECT_EQ(ScreenAt(6, 80, 1), "-");
  Press(ui::kKeyCtrlLeft);
  EXPECT_EQ(preview_->left(), 0);
}

TEST_F(PreviewTest, ScreenColumnsOfTheTwoPitches) {
  tools::PrintDocument doc;
  tools::ParseError error;
  ASSERT_TRUE(tools::ParseWorkFile(RealisticWorkFile(""), doc, error));
  const tools::LaidPage page = tools::LayOutPage(doc.pages[0]);
  const int units = tools::ColumnUnits(page);
  ASSERT_EQ(units, tools::kCondensedCellUnits);
  // Condensed text keeps its columns: TORNAT's heading at column 105.
  const tools::ShownLine headings = tools::ShowLine(page.lines[4], units);
  EXPECT_EQ(headings.column[107], 107);
  // The title, in normal pitch, is centred over the 135 body columns.
  const tools::ShownLine title = tools::ShowLine(page.lines[2], units);
  size_t first = 0;
  while (title.cells[first].ch == ' ') ++first;
  const size_t middle = (first + title.cells.size() - 1) / 2;
  EXPECT_NEAR(static_cast<double>(middle), 67.0, 3.0);
  // A page in normal pitch alone: one normal cell a column.
  tools::PrintDocument plain;
  ASSERT_TRUE(tools::ParseWorkFile("DEVICE\r\nPAGE 66 \r\n 40 ,X Y, 0 \r\n", plain, error));
  const tools::LaidPage normal = tools::LayOutPage(plain.pages[0]);
  EXPECT_EQ(tools::ColumnUnits(normal), tools::kNormalCellUnits);
  EXPECT_EQ(tools::ShowLine(normal.lines[0], tools::kNormalCellUnits).column[39], 39);
}

TEST_F(PreviewTest, GoToAPageByNumber) {
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA")));
  Press('g', "3");
  EXPECT_EQ(preview_->page(), 2);
  Press('G', "9");
  EXPECT_EQ(preview_->page(), 2);
  EXPECT_NE(Status().find("La p\x85gina ha de ser entre 1 i 3"), std::string::npos) << Status();
  Press('G', "x1");
  EXPECT_EQ(preview_->page(), 2);
}

TEST_F(PreviewTest, SearchFoldsAccentsAndCaseAndGoesOn) {
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA")));
  Press('f', "l'esglesia");
  int row = RowOf("PL. DE L'ESGL\x90SIA");
  ASSERT_GT(row, 0);
  const int col = static_cast<int>(Row(row).find("L'ESGL")) + 1;
  EXPECT_EQ(AttrAt(row, col), kFound);
  EXPECT_EQ(AttrAt(row, col + 9), kFound);
  EXPECT_EQ(AttrAt(row, col + 10), kPlain);  // the comma after it
  Press('n');
  EXPECT_NE(Status().find("No s'ha trobat \xAEl'esglesia\xAF"), std::string::npos) << Status();

  // Every "NÚRIA" in turn, on to the next pages.
  Press(ui::kKeyHome);
  Press('F', "nuria");
  EXPECT_EQ(preview_->page(), 0);
  Press('N');
  EXPECT_EQ(preview_->page(), 0);
  Press(ui::kKeyF3);
  EXPECT_EQ(preview_->page(), 1);
  EXPECT_GT(RowOf("N\xE9RIA CASALS"), 0);
  Press('N');
  EXPECT_EQ(preview_->page(), 2);
}

TEST_F(PreviewTest, TotalKeyFindsTheGrandTotal) {
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA")));
  Press('t');
  EXPECT_EQ(preview_->page(), 2);
  const int row = RowOf("TOTAL GENERAL");
  ASSERT_GT(row, 0);
  const int col = static_cast<int>(Row(row).find("TOTAL GENERAL")) + 1;
  EXPECT_EQ(AttrAt(row, col), kFound);
  EXPECT_EQ(AttrAt(row, col + 12), kFound);
  EXPECT_EQ(AttrAt(row, col + 13), kPlain);
}

TEST_F(PreviewTest, PrintAndExportFromThePreview) {
  request_.printer = "txt";
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA")));
  Press('i');
  ASSERT_EQ(Listings().size(), 1u);
  EXPECT_EQ(Listings()[0].substr(Listings()[0].size() - 4), ".txt");
  EXPECT_NE(Status().find("KELPRINT: 3 p\x85gines"), std::string::npos) << Status();
  EXPECT_NE(Status().find(".txt"), std::string::npos) << Status();
  tools::KelprintResult printed = preview_->Close();
  EXPECT_EQ(printed.exit_code, 0);
  EXPECT_EQ(printed.message, "KELPRINT: 3 pàgines a " + tools::AbsolutePath(Listings()[0]));

  // The spreadsheet is a file device, never a print queue.
  dir().Write("bin/lp", "#!/bin/sh\ntouch " + dir().path() + "lp-ran\n");
  fs::permissions(dir().path() + "bin/lp", fs::perms::owner_all);
  Press('X');
  EXPECT_FALSE(fs::exists(dir().path() + "lp-ran"));
  const std::vector<std::string> made = Listings();
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(std::count_if(made.begin(), made.end(),
                          [](const std::string& f) { return f.ends_with(".xlsx"); }),
            1);
  const tools::KelprintResult both = preview_->Close();
  EXPECT_EQ(both.message.rfind(printed.message + "\nKELPRINT: ", 0), 0u) << both.message;
  EXPECT_NE(platform::UpperAscii(both.message).find("XLSX"), std::string::npos) << both.message;

  // Printing to the preview itself makes a PDF.
  request_.printer = "PANTALLA";
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA")));
  Press('I');
  EXPECT_NE(Status().find(".pdf"), std::string::npos) << Status();
}

TEST_F(PreviewTest, AListingLargerThanACountingStepOpensBeforeItIsCounted) {
  constexpr int kPages = 120000;  // some 3 MB
  std::string work = "DEVICEPANTALLA\r\n";
  for (int p = 1; p <= kPages; ++p) work += "PAGE 1 \r\n 1 ,P" + std::to_string(p) + ", 1 \r\n";
  ASSERT_TRUE(Open(work));
  EXPECT_EQ(Row(1).substr(0, 3), "P1 ");
  EXPECT_EQ(Status().find(" de 120000 "), std::string::npos);
  EXPECT_NE(Status().find("..."), std::string::npos) << Status();
  Press(ui::kKeyEnd);
  EXPECT_EQ(Row(1).substr(0, 8), "P120000 ");
  EXPECT_NE(Status().find(" de 120000 "), std::string::npos) << Status();
}

TEST_F(PreviewTest, FaultyOrEmptyWorkFiles) {
  EXPECT_FALSE(Open("DEVICEPANTALLA\r\nPAGE 66 \r\n 1 ,A, x \r\n"));
  EXPECT_EQ(refused_.exit_code, 1);
  EXPECT_EQ(refused_.message, "KELPRINT: " + request_.work_file + ":3: avanç il·legible \" x \"");
  EXPECT_FALSE(Open("DEVICEPANTALLA\r\n"));
  EXPECT_EQ(refused_.exit_code, 0);
  EXPECT_NE(refused_.message.find("no té cap pàgina"), std::string::npos);
  fs::remove(request_.work_file);
  preview_ = std::make_unique<tools::Preview>(request_);
  EXPECT_FALSE(preview_->Open(refused_));
  EXPECT_NE(refused_.message.find("no existeix"), std::string::npos);

  // A fault further on: the pages before it are shown, the fault is told.
  ASSERT_TRUE(Open(RealisticWorkFile("PANTALLA") + "HELLO\r\n"));
  Press(ui::kKeyEnd);
  EXPECT_NE(Status().find("desconegut"), std::string::npos) << Status();
  const tools::KelprintResult result = preview_->Close();
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.message.find("registre desconegut \"HELLO\""), std::string::npos);
}

TEST_F(PreviewTest, PagesFoundByTheirMarksAreThePagesOfTheWholeReading) {
  const std::string cases[] = {
      RealisticWorkFile(""),
      // Lines past a page's end, blank pages, a last record without CR LF.
      "DEVICE\r\nPAGE 4 \r\n 1 ,A, 4 \r\nPAGE 4 \r\n*q\r\nJUSD\r\n 1 ,B, 6 \r\n 1 ,C, 0 \r\n"
      " 0 ,, 8 \r\n 2 ,D  , 11 \r\nJUSE\r\n*@e\r\n 3 ,E, 0 \r\nPAGE 2 \r\n 1 ,F, 0",
  };
  for (const std::string& work : cases) {
    tools::PrintDocument whole;
    tools::ParseError error;
    ASSERT_TRUE(tools::ParseWorkFile(work, whole, error));
    dir().Write("kelprint.tmp", work);
    tools::PageIndex index;
    std::string why;
    ASSERT_TRUE(index.Open(request_.work_file, why)) << why;
    while (index.Advance(64)) {
    }
    ASSERT_EQ(index.pages(), static_cast<int64_t>(whole.pages.size()));
    for (int64_t k = index.pages() - 1; k >= 0; --k) {
      const tools::LaidPage* page = index.Page(k, error);
      ASSERT_NE(page, nullptr) << error.message;
      EXPECT_EQ(tools::RenderText({*page}),
                tools::RenderText({tools::LayOutPage(whole.pages[static_cast<size_t>(k)])}))
          << "page " << k;
    }
  }
}

TEST_F(PreviewTest, TheDeviceRecordChoosesThePreview) {
  dir().Write("kelprint.tmp", RealisticWorkFile(" pantalla"));
  const tools::KelprintResult shown = tools::RunKelprint(request_);  // Esc when keys run dry
  EXPECT_EQ(shown.exit_code, 0);
  EXPECT_EQ(shown.message, "KELPRINT: vista prèvia de 3 pàgines");
  EXPECT_TRUE(Listings().empty());
  // Without a terminal the listing is kept as a PDF instead.
  request_.take_terminal = [] { return false; };
  const tools::KelprintResult kept = tools::RunKelprint(request_);
  EXPECT_EQ(kept.exit_code, 0);
  ASSERT_EQ(Listings().size(), 1u);
  EXPECT_EQ(kept.message, "KELPRINT: 3 pàgines a " + tools::AbsolutePath(Listings()[0]) +
                              " (no hi ha cap terminal per a la vista prèvia)");
}

}  // namespace
