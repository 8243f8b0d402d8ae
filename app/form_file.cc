#include "app/form_file.h"

#include <cerrno>

#include "app/app_state.h"
#include "app/catalogue.h"
#include "app/config/form_table.h"
#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/list_input.h"
#include "platform/files.h"

namespace app {
namespace {

// Limits well above any real form file; they keep a damaged header from
// making the program reserve absurd amounts of memory.
constexpr int kMaxForms = 200;
constexpr int kMaxFields = 500;
constexpr int kMaxLists = 200;
constexpr int kMaxWidth = 4000;
// A real form file is a few kilobytes.
constexpr size_t kFormFileLimit = 4 << 20;

// Why the file could not be taken, in the session's language.
std::string UnreadableText() {
  const std::string& language = config::SettingsState().language;
  switch (platform::ErrorNumber()) {
    case EINVAL:
      return config::ByLanguage<std::string>(
          language, "NO \x90S UN FITXER ORDINARI", "NO ES UN FICHERO ORDINARIO",
          "NOM \x90 UM FICHEIRO ORDIN\xB5RIO", "NON \x90S UN FICH\xD4R ORDINARI");
    case EFBIG:
      return config::ByLanguage<std::string>(
          language, "\x90S MASSA GRAN PER A UN FITXER DE FORMULARIS",
          "ES DEMASIADO GRANDE PARA UN FICHERO DE FORMULARIOS",
          "\x90 GRANDE DE MAIS PARA UM FICHEIRO DE FORMULARIOS",
          "\x90S MASSA GRAN TA UN FICH\xD4R DE FORMULARIS");
    default:
      return config::ByLanguage<std::string>(
          language, "NO ES POT OBRIR EL FITXER DE FORMULARIS",
          "NO SE PUEDE ABRIR EL FICHERO DE FORMULARIOS",
          "NOM SE PODE ABRIR O FICHEIRO DE FORMULARIOS",
          "NON SE P\xE3T DUBRIR ETH FICH\xD4R DE FORMULARIS");
  }
}

std::string NoFormsText() {
  return config::ByLanguage<std::string>(
      config::SettingsState().language, "EL FITXER DE FORMULARIS NO T\x90 CAP FORMULARI",
      "EL FICHERO DE FORMULARIOS NO TIENE NING\xE9N FORMULARIO",
      "O FICHEIRO DE FORMULARIOS NOM TEM NENHUM FORMULARIO",
      "ETH FICH\xD4R DE FORMULARIS NON A CAP DE FORMULARI");
}

struct Loader {
  const std::string& path;
  ListReader& in;
  FormFileResult result;
  bool ended = false;  // the file ended early: loading stops quietly

  bool Fail(const std::string& what) {
    result.ok = false;
    result.message = path + ":" + std::to_string(in.line()) + ": " + what;
    return false;
  }
  // Reads an integer; any failure but the end of the file is an error.
  bool Int(int16_t& v) {
    if (in.AtEnd()) {
      ended = true;
      return false;
    }
    if (!in.ReadInt(v)) return Fail(in.error());
    return true;
  }
  bool Text(std::string& v) {
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

  // Row, column, label, the six attributes in file order, the choice list.
  bool ReadField(config::FormField& field) {
    if (!Int(field.row) || !Int(field.col) || !Text(field.label)) return false;
    if (!Int(field.width) || !Int(field.line_width) || !Int(field.description_width) ||
        !Int(field.flags) || !Int(field.type) || !Int(field.look_up_list))
      return false;
    if (!InRange(field.width, 0, kMaxWidth, "field width")) return false;
    if (!Text(field.choices)) return false;
    field.SetValue("");
    field.label = Translate(field.label);
    field.choices = Translate(field.choices);
    return true;
  }
  bool ReadForm(config::Form& form, int16_t form_count, int16_t max_fields) {
    in.SkipCommentLines();
    int16_t count = 0;
    if (!Text(form.name) || !Int(count)) return false;
    if (!InRange(count, 0, max_fields, "field count")) return false;
    if (!Int(form.parent) || !Int(form.top) || !Int(form.left) || !Int(form.bottom) ||
        !Int(form.right))
      return false;
    if (!InRange(form.parent, 0, form_count, "parent form")) return false;
    for (int16_t j = 0; j < count; ++j) {
      config::FormField field;
      if (!ReadField(field)) return false;
      form.fields.push_back(std::move(field));
    }
    return true;
  }
  bool ReadLists(std::vector<config::ListDefinition>& lists) {
    in.SkipCommentLines();
    int16_t list_count = 0;
    if (!Int(list_count)) return false;
    if (!InRange(list_count, 0, kMaxLists, "list count")) return false;
    for (int16_t m = 0; m < list_count; ++m) {
      in.SkipCommentLines();
      config::ListDefinition def;
      if (!Int(def.file) || !Int(def.key) || !Int(def.top) || !Int(def.left) ||
          !Int(def.bottom) || !Int(def.right) || !Int(def.pre_form) || !Text(def.title) ||
          !Int(def.follow_on))
        return false;
      def.title = Translate(def.title);
      lists.push_back(std::move(def));
    }
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
  // Bounded and plain files only: a FIFO or a device under the name would
  // hang the start-up or never end.
  if (!platform::ReadPlainFile(path, contents, kFormFileLimit)) {
    return {false, path + ": " + UnreadableText()};
  }
  ListReader in(std::move(contents));
  Loader ld{path, in, {}};

  in.SkipCommentLines();
  int16_t form_count = 0, max_fields = 0;
  if (!ld.Int(form_count) || !ld.Int(max_fields)) {
    if (ld.ended) return {false, path + ": " + NoFormsText()};
    return ld.result;
  }
  if (!ld.InRange(form_count, 0, kMaxForms, "form count") ||
      !ld.InRange(max_fields, 0, kMaxFields, "maximum field count"))
    return ld.result;
  table.max_fields = max_fields;
  table.forms.resize(static_cast<size_t>(form_count));
  for (auto& form : table.forms)
    if (!ld.ReadForm(form, form_count, max_fields)) return ld.result;
  ld.ReadLists(table.lists);
  return ld.result;
}

}  // namespace app
