#include "app/main_flow.h"

#include <cstdio>

#include "app/app_state.h"
#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/form_file.h"
#include "app/report.h"
#include "app/report_run.h"
#include "app/screen_wiring.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/tty_signals.h"
#include "platform/tty_terminal.h"
#include "store/record_files.h"
#include "values/digits.h"
#include "values/masks.h"

namespace app {

namespace {

std::string NoFolderText() {
  return config::ByLanguage<std::string>(
      config::SettingsState().language, "NO ES POT ENTRAR A LA CARPETA D'INSTAL\xFALACI\xE0 ",
      "NO SE PUEDE ENTRAR EN LA CARPETA DE INSTALACI\xE0N ",
      "NOM SE PODE ENTRAR NO CARTAFOL DE INSTALA\x80\xC7O ",
      "NON SE P\xE3T ENTRAR ENA CARPETA D'INSTALACION ");
}

std::string SmallWindowText() {
  return config::ByLanguage<std::string>(
      config::SettingsState().language, "Cal una finestra de 80 x 25 com a m\xA1nim",
      "Hace falta una ventana de 80 x 25 como m\xA1nimo",
      "C\xA2mpre unha xanela de 80 x 25 como m\xA1nimo",
      "Cau ua fin\x8Astra de 80 x 25 coma m\xA1nim");
}

// Said when a record file read through its memory map shrank or failed
// underneath the program.
std::string UnreadableDataText() {
  return config::ByLanguage<std::string>(
      config::SettingsState().language, "NO ES POT LLEGIR UN FITXER DE DADES DE ",
      "NO SE PUEDE LEER UN FICHERO DE DATOS DE ", "NON SE PODE LER UN FICHEIRO DE DATOS DE ",
      "NON SE P\xE3T L\x90GER UN FICH\xD4R DE DONADES DE ");
}

// Said after the terminal is given back, so that it stays on the screen.
int StartUpFailure(const std::string& cp850) {
  platform::ShutdownTerminal();
  std::fprintf(stderr, "RBPNDLST: %s\n", platform::Cp850ToUtf8(cp850).c_str());
  return kExitStartUpFailure;
}

}  // namespace

void StartUp() {
  config::SetUpPaths();
  values::SetCurrency("a,E");
  config::Settings& s = config::SettingsState();
  s.work_date = values::PackDigits(s.work_date_text);
}

int RunMainFlow() {
  if (auto tty = platform::MakeTtyTerminal()) platform::InstallTerminal(std::move(tty));
  return RunOnTerminal();
}

int RunOnTerminal() {
  platform::SetCursorSize(0);

  StartUp();
  platform::SetSmallWindowNotice(SmallWindowText());
  // Nothing is printed then: the report would be missing what could not be
  // read.
  platform::EndOnBusError("RBPNDLST: " + UnreadableDataText() +
                          config::PathsState().root + "DADES");
  const std::string& root = config::PathsState().root;
  if (!root.empty() && !platform::ChangeDirectory(root)) {
    // Relative paths would then point elsewhere: better stop than read or
    // create files in the wrong place.
    return StartUpFailure(NoFolderText() + root);
  }
  AppState().program_name = "RBPNDLST";

  const std::string form_file = FormFilePath();
  FormFileResult loaded = LoadFormFile(form_file);
  if (loaded.ok) loaded = PrepareParameterForm(form_file);
  if (!loaded.ok) return StartUpFailure(loaded.message);

  WireScreenHooks();
  OpenReportFiles();
  RunReport();

  int16_t status = 0;
  store::CloseAllRecordFiles(status);
  platform::ShutdownTerminal();
  return 0;
}

}  // namespace app
