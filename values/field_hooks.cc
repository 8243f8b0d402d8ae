#include "values/field_hooks.h"

#include <string>

#include "app/config/form_table.h"
#include "app/config/settings.h"
#include "platform/console.h"
#include "values/date_text.h"
#include "values/dates.h"
#include "values/masks.h"
#include "values/text.h"

namespace values {

namespace {

// Text cut or blank-padded to exactly n characters.
std::string Fit(const std::string& text, int n) {
  if (n <= 0) return std::string();
  std::string out = text.substr(0, static_cast<size_t>(n));
  out.resize(static_cast<size_t>(n), ' ');
  return out;
}

int ToInt(const std::string& text) {
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
  }
  return n;
}

// Description of the first choice entry whose value is the stored value;
// false when none matches. Entries are "|value,description". A stored value
// is blank-padded to the field width, so entry values compare at that width.
bool FindChoice(const std::string& choices, const std::string& value, std::string& description) {
  size_t pos = 0;
  while (pos < choices.size()) {
    if (choices[pos] != '|') {
      ++pos;
      continue;
    }
    size_t end = choices.find('|', pos + 1);
    if (end == std::string::npos) end = choices.size();
    std::string entry = choices.substr(pos + 1, end - pos - 1);
    size_t comma = entry.find(',');
    std::string entry_value = comma == std::string::npos ? entry : entry.substr(0, comma);
    if (Fit(entry_value, static_cast<int>(value.size())) == value &&
        entry_value.size() <= value.size()) {
      description = comma == std::string::npos ? std::string() : entry.substr(comma + 1);
      return true;
    }
    pos = end;
  }
  return false;
}

// Writes the value in pieces of line_width characters, one below the other,
// the position of each piece kept on the text stack.
void ShowInLines(const std::string& value, int line_width, int row, int col) {
  PushText(std::to_string(col));
  PushText(std::to_string(row));
  for (size_t at = 0; at < value.size(); at += static_cast<size_t>(line_width)) {
    int r = ToInt(PopText());
    int c = ToInt(PopText());
    platform::SetCursor(r, c);
    platform::WriteText(value.substr(at, static_cast<size_t>(line_width)));
    PushText(std::to_string(c));
    PushText(std::to_string(r + 1));
  }
  PopText();
  PopText();
}

}  // namespace

bool FieldValuePlace(int16_t form, int16_t field, int& row, int& col) {
  config::FormTable& table = config::FormTableState();
  const config::Form* f = table.FindForm(form);
  const config::FormField* fld = table.FindField(form, field);
  if (f == nullptr || fld == nullptr) return false;
  row = fld->row;
  col = fld->col + static_cast<int>(fld->label.size());
  if (f->top > 0) {
    row += f->top;
    col += f->left;
  }
  return true;
}

void ShowFieldValue(int16_t form, int16_t field) {
  int row = 0, col = 0;
  if (!FieldValuePlace(form, field, row, col)) return;
  const config::FormField& fld = *config::FormTableState().FindField(form, field);
  platform::SetCursor(row, col);
  if (fld.Has(config::kFieldMasked)) return;

  if (fld.type == config::kFieldDate) {
    platform::WriteText(FormatDate(ParseDateText(fld.value), 0, "dma"));
    return;
  }
  if (!fld.choices.empty()) {
    std::string description;
    if (FindChoice(fld.choices, fld.value, description))
      platform::WriteText(Fit(description, fld.width + fld.description_width));
    return;
  }
  if (fld.line_width > 0) {
    ShowInLines(fld.value, fld.line_width, row, col);
    return;
  }
  platform::WriteText(fld.value);
}

int16_t AcceptFieldValue(int16_t form, const std::string& value, int16_t& field,
                         int16_t& key) {
  (void)key;
  config::FormField* fld = config::FormTableState().FindField(form, field);
  if (fld == nullptr) return -1;

  std::string text = value;
  switch (fld->type) {
    case config::kFieldDate:
      if (IsAllChar(text, ' ')) text = DateToCompactText(config::SettingsState().work_date);
      if (IsBadDateText(text)) return -1;
      break;
    case config::kFieldNumber:
      if (IsBadNumberText(text, "")) return -1;
      break;
    default:
      break;
  }
  fld->SetValue(text);
  ShowFieldValue(form, field);
  return 0;
}

}  // namespace values
