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

std::string NotANumberText(const std::string& found) {
  if (found.empty())
    return config::ByLanguage<std::string>(
        config::SettingsState().language, "EL FITXER S'ACABA ON HI HAURIA D'HAVER UN NOMBRE",
        "EL FICHERO TERMINA DONDE DEBER\xD6" "A HABER UN N\xE9MERO",
        "O FICHEIRO ACABA ONDE DEVERIA HAVER UM N\xE9MERO",
        "ETH FICH\xD4R S'ACABE A ON I AURIE D'AUER UN NOMBRE");
  return config::ByLanguage<std::string>(
             config::SettingsState().language, "S'ESPERAVA UN NOMBRE ENTER I HI HA \"",
             "SE ESPERABA UN N\xE9MERO ENTERO Y HAY \"", "ESPERAVA-SE UM N\xE9MERO INTEIRO E H\xB5 \"",
             "S'ESPERAUE UN NOMBRE ENT\xD4R E I A \"") +
         found + "\"";
}

// What a count or reference read from the file is, for the message that
// says it is out of range.
enum class Quantity { kFormCount, kMaxFields, kFieldCount, kParentForm, kFieldWidth, kListCount };

std::string QuantityText(Quantity q) {
  const std::string& l = config::SettingsState().language;
  switch (q) {
    case Quantity::kFormCount:
      return config::ByLanguage<std::string>(l, "NOMBRE DE FORMULARIS", "N\xE9MERO DE FORMULARIOS",
                                             "N\xE9MERO DE FORMULARIOS", "NOMBRE DE FORMULARIS");
    case Quantity::kMaxFields:
      return config::ByLanguage<std::string>(l, "M\xB7XIM DE CAMPS", "M\xB5XIMO DE CAMPOS",
                                             "M\xB5XIMO DE CAMPOS", "M\xB7XIM DE CAMPS");
    case Quantity::kFieldCount:
      return config::ByLanguage<std::string>(l, "NOMBRE DE CAMPS", "N\xE9MERO DE CAMPOS",
                                             "N\xE9MERO DE CAMPOS", "NOMBRE DE CAMPS");
    case Quantity::kParentForm:
      return config::ByLanguage<std::string>(l, "FORMULARI PARE", "FORMULARIO PADRE",
                                             "FORMULARIO PAI", "FORMULARI PAIRE");
    case Quantity::kFieldWidth:
      return config::ByLanguage<std::string>(l, "AMPLADA DE CAMP", "ANCHURA DE CAMPO",
                                             "LARGURA DE CAMPO", "AMPLADA DE CAMP");
    case Quantity::kListCount:
      break;
  }
  return config::ByLanguage<std::string>(l, "NOMBRE DE LLISTES", "N\xE9MERO DE LISTAS",
                                         "N\xE9MERO DE LISTAS", "NOMBRE DE LISTES");
}

std::string OutOfRangeText(Quantity q, int v, int lo, int hi) {
  const std::string range = std::to_string(lo) + " - " + std::to_string(hi);
  return QuantityText(q) + " " + std::to_string(v) + " " +
         config::ByLanguage<std::string>(config::SettingsState().language, "FORA DE L'INTERVAL ",
                                         "FUERA DEL INTERVALO ", "FORA DO INTERVALO ",
                                         "DEF\xE3RA DER INTERVAL ") +
         range;
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
    if (!in.ReadInt(v)) return Fail(NotANumberText(in.not_a_number()));
    return true;
  }
  bool Text(std::string& v) {
    if (!in.ReadText(v)) {
      ended = true;
      return false;
    }
    return true;
  }
  bool InRange(int16_t v, int lo, int hi, Quantity what) {
    if (v < lo || v > hi) return Fail(OutOfRangeText(what, v, lo, hi));
    return true;
  }

  // Row, column, label, the six attributes in file order, the choice list.
  bool ReadField(config::FormField& field) {
    if (!Int(field.row) || !Int(field.col) || !Text(field.label)) return false;
    if (!Int(field.width) || !Int(field.line_width) || !Int(field.description_width) ||
        !Int(field.flags) || !Int(field.type) || !Int(field.look_up_list))
      return false;
    if (!InRange(field.width, 0, kMaxWidth, Quantity::kFieldWidth)) return false;
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
    if (!InRange(count, 0, max_fields, Quantity::kFieldCount)) return false;
    if (!Int(form.parent) || !Int(form.top) || !Int(form.left) || !Int(form.bottom) ||
        !Int(form.right))
      return false;
    if (!InRange(form.parent, 0, form_count, Quantity::kParentForm)) return false;
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
    if (!InRange(list_count, 0, kMaxLists, Quantity::kListCount)) return false;
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
  if (!ld.InRange(form_count, 0, kMaxForms, Quantity::kFormCount) ||
      !ld.InRange(max_fields, 0, kMaxFields, Quantity::kMaxFields))
    return ld.result;
  table.max_fields = max_fields;
  table.forms.resize(static_cast<size_t>(form_count));
  for (auto& form : table.forms)
    if (!ld.ReadForm(form, form_count, max_fields)) return ld.result;
  ld.ReadLists(table.lists);
  return ld.result;
}

}  // namespace app
