// Comma-separated values as kelrec reads and writes them: fields separated by
// commas, a field in double quotes may hold commas, line ends and doubled
// quotes; records end at LF or CR LF. Text is UTF-8 and passed through as is.
#pragma once

#include <string>
#include <vector>

namespace tools {

struct CsvRow {
  int line = 0;  // 1-based line on which the record starts
  std::vector<std::string> fields;
};

// Splits the whole text into records; empty lines are skipped and a leading
// UTF-8 byte-order mark is dropped. False on a malformed quote, with the line
// and what is wrong.
bool ParseCsv(const std::string& text, std::vector<CsvRow>& rows,
              int& error_line, std::string& error);

// One field as written: quoted when it holds a comma, a quote, a line end or
// blanks at either end; quotes doubled.
std::string CsvField(const std::string& text);
// A record of fields joined by commas, ended by LF.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace tools
