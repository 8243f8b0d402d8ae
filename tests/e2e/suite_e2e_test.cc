// The real programs end to end, as an operator meets them: a whole report in
// each of the four languages, a run that selects nothing, inverted ranges, a
// record file missing (made from its dictionary) or missing with its
// dictionary (the fatal message), and a record file another program holds
// alone. Every ending gives the terminal back.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>

#include "store/btrcall.h"
#include "tests/support/e2e_fixture.h"
#include "tests/support/engine_client.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using SuiteEndToEnd = testing_support::EndToEndTest;

// What the screens and the work file say in one language (work file texts
// in code page 850).
struct Language {
  const char* code;
  const char* form_title;
  const char* first_label;
  const char* confirm;
  const char* page_word;
  const char* heading;  // one that no other language prints
};

void PrintTo(const Language& l, std::ostream* os) { *os << l.code; }

class LanguageEndToEnd : public testing_support::EndToEndTest,
                         public ::testing::WithParamInterface<Language> {};

TEST_P(LanguageEndToEnd, WholeReportInTheSessionLanguage) {
  const Language& l = GetParam();
  const std::string root = DemoInstallation();
  std::ofstream(root + "/tmp/TavoTerm.ini")
      << "[Sistema]\r\nData=20261207\r\nIdioma=" << l.code << "\r\n";
  Start(root);
  ASSERT_TRUE(WaitFor(l.first_label)) << Capture();
  EXPECT_NE(Capture().find(l.form_title), std::string::npos) << Capture();
  Send("01012000 Enter 31122099 Enter 1 Enter 12 Enter");
  ASSERT_TRUE(WaitFor(l.confirm)) << Capture();
  Send("Enter");
  const fs::path listings = fs::path(root) / "LLISTATS";
  for (int i = 0; i < 300 && !PdfWritten(listings); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(PdfWritten(listings)) << Capture();
  const std::string work = ReadFileBytes(root + "/tmp/kelprint.tmp");
  EXPECT_NE(work.find(l.page_word), std::string::npos) << l.code;
  EXPECT_NE(work.find(l.heading), std::string::npos) << l.code;
  LeaveFormOne(root);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LanguageEndToEnd,
    ::testing::Values(
        Language{"CAT", "PARÀMETRES DEL LLISTAT", "Data inicial : ", "Confirmeu el llistat",
                 "P\xB7GINA ", "RELACI\xE0 DE PENDENTS"},
        Language{"SPA", "PARÁMETROS DEL LISTADO", "Fecha inicial: ", "Confirme el listado",
                 "P\xB5GINA ", "RELACI\xE0N DE PENDIENTES"},
        Language{"GLG", "PARÁMETROS DA LISTAXE", "Data inicial : ", "Confirme a listaxe",
                 "P\xB5XINA ", "TOTAL XERAL"},
        Language{"OCI", "PARAMÈTRES DETH LISTAT", "Data iniciau : ", "Confirmar eth listat",
                 "PAGINA ", "TOTAL GENERAU"}),
    [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.code); });

TEST_F(SuiteEndToEnd, RunThatSelectsNothingPrintsNoPage) {
  const std::string root = StartDemo();
  Send("01011990 Enter 31121990 Enter 1 Enter 999 Enter");
  ASSERT_TRUE(WaitFor("Confirmeu")) << Capture();
  Send("Enter");
  ASSERT_TRUE(WaitFor("no té cap pàgina")) << Capture();
  EXPECT_EQ(ReadFileBytes(root + "/tmp/kelprint.tmp"), "DEVICE\r\n");
  EXPECT_FALSE(PdfWritten(fs::path(root) / "LLISTATS"));
  LeaveFormOne(root);
}

TEST_F(SuiteEndToEnd, InvertedRangesKeepTheOperatorInFormOne) {
  const std::string root = StartDemo();
  Send("31122026 Enter 01012026 Enter 1 Enter 999 Enter");
  Send("01012026 Enter 31122026 Enter 9 Enter 2 Enter");
  ASSERT_TRUE(WaitFor("Finca final  : 2")) << Capture();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(Capture().find("Confirmeu"), std::string::npos) << Capture();
  Send("Escape");  // both refusals left the cursor on the first field
  ExpectEnded(root, "0");
  EXPECT_FALSE(fs::exists(root + "/tmp/kelprint.tmp"));
}

TEST_F(SuiteEndToEnd, MissingRecordFileIsMadeAndWithoutItsDictionaryEndsTheProgram) {
  const std::string root = DemoInstallation();
  fs::remove(root + "/DADES/DepartaV.dat");
  Start(root);
  ASSERT_TRUE(WaitFor("Data inicial")) << Capture();
  EXPECT_TRUE(fs::exists(root + "/DADES/DepartaV.dat"));
  LeaveFormOne(root);

  Tmux("kill-session -t kel");
  fs::remove(root + "/rc");
  fs::remove(root + "/DADES/CobramV.dat");
  fs::remove(root + "/ddf/CobramV.xdf");
  Start(root);
  ASSERT_TRUE(WaitFor("NO ES POT ACCEDIR AL FITXER")) << Capture();
  EXPECT_NE(Capture().find("DADES\\CobramV ("), std::string::npos) << Capture();
  Send("x");
  ExpectEnded(root, "0");
}

TEST_F(SuiteEndToEnd, RecordFileHeldAloneByAnotherProgramIsWaitedFor) {
  const std::string root = DemoInstallation();
  testing_support::EngineFile holder;
  ASSERT_EQ(holder.Open(root + "/DADES/CobramV.dat", store::kOpenExclusive), store::kStOk);
  Start(root);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_GT(ProgramPid(), 0);
  EXPECT_EQ(Capture().find("Data inicial"), std::string::npos) << "the open waits";
  holder.Close();
  ASSERT_TRUE(WaitFor("Data inicial", 10)) << Capture();
  LeaveFormOne(root);
}

}  // namespace
