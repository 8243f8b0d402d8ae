// The form table: the forms, fields and look-up list definitions of the
// module's form file, loaded once and kept for the run. Field values are
// fixed-width texts (blank-padded to the field width) changed only by
// overlaying. The form input, the field hooks and the browse lists read it;
// the module fills it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace config {

// Flags of a field (its fourth attribute), as the form input reads them.
constexpr int16_t kFieldFresh = 1;        // editing starts from blanks
constexpr int16_t kFieldMasked = 2;       // the same, and the value is never shown
constexpr int16_t kFieldDisplayOnly = 4;  // shown, never edited
constexpr int16_t kFieldCursorAtEnd = 8;  // cursor after the last non-blank

// Value types (the fifth attribute), as the module's field hooks read them;
// any other type is plain text.
constexpr int16_t kFieldDate = 1;
constexpr int16_t kFieldNumber = 2;

struct FormField {
  int16_t row = 0, col = 0;  // position of the label; the value follows it
  std::string label;
  // The six attributes, in the order the form file gives them.
  int16_t width = 0;              // characters of the value
  int16_t line_width = 0;         // editor line; a longer value wraps; 0 one line
  int16_t description_width = 0;  // area after the value, blanked before editing
  int16_t flags = 0;              // kField... flags above
  int16_t type = 0;               // kFieldDate, kFieldNumber or text
  int16_t look_up_list = 0;       // list offered with F4; 0 none
  std::string choices;            // "|value,description|..." or empty
  std::string value;              // exactly `width` characters

  bool Has(int16_t flag) const { return (flags & flag) != 0; }
  // Blanks of the field width.
  std::string Blanks() const;
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
