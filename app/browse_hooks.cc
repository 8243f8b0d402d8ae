#include "app/browse_hooks.h"

#include "app/report.h"
#include "store/record_layouts.h"
#include "ui/form_hooks.h"
#include "values/digits.h"

namespace app {

namespace {

// The last three of the four digits of the estate number in the record area.
std::string EstateDigits() {
  return values::UnpackDigits(store::FieldText(ReportRunState().estate, store::estate::kNumber))
      .substr(1);
}

}  // namespace

int16_t BrowseLimits(int16_t list, std::string& from_key, std::string& to_key) {
  (void)list;
  from_key.clear();
  to_key.clear();
  return 0;
}

std::string BrowseLineText(int16_t list) {
  if (list != kEstatesList) return "";
  return EstateDigits() + "  " + store::FieldText(ReportRunState().estate, store::estate::kName);
}

void BrowseAfterSelect(int16_t& list, int16_t form, int16_t& field) {
  if (list != kEstatesList) return;
  int16_t key = 0;
  ui::HookFieldAccept(form, EstateDigits(), field, key);
}

}  // namespace app
