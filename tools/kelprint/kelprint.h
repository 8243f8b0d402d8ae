// One run of the print program: read the work file, lay it out and put it on
// the device named by its device record:
//   empty or "PDF"  a PDF in the listings folder
//   "TXT"           UTF-8 text with form feeds, in the listings folder
//   "XLSX", "CSV"   the listing as a table (sheet_table.h), in the listings
//                   folder
//   any other name  a PDF sent to that print queue with lp; when there is no
//                   lp, or the name cannot be a queue, the PDF is kept
// The outcome is one line for the operator and the exit code: 0 when a
// listing was written or printed (or there was nothing to print, or it was
// kept for want of lp), 1 when the work file is missing or malformed, the
// listing could not be written, the device name cannot be a queue name or lp
// refused the job (the PDF is then kept). A malformed file is
// named with the line at fault: "FILE:LINE: what".
#pragma once

#include <cstdint>
#include <string>

#include "platform/system.h"
#include "tools/kelprint/sheet_table.h"

namespace tools {

struct KelprintRequest {
  std::string work_file;    // OS path of "kelprint.tmp"
  std::string listing_dir;  // OS path of the listings folder
  std::string program;      // for listing names ("RBPNDLST")
  platform::LocalTime when;
  std::string search_path;  // where lp is looked for (PATH)
  ListingFormat format;     // how the listing writes figures and dates
};

struct KelprintResult {
  int exit_code = 1;
  std::string message;  // one line, UTF-8, no line end
  std::string output;   // the listing kept, if any (OS path)
  int64_t pages = 0;
};

KelprintResult RunKelprint(const KelprintRequest& request);

// The run as the installed program does it: paths from the environment and
// the session settings, program name from KELPROG, the local clock and PATH,
// figures and dates as "Tavo.ini" has them.
KelprintRequest RequestFromEnvironment();

}  // namespace tools
