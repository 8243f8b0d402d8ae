#include "app/form_file.h"

#include "app/app_state.h"
#include "app/catalogue.h"
#include "app/config/form_table.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/list_input.h"
#include "platform/files.h"
#include "values/dates.h"

namespace app {
namespace {

// Limits well above any real form file; they keep a damaged header from
// making the program reserve absurd amounts of memory.
constexpr int kMaxForms = 200;
constexpr int kMaxFields = 500;
constexpr int kMaxLists = 200;
constexpr int kMaxWidth = 4000;

struct Loader {
  const std::string& path;
  ListReader& in;
  FormFileResult result;

  bool Fail(const std::string& what) {
    result.ok = false;
    result.message = path + ":" + std::to_string(in.line()) + ": " + what;
    return false;
  }
  // Reads an integer; at end of file `ended` is set and loading stops
  // quietly; any other failure is an error.
  bool Int(int16_t& v, bool& ended) {
    if (in.AtEnd()) {
      ended = true;
      return false;
    }
    if (!in.ReadInt(v)) return Fail(in.error());
    return true;
  }
  bool Text(std::string& v, bool& ended) {
    if (!in.ReadText(v)) {
      ended = true;
      return false;
    }
    return true;
  }
  bool InRange(int16_t v, int lo, int hi, const char* what) {
    if (v < lo || v > hi)
      return Fail(std::string(what) + " " + std::to_string(v) + " is out of range (" +
                  std::to_string(lo) + " to " + std::to_string(hi) + ")");
    return true;
  }
};

}  // namespace

std::string FormFilePath() {
  return config::PathsState().root + "FORMS\\" + AppState().program_name + ".KPN";
}

FormFileResult LoadFormFile(const std::string& path) {
  config::ResetFormTableState();
  config::FormTable& table = config::FormTableState();
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) {
    return {false, path + ": the form file cannot be opened"};
  }
  ListReader in(std::move(contents));
  Loader ld{path, in, {}};
  bool ended = false;

  in.SkipCommentLines();
  int16_t form_count = 0, max_fields = 0;
  if (!ld.Int(form_count, ended) || !ld.Int(max_fields, ended)) {
    if (ended) return {false, path + ": the form file holds no forms"};
    return ld.result;
  }
  if (!ld.InRange(form_count, 0, kMaxForms, "form count") ||
      !ld.InRange(max_fields, 0, kMaxFields, "maximum field count"))
    return ld.result;
  table.max_fields = max_fields;
  table.forms.resize(static_cast<size_t>(form_count));

  auto load = [&]() -> bool {
    for (auto& form : table.forms) {
      in.SkipCommentLines();
      int16_t count = 0;
      if (!ld.Text(form.name, ended) || !ld.Int(count, ended)) return false;
      if (!ld.InRange(count, 0, max_fields, "field count")) return false;
      if (!ld.Int(form.parent, ended) || !ld.Int(form.top, ended) || !ld.Int(form.left, ended) ||
          !ld.Int(form.bottom, ended) || !ld.Int(form.right, ended))
        return false;
      if (!ld.InRange(form.parent, 0, form_count, "parent form")) return false;
      for (int16_t j = 0; j < count; ++j) {
        config::FormField field;
        if (!ld.Int(field.row, ended) || !ld.Int(field.col, ended) || !ld.Text(field.label, ended))
          return false;
        if (!ld.Int(field.width, ended) || !ld.Int(field.line_width, ended) ||
            !ld.Int(field.description_width, ended) || !ld.Int(field.flags, ended) ||
            !ld.Int(field.type, ended) || !ld.Int(field.look_up_list, ended))
          return false;
        if (!ld.InRange(field.width, 0, kMaxWidth, "field width")) return false;
        if (!ld.Text(field.choices, ended)) return false;
        field.SetValue("");
        field.label = Translate(field.label);
        field.choices = Translate(field.choices);
        form.fields.push_back(std::move(field));
      }
    }
    in.SkipCommentLines();
    int16_t list_count = 0;
    if (!ld.Int(list_count, ended)) return false;
    if (!ld.InRange(list_count, 0, kMaxLists, "list count")) return false;
    for (int16_t m = 0; m < list_count; ++m) {
      in.SkipCommentLines();
      config::ListDefinition def;
      if (!ld.Int(def.file, ended) || !ld.Int(def.key, ended) || !ld.Int(def.top, ended) ||
          !ld.Int(def.left, ended) || !ld.Int(def.bottom, ended) || !ld.Int(def.right, ended) ||
          !ld.Int(def.pre_form, ended) || !ld.Text(def.title, ended) ||
          !ld.Int(def.follow_on, ended))
        return false;
      def.title = Translate(def.title);
      table.lists.push_back(std::move(def));
    }
    return true;
  };
  load();
  if (!ld.result.ok) return ld.result;

  // A parameter form with nothing to edit closes as soon as it is shown, so
  // the report would run over and over with no key ever read.
  const config::Form* parameters = table.FindForm(1);
  bool editable = false;
  if (parameters)
    for (const auto& field : parameters->fields) editable = editable || !field.Has(config::kFieldDisplayOnly);
  if (!editable) return {false, path + ": form 1 has no field that can be edited"};

  // The report parameters start at the work date and the whole estate range.
  const std::string today = values::DateToCompactText(config::SettingsState().work_date);
  if (auto* f = table.FindField(1, 1)) f->SetValue(today);
  if (auto* f = table.FindField(1, 2)) f->SetValue(today);
  if (auto* f = table.FindField(1, 3)) f->SetValue("1");
  if (auto* f = table.FindField(1, 4)) f->SetValue("999");
  return ld.result;
}

}  // namespace app
