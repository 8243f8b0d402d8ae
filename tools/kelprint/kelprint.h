// One run of the print program: read the work file, lay it out and put it on
// the device named by its device record:
//   empty or "PDF"  a PDF in the listings folder
//   "TXT"           UTF-8 text with form feeds, in the listings folder
//   "XLSX", "CSV"   the listing as a table (sheet_table.h), in the listings
//                   folder
//   "PANTALLA"      the preview on the terminal (preview.h), from which the
//                   operator prints or exports the listing
//   any other name  a PDF sent to that print queue with lp; when there is no
//                   lp, or the name cannot be a queue, the PDF is kept
// The outcome is one line for the operator (a preview's, a line for each
// listing made from it) and the exit code: 0 when a
// listing was written or printed (or there was nothing to print, or it was
// kept for want of lp), 1 when the work file is missing or malformed, the
// listing could not be written, the device name cannot be a queue name or lp
// refused the job (the PDF is then kept). A malformed file is
// named with the line at fault: "FILE:LINE: what".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/system.h"
#include "tools/kelprint/sheet_table.h"
#include "tools/kelprint/work_file.h"

namespace tools {

struct KelprintRequest {
  std::string work_file;    // OS path of "kelprint.tmp"
  std::string listing_dir;  // OS path of the listings folder
  std::string program;      // for listing names ("RBPNDLST")
  platform::LocalTime when;
  std::string search_path;  // where lp is looked for (PATH)
  ListingFormat format;     // how the listing writes figures and dates
  std::string printer = "PDF";  // where the preview prints ([Sistema] Impressora)
  // Told the pages a device has taken so far, after each one; false stops
  // the listing, and nothing of it is kept.
  std::function<bool(int64_t pages)> progress;
  // Readies the terminal for the preview; false when there is none. Empty:
  // the terminal already installed serves.
  std::function<bool()> take_terminal;
};

// The device of the preview, as the settings name it.
inline constexpr char kPreviewDevice[] = "PANTALLA";
// A device name names the preview, whatever its case and blanks around it.
bool IsPreviewDevice(const std::string& device);

struct KelprintResult {
  int exit_code = 1;
  std::string message;  // one line, UTF-8, no line end
  std::string output;   // the listing kept, if any (OS path)
  int64_t pages = 0;
};

KelprintResult RunKelprint(const KelprintRequest& request);

// The listing of the work file on the device named, whatever the work file's
// own device record says (the preview prints and exports through this). With
// queues off, a name that is no listing file's is refused as an unknown
// device instead of being taken for a print queue.
KelprintResult PrintListing(const KelprintRequest& request,
                            const std::string& device, bool queues = true);

// Outcomes the listing and the preview share: the work file cannot be read
// (error says why), a faulty record, a listing without pages.
KelprintResult WorkFileUnreadable(const KelprintRequest& request,
                                  const std::string& error);
KelprintResult WorkFileFaulty(const KelprintRequest& request,
                              const ParseError& error);
KelprintResult NoPages();

// The run as the installed program does it: paths from the environment and
// the session settings, program name from KELPROG, the local clock and PATH,
// figures and dates as "Tavo.ini" has them, the printer from the terminal
// settings, the preview on the controlling terminal.
KelprintRequest RequestFromEnvironment();

}  // namespace tools
