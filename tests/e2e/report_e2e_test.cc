// The real program in a real terminal: RBPNDLST runs in a detached tmux
// session of 80 x 25 on an installation made by "kelrec demo"; the test
// types the parameters, confirms, lets the real KELPRINT write its PDF (or
// show its preview), and leaves with Esc. It checks the exit code, that the terminal was given back
// (no alternate screen) and that the PDF exists.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/engine_installation.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Runs a shell command and returns its standard output.
std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ReportEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is missing";
    for (const char* prog : {"/RBPNDLST", "/kelrec", "/KELPRINT"})
      if (!fs::exists(std::string(KEL_BIN_DIR) + prog)) GTEST_SKIP() << prog << " not built";
    socket_ = "kel_e2e_" + std::to_string(getpid());
  }
  void TearDown() override {
    if (!socket_.empty()) Tmux("kill-server >/dev/null 2>&1");
  }

  std::string Tmux(const std::string& args) {
    return Output("tmux -L " + socket_ + " " + args);
  }
  std::string Capture() { return Tmux("capture-pane -p -J -t kel"); }
  // The pane with its colours, and the cursor.
  std::string CaptureAll() {
    return Tmux("capture-pane -p -e -t kel") +
           Tmux("display-message -p -t kel '#{cursor_x},#{cursor_y},#{cursor_flag}'");
  }
  void Send(const std::string& keys) { Tmux("send-keys -t kel " + keys); }

  // Polls the pane until it shows the text; false after the time-out.
  bool WaitFor(const std::string& text, int seconds = 15) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (Capture().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  bool WaitForScreen(const std::string& screen, int seconds = 15) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (CaptureAll() == screen) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  bool WaitForFile(const fs::path& p, int seconds = 20) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if (fs::exists(p) && fs::file_size(p) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  bool PdfWritten(const fs::path& dir) {
    if (!fs::exists(dir)) return false;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().extension() == ".pdf" && fs::file_size(e.path()) > 0) return true;
    return false;
  }

  // A demo installation of 12 estates whose terminal works on 7 December
  // 2026 (the parameters start from that date); returns its folder.
  // extra: more arguments for kelrec demo.
  std::string DemoInstallation(const std::string& name = "inst", const std::string& extra = "") {
    const std::string bin = KEL_BIN_DIR;
    const std::string root = dir_.path() + name;
    EXPECT_EQ(std::system((Quote(bin + "/kelrec") + " demo " + Quote(root) +
                           " --estates 12 " + extra + " >/dev/null 2>&1")
                              .c_str()),
              0);
    fs::create_directories(root + "/tmp");
    std::ofstream(root + "/tmp/TavoTerm.ini") << "[Sistema]\r\nData=20261207\r\n";
    return root;
  }
  // A demo installation running and showing form 1; returns its folder.
  std::string StartDemo() {
    const std::string root = DemoInstallation();
    Start(root);
    EXPECT_TRUE(WaitFor("Data inicial")) << Capture();
    return root;
  }
  // Esc on the first field of form 1 ends the program.
  void LeaveFormOne(const std::string& root) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Send("Escape");
    ExpectEnded(root, "0");
  }
  // Confirms form 2 and waits until the print program has written its PDF.
  void ConfirmAndWaitForThePrint(const std::string& root) {
    ASSERT_TRUE(WaitFor("Confirmeu")) << Capture();
    Send("Enter");
    const fs::path listings = fs::path(root) / "LLISTATS";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!PdfWritten(listings) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(PdfWritten(listings)) << Capture();
  }

  // Starts the program in the tmux session on the installation at root; the
  // shell records its exit code in root/rc and then says KEL_DONE.
  void Start(const std::string& root, const std::string& size = "-x 80 -y 25") {
    const std::string bin = KEL_BIN_DIR;
    const std::string program = "KELROOT=" + Quote(root + "/") + " KELEXE=" + Quote(bin + "/") +
                                " KELTMP=" + Quote(root + "/tmp/") +
                                " TERM=xterm-256color " + Quote(bin + "/RBPNDLST") +
                                "; echo $? > " + Quote(root + "/rc") +
                                "; echo KEL_DONE; exec sleep 60";
    Tmux("new-session -d -s kel " + size + " " + Quote("sh -c " + Quote(program)));
  }
  // Waits for the end and checks the exit code and the terminal given back.
  void ExpectEnded(const std::string& root, const std::string& code) {
    ASSERT_TRUE(WaitForFile(fs::path(root) / "rc")) << Capture();
    EXPECT_EQ(ReadFile(fs::path(root) / "rc"), code + "\n");
    ASSERT_TRUE(WaitFor("KEL_DONE")) << Capture();
    EXPECT_EQ(Tmux("display-message -p -t kel '#{alternate_on}'"), "0\n")
        << "the program left the alternate screen";
  }

  // The process id of the running program, a child of the pane's shell; 0
  // when there is none.
  pid_t ProgramPid() {
    std::string shell = Tmux("display-message -p -t kel '#{pane_pid}'");
    shell = shell.substr(0, shell.find('\n'));
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
      // "pid (name) state parent ..."
      const std::string stat = ReadFile(entry.path() / "stat");
      const size_t name_end = stat.rfind(')');
      if (name_end == std::string::npos || stat.find("(RBPNDLST)") == std::string::npos) continue;
      std::istringstream rest(stat.substr(name_end + 1));
      std::string state, parent;
      rest >> state >> parent;
      if (parent == shell) return static_cast<pid_t>(std::stol(entry.path().filename().string()));
    }
    return 0;
  }

  std::string socket_;
  testing_support::TempDir dir_;
};

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
  EXPECT_NE(ReadFile(fs::path(root) / "tmp" / "kelprint.tmp").find("ENTRE 6/9/2026 "),
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
  EXPECT_NE(screen.find("FORMS\\RBPNDLST.KPN:3: expected a whole number, found \"zwei\""),
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
    files[i] = ReadFile(fs::path(roots[i]) / "tmp" / "kelprint.tmp");
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
