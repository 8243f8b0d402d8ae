#include "app/screen_wiring.h"

#include <cstdlib>

#include "app/browse_hooks.h"
#include "app/main_flow.h"
#include "app/print_file.h"
#include "app/report_run.h"
#include "platform/console.h"
#include "store/browse_list.h"
#include "store/record_files.h"
#include "store/store_hooks.h"
#include "ui/calculator.h"
#include "ui/calendar.h"
#include "ui/form_hooks.h"
#include "ui/form_input.h"
#include "ui/keys.h"
#include "ui/notices.h"
#include "ui/screen.h"
#include "values/field_hooks.h"

namespace app {

namespace {

store::BrowseKey BrowseKeyOf(int16_t key) {
  switch (key) {
    case ui::kKeyEnter: return store::BrowseKey::kEnter;
    case ui::kKeyUp: return store::BrowseKey::kUp;
    case ui::kKeyDown: return store::BrowseKey::kDown;
    case ui::kKeyPgUp: return store::BrowseKey::kPgUp;
    case ui::kKeyPgDn: return store::BrowseKey::kPgDn;
    case ui::kKeyLeft: return store::BrowseKey::kLeft;
    case ui::kKeyRight: return store::BrowseKey::kRight;
    case ui::kKeyF4: return store::BrowseKey::kF4;
    default: return store::BrowseKey::kOther;
  }
}

// The look-up lists: the module's three hooks, the screen and the keys.
void WireBrowseLists() {
  ui::FormHooks& forms = ui::FormHooksState();
  forms.browse_list = [](int16_t list) {
    int16_t result = -1;
    store::BrowseList(list, result);
    return result;
  };
  forms.browse_after_select = BrowseAfterSelect;

  store::BrowseHooks& browse = store::BrowseHooksState();
  browse.limits = BrowseLimits;
  browse.line_text = BrowseLineText;
  browse.after_select = BrowseAfterSelect;
  browse.run_form = [](int16_t form) {
    int16_t key = 0;
    ui::FormInput(form, 0, 0, key);
    return key;
  };
  browse.set_colour = ui::SetColour;
  browse.win_push = ui::WinPush;
  browse.win_pop = ui::WinPop;
  browse.win_frame = ui::WinFrame;
  browse.write_at = [](int16_t row, int16_t col, const std::string& text) {
    ui::WinLocate(row, col);
    platform::WriteText(text);
  };
  browse.key_map = ui::KeyMap;
  browse.wait_key = [] {
    int16_t key = 0;
    ui::WaitKey(key);
    return BrowseKeyOf(key);
  };
  browse.esc_waiting = [] {
    int16_t key = 0, button = 0, row = 0, col = 0;
    ui::GetKey(key, button, row, col);
    return key == ui::kKeyEsc;
  };
}

// The only plain file the module keeps open is the print work file; a
// half-written one is closed so that what was written is not lost.
void ClosePlainFiles() {
  if (PrintFileIsOpen()) ClosePrintFile();
}

// The terminal must be given back before the process ends.
void ExitProgram(int code) {
  platform::ShutdownTerminal();
  std::exit(code);
}

// Nobody is left to answer: whatever the program was doing, it ends in
// order, its files closed and the terminal given back as far as it still
// exists.
void EndAfterHangUp() {
  // Anything read from here on (a notice while closing) gets Esc.
  platform::SetHangUpHandler(nullptr);
  ClosePlainFiles();
  int16_t status = 0;
  store::CloseAllRecordFiles(status);
  ExitProgram(kExitHangUp);
}

}  // namespace

void WireScreenHooks() {
  ui::FormHooks& forms = ui::FormHooksState();
  forms.parameter_check = ParameterCheck;
  forms.field_display = values::ShowFieldValue;
  forms.field_accept = values::AcceptFieldValue;
  WireBrowseLists();

  ui::KeyHooks& keys = ui::KeyHooksState();
  keys.calculator = ui::Calculator;
  keys.calendar = ui::Calendar;
  // Idle for as long as the operator takes: other programs' writes must be
  // able to reach the record files meanwhile.
  keys.idle = store::ReleaseReadSnapshots;

  store::StoreHooks& store = store::StoreHooksState();
  store.show_message = [](int16_t row, const std::string& text) { ui::ShowMessage(row, text); };
  store.pop_message = [] { ui::WinPop(); };
  store.beep = [] { platform::Beep(); };
  store.wait_for_key = [] { ui::WaitForAnyKey(); };
  store.close_plain_files = ClosePlainFiles;
  store.exit_program = ExitProgram;
  platform::SetHangUpHandler(EndAfterHangUp);
}

}  // namespace app
