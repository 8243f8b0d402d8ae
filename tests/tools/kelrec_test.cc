// kelrec: dictionaries, CSV handling, import and export through the real
// record manager, the demo installation, and the program's exit codes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "app/config/settings.h"
#include "platform/files.h"
#include "store/btrcall.h"
#include "tests/support/child_process.h"
#include "tests/support/engine_client.h"
#include "tests/support/engine_installation.h"
#include "tests/support/temp_dir.h"
#include "tools/kelrec/commands.h"
#include "tools/kelrec/csv.h"
#include "tools/kelrec/demo.h"
#include "tools/kelrec/installation.h"
#include "tools/kelrec/layouts.h"
#include "tools/kelrec/record_io.h"
#include "tools/kelrec/transfer.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using store::FieldText;

std::string ReadFile(const fs::path& p) {
  std::string s;
  platform::ReadWholeFile(p.string(), s);
  return s;
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// A fresh folder per test, removed afterwards.
class KelrecTest : public ::testing::Test {
 protected:

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunKelrec(args, out, err);
  }
  void Init() { ASSERT_EQ(Run({"init", dir}), 0) << err.str(); }
  std::string Csv(const std::string& name, const std::string& text) {
    fs::path p = base / name;
    WriteFile(p, text);
    return p.string();
  }
  std::string Export(const std::string& kind) {
    EXPECT_EQ(Run({"export", dir, kind}), 0) << err.str();
    return out.str();
  }

  testing_support::TempDir temp;
  fs::path base = temp.path();
  std::string dir = temp.path() + "inst";
  std::ostringstream out, err;
};

TEST(DictionaryTest, CommittedFilesEqualTheGenerator) {
  for (Kind kind : AllKinds()) {
    std::string p = DictionaryPath(std::string(KEL_SOURCE_DIR) + "/install", kind);
    EXPECT_EQ(ReadFile(p), DictionaryBytes(kind)) << p;
  }
}

TEST(DictionaryTest, KeysHoldWhatTheReportReads) {
  auto le16 = [](const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
  };
  std::string receipts = CreationSpec(Kind::kReceipts);
  EXPECT_EQ(le16(receipts, store::kRecordLengthAt), receipt::kLength);
  // Key 0: positions 1-8 in one segment, duplicates allowed.
  const size_t key0 = store::kFirstSegmentAt;
  EXPECT_EQ(le16(receipts, key0 + store::kSegmentPositionAt), receipt::kKey.pos + 1);
  EXPECT_EQ(le16(receipts, key0 + store::kSegmentLengthAt), receipt::kKey.width);
  EXPECT_EQ(le16(receipts, key0 + store::kSegmentFlagsAt) &
                (store::kSegDuplicates | store::kSegNextSegment),
            store::kSegDuplicates);
  std::string owners = CreationSpec(Kind::kOwners);
  const size_t block = store::kFirstSegmentAt + 2 * store::kSegmentEntrySize;
  ASSERT_EQ(owners.size(), block + store::kCollatingBlockSize);
  EXPECT_EQ(static_cast<uint8_t>(owners[block]), store::kCollatingSignature);
  std::string table = owners.substr(block + store::kCollatingTableAt);
  EXPECT_EQ(table['a'], 'A');
  EXPECT_EQ(table[0x85], 'A');  // à
  EXPECT_EQ(table[0xB7], 'A');  // À
  EXPECT_EQ(table[0x87], 'C');  // ç
  EXPECT_EQ(table['1'], '1');
  EXPECT_EQ(CreationSpec(Kind::kEstates).size(), block) << "no table without collation";
}

using CsvRows = std::vector<std::pair<int, std::vector<std::string>>>;

// Every record of the file with its line.
CsvRows ReadCsv(const std::string& path, CsvReader& csv) {
  CsvRows rows;
  if (!csv.Open(path)) return rows;
  while (csv.Next())
    rows.push_back({csv.line(), {csv.fields().begin(), csv.fields().end()}});
  return rows;
}

TEST(CsvTest, QuotedFieldsAndLineEndsWhereverTheBlocksEnd) {
  testing_support::TempDir dir;
  const std::string good = dir.Write(
      "good.csv", "\xEF\xBB\xBF" "a,b\r\n\"x, y\",\"say \"\"hi\"\"\"\n\n"
                  "\"two\nlines\",\n,\n\r\nlast,\"q\r\"\"\"\r\n,\r");
  const CsvRows expected = {{1, {"a", "b"}},
                            {2, {"x, y", "say \"hi\""}},
                            {4, {"two\nlines", ""}},
                            {6, {"", ""}},
                            {8, {"last", "q\r\""}},
                            {9, {"", "\r"}}};
  // Small blocks cut records, quote pairs and CR LF at every place.
  for (size_t block : {1, 2, 3, 5, 7, 1 << 20}) {
    CsvReader csv(block);
    EXPECT_EQ(ReadCsv(good, csv), expected) << block;
    EXPECT_FALSE(csv.failed()) << block << ": " << csv.error();
  }
  const std::pair<std::string, int> bad[] = {
      {"a\n\"open,b\n", 2},
      {"a\nb\n\"x\"y\n", 3},
      {"a\n\"two\nlines\"x\n", 3},
      {"a\nb\"c\n", 2},
      {"a\n" + std::string(CsvReader::kMaxRecordBytes + 1, 'x'), 2}};
  for (const auto& [text, line] : bad) {
    // (Byte by byte, a long record would be scanned again for every byte.)
    for (size_t block : {text.size() > 100 ? size_t{1} << 16 : 1, size_t{1} << 20}) {
      CsvReader csv(block);
      ReadCsv(dir.Write("bad.csv", text), csv);
      EXPECT_TRUE(csv.failed()) << text.substr(0, 20);
      EXPECT_EQ(csv.error_line(), line) << text.substr(0, 20) << ": " << csv.error();
    }
  }
  EXPECT_EQ(CsvLine({"plain", "a,b", "q\"", " lead", ""}),
            "plain,\"a,b\",\"q\"\"\",\" lead\",\n");
}

TEST(FieldTest, ConversionsRefuseWhatDoesNotFit) {
  std::string packed;
  EXPECT_TRUE(ParseIsoDate("2024-02-29", packed));
  EXPECT_EQ(packed, "\x94\x98\x82\x9D");
  EXPECT_EQ(IsoDate(packed), "2024-02-29");
  EXPECT_FALSE(ParseIsoDate("2023-02-29", packed));
  EXPECT_FALSE(ParseIsoDate("2023-13-01", packed));
  EXPECT_FALSE(ParseIsoDate("2023-1-01", packed));
  EXPECT_TRUE(ParseIsoDate("", packed));
  EXPECT_EQ(packed, std::string(4, '\x80'));
  EXPECT_EQ(IsoDate(packed), "");

  int32_t cents = 0;
  EXPECT_TRUE(ParseAmount("1234.5", cents));
  EXPECT_EQ(cents, 123450);
  EXPECT_TRUE(ParseAmount("-0.07", cents));
  EXPECT_EQ(cents, -7);
  EXPECT_EQ(AmountText(-7), "-0.07");
  EXPECT_EQ(AmountText(INT32_MIN), "-21474836.48");
  EXPECT_FALSE(ParseAmount("1,50", cents));
  EXPECT_FALSE(ParseAmount("1.234", cents));
  EXPECT_FALSE(ParseAmount("99999999.99", cents));
  EXPECT_FALSE(ParseAmount("", cents));
  EXPECT_FALSE(ParseAmount(".5", cents));

  std::string field, error;
  EXPECT_TRUE(TextField("Àtic", 10, field, error));
  EXPECT_EQ(field, "\xB7tic      ");
  EXPECT_FALSE(TextField("Ab\tc", 10, field, error));
  EXPECT_FALSE(TextField("\xE6\xBC\xA2", 10, field, error));
  EXPECT_FALSE(TextField("12345678901", 10, field, error));
}

const char kOwners[] =
    "owner,name\n"
    "12,\"Puig i Ferrer, Montserrat\"\n"
    "3,Güell Sabaté Núria\n"
    "9999,\" Espai inicial\"\n"
    "0,\"Cometes \"\"dobles\"\"\"\n";
const char kOwnersSorted[] =
    "owner,name\n"
    "0,\"Cometes \"\"dobles\"\"\"\n"
    "3,Güell Sabaté Núria\n"
    "12,\"Puig i Ferrer, Montserrat\"\n"
    "9999,\" Espai inicial\"\n";
const char kEstates[] =
    "estate,owner,name,heading\n"
    "1,12,\"C. de Mallorca, 245\",P\n"
    "7,40,Pg. de Gràcia 12,\n"
    "123,3,Via Augusta 1,E\n";
const char kUnits[] =
    "estate,unit,holder,designation,telephone\n"
    "1,1,\"Vila Soler, Jordi\",Local 1,93 412 34 56\n"
    "1,2,,Àtic,\n"
    "7,3,\"Roca, Anna\",1r 2a,612 34 56 78\n";
const char kReceipts[] =
    "estate,unit,issued,collected,amount,state\n"
    "1,1,2025-01-01,2025-01-05,1200.00,C\n"
    "1,1,2025-02-01,,1200.00,P\n"
    "1,1,2025-02-01,,-35.50,P\n"
    "1,1,2025-02-01,2025-02-10,99.99,D\n"
    "7,3,,,0.00,\n"
    "7,3,2024-12-01,2025-01-15,21474836.47,F\n";

TEST_F(KelrecTest, ImportThenExportIsTheSameTextForEveryKind) {
  Init();
  const std::pair<const char*, const char*> cases[] = {
      {"estates", kEstates}, {"units", kUnits}, {"receipts", kReceipts}};
  for (const auto& [kind, text] : cases) {
    ASSERT_EQ(Run({"import", dir, kind, Csv(std::string(kind) + ".csv", text)}), 0)
        << kind << ": " << err.str();
    EXPECT_EQ(Export(kind), text) << kind;
  }
  // Stored in key order, exported in it.
  ASSERT_EQ(Run({"import", dir, "owners", Csv("owners.csv", kOwners)}), 0) << err.str();
  EXPECT_EQ(Export("owners"), kOwnersSorted);
  // The stored bytes are the layouts the report reads.
  RecordIo file;
  ASSERT_EQ(file.Open(dir, Kind::kEstates), 0);
  std::string record;
  ASSERT_EQ(file.Equal("\x80\x87", record), 0);  // estate 7
  EXPECT_EQ(record.size(), estate::kLength);
  EXPECT_EQ(FieldText(record, estate::kOwner), "\x80\xA8");  // owner 40
  EXPECT_EQ(FieldText(record, estate::kName), "Pg. de Gr\x85" "cia 12" + std::string(14, ' '));
  EXPECT_EQ(FieldText(record, estate::kHeading), " ");
}

// Several kelrec runs on a fresh installation meet the missing file at
// once: whichever makes it, the others open it.
TEST_F(KelrecTest, RunsStartingTogetherAllOpenTheFileOneOfThemMade) {
  Init();
  std::vector<std::unique_ptr<testing_support::Child>> runs;
  for (int i = 0; i < 6; ++i)
    runs.push_back(std::make_unique<testing_support::Child>([this](testing_support::Child& c) {
      c.Hear();
      RecordIo file;
      return int{file.Open(dir, Kind::kReceipts)};
    }));
  for (auto& r : runs) r->Tell_('g');
  for (auto& r : runs) EXPECT_EQ(r->Wait(), 0);
}

TEST_F(KelrecTest, ReplaceEmptiesFirstAndAddingKeepsWhatIsThere) {
  Init();
  std::string first = Csv("a.csv", "owner,name\n1,Primer\n2,Segon\n");
  std::string second = Csv("b.csv", "owner,name\n3,Tercer\n");
  ASSERT_EQ(Run({"import", dir, "owners", first}), 0);
  ASSERT_EQ(Run({"import", dir, "owners", second}), 0);
  EXPECT_EQ(Export("owners"), "owner,name\n1,Primer\n2,Segon\n3,Tercer\n");
  ASSERT_EQ(Run({"import", dir, "owners", second, "--replace"}), 0) << err.str();
  EXPECT_EQ(Export("owners"), "owner,name\n3,Tercer\n");
  // Receipts may repeat a key; adding the same file twice doubles them.
  std::string r = Csv("r.csv", "estate,unit,issued,collected,amount,state\n"
                               "1,1,2025-03-01,,10.00,P\n");
  ASSERT_EQ(Run({"import", dir, "receipts", r}), 0);
  ASSERT_EQ(Run({"import", dir, "receipts", r}), 0) << err.str();
  EXPECT_EQ(Export("receipts"), "estate,unit,issued,collected,amount,state\n"
                                "1,1,2025-03-01,,10.00,P\n1,1,2025-03-01,,10.00,P\n");
}

TEST_F(KelrecTest, BadRowsAreReportedByLineAndNothingIsWritten) {
  Init();
  ASSERT_EQ(Run({"import", dir, "owners", Csv("base.csv", "owner,name\n5,Cinc\n")}), 0);
  ASSERT_EQ(Run({"import", dir, "units", Csv("u.csv", kUnits)}), 0);
  ASSERT_EQ(Run({"import", dir, "receipts", Csv("r.csv", kReceipts)}), 0);
  const std::string owners_before = Export("owners");
  const std::string units_before = Export("units");
  const std::string receipts_before = Export("receipts");

  struct Case {
    const char* kind;
    std::string text;
    std::string message;  // after "FILE:"
  };
  const Case cases[] = {
      {"owners", "owner,name\n6,Sis\n7\n", "3: expected 2 columns"},
      {"owners", "owner,name\n6,Sis\nx7,Set\n", "3: bad owner number \"x7\""},
      {"owners", "owner,name\n10000,Deu mil\n", "2: bad owner number"},
      {"owners", "owner,name\n6,Sis\n6,Altre\n", "3: duplicate owner 6 (also on line 2)"},
      {"owners", "owner,name\n6,Sis\n5,Ja hi és\n", "3: owner 5 is already in"},
      {"owners", "owner,name\n6," + std::string(31, 'n') + "\n",
       "2: bad name \"" + std::string(31, 'n') + "\": longer than 30"},
      {"owners", "owner,name\n6,Nom \xE6\xBC\xA2\n", "2: bad name"},
      {"owners", "owner,name\n6,\"sense final\n", "2: unterminated quoted field"},
      {"owners", "name,owner\n6,Sis\n", "1: the first row must be the header"},
      {"units", "estate,unit,holder,designation,telephone\n2,1,A,Massa llarg!,\n",
       "2: bad designation"},
      {"units", "estate,unit,holder,designation,telephone\n1,2,A,B,C\n",
       "2: unit 1/2 is already in"},
      {"receipts", "estate,unit,issued,collected,amount,state\n1,1,2025-02-30,,1.00,P\n",
       "2: bad issue date \"2025-02-30\""},
      {"receipts", "estate,unit,issued,collected,amount,state\n1,1,,01/02/2025,1.00,P\n",
       "2: bad collection date"},
      {"receipts", "estate,unit,issued,collected,amount,state\n1,1,,,1.005,P\n",
       "2: bad amount \"1.005\""},
      {"receipts", "estate,unit,issued,collected,amount,state\n1,1,,,1.00,PD\n",
       "2: bad state \"PD\""},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string path = Csv("bad" + std::to_string(n++) + ".csv", c.text);
    EXPECT_EQ(Run({"import", dir, c.kind, path}), 1) << c.text;
    EXPECT_EQ(err.str().rfind(path + ":" + c.message, 0), 0u)
        << "got: " << err.str() << "wanted: " << c.message;
  }
  EXPECT_EQ(Export("owners"), owners_before);
  EXPECT_EQ(Export("units"), units_before);
  EXPECT_EQ(Export("receipts"), receipts_before);
  // A replace with a bad row leaves the file whole as well.
  std::string path = Csv("badreplace.csv", "owner,name\n8,Vuit\n8,Vuit\n");
  EXPECT_EQ(Run({"import", dir, "owners", path, "--replace"}), 1);
  EXPECT_EQ(Export("owners"), owners_before);
}

// A bad field must not steer the terminal the messages go to (set its
// clipboard, clear its screen), nor a huge one make a huge message.
TEST_F(KelrecTest, MessagesShowControlBytesEscapedAndLongFieldsCut) {
  Init();
  const std::string path =
      Csv("hostile.csv", "owner,name\n1,\"\x1b]52;c;aGk=\x07\"\n2," + std::string(100000, 'x') +
                             "\n3,\xc2\x9b" "2J\n");
  EXPECT_EQ(Run({"import", dir, "owners", path}), 1);
  EXPECT_EQ(err.str(), path + ":2: bad name \"\\x1b]52;c;aGk=\\x07\": control characters are not allowed\n" +
                           path + ":3: bad name \"" + std::string(kShownCharacters, 'x') +
                           "...\": longer than 30 characters\n" + path +
                           ":4: bad name \"\\u009b2J\": a character has no code page 850 form\n");
  EXPECT_EQ(QuotedInput("a\\b\xff\xe0\x80\x9b \xc3\xa7"), "\"a\\\\b\\xff\\xe0\\x80\\x9b \xc3\xa7\"");
}

TEST_F(KelrecTest, ProgressLineOnlyWhenAskedAndEndedBeforeMessages) {
  Init();
  std::ostringstream o, e;
  ASSERT_EQ(RunKelrec({"import", dir, "receipts", Csv("r.csv", kReceipts)}, o, e, true), 0);
  const std::string shown = e.str();
  EXPECT_EQ(shown.rfind("\rreceipts: 6 rows, ", 0), 0u) << shown;
  EXPECT_NE(shown.find(", 100%, "), std::string::npos) << shown;
  EXPECT_EQ(shown.back(), '\n');
  std::string bad = Csv("bad.csv", "estate,unit,issued,collected,amount,state\n1,1,,,x,P\n");
  e.str("");
  EXPECT_EQ(RunKelrec({"import", dir, "receipts", bad}, o, e, true), 1);
  EXPECT_EQ(e.str().rfind(bad + ":2: bad amount", 0), 0u) << e.str();
}

TEST_F(KelrecTest, ManyBadRowsAreCut) {
  Init();
  std::string text = "owner,name\n";
  for (int i = 0; i < 50; ++i) text += "x,bad\n";
  EXPECT_EQ(Run({"import", dir, "owners", Csv("many.csv", text)}), 1);
  std::string e = err.str();
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 21);
  EXPECT_NE(e.find(": 30 more problems not shown"), std::string::npos);
}

TEST_F(KelrecTest, InitMakesTheFoldersFromTheTemplate) {
  Init();
  for (const char* sub : {"FORMS", "LOCALE", "ddf", "DADES", "AJUDA"}) {
    EXPECT_TRUE(fs::is_directory(fs::path(dir) / sub)) << sub;
  }
  EXPECT_EQ(ReadFile(fs::path(dir) / "Tavo.ini"),
            ReadFile(fs::path(KEL_SOURCE_DIR) / "install" / "Tavo.ini"));
  EXPECT_EQ(ReadFile(DictionaryPath(dir, Kind::kReceipts)), DictionaryBytes(Kind::kReceipts));
  // The help files without the sources they are made from.
  EXPECT_EQ(ReadFile(fs::path(dir) / "AJUDA" / "RBPNDLST.HLP"),
            ReadFile(fs::path(KEL_SOURCE_DIR) / "install" / "AJUDA" / "RBPNDLST.HLP"));
  EXPECT_TRUE(fs::exists(fs::path(dir) / "AJUDA" / "QOPSHELL.HLP"));
  EXPECT_FALSE(fs::exists(fs::path(dir) / "AJUDA" / "src"));
  EXPECT_EQ(Run({"init", dir}), 1) << "an installation is never overwritten";
  EXPECT_NE(err.str().find("not an empty folder"), std::string::npos);
}

// A setting written by kelrec is the one the program reads, however the
// file an administrator edited spells the section and key.
TEST(SettingsFileTest, AWrittenSettingReplacesTheOneTheProgramReads) {
  testing_support::TempDir tmp;
  const std::string ini = tmp.Write("Tavo.ini", "[ dades ]\r\n\tMOTOR =\r\nAltre=1\r\n");
  std::string error;
  ASSERT_TRUE(SetSetting(tmp.path(), "Dades", "Motor", "postgresql:///kel", error)) << error;
  EXPECT_EQ(config::ReadSetting(ini, "Dades", "Motor"), "postgresql:///kel");
  EXPECT_EQ(tmp.Read("Tavo.ini"), "[ dades ]\r\nMotor=postgresql:///kel\r\nAltre=1\r\n");
}

DemoOptions Demo(int estates, int years, int end_year, int end_month) {
  DemoOptions options;
  options.estates = estates;
  options.years = years;
  options.end_year = end_year;
  options.end_month = end_month;
  return options;
}

TEST(DemoDataTest, ConsistentAndReproducible) {
  DemoOptions options = Demo(40, 2, 2026, 3);
  DemoData data = MakeDemoData(options);
  EXPECT_EQ(data.estates.size(), 40u);
  EXPECT_EQ(MakeDemoData(options).receipts, data.receipts);
  options.seed = 2;
  EXPECT_NE(MakeDemoData(options).receipts, data.receipts);

  std::set<std::string> owner_keys, unit_keys;
  for (const std::string& r : data.owners) owner_keys.insert(FieldText(r, owner::kNumber));
  int missing_owner = 0, owner_heading = 0;
  for (const std::string& r : data.estates) {
    ASSERT_EQ(r.size(), estate::kLength);
    missing_owner += owner_keys.count(FieldText(r, estate::kOwner)) == 0;
    owner_heading += FieldText(r, estate::kHeading) == "P";
  }
  EXPECT_GT(owner_heading, 0);
  EXPECT_LT(owner_heading, 20);
  EXPECT_GT(missing_owner, 0);
  EXPECT_LT(missing_owner, 10);
  EXPECT_GT(data.units.size(), 2 * data.estates.size());
  std::set<std::string> estate_keys;
  for (const std::string& r : data.estates) estate_keys.insert(FieldText(r, estate::kNumber));
  for (const std::string& r : data.units) {
    EXPECT_EQ(estate_keys.count(FieldText(r, unit::kEstate)), 1u);
    unit_keys.insert(FieldText(r, unit::kKey));
  }
  std::map<char, int> states;
  std::string first = PackDate(2024, 4, 1), last = PackDate(2026, 3, 1);
  std::string earliest = last, latest = first;
  for (const std::string& r : data.receipts) {
    ASSERT_EQ(r.size(), receipt::kLength);
    EXPECT_EQ(unit_keys.count(FieldText(r, receipt::kUnitKey)), 1u);
    std::string issued = FieldText(r, receipt::kIssued);
    EXPECT_TRUE(issued >= first && issued <= last) << IsoDate(issued);
    earliest = std::min(earliest, issued);
    latest = std::max(latest, issued);
    const char state = FieldText(r, receipt::kState)[0];
    ++states[state];
    if (state == 'P') {
      EXPECT_EQ(FieldText(r, receipt::kCollected), std::string(4, '\x80'));
    }
  }
  EXPECT_EQ(earliest, first);
  EXPECT_EQ(latest, last);
  for (char s : {'P', 'D', 'C'}) EXPECT_GT(states[s], 0) << s;
  EXPECT_GE(data.receipts.size(), data.units.size() * 24 * 8 / 10);
}

// The shape of a large office, as the report benchmark asks for it.
TEST(DemoDataTest, UnitsAndUnpaidShareWhenAskedFor) {
  DemoOptions options = Demo(60, 1, 2025, 12);
  options.units = 20;
  options.unpaid = 20;
  DemoData data = MakeDemoData(options);
  EXPECT_GT(data.units.size(), 60u * 16);
  EXPECT_LT(data.units.size(), 60u * 24);
  size_t unpaid = 0;
  for (const std::string& r : data.receipts) {
    const std::string state = FieldText(r, receipt::kState);
    unpaid += state == "P" || state == "D";
  }
  EXPECT_GT(unpaid * 100, data.receipts.size() * 17);
  EXPECT_LT(unpaid * 100, data.receipts.size() * 24);
  for (const std::string& r : data.units) EXPECT_NE(FieldText(r, unit::kDesignation)[0], ' ');
}

// The program itself: exit codes, help, a whole demo installation.
int RunProgram(const std::string& args, std::string& output) {
  std::string file = (fs::temp_directory_path() /
                      ("kelrec_out_" + std::to_string(getpid()))).string();
  std::string cmd = std::string(KEL_BIN_DIR) + "/kelrec " + args + " >" + file +
                    " 2>&1";
  int rc = std::system(cmd.c_str());
  output = ReadFile(file);
  fs::remove(file);
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST_F(KelrecTest, ProgramExitCodesAndHelp) {
  std::string output;
  EXPECT_EQ(RunProgram("--help", output), 0);
  for (const char* word : {"init", "import", "export", "demo", "--replace",
                           "--estates", "--seed", "--years"}) {
    EXPECT_NE(output.find(word), std::string::npos) << word;
  }
  EXPECT_EQ(RunProgram("help import", output), 0);
  EXPECT_NE(output.find("estate,unit,issued,collected,amount,state"), std::string::npos);
  EXPECT_EQ(RunProgram("", output), 2);
  EXPECT_EQ(RunProgram("frobnicate", output), 2);
  EXPECT_EQ(RunProgram("export " + dir + " tenants", output), 2);
  EXPECT_EQ(RunProgram("demo " + dir + " --estates 0", output), 2);
  EXPECT_EQ(RunProgram("import " + dir + " owners", output), 2);
  EXPECT_EQ(RunProgram("import " + dir + " owners " + (base / "none.csv").string(),
                       output), 1);
}

// Receipts in the file, read through the record manager (-1: unreadable).
int64_t ReceiptCount(const std::string& dir) {
  testing_support::EngineFile file;
  if (file.Open(RecordFilePath(dir, Kind::kReceipts)) != store::kStOk) return -1;
  return file.RecordCount();
}

int64_t FileSize(const std::string& path) {
  std::error_code ec;
  auto n = fs::file_size(path, ec);
  return ec ? 0 : static_cast<int64_t>(n);
}

TEST_F(KelrecTest, AnImportKilledAnywhereLeavesAllOrNothing) {
  Init();
  ASSERT_EQ(Run({"import", dir, "receipts", Csv("r.csv", kReceipts)}), 0);
  constexpr int kRows = 100000;
  std::string text = "estate,unit,issued,collected,amount,state\n";
  for (int i = 0; i < kRows; ++i)
    text += std::to_string(i % 997) + "," + std::to_string(i % 31) + ",2025-0" +
            std::to_string(i % 9 + 1) + "-01,,12.34,P\n";
  const std::string csv = Csv("big.csv", text);
  const std::string data = RecordFilePath(dir, Kind::kReceipts);
  const std::string wal = data + "-wal";
  // Killed while it starts, while it inserts, as soon as its commit writes
  // the log, as soon as the checkpoint writes the file, and not at all:
  // every time the file holds the receipts from before, or those and the
  // whole import.
  int64_t count = ReceiptCount(dir);
  for (int stage = 0; stage < 5; ++stage) {
    const int64_t wal_before = FileSize(wal), data_before = FileSize(data);
    const auto moment = [&](int64_t waited_us) {
      switch (stage) {
        case 0: return waited_us >= 1000;
        case 1: return waited_us >= 100000;
        case 2: return FileSize(wal) > wal_before;
        case 3: return FileSize(data) > data_before;
        default: return false;
      }
    };
    pid_t pid = fork();
    if (pid == 0) {
      if (!freopen("/dev/null", "w", stderr)) _exit(126);
      execl(KEL_BIN_DIR "/kelrec", "kelrec", "import", dir.c_str(), "receipts",
            csv.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    pid_t ended = 0;
    for (int64_t us = 0; ended == 0 && !moment(us); us += 100) {
      usleep(100);
      ended = waitpid(pid, &status, WNOHANG);
    }
    if (ended == 0) {
      kill(pid, SIGKILL);
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
    }
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    const int64_t now = ReceiptCount(dir);
    EXPECT_TRUE(now == count || now == count + kRows)
        << "stage " << stage << ": " << now << " receipts, from " << count;
    count = now;
  }
  // And what is there reads back whole.
  const std::string exported = Export("receipts");
  EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), count + 1);
}

TEST_F(KelrecTest, ProgramMakesADemoInstallation) {
  std::string output;
  ASSERT_EQ(RunProgram("demo " + dir + " --estates 25 --years 1 --seed 7", output), 0)
      << output;
  EXPECT_NE(output.find("25 estates"), std::string::npos) << output;
  std::string tavo = ReadFile(fs::path(dir) / "Tavo.ini");
  EXPECT_NE(tavo.find("NomEmpresa=Administracions Demo, S.L.\r\n"), std::string::npos);
  std::string estates = Export("estates");
  EXPECT_EQ(std::count(estates.begin(), estates.end(), '\n'), 26);
  // What the demo wrote reads back as it would import.
  std::string receipts = Export("receipts");
  std::string path = Csv("again.csv", receipts);
  ASSERT_EQ(Run({"import", dir, "receipts", path, "--replace"}), 0) << err.str();
  EXPECT_EQ(Export("receipts"), receipts);
}

// On the test server (KEL_TEST_PG): migrate copies a SQLite installation and
// switches it, a second machine's init finds the same data, and a migrate
// onto records already there is refused without switching anything.
TEST_F(KelrecTest, MigrateAndInitOnTheServer) {
  const std::string uri = testing_support::TestServerUri();
  if (uri.empty()) GTEST_SKIP() << "KEL_TEST_PG is not set: no test server";
  const std::string schema = "kr" + std::to_string(getpid());
  ASSERT_EQ(Run({"demo", dir, "--estates", "5"}), 0) << err.str();
  std::map<std::string, std::string> before;
  for (const char* kind : {"owners", "estates", "units", "receipts"}) before[kind] = Export(kind);

  ASSERT_EQ(Run({"migrate", dir, uri, "--schema", schema}), 0) << err.str();
  const std::string settings = ReadFile(fs::path(dir) / "Tavo.ini");
  EXPECT_NE(settings.find("[Dades]\r\nMotor=" + uri + "\r\nEsquema=" + schema + "\r\n"),
            std::string::npos) << settings;
  EXPECT_FALSE(fs::exists(fs::path(dir) / "MIGRA.tmp"));
  for (const auto& [kind, text] : before) EXPECT_EQ(Export(kind), text) << kind;

  const std::string second = (base / "second").string();
  ASSERT_EQ(Run({"init", second, "--db", uri, "--schema", schema}), 0) << err.str();
  EXPECT_EQ(Run({"export", second, "receipts"}), 0);
  EXPECT_EQ(out.str(), before["receipts"]);

  const std::string third = (base / "third").string();
  ASSERT_EQ(Run({"demo", third, "--estates", "2"}), 0);
  EXPECT_EQ(Run({"migrate", third, uri, "--schema", schema}), 1);
  EXPECT_NE(err.str().find("already holds"), std::string::npos) << err.str();
  EXPECT_EQ(ReadFile(fs::path(third) / "Tavo.ini").find("Motor"), std::string::npos);

  EXPECT_EQ(Run({"init", (base / "pw").string(), "--db", "postgresql://u:pw@host/kel"}), 1);
  EXPECT_FALSE(fs::exists(base / "pw"));
  EXPECT_EQ(Run({"init", (base / "gone").string(), "--db", "postgresql:///kel?host=/nonexistent"}), 1);
  EXPECT_FALSE(fs::exists(base / "gone")) << "a half-made installation does not stay";
  testing_support::ServerCommand("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
}

}  // namespace
}  // namespace tools
