// The module on a headless screen over a temporary installation: the
// creation dictionaries of the four record files, the module's own form
// file loaded and form 1 readied, the screen hooks wired and the record
// files open (empty). Helpers put estates, units and receipts in.
// Header-only, for test programs that link the module.
#pragma once

#include <string>

#include "app/app_state.h"
#include "app/form_file.h"
#include "app/print_file.h"
#include "app/report.h"
#include "app/report_run.h"
#include "app/screen_wiring.h"
#include "store/browse_list.h"
#include "store/record_files.h"
#include "store/record_layouts.h"
#include "store/store_hooks.h"
#include "tests/support/installation.h"
#include "tests/support/ui_fixture.h"
#include "values/masks.h"

namespace testing_support {

class InstallationTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    term().SetDryLimit(50);
    store::ResetFileTableState();
    store::ResetStoreHooksState();
    store::ResetBrowseHooksState();
    store::ResetBrowseState();
    app::ResetAppState();
    app::ResetReportRunState();
    app::ResetPrintFileState();

    InstallDictionaries(dir().path());
    config::Paths& paths = config::PathsState();
    paths.root = dir().path();
    paths.temp_dir = dir().path();
    config::SettingsState().work_date = PackedDate("20261207");
    app::AppState().program_name = "RBPNDLST";
    values::SetCurrency("a,E");

    const std::string form_file = std::string(KEL_SOURCE_DIR) + "/install/FORMS/RBPNDLST.KPN";
    app::FormFileResult loaded = app::LoadFormFile(form_file);
    if (loaded.ok) loaded = app::PrepareParameterForm(form_file);
    ASSERT_TRUE(loaded.ok) << loaded.message;
    app::WireScreenHooks();
    store::StoreHooksState().exit_program = [](int code) {
      ADD_FAILURE() << "record file open failed, exit " << code;
    };
    app::OpenReportFiles();
  }

  void TearDown() override {
    int16_t status = 0;
    store::CloseAllRecordFiles(status);
    store::ResetStoreHooksState();
    store::ResetBrowseHooksState();
    app::ResetPrintFileState();
    UiTest::TearDown();
  }

  void Estate(int n, const std::string& name) {
    ASSERT_EQ(InsertRecord(store::estate::kFileId, EstateRecord(n, n, name)), 0);
  }
  void Unit(int estate, int unit, const std::string& holder, const std::string& designation,
            const std::string& phone) {
    ASSERT_EQ(InsertRecord(store::unit::kFileId,
                           UnitRecord(estate, unit, holder, designation, phone)),
              0);
  }
  // Issue date "YYYYMMDD"; every receipt collected on 30 June 2026.
  void Receipt(int estate, int unit, const std::string& issued, int32_t cents, char state) {
    ASSERT_EQ(InsertRecord(store::receipt::kFileId,
                           ReceiptRecord(estate, unit, issued, "20260630", cents, state)),
              0);
  }
  // The stored value of a field of form 1.
  std::string Value(int16_t field) {
    return config::FormTableState().FindField(1, field)->value;
  }
};

}  // namespace testing_support
