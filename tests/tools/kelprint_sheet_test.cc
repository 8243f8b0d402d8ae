// The spreadsheet devices: the listing cut back into a table (columns from
// the headings, figures and dates read with the characters in force), the
// CSV text, the XLSX read back by a reader that is not our writer, and the
// installed program reading the installation's settings.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/temp_dir.h"
#include "tests/support/work_files.h"
#include "tools/kelprint/kelprint.h"
#include "tools/kelprint/render.h"
#include "tools/kelprint/work_file.h"

namespace {

using testing_support::RealisticWorkFile;
using testing_support::TempDir;

constexpr char kHeader[] =
    "REBUT,DEPART.,TITULAR,TEL\xC3\x88" "FON,D.EXPED.,D.COBR.,PENDENT,TORNAT,"
    "TOTAL PENDENT,TOTAL TORNAT";

std::string Csv(const std::string& work, const tools::ListingFormat& format = {}) {
  tools::PrintDocument doc;
  tools::ParseError error;
  EXPECT_TRUE(tools::ParseWorkFile(work, doc, error)) << error.line << ": " << error.message;
  std::string out;
  auto renderer = tools::MakeCsvRenderer(format, [&](const unsigned char* d, size_t n) {
    out.append(reinterpret_cast<const char*>(d), n);
    return true;
  });
  for (const tools::LaidPage& page : tools::LayOutDocument(doc)) EXPECT_TRUE(renderer->Page(page));
  EXPECT_TRUE(renderer->Finish());
  return out;
}

std::vector<std::string> Lines(const std::string& csv) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(csv.substr(start, end - start));
  EXPECT_EQ(start, csv.size()) << "every record ends in CR LF";
  return lines;
}

// Fields of a record without quoted commas.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
  if (!line.empty() && line.back() == ',') fields.push_back("");
  return fields;
}

// A one-page listing of the report's shape with the rows given, column
// headings and rule as the report prints them.
std::string SmallListing(const std::vector<std::string>& rows) {
  std::string work =
      "DEVICECSV\r\nPAGE 66 \r\n*@e\r\n 1 ,FIRMA & CIA, 0 \r\n 40 ,T\xD6TOL, 2 \r\n*q\r\n"
      " 1 ,REBUT, 0 \r\n 11 ,TITULAR, 0 \r\n 30 ,DATA, 0 \r\n 41 ,  IMPORT, 1 \r\n"
      " 1 ," + std::string(70, '-') + ", 0 \r\n";
  for (const std::string& row : rows) work += " 0 ,, 1 \r\n" + row;
  return work;
}

TEST(KelprintSheet, CsvIsTheListingAsATableOfFiguresAndDates) {
  const std::vector<std::string> lines = Lines(Csv(RealisticWorkFile("CSV")));
  ASSERT_GT(lines.size(), 80u);
  EXPECT_EQ(lines[0], kHeader);
  // Page headings and rules are no rows; the estate heading is one text.
  EXPECT_EQ(lines[1], "\"FINCA 007 - C/ MAJOR, 12\",,,,,,,,,");
  long rows = 0, pending = 0, returned = 0, unit_p = 0, unit_d = 0;
  std::vector<std::string> general;
  for (size_t i = 1; i < lines.size(); ++i) {
    for (const char* heading : {"REBUT", "PÀGINA", "RELACIÓ", "---", "==="})
      EXPECT_EQ(lines[i].find(heading), std::string::npos) << lines[i];
    if (lines[i][0] == '"') continue;
    const std::vector<std::string> f = Fields(lines[i]);
    ASSERT_EQ(f.size(), 10u) << lines[i];
    if (f[4].rfind("TOTAL", 0) == 0) {
      if (f[4] == "TOTAL GENERAL") general = f;
      continue;
    }
    ++rows;
    EXPECT_EQ(f[4].size(), 10u) << "an ISO date: " << lines[i];
    EXPECT_EQ(f[4].substr(0, 8), "2026-11-") << lines[i];
    auto cents = [](const std::string& s) {
      return s.empty() ? 0L : std::lround(std::stod(s) * 100);
    };
    pending += cents(f[6]);
    returned += cents(f[7]);
    unit_p += cents(f[8]);
    unit_d += cents(f[9]);
  }
  EXPECT_GT(rows, 70);
  ASSERT_EQ(general.size(), 10u) << "a TOTAL GENERAL row";
  EXPECT_EQ(std::lround(std::stod(general[8]) * 100), pending);
  EXPECT_EQ(std::lround(std::stod(general[9]) * 100), returned);
  EXPECT_EQ(unit_p, pending) << "the unit totals stand on their last receipt's row";
  EXPECT_EQ(unit_d, returned);
  EXPECT_NE(Csv(RealisticWorkFile("CSV")).find(",98765.43,"), std::string::npos);
}

TEST(KelprintSheet, WhatDoesNotReadAsAFigureOrADayStaysText) {
  const std::string csv = Csv(SmallListing({
      " 1 ,A1, 0 \r\n 11 ,JOAN \"EL PETIT\", 0 \r\n 30 ,31/02/2026, 0 \r\n"
      "JUSD\r\n 41 ,  205.414, 0 \r\nJUSE\r\n",
      " 1 ,A2, 0 \r\n 11 ,N\xE9RIA, 0 \r\n 30 ,7/12/2026, 0 \r\n 41 ,-1.234'56, 0 \r\n",
      " 1 ,A3, 0 \r\n 30 ,          , 0 \r\n 41 ,!!!!!!!!, 0 \r\n",
      " 1 ,A4, 0 \r\n 41 ,1234567'89, 0 \r\n 55 ,12'34, 0 \r\n",
  }));
  EXPECT_EQ(csv,
            "REBUT,TITULAR,DATA,IMPORT,TOTAL IMPORT\r\n"
            "A1,\"JOAN \"\"EL PETIT\"\"\",31/02/2026,205414,\r\n"
            "A2,NÚRIA,2026-12-07,-1234.56,\r\n"
            "A3,,,!!!!!!!!,\r\n"
            "A4,,,1234567.89,12.34\r\n");
}

TEST(KelprintSheet, LaterPagesLeaveTheirHeadingOutAndPagesWithoutOneKeepAll) {
  std::string work = SmallListing({" 1 ,A1, 0 \r\n"});
  // The next page repeats the heading; the third has none (a page break of
  // the writer).
  const size_t heading = work.find("PAGE 66");
  work += work.substr(heading) + "PAGE 66 \r\n 1 ,A2, 1 \r\n";
  EXPECT_EQ(Csv(work), "REBUT,TITULAR,DATA,IMPORT,TOTAL IMPORT\r\nA1,,,,\r\nA1,,,,\r\nA2,,,,\r\n");
  // No headings at all: one text per line.
  EXPECT_EQ(Csv("DEVICECSV\r\nPAGE 66 \r\n 1 ,UN, 0 \r\n 9 ,\"DOS\", 1 \r\n 3 ,----, 1 \r\n"),
            "\"UN      \"\"DOS\"\"\"\r\n");
}

class KelprintSheetProgram : public ::testing::Test {
 protected:
  // The installed program with the installation's settings; its one line.
  std::string Run(const std::string& work, const std::string& more_env = "") {
    dir_.Write("tmp/kelprint.tmp", work);
    const std::string cmd = "cd '" + dir_.path() + "' && env -i KELROOT='" + dir_.path() +
                            "root/' KELTMP='" + dir_.path() + "tmp/' PATH=/usr/bin:/bin " +
                            more_env + " '" KEL_BIN_DIR "/KELPRINT' 2>&1; echo \"rc=$?\"";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[4096];
      for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
      pclose(p);
    }
    return out;
  }
  std::vector<std::string> Listings() {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path() + "root/LLISTATS", ec))
      files.push_back(e.path().string());
    return files;
  }
  TempDir dir_;
};

TEST_F(KelprintSheetProgram, FiguresAndDatesAreReadAsTheInstallationWritesThem) {
  dir_.Write("root/Tavo.ini",
             "[Usuari]\r\nDatCaracter=-\r\nDatOrdre=AMD\r\nDecCaracter=,\r\nMilCaracter=.\r\n");
  std::string work = SmallListing({" 1 ,A1, 0 \r\n 30 ,2026-12-7, 0 \r\n 41 ,1.234,56, 0 \r\n"});
  const std::string out = Run(work);
  const std::vector<std::string> files = Listings();
  ASSERT_EQ(files.size(), 1u) << out;
  EXPECT_EQ(files[0].substr(files[0].size() - 4), ".csv");
  EXPECT_NE(out.find("1 pàgina a "), std::string::npos) << out;
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out;
  EXPECT_EQ(testing_support::ReadFileBytes(files[0]),
            "REBUT,TITULAR,DATA,IMPORT,TOTAL IMPORT\r\nA1,,2026-12-07,1234.56,\r\n");
}

TEST_F(KelprintSheetProgram, XlsxWithoutAScratchFolderFailsAndLeavesNothing) {
  const std::string out = Run(RealisticWorkFile("XLSX"), "TMPDIR=" + dir_.path() + "none");
  EXPECT_NE(out.find("no es pot crear una carpeta temporal a " + dir_.path() + "none"),
            std::string::npos) << out;
  EXPECT_NE(out.find("rc=1"), std::string::npos) << out;
  EXPECT_TRUE(Listings().empty());
}

TEST_F(KelprintSheetProgram, XlsxReadBackHasNumbersDatesAndTheSheetSetUp) {
  if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3-openpyxl is missing";
  Run(RealisticWorkFile("xlsx"));
  Run(RealisticWorkFile("XLSX"));
  const std::vector<std::string> files = Listings();
  ASSERT_EQ(files.size(), 2u) << "never overwritten";
  for (const std::string& file : files) EXPECT_EQ(file.substr(file.size() - 5), ".xlsx");
  const std::string check = "/usr/bin/python3 '" KEL_SOURCE_DIR "/tests/tools/check_xlsx.py' '" +
                            files[0] + "' 2>&1";
  std::string out;
  int status = -1;
  if (FILE* p = popen(check.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    status = pclose(p);
  }
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "ok\n");
}

}  // namespace
