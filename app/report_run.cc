#include "app/report_run.h"

#include "app/config/form_table.h"
#include "app/config/language.h"
#include "app/config/settings.h"
#include "app/print_file.h"
#include "app/report.h"
#include "platform/ascii.h"
#include "ui/form_input.h"
#include "ui/keys.h"
#include "ui/screen.h"
#include "values/dates.h"
#include "values/masks.h"

namespace app {

namespace {

constexpr int16_t kParameterForm = 1;
constexpr int16_t kConfirmForm = 2;
constexpr int16_t kEsc = ui::kKeyEsc;

std::string FieldText(int16_t form, int16_t field) {
  const config::FormField* f = config::FormTableState().FindField(form, field);
  return f ? f->value : std::string();
}

std::string NothingToEditText() {
  return config::ByLanguage<std::string>(
      config::SettingsState().language, "EL FORMULARI 1 NO T\x90 CAP CAMP QUE ES PUGUI EDITAR",
      "EL FORMULARIO 1 NO TIENE NING\xE9N CAMPO QUE SE PUEDA EDITAR",
      "O FORMULARIO 1 NOM TEM NENHUM CAMPO QUE SE POIDA EDITAR",
      "ETH FORMULARI 1 NON A CAP DE CAMP QUE SE P\xE3GUE EDITAR");
}

std::string NoWayOutText() {
  return config::ByLanguage<std::string>(
      config::SettingsState().language,
      "EL FORMULARI 1 NO ES POT DEIXAR: LES TECLES DE SORTIDA NO INCLOUEN ESC",
      "EL FORMULARIO 1 NO SE PUEDE DEJAR: LAS TECLAS DE SALIDA NO INCLUYEN ESC",
      "O FORMULARIO 1 NOM SE PODE DEIXAR: AS TECLAS DE SA\xD6" "DA NOM INCLUEM ESC",
      "ETH FORMULARI 1 NON SE P\xE3T DEISHAR: ES T\xD4" "CLES DE SORTIDA NON I A PAS ESC");
}

}  // namespace

FormFileResult PrepareParameterForm(const std::string& form_file) {
  config::FormTable& table = config::FormTableState();
  // A parameter form with nothing to edit closes as soon as it is shown, so
  // the report would run over and over with no key ever read.
  const config::Form* parameters = table.FindForm(kParameterForm);
  bool editable = false;
  if (parameters)
    for (const auto& field : parameters->fields)
      editable = editable || !field.Has(config::kFieldDisplayOnly);
  if (!editable) return {false, form_file + ": " + NothingToEditText()};
  // Only Esc leaves the report without running it (Up on the first field
  // ends the form as Esc does); without either the operator is kept in the
  // form for good.
  if (!ui::KeyListMapsTo(parameters->name, kEsc) &&
      !ui::KeyListMapsTo(parameters->name, ui::kKeyUp))
    return {false, form_file + ": " + NoWayOutText()};

  const std::string today = values::DateToCompactText(config::SettingsState().work_date);
  if (auto* f = table.FindField(kParameterForm, 1)) f->SetValue(today);
  if (auto* f = table.FindField(kParameterForm, 2)) f->SetValue(today);
  if (auto* f = table.FindField(kParameterForm, 3)) f->SetValue("1");
  if (auto* f = table.FindField(kParameterForm, 4)) f->SetValue("999");
  return {};
}

int16_t ParameterCheck(int16_t form, int16_t key) {
  if (key == kEsc || form != kParameterForm) return 0;
  ReportParameters& p = ReportRunState().parameters;
  p = ParametersFromTexts(
      FieldText(kParameterForm, 1), FieldText(kParameterForm, 2),
      FieldText(kParameterForm, 3), FieldText(kParameterForm, 4));
  if (ParametersInverted(p)) return -1;

  config::FormField* answer = config::FormTableState().FindField(kConfirmForm, 1);
  if (!answer) return -1;
  answer->SetValue("");
  int16_t confirm_key = 0;
  ui::FormInput(kConfirmForm, 0, 0, confirm_key);
  // A field drawn wider than one character still confirms with "S".
  const std::string value = platform::TrimTrailingBlanks(answer->value);
  return value == "S" ? 0 : -1;
}

void RunReport() {
  ui::SetColour("n");
  ui::ClearScreen();
  // The screen is not cleared between runs: the bottom row keeps what the
  // print program said about the last one.
  for (;;) {
    int16_t key = 0;
    ui::FormInput(kParameterForm, 0, 0, key);
    if (key == kEsc) return;
    // The notice has been shown; the operator gets the form back.
    if (OpenPrintFile(config::SettingsState().output_device) != kPrintOk)
      continue;
    values::SetCurrency("p");
    const ReportReadFailure failure = ProduceReport(ReportRunState().parameters);
    values::SetCurrency("");
    if (failure.status != 0) {
      DiscardPrintFile();
      ShowPrintNotice(ReadFailureText(failure));
      continue;
    }
    // A work file with records missing would print as if it were complete.
    if (ClosePrintFile() != kPrintOk) continue;
    HandOverPrintFile();
  }
}

}  // namespace app
