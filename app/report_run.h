// The interactive side of the pending-receipts report: form 1 readied once
// the form file is loaded, the parameter check behind it, and the loop of
// parameter entry, production and hand-over to KELPRINT.
#pragma once

#include <cstdint>
#include <string>

#include "app/form_file.h"

namespace app {

// Form 1 as the report needs it, right after the form file is loaded. A
// form 1 with no field that can be edited, or whose exit keys give neither
// Esc nor Up (so that it could never be left), is refused with "FILE: what
// is wrong" in the session's language; otherwise the parameters start at
// the work date (fields 1 and 2) and at the whole estate range, "1" to
// "999" (fields 3 and 4).
FormFileResult PrepareParameterForm(const std::string& form_file);

// The form input's parameter check (wired at start-up): 0 lets the form
// close, -1 keeps the operator in it. On form 1 it stores the parameters,
// refuses inverted ranges silently and asks for confirmation on form 2 ("S"
// confirms).
int16_t ParameterCheck(int16_t form, int16_t key);

// Parameter entry, production and hand-over, again and again until Esc on
// the parameter form.
void RunReport();

}  // namespace app
