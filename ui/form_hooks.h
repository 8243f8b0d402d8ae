// Calls from the screen form input up into the module that owns the forms:
// the check made on every attempt to leave a form, the display and the
// acceptance of field values, the look-up lists offered with F4 and the
// help offered with F1. The module fills them at start-up.
//
// An empty member does the plain thing: the check lets every form close
// (answers 0), display writes the stored value as it stands (nothing for a
// masked field), acceptance stores the value and shows it, F1 shows the
// help (ShowHelp) and F4 does nothing. Every call receives the form (or
// list) number and must leave alone the numbers it does not define.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

struct FormHooks {
  // 0 lets the form close; anything else keeps the operator in it.
  std::function<int16_t(int16_t form, int16_t key)> parameter_check;
  std::function<void(int16_t form, int16_t field)> field_display;
  // 0 accepts (and stores); anything else refuses. May change field and key.
  std::function<int16_t(int16_t form, const std::string& value, int16_t& field,
                        int16_t& key)>
      field_accept;
  // Runs a look-up list; 0 when a line was chosen.
  std::function<int16_t(int16_t list)> browse_list;
  // Puts the chosen record into the form; may change the list and the field
  // (a list number set to 0 asks for the list to be offered again).
  std::function<void(int16_t& list, int16_t form, int16_t& field)> browse_after_select;
  std::function<void(const std::string& topic)> show_help;
};
// Named apart from the key input's hooks, which live in this folder too.
FormHooks& FormHooksState();
void ResetFormHooksState();

// The hooks with their plain defaults applied.
int16_t HookParameterCheck(int16_t form, int16_t key);
void HookFieldDisplay(int16_t form, int16_t field);
int16_t HookFieldAccept(int16_t form, const std::string& value, int16_t& field, int16_t& key);

}  // namespace ui
