// The real programs in a real terminal: RBPNDLST runs in a detached tmux
// session of its own (a private socket per test) on an installation
// made by "kelrec demo"; the test types keys, reads the pane, and checks how
// the program ended and that the terminal was given back. Header only, for
// the end-to-end test programs.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"

namespace testing_support {

namespace fs = std::filesystem;

// Runs a shell command and returns its standard output.
inline std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// The text as one word for sh.
inline std::string Quote(const std::string& s) {
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

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is missing";
    for (const char* prog : {"/RBPNDLST", "/kelrec", "/KELPRINT"})
      if (!fs::exists(std::string(KEL_BIN_DIR) + prog)) GTEST_SKIP() << prog << " not built";
    // Process ids come round again on a busy machine: the clock keeps the
    // socket apart from what an earlier test with the same id left.
    socket_ = "kel_e2e_" + std::to_string(getpid()) + "_" +
              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  void TearDown() override {
    if (socket_.empty()) return;
    Tmux("kill-server >/dev/null 2>&1");
    // The server leaves its socket behind; it is where tmux puts it.
    const char* dir = std::getenv("TMUX_TMPDIR");
    std::error_code ec;
    fs::remove(std::string(dir != nullptr && *dir != 0 ? dir : "/tmp") + "/tmux-" +
                   std::to_string(getuid()) + "/" + socket_, ec);
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
    EXPECT_EQ(ReadFileBytes(fs::path(root) / "rc"), code + "\n");
    ASSERT_TRUE(WaitFor("KEL_DONE")) << Capture();
    EXPECT_EQ(Tmux("display-message -p -t kel '#{alternate_on},#{cursor_flag}'"), "0,1\n")
        << "the program left the alternate screen and showed the cursor again";
  }

  // The process id of the running program, a child of the pane's shell; 0
  // when there is none.
  pid_t ProgramPid() {
    std::string shell = Tmux("display-message -p -t kel '#{pane_pid}'");
    shell = shell.substr(0, shell.find('\n'));
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
      // "pid (name) state parent ..."
      const std::string stat = ReadFileBytes(entry.path() / "stat");
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

}  // namespace testing_support
