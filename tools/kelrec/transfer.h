// Import of CSV files into an installation's record files and export back.
// The CSV columns per kind are the layout's header row; codes are decimal
// numbers, dates YYYY-MM-DD (empty for none), amounts euros with "." and
// two decimals at most, texts UTF-8. Stored: packed codes and dates, amounts
// as whole cents, texts in code page 850 padded with blanks. An export
// imported again into an empty file exports the same bytes.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kelrec/layouts.h"

namespace tools {

// Exit codes of kelrec.
constexpr int kExitOk = 0;
constexpr int kExitBadData = 1;
constexpr int kExitUsage = 2;

// One record from the fields of a CSV row; false with what is wrong.
bool RecordFromFields(Kind kind, const std::vector<std::string_view>& fields,
                      std::string& record, std::string& error);
// The CSV fields of a record.
std::vector<std::string> FieldsFromRecord(Kind kind, const std::string& record);

// Writes all rows in one transaction, or nothing when any row is bad.
// Problems are written to err as "FILE:LINE: what is wrong". With progress,
// a progress line is kept there (see progress.h).
int ImportCsv(const std::string& root, Kind kind, const std::string& csv_path,
              bool replace, std::ostream& err, std::ostream* progress = nullptr);
// Writes the header and every record in key order.
int ExportCsv(const std::string& root, Kind kind, std::ostream& out,
              std::ostream& err);

// Writes ready-made records in one transaction (the demo data).
int WriteRecords(const std::string& root, Kind kind,
                 const std::vector<std::string>& records, std::ostream& err);

// Field conversions, shared with the demo data.
std::string PackNumber(int value, int digits);  // digits even
int UnpackNumber(const std::string& packed);
std::string PackDate(int year, int month, int day);  // 0,0,0: the empty date
bool ParseIsoDate(std::string_view text, std::string& packed);
std::string IsoDate(const std::string& packed);  // "" for the empty date
bool ParseAmount(std::string_view text, int32_t& cents);
std::string AmountText(int32_t cents);
// UTF-8 text to a blank-padded code page 850 field; false when it does not
// fit or holds a character that has no place there.
bool TextField(std::string_view utf8, int width, std::string& field,
               std::string& error);
std::string TrimmedText(const std::string& field);  // UTF-8, right-trimmed

}  // namespace tools
