// The form table: the forms, fields and look-up list definitions of the
// module's form file, loaded once and kept for the run. Field values are
// fixed-width texts (blank-padded to the field width) changed only by
// overlaying. The form input, the field hooks and the browse lists read it;
// the module fills it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace config {

struct FormField {
  int16_t row = 0, col = 0;     // position of the label
  std::string label;
  std::array<int16_t, 6> attr{};  // attribute n is attr[n - 1]; 1 is the width
  std::string choices;          // "|value,description|..." or empty
  std::string value;            // exactly Width() characters

  int16_t Attr(int n) const { return n >= 1 && n <= 6 ? attr[n - 1] : 0; }
  int16_t Width() const { return attr[0] > 0 ? attr[0] : 0; }
  // Overlays text on a blank buffer of the field width (left-aligned, cut).
  void SetValue(const std::string& text);
};

struct Form {
  std::string name;  // the form's exit-key list
  int16_t parent = 0;
  int16_t top = 0, left = 0, bottom = 0, right = 0;  // top 0: no window
  std::vector<FormField> fields;                     // fields 1..count
};

struct ListDefinition {
  int16_t file = 0, key = 0;
  int16_t top = 0, left = 0, bottom = 0, right = 0;
  int16_t pre_form = 0;
  std::string title;
  int16_t follow_on = 0;
};

struct FormTable {
  int16_t max_fields = 0;
  std::vector<Form> forms;             // forms 1..count at [k - 1]
  std::vector<ListDefinition> lists;   // lists 1..count at [m - 1]

  int FormCount() const { return static_cast<int>(forms.size()); }
  // Form k (1-based); nullptr when there is none.
  Form* FindForm(int k);
  FormField* FindField(int k, int j);
  ListDefinition* FindList(int m);
};
FormTable& FormTableState();
void ResetFormTableState();

}  // namespace config
