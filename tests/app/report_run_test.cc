// One whole report run as the operator makes it: the module's own form file,
// record files in a temporary installation, parameters typed on form 1,
// confirmed on form 2, the work file handed to a stand-in print program, and
// form 1 again until Esc.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "store/btrcall.h"
#include "tests/support/engine_client.h"
#include "tests/support/installation_fixture.h"
#include "tests/support/report_lines.h"

namespace {

class ReportRunTest : public testing_support::InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    dir().Write("Tavo.ini", "[Usuari]\r\nNomEmpresa=FINQUES PROVA, SL\r\n");
    // The stand-in print program keeps what it was given.
    const std::string stub = dir().Write(
        "bin/KELPRINT", "#!/bin/sh\ncp '" + dir().path() + "kelprint.tmp' '" + dir().path() +
                            "printed.tmp'\necho run >> '" + dir().path() + "runs'\n");
    chmod(stub.c_str(), 0755);
    config::PathsState().exe_dir = dir().path() + "bin/";

    Estate(3, "PL. INDEPENDENCIA 4");
    Unit(3, 1, "MARIA PUIG", "1r 1a", "972000111");
    Receipt(3, 1, "20260301", 12345, 'P');
    Receipt(3, 1, "20260401", 20000, 'D');
    Receipt(3, 1, "20260501", 999, 'C');   // collected: not listed
    Receipt(3, 1, "20250501", 777, 'P');   // before the period
    Estate(9, "C. NOU 9");                  // outside the estate range
    Unit(9, 1, "JOAN RIU", "Local", "");
    Receipt(9, 1, "20260301", 5000, 'P');
  }
};

constexpr int16_t kEnter = 13, kEsc = 27;

TEST_F(ReportRunTest, TypedParametersGiveOneReportAndFormOneReturns) {
  EXPECT_EQ(Value(1), "071226    ") << "form 1 starts from the work date";
  EXPECT_EQ(Value(2), "071226    ");
  EXPECT_EQ(Value(3), "1  ");
  EXPECT_EQ(Value(4), "999");
  term().PushText("01012026");
  Keys({kEnter});
  term().PushText("31122026");
  Keys({kEnter});
  term().PushText("3");
  Keys({kEnter});
  term().PushText("5");
  Keys({kEnter});  // leaving form 1: the confirmation form
  Keys({kEnter});  // the choice field offers "S"
  Keys({kEsc});    // form 1 again: Esc leaves the run
  app::RunReport();

  EXPECT_EQ(term().DryEscapes(), 0) << "the run ended on the scripted keys";
  EXPECT_EQ(Value(1), "01012026  ");
  EXPECT_EQ(Value(4), "5  ");
  EXPECT_EQ(dir().Read("runs"), "run\n") << "the print program ran once";
  const std::string work = dir().Read("printed.tmp");
  EXPECT_EQ(work.rfind("DEVICE", 0), 0u) << work;
  EXPECT_NE(work.find("RELACI\xE0 DE PENDENTS DE VERTICAL EXISTENTS ENTRE 1/1/2026"),
            std::string::npos)
      << work;
  EXPECT_NE(work.find("003001V"), std::string::npos) << work;
  EXPECT_NE(work.find("MARIA PUIG"), std::string::npos);
  EXPECT_NE(work.find(" 96 ,   123'45"), std::string::npos) << "pending column";
  EXPECT_NE(work.find(" 105 ,   200'00"), std::string::npos) << "returned column";
  EXPECT_NE(work.find(testing_support::GrandTotalLines("123'45", "200'00")), std::string::npos)
      << work;
  EXPECT_NE(work.find(" 74 ,1/3/2026  "), std::string::npos) << work;
  EXPECT_NE(work.find(" 74 ,1/4/2026  "), std::string::npos) << work;
  EXPECT_EQ(work.find("1/5/20"), std::string::npos) << "a collected receipt is not listed";
  EXPECT_EQ(work.find("JOAN RIU"), std::string::npos) << "estate 9 is outside the range";
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
}

TEST_F(ReportRunTest, EscOnTheConfirmationReturnsToFormOneWithoutPrinting) {
  Keys({kEnter, kEnter, kEnter, kEnter});  // the defaults: work date, 1 to 999
  Keys({kEsc});                            // the confirmation refused
  Keys({kEsc});                            // form 1, field 1: leave
  app::RunReport();
  EXPECT_EQ(term().DryEscapes(), 0);
  EXPECT_FALSE(platform::FileExists(dir().path() + "runs"));
}

// Other sessions go on writing while the print program runs: the module
// holds no read snapshot meanwhile, so the log can be checkpointed whole.
TEST_F(ReportRunTest, NoReadSnapshotIsHeldWhileThePrintProgramRuns) {
  const std::string stub =
      dir().Write("bin/KELPRINT", "#!/bin/sh\nsqlite3 '" + dir().path() +
                                      "DADES/CobramV.dat' 'PRAGMA wal_checkpoint(TRUNCATE);' > '" +
                                      dir().path() + "checkpoint'\n");
  chmod(stub.c_str(), 0755);
  term().PushText("01012026");
  Keys({kEnter, kEnter, kEnter, kEnter});
  Keys({kEnter});  // "S"
  Keys({kEsc});
  app::RunReport();
  EXPECT_EQ(dir().Read("checkpoint").substr(0, 2), "0|") << "busy, log, checkpointed";
}

TEST_F(ReportRunTest, InvertedRangeKeepsTheOperatorInFormOne) {
  Keys({0x5000, 0x5000});  // to field 3
  term().PushText("9");
  Keys({kEnter});
  term().PushText("2");
  Keys({kEnter});  // 9 > 2: refused silently, back on field 1
  Keys({kEsc});
  app::RunReport();
  EXPECT_EQ(term().DryEscapes(), 0);
  EXPECT_EQ(Value(3), "9  ");
  EXPECT_FALSE(platform::FileExists(dir().path() + "runs"));
}

TEST_F(ReportRunTest, BadDateIsRefusedWithABeep) {
  term().PushText("31022026");
  Keys({kEnter});  // refused: still field 1
  Keys({kEsc, kEsc});
  app::RunReport();
  EXPECT_EQ(term().Beeps(), 1);
  EXPECT_EQ(Value(1), "071226    ");
}

// Random bytes over the middle of the receipts file, as a damaged disk or
// a careless copy leaves it: the operator is told which file, and the
// shortened listing is neither printed nor left to print.
TEST_F(ReportRunTest, DamagedRecordFileIsToldAndNothingIsPrinted) {
  // Enough receipts for the file to span many pages, all of them listed.
  ASSERT_EQ(testing_support::SimpleCall(store::kOpBeginTransaction), 0);
  for (int unit = 2; unit <= 31; ++unit) {
    Unit(3, unit, "HOLDER", "2n", "");
    for (int month = 0; month < 50; ++month)
      Receipt(3, unit, std::to_string(2020 + month / 12) + (month % 12 < 9 ? "0" : "") +
                           std::to_string(month % 12 + 1) + "01",
              1000, 'P');
  }
  ASSERT_EQ(testing_support::SimpleCall(store::kOpEndTransaction), 0);
  int16_t status = 0;
  store::CloseAllRecordFiles(status);
  {
    platform::File file;
    ASSERT_TRUE(file.Open(dir().path() + "DADES/CobramV.dat", platform::File::Mode::kReadWrite));
    const int64_t size = file.Length();
    std::mt19937 random(1);
    std::string noise(static_cast<size_t>(size / 2), '\0');
    for (char& c : noise) c = static_cast<char>(random());
    ASSERT_TRUE(file.WriteAt(size / 4, noise.data(), noise.size()));
  }
  app::OpenReportFiles();
  std::vector<std::string> notices;
  app::PrintFileState().notice = [&](const std::string& text) { notices.push_back(text); };

  term().PushText("01012020");
  Keys({kEnter});
  term().PushText("31122026");
  Keys({kEnter, kEnter, kEnter, kEnter, kEsc});
  app::RunReport();

  EXPECT_EQ(term().DryEscapes(), 0);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "NO ES POT LLEGIR EL FITXER DADES\\CobramV (2): EL LLISTAT NO S'IMPRIMEIX");
  EXPECT_FALSE(platform::FileExists(dir().path() + "runs")) << "the print program never ran";
  EXPECT_EQ(dir().Read("kelprint.tmp"), "") << "nothing left that could print as whole";
}

// A form 1 with nothing to edit would close as soon as it is shown, and the
// report would run again and again without the operator getting a key in.
class ParameterFormTest : public testing_support::UiTest {};

TEST_F(ParameterFormTest, FormWithoutAnEditableFieldOrAWayOutIsRefused) {
  const std::string header = "\"d,1b\",2,0,3,10,12,60\r\n";
  const std::string cut = dir().Write("FORMS/CUT.KPN", "2,4\r\n" + header);
  const std::string shown = dir().Write(
      "FORMS/SHOWN.KPN", "1,4\r\n" + header + "1,2,\"Data: \",8,0,2,4,1,0,\"\"\r\n" +
                             "2,2,\"Data: \",8,0,2,4,1,0,\"\"\r\n0\r\n");
  const std::string none = dir().Write("FORMS/NONE.KPN", "0,0\r\n0\r\n");
  for (const std::string& path : {cut, shown, none}) {
    ASSERT_TRUE(app::LoadFormFile(path).ok) << path;
    app::FormFileResult r = app::PrepareParameterForm(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, path + ": EL FORMULARI 1 NO T\x90 CAP CAMP QUE ES PUGUI EDITAR");
  }

  // Exit keys that give neither Esc nor Up: nothing would ever let the
  // operator (or a hung-up terminal) out of the form.
  const std::string field = "1,2,\"Data: \",8,0,0,0,1,0,\"\"\r\n0\r\n";
  config::SettingsState().language = "GLG";
  for (const char* keys : {"d,1b=0d,5000", "", "d,=1b"}) {
    const std::string path = dir().Write(
        "FORMS/SHUT.KPN", "1,1\r\n\"" + std::string(keys) + "\",1,0,3,10,12,60\r\n" + field);
    ASSERT_TRUE(app::LoadFormFile(path).ok);
    EXPECT_EQ(app::PrepareParameterForm(path).message,
              path + ": O FORMULARIO 1 NOM SE PODE DEIXAR: AS TECLAS DE SA\xD6" "DA NOM INCLUEM ESC")
        << keys;
  }
  for (const char* keys : {"d,1b", "4800,5000", "0d=1b"}) {
    const std::string path = dir().Write(
        "FORMS/OPEN.KPN", "1,1\r\n\"" + std::string(keys) + "\",1,0,3,10,12,60\r\n" + field);
    ASSERT_TRUE(app::LoadFormFile(path).ok);
    EXPECT_TRUE(app::PrepareParameterForm(path).ok) << keys;
  }
}

}  // namespace
