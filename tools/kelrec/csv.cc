// CSV splitting and quoting for the import and export of kelrec.
#include "tools/kelrec/csv.h"

namespace tools {

bool ParseCsv(const std::string& text, std::vector<CsvRow>& rows,
              int& error_line, std::string& error) {
  rows.clear();
  size_t i = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  int line = 1;
  const size_t n = text.size();
  while (i < n) {
    // An empty line holds no record.
    if (text[i] == '\n' || (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')) {
      i += text[i] == '\r' ? 2 : 1;
      ++line;
      continue;
    }
    CsvRow row;
    row.line = line;
    std::string field;
    bool ended = false;
    while (!ended) {
      if (i < n && text[i] == '"') {
        // Quoted field: runs to the lone closing quote.
        ++i;
        for (;;) {
          if (i >= n) {
            error_line = row.line;
            error = "unterminated quoted field";
            return false;
          }
          char c = text[i++];
          if (c == '"') {
            if (i < n && text[i] == '"') {
              field += '"';
              ++i;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          field += c;
        }
        if (i < n && text[i] != ',' && text[i] != '\n' &&
            !(text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')) {
          error_line = line;
          error = "text after a closing quote";
          return false;
        }
      } else {
        while (i < n && text[i] != ',' && text[i] != '\n' &&
               !(text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')) {
          if (text[i] == '"') {
            error_line = line;
            error = "quote inside an unquoted field";
            return false;
          }
          field += text[i++];
        }
      }
      row.fields.push_back(field);
      field.clear();
      if (i >= n) {
        ended = true;
      } else if (text[i] == ',') {
        ++i;
      } else {
        i += text[i] == '\r' ? 2 : 1;
        ++line;
        ended = true;
      }
    }
    rows.push_back(std::move(row));
  }
  return true;
}

std::string CsvField(const std::string& text) {
  bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\n' || c == '\r') quote = true;
  }
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line + "\n";
}

}  // namespace tools
