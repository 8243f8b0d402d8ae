#include "app/browse_hooks.h"

#include <algorithm>

#include "app/report.h"
#include "ui/form_hooks.h"
#include "values/digits.h"

namespace app {

namespace {

// TODO(layouts): take these from the shared record layouts header.
constexpr size_t kEstateCodeAt = 0, kEstateCodeWidth = 2;
constexpr size_t kEstateNameAt = 8, kEstateNameWidth = 30;

// The estate in the record area, blank-padded so that a short record reads
// as blanks.
std::string EstateRecord() {
  std::string record = ReportRunState().estate;
  record.resize(std::max(record.size(), kEstateNameAt + kEstateNameWidth), ' ');
  return record;
}

// The last three of the four digits of the estate number.
std::string EstateDigits(const std::string& record) {
  return values::UnpackDigits(record.substr(kEstateCodeAt, kEstateCodeWidth)).substr(1);
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
  const std::string record = EstateRecord();
  return EstateDigits(record) + "  " + record.substr(kEstateNameAt, kEstateNameWidth);
}

void BrowseAfterSelect(int16_t& list, int16_t form, int16_t& field) {
  if (list != kEstatesList) return;
  int16_t key = 0;
  ui::HookFieldAccept(form, EstateDigits(EstateRecord()), field, key);
}

}  // namespace app
