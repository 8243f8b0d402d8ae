// The print program: parsing the work file, laying it out, rendering it as
// text and PDF, and the installed program's handling of devices, names and
// damaged files.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/temp_dir.h"
#include "tests/support/work_files.h"
#include "tools/kelprint/kelprint.h"
#include "tools/kelprint/layout.h"
#include "tools/kelprint/print_files.h"
#include "tools/kelprint/render.h"
#include "tools/kelprint/work_file.h"

namespace {

using testing_support::RealisticWorkFile;
using testing_support::TempDir;
using tools::AlignMode;
using tools::PrintDocument;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Command(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

std::vector<std::string> ListingFiles(const std::string& dir) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

PrintDocument MustParse(const std::string& bytes) {
  PrintDocument doc;
  tools::ParseError error;
  EXPECT_TRUE(tools::ParseWorkFile(bytes, doc, error))
      << error.line << ": " << error.message;
  return doc;
}

std::string LayOne(const std::string& records) {
  PrintDocument doc = MustParse("DEVICEPDF\r\nPAGE 66 \r\n" + records);
  if (doc.pages.empty() || doc.pages[0].lines.empty()) return "";
  return tools::LineText(tools::LayOutLine(doc.pages[0].lines[0]));
}

// ---------------------------------------------------------------- parsing

TEST(KelprintParse, PrintFormNumbers) {
  int v = 0;
  EXPECT_TRUE(tools::ParsePrintNumber(" 66 ", v));
  EXPECT_EQ(v, 66);
  EXPECT_TRUE(tools::ParsePrintNumber("-5 ", v));
  EXPECT_EQ(v, -5);
  EXPECT_TRUE(tools::ParsePrintNumber(" 113", v));
  EXPECT_EQ(v, 113);
  for (const char* bad : {"", " ", "66 ", " 6x ", "  66 ", " 66  ", " +5 ",
                          " 40000 ", " 99999999999999999999 ", "- 5 "})
    EXPECT_FALSE(tools::ParsePrintNumber(bad, v)) << '"' << bad << '"';
}

TEST(KelprintParse, RecordsOfTheReport) {
  PrintDocument doc = MustParse(
      "DEVICE OFICINA\t\r\nPAGE 66 \r\n*@e\r\n 1 ,FIRMA, 0 \r\nJUSD\r\n"
      " 85 ,P\xB7GINA    1, 2 \r\n*q\r\nJUSN 113 \\.\\\r\n"
      " 75 ,TOTAL FINCA , 0 \r\nJUSE\r\n 3 ,A, B,C, 1 \n");
  EXPECT_EQ(doc.device, "OFICINA");  // what surrounds the name is no part of it
  ASSERT_EQ(doc.pages.size(), 1u);
  const auto& lines = doc.pages[0].lines;
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_EQ(lines[0].runs.size(), 2u);
  EXPECT_TRUE(lines[0].runs[0].style.bold);
  EXPECT_FALSE(lines[0].runs[0].style.condensed);
  EXPECT_EQ(lines[0].runs[1].align.mode, AlignMode::kRight);
  EXPECT_EQ(lines[0].runs[1].source_line, 6);
  const auto& total = lines[2].runs[0];
  EXPECT_EQ(total.align.mode, AlignMode::kFill);
  EXPECT_EQ(total.align.fill_column, 113);
  EXPECT_EQ(total.align.fill, '.');
  EXPECT_TRUE(total.style.condensed);
  EXPECT_FALSE(total.style.bold);  // a style record replaces the whole style
  // Commas inside the text belong to it: column before the first comma,
  // advance after the last.
  ASSERT_EQ(lines[2].runs.size(), 2u);
  EXPECT_EQ(lines[2].runs[1].text, "A, B,C");
  EXPECT_EQ(lines[2].runs[1].align.mode, AlignMode::kLeft);
}

TEST(KelprintParse, FillWithoutCharacterAndUnknownStyleLetters) {
  PrintDocument doc = MustParse(
      "DEVICE\r\nPAGE 10 \r\nJUSN 40\r\n*g@qx\r\n 1 ,X, 0 \r\nJUSN 7 \\\\\r\n 2 ,Y, 0 \r\n");
  const auto& runs = doc.pages[0].lines[0].runs;
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].align.fill_column, 40);
  EXPECT_EQ(runs[0].align.fill, ' ');
  EXPECT_TRUE(runs[0].style.condensed);
  EXPECT_EQ(runs[1].align.fill_column, 7);
  EXPECT_EQ(runs[1].align.fill, ' ');
}

TEST(KelprintParse, LinesPastThePageGoOnToTheNextPage) {
  // 4-line pages: the writer's own break and an overrun without one.
  PrintDocument doc = MustParse(
      "DEVICE\r\nPAGE 4 \r\n 1 ,A, 4 \r\nPAGE 4 \r\n 1 ,B, 6 \r\n 1 ,C, 0 \r\n"
      " 0 ,, 8 \r\n");
  ASSERT_EQ(doc.pages.size(), 3u);  // a page break at a full page adds none
  EXPECT_EQ(doc.pages[1].lines[0].runs[0].text, "B");
  ASSERT_EQ(doc.pages[2].lines.size(), 3u);
  EXPECT_EQ(doc.pages[2].lines[2].runs[0].text, "C");
  EXPECT_EQ(doc.pages[2].length, 4);
  // Blank advances at the end start no page of their own.
  for (const auto& p : doc.pages) EXPECT_LE(p.lines.size(), 4u);
}

TEST(KelprintParse, PageRecordsInARowGiveABlankPage) {
  PrintDocument doc = MustParse("DEVICE\r\nPAGE 66 \r\nPAGE 66 \r\n 1 ,X, 0 \r\n");
  ASSERT_EQ(doc.pages.size(), 2u);
  EXPECT_TRUE(doc.pages[0].lines.empty());
}

struct BadCase {
  const char* what;
  std::string bytes;
  int line;
  const char* message_part;
};

TEST(KelprintParse, EachMalformedKindNamesItsLine) {
  const std::string head = "DEVICEPDF\r\nPAGE 66 \r\n";
  const std::vector<BadCase> cases = {
      {"empty file", "", 1, "DEVICE"},
      {"no device record", "PAGE 66 \r\n 1 ,A, 0 \r\n", 1, "DEVICE"},
      {"device twice", head + "DEVICETXT\r\n", 3, "repetit"},
      {"item before any page", "DEVICE\r\n 1 ,A, 0 \r\n", 2, "PAGE"},
      {"page length 0", head + "PAGE 0 \r\n", 3, "més gran que 0"},
      {"negative page length", "DEVICE\r\nPAGE-66 \r\n", 2, "més gran que 0"},
      {"huge page length", "DEVICE\r\nPAGE 5000 \r\n", 2, "màxim"},
      {"page length not a number", "DEVICE\r\nPAGE 6x \r\n", 2, "il·legible"},
      {"column not a number", head + " 1x ,A, 0 \r\n", 3, "columna"},
      {"advance not a number", head + " 1 ,A, one \r\n", 3, "avanç"},
      {"column overflow", head + " 99999 ,A, 0 \r\n", 3, "columna"},
      {"negative advance", head + " 1 ,A,-1 \r\n", 3, "negatiu"},
      {"negative column", head + "-1 ,A, 0 \r\n", 3, "negativa"},
      {"one comma", head + " 1 ,A\r\n", 3, "comes"},
      {"unknown record", head + "HELLO\r\n", 3, "desconegut"},
      {"empty record", head + "\r\n 1 ,A, 0 \r\n", 3, "buit"},
      {"unknown alignment", head + "JUSX\r\n", 3, "alineació"},
      {"open fill character", head + "JUSN 113 \\.\r\n", 3, "mal tancat"},
      {"alignment column junk", head + "JUSN abc\r\n", 3, "columna"},
      {"line too long", head + " 1 ," + std::string(2000, 'x') + ", 0 \r\n", 3,
       "massa llarga"},
      {"binary file", std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10), 1,
       "binàries"},
      {"stray control byte", head + " 1 ,A\tB, 0 \r\n", 3, "0x09"},
      {"carriage return inside", head + " 1 ,A\rB, 0 \r\n", 3, "0x0D"},
  };
  for (const BadCase& c : cases) {
    PrintDocument doc;
    tools::ParseError error;
    EXPECT_FALSE(tools::ParseWorkFile(c.bytes, doc, error)) << c.what;
    EXPECT_EQ(error.line, c.line) << c.what;
    EXPECT_NE(error.message.find(c.message_part), std::string::npos)
        << c.what << ": " << error.message;
    EXPECT_TRUE(doc.pages.empty()) << c.what;
  }
}

TEST(KelprintParse, TooManyPagesIsRefusedNotEndless) {
  // Advances of 32767 on one-line pages would make millions of pages.
  std::string bytes = "DEVICE\r\nPAGE 1 \r\n";
  for (int i = 0; i < 10; ++i) bytes += " 1 ,A, 32767 \r\n";
  PrintDocument doc;
  tools::ParseError error;
  EXPECT_FALSE(tools::ParseWorkFile(bytes, doc, error));
  EXPECT_EQ(error.line, 4);
  EXPECT_NE(error.message.find("massa pàgines"), std::string::npos);
  // Up to the limit, blank pages are what the advance asks for.
  EXPECT_EQ(MustParse("DEVICE\r\nPAGE 1 \r\n 1 ,A, 11 \r\n 1 ,B, 0 \r\n").pages.size(),
            12u);
}

TEST(KelprintParse, PiecesOfAnySizeGiveTheSamePagesOneAtATime) {
  const std::string work = RealisticWorkFile("PDF");
  const PrintDocument whole = MustParse(work);
  const std::string bad = "DEVICE\r\nPAGE 66 \r\n 1 ,A, 0 \r\n 1 ," +
                          std::string(1500, 'x') + "\x01, 0 \r\n";
  for (size_t piece : {1, 2, 3, 7, 4096}) {
    std::vector<tools::PrintPage> pages;
    size_t lines_held = 0;
    tools::WorkFileParser parser([&](const tools::PrintPage& page) {
      pages.push_back(page);
      lines_held = std::max(lines_held, page.lines.size());
      return true;
    });
    for (size_t at = 0; at < work.size(); at += piece)
      ASSERT_TRUE(parser.Feed(std::string_view(work).substr(at, piece))) << piece;
    ASSERT_TRUE(parser.Finish()) << parser.error().message;
    EXPECT_EQ(parser.device(), "PDF");
    ASSERT_EQ(pages.size(), whole.pages.size()) << piece;
    for (size_t p = 0; p < pages.size(); ++p)
      EXPECT_EQ(tools::RenderText({tools::LayOutPage(pages[p])}),
                tools::RenderText({tools::LayOutPage(whole.pages[p])}))
          << piece << ", page " << p;
    EXPECT_LE(lines_held, 66u);
    // A record too long is judged the same whatever pieces it came in.
    tools::WorkFileParser refused([](const tools::PrintPage&) { return true; });
    for (size_t at = 0; at < bad.size() && refused.Feed(bad.substr(at, piece)); at += piece) {
    }
    EXPECT_EQ(refused.error().line, 4) << piece;
    EXPECT_NE(refused.error().message.find("1509 bytes"), std::string::npos)
        << piece << ": " << refused.error().message;
  }
  // A handler that says stop ends the reading there.
  int seen = 0;
  tools::WorkFileParser stopping([&seen](const tools::PrintPage&) { return ++seen < 2; });
  EXPECT_FALSE(stopping.Feed(work));
  EXPECT_TRUE(stopping.stopped());
  EXPECT_FALSE(stopping.failed());
  EXPECT_EQ(seen, 2);
}

// ----------------------------------------------------------------- layout

TEST(KelprintLayout, RightAlignedItemsKeepTheirColumns) {
  // A fixed-width amount at its heading's column ends where the heading ends.
  EXPECT_EQ(LayOne("JUSD\r\n 5 , 1.234'56, 0 \r\n"), "     1.234'56");
  // "D" stays in force after a total: the padded fields of the next row
  // stand where they stand under "E".
  const std::string row = " 1 ,007001V, 0 \r\n 11 ,1r 1a      , 0 \r\n 22 ,JOAN PUIG     , 0 \r\n";
  EXPECT_EQ(LayOne("JUSD\r\n" + row), LayOne("JUSE\r\n" + row));
  EXPECT_EQ(LayOne("JUSD\r\n" + row), "007001V   1r 1a      JOAN PUIG     ");
}

TEST(KelprintLayout, FillRunsFromTheTextToTheFillColumn) {
  EXPECT_EQ(LayOne("*q\r\nJUSN 12 \\.\\\r\n 2 ,TOT , 0 \r\n"), " TOT .......");
  // Text already past the fill column: nothing is added.
  EXPECT_EQ(LayOne("JUSN 3 \\*\\\r\n 2 ,LONG, 0 \r\n"), " LONG");
  // A fill column past the line is clipped at the line.
  std::string wide = LayOne("*q\r\nJUSN 9999 \\-\\\r\n 130 ,X, 0 \r\n");
  EXPECT_EQ(wide.size(), 137u);
  EXPECT_EQ(wide.substr(129), "X-------");
}

TEST(KelprintLayout, CentreAndBothSidesUseTheLineWidth) {
  // Normal pitch: 96 columns; "AB" centred from column 1.
  std::string c = LayOne("JUSC\r\n 1 , AB , 0 \r\n");
  EXPECT_EQ(c, std::string(47, ' ') + "AB");
  std::string a = LayOne("JUSA\r\n 90 ,A B C, 0 \r\n");
  EXPECT_EQ(a, std::string(89, ' ') + "A  B  C");
  // Too long to centre or spread: left as it is.
  EXPECT_EQ(LayOne("JUSC\r\n 95 ,ABCD, 0 \r\n").substr(94), "AB");
  EXPECT_EQ(LayOne("JUSA\r\n 95 ,AB CD, 0 \r\n").substr(94), "AB");
}

TEST(KelprintLayout, LaterItemsOverprintAndLinesClipAtTheirPitch) {
  EXPECT_EQ(LayOne(" 1 ,AAAAAA, 0 \r\n 3 ,B C, 0 \r\n"), "AAB CA");
  // 135 condensed columns fit; past 137 nothing is kept.
  std::string q = LayOne("*q\r\n 1 ," + std::string(135, '-') + ", 0 \r\n 136 ,XYZ, 0 \r\n");
  EXPECT_EQ(q, std::string(135, '-') + "XY");
  // The normal pitch holds 96 columns.
  std::string n = LayOne(" 90 ,ABCDEFGHIJ, 0 \r\n");
  EXPECT_EQ(n, std::string(89, ' ') + "ABCDEFG");
  // Columns far off the page are dropped, never crash.
  EXPECT_EQ(LayOne(" 32767 ,FAR AWAY, 0 \r\n"), "");
}

TEST(KelprintLayout, MixedPitchesNeverPassTheLineWidth) {
  PrintDocument doc = MustParse(
      "DEVICE\r\nPAGE 66 \r\n*q\r\n 1 ," + std::string(100, 'q') +
      ", 0 \r\n*@e\r\n 101 ," + std::string(60, 'e') + ", 0 \r\n");
  tools::LaidLine line = tools::LayOutLine(doc.pages[0].lines[0]);
  int units = tools::CellOffsetUnits(line, line.cells.size());
  EXPECT_LE(units, tools::kLineUnits);
  // 100 condensed cells (700) leave room for 26 normal ones (260).
  EXPECT_EQ(line.cells.size(), 126u);
  EXPECT_TRUE(line.cells.back().style.bold);
}

TEST(KelprintLayout, GapsTakeThePitchOfWhatFollows) {
  // The normal-pitch page number at column 85 must start 84 normal cells in.
  PrintDocument doc = MustParse("DEVICE\r\nPAGE 66 \r\n*@e\r\n 85 ,P, 0 \r\n");
  tools::LaidLine line = tools::LayOutLine(doc.pages[0].lines[0]);
  ASSERT_EQ(line.cells.size(), 85u);
  EXPECT_EQ(tools::CellOffsetUnits(line, 84), 84 * tools::kNormalCellUnits);
}

// ---------------------------------------------------------------- renders

TEST(KelprintText, PagesAreSeparatedByFormFeedsInUtf8) {
  PrintDocument doc = MustParse(
      "DEVICETXT\r\nPAGE 3 \r\n 1 ,P\xB7GINA   , 2 \r\n 4 ,\x80\x87\xFA, 0 \r\n"
      "PAGE 3 \r\nPAGE 3 \r\n 2 ,FI, 0 \r\n");
  std::string text = tools::RenderText(tools::LayOutDocument(doc));
  EXPECT_EQ(text, "PÀGINA\n\n   Çç·\n\f\f FI\n");
}

TEST(KelprintText, RealisticReportMatchesTheExpectedListing) {
  const std::string work = RealisticWorkFile("TXT");
  PrintDocument doc = MustParse(work);
  EXPECT_EQ(doc.pages.size(), 3u);
  std::string text = tools::RenderText(tools::LayOutDocument(doc));
  std::string expected =
      ReadFile(std::string(KEL_SOURCE_DIR) + "/tests/tools/data/kelprint_expected.txt");
  if (text != expected) {
    std::string actual = ::testing::TempDir() + "kelprint_actual.txt";
    std::ofstream(actual, std::ios::binary) << text;
    std::ofstream(actual + ".work", std::ios::binary) << work;
    ADD_FAILURE() << "listing differs from the expected file; actual in " << actual
                  << ", from the work file " << actual << ".work";
  }
}

TEST(KelprintPdf, NoPagesIsRefusedAndSinkFailureReported) {
  auto sink = [](const unsigned char*, size_t) { return true; };
  auto empty = tools::MakePdfRenderer({"T", "K"}, sink);
  EXPECT_FALSE(empty->Finish());
  EXPECT_FALSE(empty->error().empty());
  PrintDocument doc = MustParse("DEVICE\r\nPAGE 66 \r\n 1 ,X, 0 \r\n");
  auto failing = tools::MakePdfRenderer(
      {"T", "K"}, [](const unsigned char*, size_t) { return false; });
  bool ok = failing->Page(tools::LayOutPage(doc.pages[0]));
  EXPECT_FALSE(ok && failing->Finish());
  EXPECT_FALSE(failing->error().empty());
}

// -------------------------------------------------------- listing files

TEST(KelprintFiles, NamesHoldProgramDateAndTime) {
  platform::LocalTime t;
  t.year = 2026, t.month = 12, t.day = 8, t.hour = 16, t.minute = 30, t.second = 5;
  EXPECT_EQ(tools::ListingBaseName("RBPNDLST", t), "RBPNDLST-20261208-163005");
  EXPECT_EQ(tools::ListingProgramName("RBCOBLST"), "RBCOBLST");
  EXPECT_EQ(tools::ListingProgramName(""), "RBPNDLST");
  EXPECT_EQ(tools::ListingProgramName("../../etc"), "RBPNDLST");
  EXPECT_EQ(tools::ListingProgramName("A/B"), "RBPNDLST");
}

TEST(KelprintFiles, AFailedListingLeavesNoFileAndNamesNeverRepeat) {
  TempDir dir;
  std::string error;
  std::string first;
  {
    tools::ListingFile f;
    ASSERT_TRUE(tools::EnsureDirectory(dir.path() + "L/M", error)) << error;
    ASSERT_TRUE(f.Create(dir.path() + "L", "R-1", ".pdf", error)) << error;
    ASSERT_TRUE(f.Write("x", 1));
    ASSERT_TRUE(f.Commit());
    first = f.path();
  }
  {
    tools::ListingFile f;
    ASSERT_TRUE(f.Create(dir.path() + "L", "R-1", ".pdf", error));
    EXPECT_NE(f.path(), first);
    EXPECT_EQ(f.path(), dir.path() + "L/R-1-1.pdf");
    // Dropped without Commit: removed.
  }
  EXPECT_EQ(ListingFiles(dir.path() + "L").size(), 2u);  // R-1.pdf and M
  EXPECT_EQ(ReadFile(first), "x");
}

// ------------------------------------------------------ the real program

struct ProgramRun {
  int exit_code = -1;
  std::string out, err;
};

// Runs the installed program with exactly the given environment.
ProgramRun RunProgram(const std::vector<std::string>& env, const std::string& cwd) {
  ProgramRun run;
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return run;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>("KELPRINT"), nullptr};
    execve(KEL_BIN_DIR "/KELPRINT", argv, envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  auto drain = [](int fd, std::string& s) {
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
    close(fd);
  };
  drain(out_pipe[0], run.out);
  drain(err_pipe[0], run.err);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class KelprintProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    tmp_ = dir_.path() + "tmp/";
    root_ = dir_.path() + "root/";
    bin_ = dir_.path() + "bin/";
    std::filesystem::create_directories(tmp_);
    std::filesystem::create_directories(root_);
    std::filesystem::create_directories(bin_);
  }
  void WriteWorkFile(const std::string& bytes) { dir_.Write("tmp/kelprint.tmp", bytes); }
  ProgramRun Run(const std::string& path_env = "/usr/bin:/bin",
                 std::vector<std::string> extra = {}) {
    std::vector<std::string> env = {"KELROOT=" + root_, "KELTMP=" + tmp_,
                                    "PATH=" + path_env};
    env.insert(env.end(), extra.begin(), extra.end());
    return RunProgram(env, dir_.path());
  }
  std::vector<std::string> Listings() { return ListingFiles(root_ + "LLISTATS"); }
  // A stand-in for lp that records its arguments and answers as told.
  void FakeLp(int exit_code, const std::string& says) {
    std::string script = "#!/bin/sh\necho \"$@\" > " + dir_.path() + "lp-args\n";
    if (!says.empty()) script += "echo '" + says + "' >&2\n";
    script += "echo 'request id is X-1 (1 file(s))'\nexit " + std::to_string(exit_code) + "\n";
    std::string lp = dir_.Write("bin/lp", script);
    chmod(lp.c_str(), 0755);
  }

  TempDir dir_;
  std::string tmp_, root_, bin_;
};

TEST_F(KelprintProgram, PdfHasThePagesAndLinesOfTheReport) {
  WriteWorkFile(RealisticWorkFile(""));
  ProgramRun run = Run();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> files = Listings();
  ASSERT_EQ(files.size(), 1u);
  const std::string& pdf = files[0];
  EXPECT_NE(pdf.find("/LLISTATS/RBPNDLST-"), std::string::npos);
  EXPECT_EQ(pdf.substr(pdf.size() - 4), ".pdf");
  // One line: what was written and where.
  EXPECT_EQ(run.out, "KELPRINT: 3 pàgines a " + tools::AbsolutePath(pdf) + "\n");
  EXPECT_TRUE(run.err.empty());

  std::string info = Command("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  EXPECT_NE(info.find("A4"), std::string::npos) << info;
  std::string text = Command("pdftotext -layout '" + pdf + "' -");
  for (const char* shown :
       {"ADMINISTRACIÓ DE FINQUES SERRA, SL",
        "RELACIÓ DE PENDENTS DE VERTICAL EXISTENTS ENTRE 01/11/2026 I 30/11/2026",
        "FINCA 007 - C/ MAJOR, 12", "PL. DE L'ESGLÉSIA, 3", "NÚRIA CASALS",
        "TOTAL FINCA ......", "TOTAL GENERAL", "98.765'43"})
    EXPECT_NE(text.find(shown), std::string::npos) << shown;
  // pdftotext spaces by glyph positions: the page number is somewhere after.
  EXPECT_TRUE(std::regex_search(text, std::regex("PÀGINA +3\n")));
  EXPECT_TRUE(std::regex_search(
      text, std::regex("REBUT +DEPART\\. +TITULAR +TELÈFON +D\\.EXPED\\. +D\\.COBR\\. +PENDENT +TORNAT")));
  // pdftotext ends every page with a form feed.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 3);
  // And byte for byte the listing this work file has always given, the
  // moment of its making aside.
  const std::regex made("/CreationDate \\(D:[^)]*\\)");
  EXPECT_TRUE(std::regex_replace(ReadFile(pdf), made, "") ==
              std::regex_replace(ReadFile(std::string(KEL_SOURCE_DIR) +
                                          "/tests/tools/data/kelprint_expected.pdf"),
                                 made, ""))
      << "the PDF differs from tests/tools/data/kelprint_expected.pdf";
}

TEST_F(KelprintProgram, TextDeviceWritesTheExpectedListing) {
  // Blanks and control bytes around the device name are no part of it.
  WriteWorkFile(RealisticWorkFile(" txt\t"));
  ProgramRun run = Run();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> files = Listings();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].substr(files[0].size() - 4), ".txt");
  EXPECT_EQ(ReadFile(files[0]),
            ReadFile(std::string(KEL_SOURCE_DIR) + "/tests/tools/data/kelprint_expected.txt"));
}

TEST_F(KelprintProgram, WorkFilesOfAnySizeArePrinted) {
  // More pages than the program once took, one line each.
  constexpr int kPages = 25000;
  std::string work = "DEVICETXT\r\n";
  for (int p = 1; p <= kPages; ++p) work += "PAGE 1 \r\n 1 ,P" + std::to_string(p) + ", 1 \r\n";
  WriteWorkFile(work);
  tools::KelprintRequest req;
  req.work_file = tmp_ + "kelprint.tmp";
  req.listing_dir = root_ + "LLISTATS";
  req.program = "RBPNDLST";
  tools::KelprintResult result = tools::RunKelprint(req);
  ASSERT_EQ(result.exit_code, 0) << result.message;
  EXPECT_EQ(result.pages, kPages);
  const std::string text = ReadFile(result.output);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), kPages - 1);
  EXPECT_EQ(text.substr(text.size() - 8), "\fP25000\n");
}

TEST_F(KelprintProgram, TwoRunsNeverOverwrite) {
  WriteWorkFile(RealisticWorkFile("PDF"));
  ASSERT_EQ(Run().exit_code, 0);
  ASSERT_EQ(Run().exit_code, 0);
  EXPECT_EQ(Listings().size(), 2u);
}

TEST_F(KelprintProgram, ProgramNameComesFromTheEnvironment) {
  WriteWorkFile(RealisticWorkFile(""));
  ASSERT_EQ(Run("/usr/bin:/bin", {"KELPROG=RBCOBLST"}).exit_code, 0);
  std::vector<std::string> files = Listings();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find("/RBCOBLST-"), std::string::npos);
}

TEST_F(KelprintProgram, QueueWithoutLpKeepsThePdf) {
  WriteWorkFile(RealisticWorkFile("OFICINA"));
  ProgramRun run = Run(bin_);  // nothing called lp there
  EXPECT_EQ(run.exit_code, 0);
  std::vector<std::string> files = Listings();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(run.out, "KELPRINT: no hi ha lp per imprimir a OFICINA; 3 pàgines desades a " +
                         tools::AbsolutePath(files[0]) + "\n");
}

TEST_F(KelprintProgram, QueueGetsThePdfThroughLp) {
  FakeLp(0, "");
  WriteWorkFile(RealisticWorkFile(" OFICINA"));
  ProgramRun run = Run(bin_);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "KELPRINT: 3 pàgines enviades a la cua OFICINA\n");
  std::string args = dir_.Read("lp-args");
  EXPECT_EQ(args.substr(0, 11), "-d OFICINA ");
  EXPECT_NE(args.find("/LLISTATS/RBPNDLST-"), std::string::npos) << args;
  EXPECT_TRUE(Listings().empty());  // lp keeps its own copy
}

TEST_F(KelprintProgram, RefusedPrintJobIsAFailureAndKeepsThePdf) {
  FakeLp(1, "lp: The printer or class does not exist.");
  WriteWorkFile(RealisticWorkFile("LPT1"));
  ProgramRun run = Run(bin_);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("codi 1 (lp: The printer or class does not exist.)"),
            std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
  EXPECT_EQ(Listings().size(), 1u);
}

TEST_F(KelprintProgram, DeviceThatCannotBeAQueueIsNotPassedToLp) {
  FakeLp(0, "");
  WriteWorkFile(RealisticWorkFile("-o evil"));
  ProgramRun run = Run(bin_);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() + "lp-args"));
  EXPECT_EQ(Listings().size(), 1u);
}

TEST_F(KelprintProgram, MalformedWorkFileNamesFileAndLine) {
  WriteWorkFile("DEVICEPDF\r\nPAGE 66 \r\n 1 ,REBUT, 0 \r\n 11 ,X, 0x \r\n");
  ProgramRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_EQ(run.err.rfind("KELPRINT: " + tmp_ + "kelprint.tmp:4: avanç il·legible", 0), 0u)
      << run.err;
  EXPECT_TRUE(Listings().empty());
}

TEST_F(KelprintProgram, WorkFileThatIsNotTheUsersOwnIsRefused) {
  ProgramRun missing = Run();
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find(tmp_ + "kelprint.tmp: no existeix"), std::string::npos)
      << missing.err;
  std::string real = dir_.Write("elsewhere.tmp", RealisticWorkFile(""));
  ASSERT_EQ(symlink(real.c_str(), (tmp_ + "kelprint.tmp").c_str()), 0);
  ProgramRun linked = Run();
  EXPECT_EQ(linked.exit_code, 1);
  EXPECT_NE(linked.err.find("enllaç simbòlic"), std::string::npos) << linked.err;
  // Nor a pipe, nor another user's file (only root can make one here).
  std::filesystem::remove(tmp_ + "kelprint.tmp");
  ASSERT_EQ(mkfifo((tmp_ + "kelprint.tmp").c_str(), 0600), 0);
  EXPECT_NE(Run().err.find("no és un fitxer normal de l'usuari"), std::string::npos);
  std::filesystem::remove(tmp_ + "kelprint.tmp");
  WriteWorkFile(RealisticWorkFile(""));
  if (chown((tmp_ + "kelprint.tmp").c_str(), 1, 1) == 0) {
    ProgramRun theirs = Run();
    EXPECT_EQ(theirs.exit_code, 1);
    EXPECT_NE(theirs.err.find("no és un fitxer normal de l'usuari"), std::string::npos)
        << theirs.err;
  }
  EXPECT_TRUE(Listings().empty());
}

TEST_F(KelprintProgram, EmptyReportWritesNothing) {
  WriteWorkFile("DEVICEPDF\r\n");
  ProgramRun run = Run();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.out.find("no té cap pàgina"), std::string::npos);
  EXPECT_TRUE(Listings().empty());
}

TEST_F(KelprintProgram, TerminalDirectoryServesWhenNoTemporaryOneIsSet) {
  dir_.Write("term/kelprint.tmp", RealisticWorkFile("TXT"));
  ProgramRun run = RunProgram({"KELROOT=" + root_, "TERM=" + dir_.path() + "term",
                               "PATH=/usr/bin:/bin"},
                              dir_.path());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(Listings().size(), 1u);
}

}  // namespace
