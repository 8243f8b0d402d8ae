// The pending-receipts report body against whole expected work files, made
// from record files of a temporary installation; the parameter check; the
// catalogue entries the report and its forms rely on.

#include "app/report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/catalogue.h"
#include "app/config/form_table.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/print_file.h"
#include "app/report_run.h"
#include "platform/files.h"
#include "store/record_files.h"
#include "store/record_layouts.h"
#include "store/store_hooks.h"
#include "tests/support/installation.h"
#include "tests/support/report_lines.h"
#include "tests/support/temp_dir.h"
#include "ui/form_hooks.h"
#include "ui/form_input.h"
#include "ui/keys.h"
#include "values/masks.h"
#include "values/values_state.h"

namespace app {
namespace {

using testing_support::EstateTotalLines;
using testing_support::GrandTotalLines;
using testing_support::PackedCode;
using testing_support::PackedDate;
using testing_support::UnitTotalLines;

const char kFirm[] = "ADMINISTRACIO DE FINQUES GIRONA, SL";

// The page heading as the report writes it, the title item given whole.
std::string Heading(const std::string& page, const std::string& title_item,
                    const std::string& firm = kFirm) {
  return "PAGE 66 \r\n"
         "*@e\r\n"
         " 1 ," + firm + ", 0 \r\n"
         "JUSD\r\n"
         " 85 ,P\xB7GINA " + page + ", 2 \r\n" +
         title_item +
         "*q\r\n"
         " 1 ,REBUT, 0 \r\n"
         " 11 ,DEPART., 0 \r\n"
         " 22 ,TITULAR, 0 \r\n"
         " 53 ,TEL\xD4" "FON, 0 \r\n"
         " 74 ,D.EXPED., 0 \r\n"
         " 85 ,D.COBR., 0 \r\n"
         " 96 ,  PENDENT, 0 \r\n"
         " 105 ,   TORNAT, 1 \r\n"
         " 1 ," + std::string(135, '-') + ", 0 \r\n";
}

const std::string kMarchTitle =
    " 12 ,RELACI\xE0 DE PENDENTS DE VERTICAL EXISTENTS ENTRE 1/3/2026   I "
    "31/3/2026 , 2 \r\n";

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    config::ResetSettingsState();
    values::ResetValuesState();
    store::ResetFileTableState();
    store::ResetStoreHooksState();
    ResetAppState();
    ResetReportRunState();
    ResetPrintFileState();
    AppState().program_name = "RBPNDLST";
    config::PathsState().root = temp_.path();
    config::PathsState().temp_dir = temp_.path();
    store::StoreHooksState().exit_program = [](int code) {
      ADD_FAILURE() << "record file open failed, exit " << code;
    };
    testing_support::InstallDictionaries(temp_.path());
    WriteFirm(kFirm + std::string(" I ASSOCIATS"));
    values::SetCurrency("a,E");
    OpenReportFiles();
  }

  void TearDown() override {
    int16_t status = 0;
    store::CloseAllRecordFiles(status);
    ResetPrintFileState();
  }

  void WriteFirm(const std::string& name) {
    temp_.Write("Tavo.ini", "[Usuari]\r\nNomEmpresa=" + name + "\r\n");
  }

  void Owner(int n, const std::string& name) {
    ASSERT_EQ(testing_support::InsertRecord(store::owner::kFileId,
                                            testing_support::OwnerRecord(n, name)),
              0);
  }

  void Estate(int n, int owner, const std::string& name, char choice = 'F') {
    ASSERT_EQ(testing_support::InsertRecord(
                  store::estate::kFileId,
                  testing_support::EstateRecord(n, owner, name, choice)),
              0);
  }

  void Unit(int estate, int unit, const std::string& holder,
            const std::string& designation, const std::string& phone) {
    ASSERT_EQ(testing_support::InsertRecord(
                  store::unit::kFileId,
                  testing_support::UnitRecord(estate, unit, holder, designation, phone)),
              0);
  }

  void Receipt(int estate, int unit, const std::string& issued,
               const std::string& collected, int32_t cents, char state) {
    ASSERT_EQ(testing_support::InsertRecord(
                  store::receipt::kFileId,
                  testing_support::ReceiptRecord(estate, unit, issued, collected,
                                                 cents, state)),
              0);
  }

  // One production as the report run makes it, returning the work file.
  std::string Produce(const ReportParameters& p,
                      const std::string& device = "") {
    EXPECT_EQ(OpenPrintFile(device), kPrintOk);
    values::SetCurrency("p");
    ProduceReport(p);
    values::SetCurrency("");
    EXPECT_EQ(ClosePrintFile(), kPrintOk);
    std::string contents;
    platform::ReadWholeFile(config::PrintFilePath(), contents);
    return contents;
  }

  static ReportParameters Period(const std::string& start,
                                 const std::string& end, int first = 1,
                                 int last = 999) {
    return {PackedDate(start), PackedDate(end), PackedCode(first), PackedCode(last)};
  }

  testing_support::TempDir temp_;
};

TEST_F(ReportTest, ListsPendingAndReturnedReceiptsOfThePeriod) {
  Owner(12, "JOAN PUIG");
  Estate(7, 12, "CAL MASSO");
  Unit(7, 3, "MARIA SOLER", "1r 2a", "972 11 22 33");
  Unit(7, 12, "PERE ROCA", "BAIXOS", "");
  Receipt(7, 3, "20260228", "", 999, 'P');
  Receipt(7, 3, "20260301", "20260305", 123456, 'P');
  Receipt(7, 3, "20260315", "", 5000, 'D');
  Receipt(7, 3, "20260320", "20260321", 7000, 'C');
  Receipt(7, 3, "20260331", "20260402", 250, 'D');
  Receipt(7, 3, "20260401", "", 888, 'P');
  Receipt(7, 12, "20260310", "", 10000, 'P');

  EXPECT_EQ(Produce(Period("20260301", "20260331")),
            "DEVICE\r\n" + Heading("   1", kMarchTitle) +
                " 0 ,, 2 \r\n"
                " 1 ,FINCA 007 - CAL MASSO                     , 1 \r\n"
                " 0 ,, 1 \r\n"
                " 1 ,007003V, 0 \r\n"
                " 11 ,1r 2a     , 0 \r\n"
                " 22 ,MARIA SOLER                   , 0 \r\n"
                " 53 ,972 11 22 33        , 0 \r\n"
                " 74 ,1/3/2026  , 0 \r\n"
                " 85 ,5/3/2026  , 0 \r\n"
                "JUSD\r\n"
                " 96 , 1.234'56, 0 \r\n"
                "JUSE\r\n"
                " 0 ,, 1 \r\n"
                " 74 ,15/3/2026 , 0 \r\n"
                " 85 ,          , 0 \r\n"
                "JUSD\r\n"
                " 105 ,    50'00, 0 \r\n"
                "JUSE\r\n"
                " 0 ,, 1 \r\n"
                " 74 ,31/3/2026 , 0 \r\n"
                " 85 ,2/4/2026  , 0 \r\n"
                "JUSD\r\n"
                " 105 ,     2'50, 0 \r\n"
                "JUSE\r\n" +
                UnitTotalLines("1.234'56", "52'50") +
                " 0 ,, 1 \r\n"
                " 1 ,007012V, 0 \r\n"
                " 11 ,BAIXOS    , 0 \r\n"
                " 22 ,PERE ROCA                     , 0 \r\n"
                " 53 ,                    , 0 \r\n"
                " 74 ,10/3/2026 , 0 \r\n"
                " 85 ,          , 0 \r\n"
                "JUSD\r\n"
                " 96 ,   100'00, 0 \r\n"
                "JUSE\r\n" +
                UnitTotalLines("100'00", "0'00") + EstateTotalLines("1.334'56", "52'50") +
                GrandTotalLines("1.334'56", "52'50"));
}

TEST_F(ReportTest, OneDayPeriodSelectsThatDayOnly) {
  // Without a company name the first item of the page is empty.
  WriteFirm("");
  Owner(1, "ANNA VIDAL");
  Estate(2, 1, "EDIFICI SOL");
  Unit(2, 1, "LLUIS COSTA", "1r", "600000000");
  Receipt(2, 1, "20260309", "", 100, 'P');
  Receipt(2, 1, "20260310", "", 200, 'P');
  Receipt(2, 1, "20260310", "", 300, 'D');
  Receipt(2, 1, "20260311", "", 400, 'P');

  EXPECT_EQ(Produce(Period("20260310", "20260310")),
            "DEVICE\r\n" +
                Heading("   1",
                        " 12 ,RELACI\xE0 DE PENDENTS DE VERTICAL EXISTENTS "
                        "ENTRE 10/3/2026  I 10/3/2026 , 2 \r\n",
                        "") +
                " 0 ,, 2 \r\n"
                " 1 ,FINCA 002 - EDIFICI SOL                   , 1 \r\n"
                " 0 ,, 1 \r\n"
                " 1 ,002001V, 0 \r\n"
                " 11 ,1r        , 0 \r\n"
                " 22 ,LLUIS COSTA                   , 0 \r\n"
                " 53 ,600000000           , 0 \r\n"
                " 74 ,10/3/2026 , 0 \r\n"
                " 85 ,          , 0 \r\n"
                "JUSD\r\n"
                " 96 ,     2'00, 0 \r\n"
                "JUSE\r\n"
                " 0 ,, 1 \r\n"
                " 74 ,10/3/2026 , 0 \r\n"
                " 85 ,          , 0 \r\n"
                "JUSD\r\n"
                " 105 ,     3'00, 0 \r\n"
                "JUSE\r\n" +
                UnitTotalLines("2'00", "3'00") + EstateTotalLines("2'00", "3'00") +
                GrandTotalLines("2'00", "3'00"));
}

TEST_F(ReportTest, EstatesAndUnitsWithoutPrintableReceiptsPrintNothing) {
  Owner(1, "ANNA VIDAL");
  // Receipts only outside the period.
  Estate(1, 1, "SENSE REBUTS");
  Unit(1, 1, "A", "1r", "");
  Receipt(1, 1, "20260201", "", 100, 'P');
  Receipt(1, 1, "20260401", "", 100, 'D');
  // Receipts in the period, none pending or returned; the second unit has
  // none at all.
  Estate(2, 1, "TOT COBRAT");
  Unit(2, 1, "B", "2n", "");
  Unit(2, 2, "C", "3r", "");
  Receipt(2, 1, "20260305", "20260306", 100, 'C');
  Receipt(2, 1, "20260306", "", 100, ' ');
  // One unit of an estate with a printable receipt, beside one without.
  Estate(123, 1, "LA RAMBLA");
  Unit(123, 44, "D", "4t", "");
  Unit(123, 45, "E", "5e", "");
  Receipt(123, 44, "20260305", "", 100, 'C');
  Receipt(123, 45, "20260305", "", -12345, 'P');
  // Above the last estate asked for.
  Estate(201, 1, "FORA DE RANG");
  Unit(201, 1, "F", "1r", "");
  Receipt(201, 1, "20260305", "", 100, 'P');

  EXPECT_EQ(Produce(Period("20260301", "20260331", 1, 200)),
            "DEVICE\r\n" + Heading("   1", kMarchTitle) +
                " 0 ,, 2 \r\n"
                " 1 ,FINCA 123 - LA RAMBLA                     , 1 \r\n"
                " 0 ,, 1 \r\n"
                " 1 ,123045V, 0 \r\n"
                " 11 ,5e        , 0 \r\n"
                " 22 ,E                             , 0 \r\n"
                " 53 ,                    , 0 \r\n"
                " 74 ,5/3/2026  , 0 \r\n"
                " 85 ,          , 0 \r\n"
                "JUSD\r\n"
                " 96 ,  -123'45, 0 \r\n"
                "JUSE\r\n" +
                UnitTotalLines("-123'45", "0'00") + EstateTotalLines("-123'45", "0'00") +
                GrandTotalLines("-123'45", "0'00"));
}

TEST_F(ReportTest, RunSelectingNothingWritesOnlyTheDeviceRecord) {
  Owner(1, "ANNA VIDAL");
  Estate(1, 1, "SENSE REBUTS");
  Unit(1, 1, "A", "1r", "");
  Receipt(1, 1, "20260201", "", 100, 'P');
  EXPECT_EQ(Produce(Period("20260301", "20260331"), "LPT1"), "DEVICELPT1\r\n");
  // Nothing in the files at all.
  ResetReportRunState();
  EXPECT_EQ(Produce(Period("20260301", "20260331", 500, 600), "LPT1"),
            "DEVICELPT1\r\n");
}

TEST_F(ReportTest, OwnerHeadingChoiceUsesTheOwnerOrBlanksWhenMissing) {
  Owner(12, "JOAN PUIG");
  Estate(4, 12, "CAL MASSO", 'P');
  Estate(5, 99, "SENSE PROPIETARI", 'P');
  Unit(4, 1, "A", "1r", "");
  Unit(5, 1, "B", "1r", "");
  Receipt(4, 1, "20260305", "", 100, 'P');
  Receipt(5, 1, "20260305", "", 100, 'P');

  const std::string unit_rows_tail =
      " 74 ,5/3/2026  , 0 \r\n"
      " 85 ,          , 0 \r\n"
      "JUSD\r\n"
      " 96 ,     1'00, 0 \r\n"
      "JUSE\r\n" +
      UnitTotalLines("1'00", "0'00") + EstateTotalLines("1'00", "0'00");
  // The second estate's owner is missing: the first one's name must not
  // stay behind.
  EXPECT_EQ(Produce(Period("20260301", "20260331")),
            "DEVICE\r\n" + Heading("   1", kMarchTitle) +
                " 0 ,, 2 \r\n"
                " 1 ,FINCA 004 - JOAN PUIG                     , 1 \r\n"
                " 0 ,, 1 \r\n"
                " 1 ,004001V, 0 \r\n"
                " 11 ,1r        , 0 \r\n"
                " 22 ,A                             , 0 \r\n"
                " 53 ,                    , 0 \r\n" +
                unit_rows_tail +
                " 0 ,, 2 \r\n"
                " 1 ,FINCA 005 - " + std::string(30, ' ') + ", 1 \r\n"
                " 0 ,, 1 \r\n"
                " 1 ,005001V, 0 \r\n"
                " 11 ,1r        , 0 \r\n"
                " 22 ,B                             , 0 \r\n"
                " 53 ,                    , 0 \r\n" +
                unit_rows_tail + GrandTotalLines("2'00", "0'00"));
}

// Page breaks: the heading leaves the line count at 5, the estate heading
// at 8 and each row adds 1.

// Stands in for the record manager: passes every call on, but the reads
// through one position block answer a planted status.
struct PlantedStatus {
  const uint8_t* block = nullptr;
  int16_t status = 0;
} planted;

int16_t CallWithPlantedStatus(uint16_t op, uint8_t* pb, void* data, uint32_t* len,
                              void* key, uint8_t key_len, int8_t key_number) {
  const bool read = op == store::kOpGetEqual || op == store::kOpGetGreaterOrEqual ||
                    op == store::kOpGetNext;
  if (read && pb == planted.block) return planted.status;
  return store::BTRCALL(op, pb, data, len, key, key_len, key_number);
}

// A read that fails (a damaged file, an I/O error) stops the production and
// names the file; end of file and key not found only end their loop.
TEST_F(ReportTest, FailedReadStopsTheProductionAndNamesTheFile) {
  Owner(1, "ANNA ROS");
  Estate(1, 1, "CAL ROS");
  Unit(1, 1, "PERE", "1r", "");
  Receipt(1, 1, "20260301", "", 100, 'P');
  Receipt(1, 1, "20260302", "", 100, 'P');
  store::FileTableState().call = &CallWithPlantedStatus;
  const std::pair<int16_t, const char*> files[] = {
      {store::estate::kFileId, "DADES\\FinquesV"}, {store::owner::kFileId, "DADES\\PropietV"},
      {store::unit::kFileId, "DADES\\DepartaV"}, {store::receipt::kFileId, "DADES\\CobramV"}};
  for (const auto& [id, name] : files) {
    for (int16_t status : {store::kStIoError, store::kStEndOfFile, store::kStKeyNotFound}) {
      planted = {store::FileTableState().slots[store::FindFileSlot(id).slot].position.data(),
                 status};
      ASSERT_EQ(OpenPrintFile(""), kPrintOk);
      const ReportReadFailure failure = ProduceReport(Period("20260301", "20260331"));
      ClosePrintFile();
      const bool failed = status == store::kStIoError;
      EXPECT_EQ(failure.status, failed ? status : 0) << name << " " << status;
      EXPECT_EQ(failure.file, failed ? name : "") << status;
    }
  }
  planted = {};
  config::SettingsState().language = "SPA";
  EXPECT_EQ(ReadFailureText({"DADES\\CobramV", 2}),
            "NO SE PUEDE LEER EL FICHERO DADES\\CobramV (2): EL LISTADO NO SE IMPRIME");
}

class ReportPageTest : public ReportTest {
 protected:
  void OneUnitWith(int receipts) {
    Owner(1, "ANNA VIDAL");
    Estate(9, 1, "GRAN VIA");
    Unit(9, 1, "A", "1r", "");
    for (int i = 0; i < receipts; ++i)
      Receipt(9, 1, "20260305", "", 100, 'P');
  }
  static std::string FirstRows(int rows) {
    std::string out =
        " 0 ,, 2 \r\n"
        " 1 ,FINCA 009 - GRAN VIA                      , 1 \r\n"
        " 0 ,, 1 \r\n"
        " 1 ,009001V, 0 \r\n"
        " 11 ,1r        , 0 \r\n"
        " 22 ,A                             , 0 \r\n"
        " 53 ,                    , 0 \r\n" + kRow;
    for (int i = 1; i < rows; ++i) out += " 0 ,, 1 \r\n" + kRow;
    return out;
  }
  static inline const std::string kRow =
      " 74 ,5/3/2026  , 0 \r\n"
      " 85 ,          , 0 \r\n"
      "JUSD\r\n"
      " 96 ,     1'00, 0 \r\n"
      "JUSE\r\n";
};

TEST_F(ReportPageTest, RowStartsANewPageOncePastLine59) {
  // 52 rows end on line 60; the 53rd goes to page 2 without an estate
  // heading or the unit's columns.
  OneUnitWith(53);
  EXPECT_EQ(Produce(Period("20260301", "20260331")),
            "DEVICE\r\n" + Heading("   1", kMarchTitle) + FirstRows(52) +
                Heading("   2", kMarchTitle) + " 0 ,, 1 \r\n" + kRow +
                UnitTotalLines("53'00", "0'00") + EstateTotalLines("53'00", "0'00") +
                GrandTotalLines("53'00", "0'00"));
}

TEST_F(ReportPageTest, EstateTotalStartsANewPageOncePastLine58) {
  // 49 rows, the unit totals and the rule end on line 59: the estate total
  // goes to page 2 and the grand total follows it there.
  OneUnitWith(49);
  EXPECT_EQ(Produce(Period("20260301", "20260331")),
            "DEVICE\r\n" + Heading("   1", kMarchTitle) + FirstRows(49) +
                UnitTotalLines("49'00", "0'00") +
                EstateTotalLines("49'00", "0'00", Heading("   2", kMarchTitle)) +
                GrandTotalLines("49'00", "0'00"));
}

TEST_F(ReportPageTest, GrandTotalStartsANewPageOncePastLine59) {
  // 48 rows: the estate total ends on line 59, its rule on line 60.
  OneUnitWith(48);
  EXPECT_EQ(Produce(Period("20260301", "20260331")),
            "DEVICE\r\n" + Heading("   1", kMarchTitle) + FirstRows(48) +
                UnitTotalLines("48'00", "0'00") + EstateTotalLines("48'00", "0'00") +
                GrandTotalLines("48'00", "0'00", Heading("   2", kMarchTitle)));
}

TEST_F(ReportPageTest, EstateHeadingStartsANewPageOncePastLine58) {
  // A first estate of n rows ends on line 11 + n; the second estate's blank
  // lines take it to 13 + n, and past 58 its heading goes to the next page.
  // Otherwise the second estate's total is the one that moves over.
  auto expected = [](int rows, bool heading_moves) {
    std::string totals = std::to_string(rows) + "'00";
    std::string grand = std::to_string(rows + 1) + "'00";
    return "DEVICE\r\n" + Heading("   1", kMarchTitle) + FirstRows(rows) +
           UnitTotalLines(totals, "0'00") + EstateTotalLines(totals, "0'00") +
           " 0 ,, 2 \r\n" +
           (heading_moves ? Heading("   2", kMarchTitle) : std::string()) +
           " 1 ,FINCA 010 - RAMBLA                        , 1 \r\n"
           " 0 ,, 1 \r\n"
           " 1 ,010001V, 0 \r\n"
           " 11 ,2n        , 0 \r\n"
           " 22 ,B                             , 0 \r\n"
           " 53 ,                    , 0 \r\n" + kRow + UnitTotalLines("1'00", "0'00") +
           EstateTotalLines("1'00", "0'00",
                            heading_moves ? std::string() : Heading("   2", kMarchTitle)) +
           GrandTotalLines(grand, "0'00");
  };
  OneUnitWith(45);
  Estate(10, 1, "RAMBLA");
  Unit(10, 1, "B", "2n", "");
  Receipt(10, 1, "20260305", "", 100, 'P');
  EXPECT_EQ(Produce(Period("20260301", "20260331")), expected(45, false));
  // One row more: line 59 after the blank lines.
  Receipt(9, 1, "20260305", "", 100, 'P');
  EXPECT_EQ(Produce(Period("20260301", "20260331")), expected(46, true));
}

TEST_F(ReportPageTest, FortySevenRowsKeepEverythingOnOnePage) {
  OneUnitWith(47);
  EXPECT_EQ(Produce(Period("20260301", "20260331")),
            "DEVICE\r\n" + Heading("   1", kMarchTitle) + FirstRows(47) +
                UnitTotalLines("47'00", "0'00") + EstateTotalLines("47'00", "0'00") +
                GrandTotalLines("47'00", "0'00"));
}

TEST_F(ReportTest, SpanishSessionPrintsTranslatedHeadings) {
  std::string catalogue;
  ASSERT_TRUE(platform::ReadWholeFile(
      std::string(KEL_SOURCE_DIR) + "/install/LOCALE/RBPNDLST.LNG", catalogue));
  temp_.Write("LOCALE/RBPNDLST.LNG", catalogue);
  config::SettingsState().language = "SPA";
  WriteFirm("FINCAS");
  Owner(1, "ANNA VIDAL");
  Estate(3, 1, "EL PI");
  Unit(3, 1, "A", "1r", "");
  Receipt(3, 1, "20260305", "", 100, 'D');

  EXPECT_EQ(Produce(Period("20260301", "20260331")),
            "DEVICE\r\n"
            "PAGE 66 \r\n"
            "*@e\r\n"
            " 1 ,FINCAS, 0 \r\n"
            "JUSD\r\n"
            " 85 ,P\xB5GINA    1, 2 \r\n"
            " 10 ,RELACI\xE0N DE PENDIENTES DE VERTICAL EXISTENTES ENTRE "
            "1/3/2026   Y 31/3/2026 , 2 \r\n"
            "*q\r\n"
            " 1 ,RECIBO, 0 \r\n"
            " 11 ,DEPART., 0 \r\n"
            " 22 ,TITULAR, 0 \r\n"
            " 53 ,TEL\x90" "FONO, 0 \r\n"
            " 74 ,F.EXPED., 0 \r\n"
            " 85 ,F.COBRO, 0 \r\n"
            " 96 ,PENDIENTE, 0 \r\n"
            " 105 , DEVUELTO, 1 \r\n"
            " 1 ," + std::string(135, '-') + ", 0 \r\n"
            " 0 ,, 2 \r\n"
            " 1 ,FINCA 003 - EL PI                         , 1 \r\n"
            " 0 ,, 1 \r\n"
            " 1 ,003001V, 0 \r\n"
            " 11 ,1r        , 0 \r\n"
            " 22 ,A                             , 0 \r\n"
            " 53 ,                    , 0 \r\n"
            " 74 ,5/3/2026  , 0 \r\n"
            " 85 ,          , 0 \r\n"
            "JUSD\r\n"
            " 105 ,     1'00, 0 \r\n"
            "JUSE\r\n" +
            UnitTotalLines("0'00", "1'00") + EstateTotalLines("0'00", "1'00") +
            GrandTotalLines("0'00", "1'00"));
}

TEST_F(ReportTest, PesetasAsPrintCurrencyConvertTheAmounts) {
  values::SetCurrency("x,P");
  Owner(1, "ANNA VIDAL");
  Estate(3, 1, "EL PI");
  Unit(3, 1, "A", "1r", "");
  Receipt(3, 1, "20260305", "", 123456, 'P');
  std::string out = Produce(Period("20260301", "20260331"));
  EXPECT_NE(out.find(" 96 ,  205.414, 0 \r\n"), std::string::npos) << out;
  // Back to the application currency afterwards.
  EXPECT_EQ(values::FormatAmount("Z,ZZZ,ZZ9", 123456), " 1.234'56");
}

// The parameter check on form 1; forms shaped like the module's own.
class ParameterCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    config::PathsState().temp_dir = temp_.path();
    config::ResetFormTableState();
    ResetReportRunState();
    ui::ResetFormHooksState();
    ui::ResetFormInputState();
    config::FormTable& t = config::FormTableState();
    t.forms.resize(2);
    t.forms[1].name = "d,1b";
    for (int width : {8, 8, 3, 3}) {
      config::FormField f;
      f.width = static_cast<int16_t>(width);
      f.value.assign(width, ' ');
      t.forms[0].fields.push_back(f);
    }
    config::FormField answer;
    answer.width = 1;
    answer.value = " ";
    t.forms[1].fields.push_back(answer);
  }
  void TearDown() override {
    config::ResetFormTableState();
    config::ResetPathsState();
  }
  void Fill(const std::string& start, const std::string& end,
            const std::string& first, const std::string& last) {
    config::FormTableState().FindField(1, 1)->SetValue(start);
    config::FormTableState().FindField(1, 2)->SetValue(end);
    config::FormTableState().FindField(1, 3)->SetValue(first);
    config::FormTableState().FindField(1, 4)->SetValue(last);
  }
  testing_support::TempDir temp_;
};

TEST_F(ParameterCheckTest, TextsBecomePackedParameters) {
  ReportParameters p = ParametersFromTexts("01032026", "31/3/26", "1  ", "999");
  EXPECT_EQ(p.period_start, PackedDate("20260301"));
  EXPECT_EQ(p.period_end, PackedDate("20260331"));
  EXPECT_EQ(p.first_estate, PackedCode(1));
  EXPECT_EQ(p.last_estate, PackedCode(999));
  EXPECT_FALSE(ParametersInverted(p));
}

TEST_F(ParameterCheckTest, InvertedRangesKeepTheOperatorInTheForm) {
  Fill("01042026", "01032026", "1", "999");
  EXPECT_EQ(ParameterCheck(1, 13), -1);
  EXPECT_EQ(ReportRunState().parameters.period_start, PackedDate("20260401"));
  Fill("01032026", "01042026", "20", "3");
  EXPECT_EQ(ParameterCheck(1, 13), -1);
  EXPECT_EQ(ReportRunState().parameters.first_estate, PackedCode(20));
  // Estate numbers compare as numbers, not as typed text.
  EXPECT_FALSE(ParametersInverted(ParametersFromTexts("1/3/26", "1/3/26", "9", "10")));
  EXPECT_TRUE(ParametersInverted(ParametersFromTexts("2/3/26", "1/3/26", "1", "1")));
}

TEST_F(ParameterCheckTest, ValidRangesAskForConfirmation) {
  Fill("01032026", "31032026", "1", "999");
  ui::InjectKeys("S\r");
  EXPECT_EQ(ParameterCheck(1, 13), 0);
  EXPECT_EQ(ReportRunState().parameters.period_end, PackedDate("20260331"));
  // The answer is blanked before every confirmation.
  ui::InjectKeys("\r");
  EXPECT_EQ(ParameterCheck(1, 13), -1);
  ui::InjectKeys("N\r");
  EXPECT_EQ(ParameterCheck(1, 13), -1);
  ui::InjectKeys("\x1b");
  EXPECT_EQ(ParameterCheck(1, 13), -1);
  // Equal ends are a valid range.
  Fill("01032026", "01032026", "7", "7");
  ui::InjectKeys("S\r");
  EXPECT_EQ(ParameterCheck(1, 0x4F00), 0);
}

TEST_F(ParameterCheckTest, EscAndOtherFormsAlwaysClose) {
  Fill("01042026", "01032026", "20", "3");
  EXPECT_EQ(ParameterCheck(1, 27), 0);
  EXPECT_EQ(ParameterCheck(2, 13), 0);
  EXPECT_EQ(ParameterCheck(3, 13), 0);
}

// The catalogue keeps every fixed-width text of the report and its forms at
// its Catalan width, so that columns and form layouts hold in every language.
TEST(ReportCatalogueTest, TranslationsKeepTheWidthsOfColumnsAndLabels) {
  testing_support::TempDir dir;
  std::string catalogue;
  ASSERT_TRUE(platform::ReadWholeFile(
      std::string(KEL_SOURCE_DIR) + "/install/LOCALE/RBPNDLST.LNG", catalogue));
  dir.Write("LOCALE/RBPNDLST.LNG", catalogue);
  config::ResetPathsState();
  config::ResetSettingsState();
  ResetAppState();
  AppState().program_name = "RBPNDLST";
  config::PathsState().root = dir.path();
  const std::vector<std::string> fixed = {
      "P\xB7GINA ", "DEPART.", "TITULAR", "  PENDENT", "   TORNAT", "FINCA ",
      "TOTAL FINCA ", "TOTAL GENERAL", "PAR\xB7METRES DEL LLISTAT",
      "Data inicial : ", "Data final   : ", "Finca inicial: ",
      "Finca final  : ", "F4 Llista de finques   Esc Sortir",
      "Confirmeu el llistat (S/N): "};
  for (const char* lang : {"SPA", "GLG", "OCI"}) {
    config::SettingsState().language = lang;
    for (const std::string& text : fixed)
      EXPECT_EQ(Translate(text).size(), text.size()) << lang << " " << text;
    // Column headings that may be shorter must still fit their column.
    EXPECT_LE(Translate("REBUT").size(), 10u) << lang;
    EXPECT_LE(Translate("TEL\xD4" "FON").size(), 21u) << lang;
    EXPECT_LE(Translate("D.EXPED.").size(), 11u) << lang;
    EXPECT_LE(Translate("D.COBR.").size(), 11u) << lang;
    // Every entry is really there: the Spanish, Galician and Aranese page
    // words differ from the Catalan one.
    EXPECT_NE(Translate("P\xB7GINA "), "P\xB7GINA ") << lang;
    EXPECT_NE(Translate(" I "), " I ") << lang;
    // The confirmation still takes "S" in every language.
    EXPECT_EQ(Translate("|S,S\xA1|N,No").substr(0, 3), "|S,") << lang;
  }
  config::ResetSettingsState();
  ResetAppState();
}

}  // namespace
}  // namespace app
