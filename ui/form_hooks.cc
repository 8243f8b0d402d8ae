#include "ui/form_hooks.h"

#include "app/config/form_table.h"
#include "platform/console.h"
#include "ui/screen.h"

namespace ui {

FormHooks& FormHooksState() {
  static FormHooks hooks;
  return hooks;
}

void ResetFormHooksState() { FormHooksState() = FormHooks(); }

int16_t HookParameterCheck(int16_t form, int16_t key) {
  const FormHooks& h = FormHooksState();
  return h.parameter_check ? h.parameter_check(form, key) : 0;
}

void HookFieldDisplay(int16_t form, int16_t field) {
  const FormHooks& h = FormHooksState();
  if (h.field_display) {
    h.field_display(form, field);
    return;
  }
  const config::FormField* f = config::FormTableState().FindField(form, field);
  if (f == nullptr) return;
  WinLocate(f->row, static_cast<int16_t>(f->col + f->label.size()));
  if (!f->Has(config::kFieldMasked)) platform::WriteText(f->value);
}

int16_t HookFieldAccept(int16_t form, const std::string& value, int16_t& field, int16_t& key) {
  const FormHooks& h = FormHooksState();
  if (h.field_accept) return h.field_accept(form, value, field, key);
  config::FormField* f = config::FormTableState().FindField(form, field);
  if (f == nullptr) return -1;
  f->SetValue(value);
  HookFieldDisplay(form, field);
  return 0;
}

}  // namespace ui
