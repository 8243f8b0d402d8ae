// Fuzzes the form-file loader: whatever the file holds, a load either fails
// with a message naming the file or leaves a table whose values have exactly
// their field's width, within the loader's limits; readying form 1 on it
// never goes wrong either.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/config/form_table.h"
#include "app/form_file.h"
#include "app/report_run.h"
#include "fuzz/fuzz_support.h"

using fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path =
      fuzzing::WriteScratch("FORM.KPN", std::string(reinterpret_cast<const char*>(data), size));
  app::FormFileResult loaded = app::LoadFormFile(path);
  if (!loaded.ok) {
    Check(loaded.message.compare(0, path.size(), path) == 0);
    return 0;
  }
  const config::FormTable& table = config::FormTableState();
  Check(table.FormCount() <= 200);
  for (const config::Form& form : table.forms) {
    Check(form.fields.size() <= static_cast<size_t>(table.max_fields));
    for (const config::FormField& field : form.fields) {
      Check(field.value.size() == static_cast<size_t>(field.width));
    }
  }
  loaded = app::PrepareParameterForm(path);
  if (!loaded.ok) Check(loaded.message.compare(0, path.size(), path) == 0);
  return 0;
}
