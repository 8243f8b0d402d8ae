// Loading of the module's form file (root + "FORMS\" + program name +
// ".KPN") into the form table. Comment lines (first non-blank character an
// apostrophe) may stand between groups; values are free-format list input.
// A file that ends early leaves the rest of the table empty; a value that
// cannot be read is an error naming the file and the line. The loader only
// loads: what the report expects of its own forms the report checks.
#pragma once

#include <string>

namespace app {

struct FormFileResult {
  bool ok = true;
  std::string message;  // "FILE:LINE: what is wrong" when not ok
};

// Fills config::FormTableState() from the file, translating labels, choice
// lists and list titles.
FormFileResult LoadFormFile(const std::string& path);
// Path of the module's form file.
std::string FormFilePath();

}  // namespace app
