#include "app/screen_wiring.h"

#include <cstdlib>

#include "app/print_file.h"
#include "app/report_run.h"
#include "platform/console.h"
#include "store/store_hooks.h"
#include "ui/calculator.h"
#include "ui/calendar.h"
#include "ui/form_hooks.h"
#include "ui/keys.h"
#include "ui/notices.h"
#include "ui/screen.h"
#include "values/field_hooks.h"

namespace app {

void WireScreenHooks() {
  ui::FormHooks& forms = ui::FormHooksState();
  forms.parameter_check = ParameterCheck;
  forms.field_display = values::ShowFieldValue;
  forms.field_accept = values::AcceptFieldValue;

  ui::KeyHooks& keys = ui::KeyHooksState();
  keys.calculator = ui::Calculator;
  keys.calendar = ui::Calendar;

  store::StoreHooks& store = store::StoreHooksState();
  store.show_message = [](int16_t row, const std::string& text) { ui::ShowMessage(row, text); };
  store.pop_message = [] { ui::WinPop(); };
  store.beep = [] { platform::Beep(); };
  store.wait_for_key = [] { ui::WaitForAnyKey(); };
  // The only plain file the module keeps open is the print work file; a
  // half-written one is closed so that what was written is not lost.
  store.close_plain_files = [] {
    if (PrintFileIsOpen()) ClosePrintFile();
  };
  // The terminal must be given back before the process ends.
  store.exit_program = [](int code) {
    platform::ShutdownTerminal();
    std::exit(code);
  };
}

}  // namespace app
