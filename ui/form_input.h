// The screen form input: paints one form of the form table (its window,
// the menu title, labels and values), lets the operator edit its fields one
// after another with the field editor, hands every edited value to the
// module's acceptance hook, and on every attempt to leave asks the module's
// parameter check whether the form may close. The edited values stay in the
// form table. Forms chain through their parent number: moving past the last
// field of a form continues in its parent, drawn again above it.
//
// Keys that move: Enter/Down/F2 forward, Up back (Up on the first field of
// a normal run gives up with Esc), PgUp/PgDn to the first/last field (they
// leave only with the matching leave flag), End leaves, Esc goes to the
// first field and leaves from there, a mouse press selects a field (also on
// its label), F1 shows the help of the menu entry, F4 the field's list. Any
// other exit key of the form leaves with that key.
#pragma once

#include <cstdint>

namespace ui {

// Runs form `form` (negative: a parent run of form -form). The flags let
// PgUp on the first and PgDn on the last field leave the form. key receives
// the key that ended the form (27 when the operator gave up, and for a form
// that does not exist).
void FormInput(int16_t form, int16_t leave_top, int16_t leave_bottom, int16_t& key);

struct FormInputRun {
  int16_t last_form_shown = 0;  // links a form with its parent across calls
  int depth = 0;                // nesting of parent runs, against cycles
};
FormInputRun& FormInputState();
void ResetFormInputState();

}  // namespace ui
