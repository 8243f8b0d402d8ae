// The real program in a real terminal: RBPNDLST runs in a detached tmux
// session of 80 x 25 on an installation made by "kelrec demo"; the test
// types the parameters, confirms, lets the real KELPRINT write its PDF (or
// show its preview), and leaves with Esc. It checks the exit code, that the terminal was given back
// (no alternate screen) and that the PDF exists.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/e2e_fixture.h"
#include "tests/support/engine_installation.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Quote;
using testing_support::ReadFileBytes;
using ReportEndToEnd = testing_support::EndToEndTest;

TEST_F(ReportEndToEnd, TypedRunPrintsAndEndsCleanly) {
  const std::string root = StartDemo();
  const std::string form1 = Capture();
  EXPECT_NE(form1.find("Finca final"), std::string::npos);
  EXPECT_NE(form1.find("999"), std::string::npos) << "the default last estate";
  EXPECT_NE(form1.find("Data final   : 7/12/2026"), std::string::npos) << "the work date";

  Send("01012000 Enter");
  Send("31122099 Enter");
  Send("1 Enter");
  Send("5 Enter");
  ConfirmAndWaitForThePrint(root);

  // Form 1 is back with the values as typed; Esc on its first field ends.
  ASSERT_TRUE(WaitFor("31/12/2099")) << Capture();
  LeaveFormOne(root);
  EXPECT_EQ(Capture().find("Data inicial"), std::string::npos) << "the shell's screen is back";
}

TEST_F(ReportEndToEnd, PreviewOnTheScreenPagesAndEscGivesFormOneBack) {
  const std::string root = DemoInstallation();
  std::ofstream(root + "/tmp/TavoTerm.ini")
      << "[Sistema]\r\nData=20261207\r\nSortida=PANTALLA\r\n";
  Start(root);
  ASSERT_TRUE(WaitFor("Data inicial")) << Capture();
  Send("01012000 Enter 31122099 Enter 1 Enter 12 Enter");
  ASSERT_TRUE(WaitFor("Confirmeu")) << Capture();
  Send("Enter");
  ASSERT_TRUE(WaitFor("P\u00E0gina 1 de ")) << Capture();
  EXPECT_NE(Capture().find("RELACI\u00D3 DE PENDENTS DE VERTICAL"), std::string::npos);
  Send("PageDown");
  ASSERT_TRUE(WaitFor("P\u00E0gina 2 de ")) << Capture();
  Send("Escape");
  ASSERT_TRUE(WaitFor("KELPRINT: vista pr\u00E8via de ")) << Capture();
  EXPECT_NE(Capture().find("Finca final  : 12"), std::string::npos) << "form 1 as it was";
  EXPECT_FALSE(fs::exists(fs::path(root) / "LLISTATS")) << "nothing printed";
  LeaveFormOne(root);
}

TEST_F(ReportEndToEnd, F1ShowsTheHelpAndEscGivesTheFormBack) {
  const std::string root = DemoInstallation();
  // The launcher names the menu entry: that is the help's topic.
  std::ofstream(root + "/tmp/Sessio.ini") << "[Menu]\r\nNomMenu=RBPNDLST\r\n";
  Start(root);
  ASSERT_TRUE(WaitFor("Data inicial")) << Capture();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::string form1 = CaptureAll();

  Send("F1");
  ASSERT_TRUE(WaitFor("RELACI\u00D3 DE PENDENTS DE VERTICAL (RBPNDLST)")) << Capture();
  EXPECT_NE(Capture().find("\u2554"), std::string::npos) << "a double frame";
  Send("PageDown");
  ASSERT_TRUE(WaitFor("PRIMER FORMULARI")) << Capture();
  Send("F1");
  ASSERT_TRUE(WaitFor("AJUDA GENERAL")) << Capture();
  Send("Escape");
  ASSERT_TRUE(WaitFor("PRIMER FORMULARI")) << Capture();
  Send("Escape");
  EXPECT_TRUE(WaitForScreen(form1)) << CaptureAll() << "\n---- expected ----\n" << form1;

  Send("Escape");
  ExpectEnded(root, "0");
}

TEST_F(ReportEndToEnd, AltCPicksThePeriodStartThatTheReportUses) {
  const std::string root = StartDemo();

  Send("M-c");
  ASSERT_TRUE(WaitFor("DESEMBRE")) << Capture();
  EXPECT_NE(Capture().find("\u2500 2026 \u2500"), std::string::npos) << "the year in the frame";
  Send("PageUp");  // 7 September
  ASSERT_TRUE(WaitFor("SETEMBRE")) << Capture();
  Send("Left");
  Send("f");  // 6 September 2026
  Send("Enter");
  ASSERT_TRUE(WaitFor("Data inicial : 6/9/2026")) << Capture();
  Send("31122099 Enter");
  Send("1 Enter");
  Send("5 Enter");
  ConfirmAndWaitForThePrint(root);
  EXPECT_NE(ReadFileBytes(fs::path(root) / "tmp" / "kelprint.tmp").find("ENTRE 6/9/2026 "),
            std::string::npos)
      << "the report ran from the picked day";
  LeaveFormOne(root);
}

TEST_F(ReportEndToEnd, AltXTypesASumIntoTheLastEstate) {
  const std::string root = StartDemo();

  Send("01012000 Enter 31122099 Enter 1 Enter");
  Send("M-x");
  Send("0.02+0.01=");
  ASSERT_TRUE(WaitFor("0'01 = \u2502")) << Capture();
  Send("f");  // three hundredths: "3"
  Send("Enter");
  ConfirmAndWaitForThePrint(root);
  EXPECT_NE(Capture().find("Finca final  : 3  "), std::string::npos) << Capture();
  EXPECT_TRUE(fs::exists(fs::path(root) / "tmp" / "KELCALC.TMP"))
      << "kept in the session's folder when TERM names no folder";
  EXPECT_FALSE(fs::exists(fs::path(root) / "KELCALC.TMP")) << "not in the shared installation";
  LeaveFormOne(root);
}

TEST_F(ReportEndToEnd, F4ListsTheEstatesAndEnterPutsTheChosenCodeInTheField) {
  const std::string root = StartDemo();
  Send("Down Down F4");
  ASSERT_TRUE(WaitFor("N\u00FAm  Nom de la finca")) << Capture();
  const std::string list = Capture();
  EXPECT_NE(list.find("001  "), std::string::npos) << list;
  EXPECT_NE(list.find("012  "), std::string::npos) << "all 12 estates" << list;

  Send("Down Enter");
  ASSERT_TRUE(WaitFor("Finca inicial: 002")) << Capture();
  EXPECT_FALSE(fs::exists(root + "/tmp/Browse.tmp")) << "the list file goes with the list";
  Send("Escape");  // from the last estate back to the first field
  ASSERT_TRUE(WaitFor("Finca final  : 999")) << Capture();
  Send("Escape");
  ExpectEnded(root, "0");
}

TEST_F(ReportEndToEnd, MalformedFormFileStopsWithItsFileAndLine) {
  const std::string root = dir_.path() + "inst";
  fs::create_directories(root + "/tmp");
  fs::create_directories(root + "/FORMS");
  std::ofstream(root + "/FORMS/RBPNDLST.KPN") << "' header\r\n2,4\r\n\"1b,d\",zwei,0,0,0,0,0\r\n";
  Start(root);
  ExpectEnded(root, "1");
  const std::string screen = Capture();
  EXPECT_NE(screen.find("FORMS\\RBPNDLST.KPN:3: S'ESPERAVA UN NOMBRE ENTER I HI HA \"zwei\""),
            std::string::npos)
      << screen;
}

TEST_F(ReportEndToEnd, RecordFileThatCannotBeMadeEndsAfterTheMessage) {
  // Forms but no creation dictionaries: the owners file can be neither opened
  // nor created.
  const std::string root = dir_.path() + "inst";
  fs::create_directories(root + "/tmp");
  fs::create_directories(root + "/DADES");
  fs::copy(std::string(KEL_SOURCE_DIR) + "/install/FORMS", root + "/FORMS");
  std::ofstream(root + "/tmp/TavoTerm.ini") << "[Sistema]\r\nIdioma=GLG\r\n";
  Start(root);
  ASSERT_TRUE(WaitFor("NOM SE PODE ACEDER AO FICHEIRO")) << Capture();
  const std::string screen = Capture();
  EXPECT_NE(screen.find("DADES\\PropietV ("), std::string::npos) << screen;
  EXPECT_NE(screen.find("\u250C"), std::string::npos) << "a framed message: " << screen;
  Send("x");
  ExpectEnded(root, "0");
}

// The same demo data in SQLite files and on the test server (KEL_TEST_PG)
// print the same work file, byte for byte.
TEST_F(ReportEndToEnd, BothEnginesWriteTheSameWorkFile) {
  const std::string uri = testing_support::TestServerUri();
  if (uri.empty()) GTEST_SKIP() << "KEL_TEST_PG is not set: no test server";
  const std::string schema = "e2e" + std::to_string(getpid());
  std::string files[2];
  const std::string roots[2] = {
      DemoInstallation("local"),
      DemoInstallation("server", "--db " + Quote(uri) + " --schema " + schema)};
  for (int i = 0; i < 2; ++i) {
    Start(roots[i]);
    ASSERT_TRUE(WaitFor("Data inicial")) << Capture();
    Send("01012025 Enter 31122026 Enter 1 Enter 12 Enter");
    ConfirmAndWaitForThePrint(roots[i]);
    LeaveFormOne(roots[i]);
    Tmux("kill-session -t kel");
    files[i] = ReadFileBytes(fs::path(roots[i]) / "tmp" / "kelprint.tmp");
  }
  testing_support::ServerCommand("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
  EXPECT_NE(files[0].find("TOTAL GENERAL"), std::string::npos) << "a report with rows";
  EXPECT_TRUE(files[0] == files[1]) << "the work files differ";
}

TEST_F(ReportEndToEnd, HangUpEndsTheProgramInOrderWhateverItIsDoing) {
  const std::string root = StartDemo();
  Send("M-c");
  ASSERT_TRUE(WaitFor("DESEMBRE")) << Capture();
  const pid_t pid = ProgramPid();
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, SIGHUP), 0);
  ExpectEnded(root, "129");
}

TEST_F(ReportEndToEnd, MissingTemporaryFolderIsToldOnceAndFormsKeepTheirFrames) {
  const std::string root = DemoInstallation();
  fs::remove_all(root + "/tmp");
  Start(root);
  ASSERT_TRUE(WaitFor("NO ES POT ESCRIURE A LA CARPETA TEMPORAL " + root + "/tmp/")) << Capture();
  Send("Space");
  ASSERT_TRUE(WaitFor("Data inicial")) << Capture();
  const std::string form1 = Capture();
  EXPECT_NE(form1.find("\u2554"), std::string::npos) << "the form's frame: " << form1;
  EXPECT_NE(form1.find("Finca final  : 999"), std::string::npos) << "values by their labels";
  Send("Escape");
  ExpectEnded(root, "0");
}

TEST_F(ReportEndToEnd, SmallWindowNoticeSpeaksTheSessionLanguage) {
  const std::string root = DemoInstallation();
  std::ofstream(root + "/tmp/TavoTerm.ini") << "[Sistema]\r\nData=20261207\r\nIdioma=SPA\r\n";
  Start(root, "-x 70 -y 20");
  ASSERT_TRUE(WaitFor("Hace falta una ventana de 80 x 25 como m\u00EDnimo")) << Capture();
  EXPECT_EQ(Capture().find("The window must"), std::string::npos);
  Send("Escape");
  ExpectEnded(root, "0");
}

}  // namespace
