#include "app/config/form_table.h"

#include <algorithm>

namespace config {

std::string FormField::Blanks() const {
  return std::string(static_cast<size_t>(std::max<int16_t>(width, 0)), ' ');
}

void FormField::SetValue(const std::string& text) {
  value = Blanks();
  value.replace(0, std::min(text.size(), value.size()), text, 0, std::min(text.size(), value.size()));
}

Form* FormTable::FindForm(int k) {
  return k >= 1 && k <= FormCount() ? &forms[static_cast<size_t>(k - 1)] : nullptr;
}

FormField* FormTable::FindField(int k, int j) {
  Form* form = FindForm(k);
  if (!form || j < 1 || j > static_cast<int>(form->fields.size())) return nullptr;
  return &form->fields[static_cast<size_t>(j - 1)];
}

ListDefinition* FormTable::FindList(int m) {
  return m >= 1 && m <= static_cast<int>(lists.size()) ? &lists[static_cast<size_t>(m - 1)] : nullptr;
}

FormTable& FormTableState() {
  static FormTable table;
  return table;
}

void ResetFormTableState() { FormTableState() = FormTable(); }

}  // namespace config
