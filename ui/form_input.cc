#include "ui/form_input.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/config/form_table.h"
#include "app/config/settings.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "ui/field_editor.h"
#include "ui/form_hooks.h"
#include "ui/help.h"
#include "ui/keys.h"
#include "ui/screen.h"

namespace ui {

namespace {

using platform::TrimTrailingBlanks;

constexpr int16_t kCode2 = 2;

// Parent runs nest; a form file whose parents form a cycle must not recurse
// without end.
constexpr int kMaxDepth = 8;

using config::kFieldCursorAtEnd;
using config::kFieldDisplayOnly;
using config::kFieldFresh;
using config::kFieldMasked;

bool DisplayOnly(const config::FormField& f) { return f.Has(kFieldDisplayOnly); }

int16_t ValueColumn(const config::FormField& f) {
  return static_cast<int16_t>(f.col + static_cast<int>(f.label.size()));
}

// The keys that end a parent run in a way that ends its child as well.
bool EndsChild(int16_t key) {
  return key == kKeyPgUp || key == kKeyPgDn || key == kKeyEnd || key == kCode2 || key == kKeyEnter ||
         key == kKeyDown || key == kKeyUp;
}

// Lowest- and highest-numbered editable fields; false when there is none.
bool FindFirstLast(const config::Form& form, int16_t& first, int16_t& last) {
  first = last = 0;
  for (size_t i = 0; i < form.fields.size(); ++i) {
    if (DisplayOnly(form.fields[i])) continue;
    if (first == 0) first = static_cast<int16_t>(i + 1);
    last = static_cast<int16_t>(i + 1);
  }
  return first != 0;
}

// Column of the menu title: 41 minus half its length, the column itself
// rounded to the nearest whole number with halves to even (" Caixa ", 7
// characters, starts at 38: 37.5 rounds up to the even 38).
int16_t TitleColumn(size_t length) {
  const long twice = 82 - static_cast<long>(std::min<size_t>(length, 32000));
  if (twice % 2 == 0) return static_cast<int16_t>(twice / 2);
  // Odd: halfway between floor_half and floor_half + 1 (twice - 1 is even,
  // so the division is exact for negative values too).
  const long floor_half = (twice - 1) / 2;
  return static_cast<int16_t>(floor_half % 2 == 0 ? floor_half : floor_half + 1);
}

void Paint(int16_t number, const config::Form& form) {
  SetColour("rh");
  const std::string& title = config::SettingsState().menu_title;
  platform::SetCursor(1, TitleColumn(title.size()));
  platform::WriteText(title);
  SetColour("n");
  for (const config::FormField& f : form.fields) {
    WinLocate(f.row, f.col);
    platform::WriteText(f.label);
  }
  SetColour("h");
  for (size_t i = 0; i < form.fields.size(); ++i)
    HookFieldDisplay(number, static_cast<int16_t>(i + 1));
}

void BlankDescription(const config::FormField& f) {
  WinLocate(f.row, static_cast<int16_t>(ValueColumn(f) + f.width));
  platform::WriteText(std::string(static_cast<size_t>(f.description_width), ' '));
}

// Shows the editing buffer at the field, one piece per line of the field.
void ShowBuffer(const config::FormField& f, const std::string& buffer) {
  if (f.Has(kFieldMasked)) return;
  const int line = f.line_width > 0 ? f.line_width : static_cast<int>(buffer.size());
  if (line <= 0) return;
  int16_t row = f.row;
  for (size_t at = 0; at < buffer.size(); at += static_cast<size_t>(line), ++row) {
    WinLocate(row, ValueColumn(f));
    platform::WriteText(buffer.substr(at, static_cast<size_t>(line)));
  }
}

// The field under a mouse press at (row, col) relative to the form, or 0.
int16_t FieldAt(const config::Form& form, int row, int col) {
  for (size_t i = 0; i < form.fields.size(); ++i) {
    const config::FormField& f = form.fields[i];
    if (DisplayOnly(f)) continue;
    const int line = f.line_width > 0 ? f.line_width : f.width;
    int lines = 1;
    if (f.line_width > 0) lines = (f.width + f.line_width - 1) / f.line_width;
    if (lines < 1) lines = 1;
    const int last_col = f.col + static_cast<int>(f.label.size()) + line + f.description_width - 1;
    if (row >= f.row && row <= f.row + lines - 1 && col >= f.col && col <= last_col)
      return static_cast<int16_t>(i + 1);
  }
  return 0;
}

// F4 on a field: offers its look-up list; the key says where to go next.
void OfferList(int16_t number, const config::Form& form, int16_t& current, int16_t& key) {
  key = 0;
  const FormHooks& hooks = FormHooksState();
  const config::FormField& f = form.fields[static_cast<size_t>(current - 1)];
  const int16_t list_number = f.look_up_list;
  if (list_number == 0 || !hooks.browse_list) return;
  for (;;) {
    if (hooks.browse_list(list_number) != 0) return;
    int16_t list = list_number;
    int16_t field = current;
    if (hooks.browse_after_select) hooks.browse_after_select(list, number, field);
    if (list == 0) continue;  // the hook wants the list again
    const int16_t count = static_cast<int16_t>(form.fields.size());
    if (field == current) {
      key = (field == count && form.parent == 0) ? kKeyEnter : kKeyDown;
    } else {
      current = field;
      const config::FormField* moved =
          field >= 1 && field <= count ? &form.fields[static_cast<size_t>(field - 1)] : nullptr;
      if (moved != nullptr && field < count && DisplayOnly(*moved)) key = kKeyDown;
    }
    return;
  }
}

// Runs the parent of `form` as a parent run; true when the child ends too.
bool RunParent(const config::Form& form, int16_t leave_top, int16_t leave_bottom, int16_t& key) {
  if (FormInputState().depth >= kMaxDepth) {
    key = 0;
    return false;
  }
  FormInput(static_cast<int16_t>(-form.parent), leave_top, leave_bottom, key);
  return EndsChild(key);
}

// Whether `start`'s chain of parents leads to the form shown last.
void FollowParentLink(int16_t start) {
  int16_t& last_shown = FormInputState().last_form_shown;
  int16_t reached = start;
  const int limit = config::FormTableState().FormCount();
  for (int steps = 0; steps < limit && last_shown != reached && last_shown > 0; ++steps) {
    const config::Form* f = config::FormTableState().FindForm(reached);
    if (f == nullptr || f->parent == 0) break;
    reached = f->parent;
  }
  if (reached != last_shown) last_shown = 0;
}

// One run of one form, as it goes from field to field.
struct Run {
  int16_t number;  // the form
  bool parent_run;
  config::Form& form;  // the hooks change values, never the table's shape
  bool windowed;
  int16_t leave_top, leave_bottom;
  std::string exit_keys;  // the form's, with F1
  int16_t first = 0, last = 0, current = 0;
  bool has_fields = false;
  bool leave = false;
};

void OpenForm(const Run& run) {
  if (run.windowed) {
    SetColour("+n");
    WinPush(run.form.top, run.form.left, run.form.bottom, run.form.right);
    WinFrame(2);
    SetColour("-");
  }
  Paint(run.number, run.form);
}

// When the form left last with PgUp or PgDn is up this form's chain of
// parents, the parent runs first, drawn again above this one.
void LinkParent(Run& run, int16_t& key) {
  FormInputRun& state = FormInputState();
  FollowParentLink(run.number);
  if (state.last_form_shown > 0 && state.last_form_shown != run.number && run.form.parent != 0) {
    if (RunParent(run.form, run.leave_top, run.leave_bottom, key)) run.leave = true;
  } else {
    state.last_form_shown = 0;
  }
}

// One pass of the field editor over `buffer`, then what its key asks for:
// F1 the help, F4 the look-up list, Esc the stored value shown again, any
// other key the value handed to the module. The module's answer (0 but for
// a refusal).
int16_t EditOnce(Run& run, const config::FormField& field, int16_t flags, std::string& buffer,
                 int16_t& key) {
  SetChoices(field.choices);
  int16_t row = field.row;
  int16_t col = ValueColumn(field);
  int16_t width = field.line_width;
  int16_t position = 1;
  if (flags & kFieldCursorAtEnd) position = static_cast<int16_t>(TrimTrailingBlanks(buffer).size() + 1);
  EditField(row, col, width, buffer, position, key);
  SetChoices("");

  if (key == kKeyF1) {
    const std::string topic = TrimTrailingBlanks(config::SettingsState().menu_name);
    const FormHooks& hooks = FormHooksState();
    if (!topic.empty()) hooks.show_help ? hooks.show_help(topic) : ShowHelp(topic);
    key = 0;
    return 0;
  }
  if (key == kKeyF4) {
    OfferList(run.number, run.form, run.current, key);
    return 0;
  }
  if (field.description_width > 0) {
    ShowBuffer(field, buffer);
    BlankDescription(field);
  }
  if (key == kKeyEsc) {
    HookFieldDisplay(run.number, run.current);
    return 0;
  }
  // A fresh or masked field left blank keeps its value.
  if ((flags & (kFieldFresh | kFieldMasked)) && buffer.find_first_not_of(' ') == std::string::npos)
    buffer = field.value;
  return HookFieldAccept(run.number, buffer, run.current, key);
}

// Edits the current field until the module takes its value (a refusal
// beeps and edits again, from the value as typed); a display-only field is
// passed with the key unchanged. False when the field does not exist.
bool EditCurrentField(Run& run, int16_t& key) {
  config::FormField* field = config::FormTableState().FindField(run.number, run.current);
  if (field == nullptr) return false;
  const int16_t flags = field->flags;
  KeyMap("+ea", run.exit_keys);
  std::string buffer = (flags & (kFieldFresh | kFieldMasked)) ? field->Blanks() : field->value;
  if (flags & kFieldMasked) KeyMap("h", "");
  if (field->description_width > 0 && !DisplayOnly(*field)) BlankDescription(*field);

  for (;;) {
    const int16_t answer = DisplayOnly(*field) ? 0 : EditOnce(run, *field, flags, buffer, key);
    run.has_fields = FindFirstLast(run.form, run.first, run.last);
    if (answer == 0) break;
    platform::Beep();
    field = config::FormTableState().FindField(run.number, run.current);
    if (field == nullptr) break;
  }
  if (flags & kFieldMasked) KeyMap("v", "");
  KeyMap("-", "");
  return true;
}

// A mouse press (a negative key) selects the editable field under it.
void SelectFieldAt(Run& run, int16_t key) {
  int row = (-key) % 100;
  int col = (-key) / 100;
  if (run.windowed) {
    row -= run.form.top;
    col -= run.form.left;
  }
  const int16_t hit = FieldAt(run.form, row, col);
  if (hit != 0) run.current = hit;
}

// PgUp and PgDn: to the first or last field, or, from there and with the
// matching leave flag, out of the form, which then counts as shown last.
void MoveToEdge(Run& run, int16_t edge, int16_t leave_flag) {
  int16_t& last_shown = FormInputState().last_form_shown;
  if (run.current == edge && leave_flag) {
    run.leave = true;
    last_shown = run.number;
  } else {
    run.current = edge;
    last_shown = 0;
  }
}

// Where the key that ended a field takes the run: another field, the
// parent form, or out of the form.
void MoveAfterKey(Run& run, int16_t& key) {
  switch (key) {
    case kKeyPgUp:
      MoveToEdge(run, run.first, run.leave_top);
      break;
    case kKeyPgDn:
      MoveToEdge(run, run.last, run.leave_bottom);
      break;
    case kKeyEnd:
    case kCode2:
      run.leave = true;
      break;
    case kKeyEsc:
      if (run.current == run.first) {
        run.leave = true;
      } else {
        run.current = run.first;
      }
      break;
    case kKeyEnter:
    case kKeyDown:
    case kKeyF2:
      if ((run.current == run.last || key == kKeyF2) && run.form.parent != 0) {
        if (RunParent(run.form, run.leave_top, run.leave_bottom, key)) run.leave = true;
      } else if (key == kKeyDown) {
        if (run.current < run.last) ++run.current;
      } else if (key == kKeyEnter) {
        ++run.current;
      }
      break;
    case kKeyUp:
      if (run.current > run.first) {
        --run.current;
      } else if (!run.parent_run) {
        key = kKeyEsc;
        run.leave = true;
      }
      break;
    case 0:
      break;
    default:
      if (key < 0) {
        SelectFieldAt(run, key);
      } else {
        run.leave = true;
      }
      break;
  }
}

}  // namespace

FormInputRun& FormInputState() {
  static FormInputRun state;
  return state;
}

void ResetFormInputState() { FormInputState() = FormInputRun(); }

void FormInput(int16_t form_arg, int16_t leave_top, int16_t leave_bottom, int16_t& key) {
  const int16_t number = static_cast<int16_t>(std::abs(form_arg));
  config::Form* found = config::FormTableState().FindForm(number);
  if (found == nullptr) {
    key = kKeyEsc;
    return;
  }
  Run run{number, form_arg < 0, *found, found->top > 0, leave_top, leave_bottom,
          found->name + ",3b00"};
  FormInputRun& state = FormInputState();
  ++state.depth;
  OpenForm(run);

  run.has_fields = FindFirstLast(run.form, run.first, run.last);
  run.current = run.first;
  run.leave = !run.has_fields;
  if (run.has_fields) LinkParent(run, key);

  for (;;) {
    while (!run.leave && run.current >= run.first && run.current <= run.last) {
      if (!EditCurrentField(run, key)) break;
      if (!run.has_fields) {
        run.leave = true;
        break;
      }
      MoveAfterKey(run, key);
    }
    // A form with nothing left to edit closes whatever the check says.
    if (HookParameterCheck(number, key) == 0 || !run.has_fields) break;
    run.current = run.first;
    run.leave = false;
  }

  if (run.windowed) WinPop();
  --state.depth;
}

}  // namespace ui
