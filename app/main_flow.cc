#include "app/main_flow.h"

#include <cstdio>

#include "app/app_state.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/form_file.h"
#include "app/report.h"
#include "app/report_run.h"
#include "app/screen_wiring.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/tty_terminal.h"
#include "store/record_files.h"
#include "values/digits.h"
#include "values/masks.h"

namespace app {

void StartUp() {
  config::SetUpPaths();
  values::SetCurrency("a,E");
  config::Settings& s = config::SettingsState();
  s.work_date = values::PackDigits(s.work_date_text);
}

int RunMainFlow() {
  if (auto tty = platform::MakeTtyTerminal()) platform::InstallTerminal(std::move(tty));
  platform::SetCursorSize(0);

  StartUp();
  const std::string& root = config::PathsState().root;
  if (!root.empty() && !platform::ChangeDirectory(root)) {
    // Relative paths would then point elsewhere: better stop than read or
    // create files in the wrong place.
    platform::ShutdownTerminal();
    std::fprintf(stderr, "RBPNDLST: cannot change to the installation folder %s\n", root.c_str());
    return 1;
  }
  AppState().program_name = "RBPNDLST";

  const std::string form_file = FormFilePath();
  FormFileResult loaded = LoadFormFile(form_file);
  if (loaded.ok) loaded = PrepareParameterForm(form_file);
  if (!loaded.ok) {
    platform::ShutdownTerminal();
    std::fprintf(stderr, "RBPNDLST: %s\n", loaded.message.c_str());
    return 1;
  }

  WireScreenHooks();
  OpenReportFiles();
  RunReport();

  int16_t status = 0;
  store::CloseAllRecordFiles(status);
  platform::ShutdownTerminal();
  return 0;
}

}  // namespace app
