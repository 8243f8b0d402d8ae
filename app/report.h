// The pending-receipts report: for every estate in a range of estate numbers,
// every receipt issued within a period that is still pending ("P") or was
// returned unpaid ("D"), with unit subtotals, estate totals and a grand
// total, written through the print work file writer and handed to KELPRINT.
//
// The four record files (owners, estates, units, receipts; identifiers,
// names and layouts in store/record_layouts.h) are opened by OpenReportFiles
// into the record areas of ReportRunState(); the report only reads them, in
// key order. Parameters are packed values: dates
// as 4-byte packed dates, estate numbers as packed codes; ranges are
// inclusive at both ends and compared byte by byte.
//
// ProduceReport needs no screen (the tests drive it directly); the
// interactive parts are in report_run.h.
#pragma once

#include <cstdint>
#include <string>

namespace app {

struct ReportParameters {
  std::string period_start;  // packed date
  std::string period_end;    // packed date
  std::string first_estate;  // packed code
  std::string last_estate;   // packed code
};

struct ReportRun {
  // Record areas; the record-file layer grows them to the record length.
  std::string owner, estate, unit, receipt;
  ReportParameters parameters;  // as the last parameter check left them
};
ReportRun& ReportRunState();
void ResetReportRunState();

// Opens owners, estates, units and receipts below the installation root, in
// that order, into the record areas above. A file that can be neither opened nor created ends the
// program inside the record-file layer.
void OpenReportFiles();

// Company name printed at the top of every page: "Tavo.ini" [Usuari]
// "NomEmpresa", at most 35 characters, empty when missing.
std::string FirmName();

// A read that failed during a production: the record file as the program
// names it ("DADES\CobramV") and the record manager's status. Status 0:
// every loop came to the end of its records (or to a missing key).
struct ReportReadFailure {
  std::string file;
  int16_t status = 0;
};

// Writes the report body for the parameters into the open print work file.
// A run that selects nothing writes nothing. End of file and key not found
// end a loop; any other status (a damaged file, an I/O error) stops the
// production there and is returned: what was written is not the listing.
ReportReadFailure ProduceReport(const ReportParameters& parameters);
// The operator's notice of such a failure, in the session's language.
std::string ReadFailureText(const ReportReadFailure& failure);

// Parameters from the texts of form 1 (period start, period end, first and
// last estate).
ReportParameters ParametersFromTexts(const std::string& start,
                                     const std::string& end,
                                     const std::string& first_estate,
                                     const std::string& last_estate);
// True when either range is inverted.
bool ParametersInverted(const ReportParameters& parameters);

}  // namespace app
