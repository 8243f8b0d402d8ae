// CSV import and export of owners, estates, units and receipts.
#include "tools/kelrec/transfer.h"

#include <cstring>
#include <map>

#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/files.h"
#include "store/btrcall.h"
#include "tools/kelrec/csv.h"
#include "tools/kelrec/record_io.h"
#include "values/digits.h"

namespace tools {

std::string PackNumber(int value, int digits) {
  return values::PackDigits(values::ZeroPad(value, static_cast<int16_t>(digits)));
}

int UnpackNumber(const std::string& packed) {
  return static_cast<int>(values::DigitsValue(values::UnpackDigits(packed)));
}

std::string PackDate(int year, int month, int day) {
  return PackNumber(year, 4) + PackNumber(month, 2) + PackNumber(day, 2);
}

namespace {

using store::PutField;

constexpr int kShownProblems = 20;

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : days[m - 1];
}

// A decimal code of at most `digits` digits.
bool ParseCode(const std::string& text, int digits, const char* what, int& value,
               std::string& error) {
  if (!AllDigits(text) || text.size() > 9 ||
      (value = std::stoi(text)) >= (digits == 4 ? 10000 : 100)) {
    error = std::string("bad ") + what + " number \"" + text +
            "\" (0 to " + (digits == 4 ? "9999" : "99") + ")";
    return false;
  }
  return true;
}

bool OneCharacter(const std::string& utf8, const char* what, char& byte,
                  std::string& error) {
  if (utf8.empty()) {
    byte = ' ';
    return true;
  }
  std::string field;
  std::string why;
  if (!TextField(utf8, 1, field, why)) {
    error = std::string("bad ") + what + " \"" + utf8 + "\": " + why;
    return false;
  }
  byte = field[0];
  return true;
}

bool Text(const std::string& utf8, const char* what, std::string& record,
          RecordField at, std::string& error) {
  std::string field;
  std::string why;
  if (!TextField(utf8, static_cast<int>(at.width), field, why)) {
    error = std::string("bad ") + what + " \"" + utf8 + "\": " + why;
    return false;
  }
  PutField(record, at, field);
  return true;
}

bool Date(const std::string& text, const char* what, std::string& record,
          RecordField at, std::string& error) {
  std::string packed;
  if (!ParseIsoDate(text, packed)) {
    error = std::string("bad ") + what + " date \"" + text +
            "\" (YYYY-MM-DD or empty)";
    return false;
  }
  PutField(record, at, packed);
  return true;
}

std::string Character(char byte) {
  return byte == ' ' ? std::string() : platform::Cp850ToUtf8(std::string(1, byte));
}

int Number(const std::string& record, RecordField at) {
  return UnpackNumber(store::FieldText(record, at));
}

std::string KeyText(Kind kind, const std::string& record) {
  switch (kind) {
    case Kind::kOwners:
      return "owner " + std::to_string(Number(record, owner::kNumber));
    case Kind::kEstates:
      return "estate " + std::to_string(Number(record, estate::kNumber));
    case Kind::kUnits:
      return "unit " + std::to_string(Number(record, unit::kEstate)) + "/" +
             std::to_string(Number(record, unit::kUnit));
    case Kind::kReceipts:
      break;
  }
  return "receipt";
}

std::string FileText(const std::string& root, Kind kind) {
  return RecordFilePath(root, kind);
}

}  // namespace

bool ParseIsoDate(const std::string& text, std::string& packed) {
  if (text.empty()) {
    packed = PackDate(0, 0, 0);
    return true;
  }
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  std::string y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
  if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return false;
  int year = std::stoi(y), month = std::stoi(m), day = std::stoi(d);
  if (year < 1 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  packed = PackDate(year, month, day);
  return true;
}

std::string IsoDate(const std::string& packed) {
  if (packed == PackDate(0, 0, 0)) return std::string();
  std::string d = values::UnpackDigits(packed);
  return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

bool ParseAmount(const std::string& text, int32_t& cents) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  size_t dot = text.find('.', i);
  std::string whole = text.substr(i, dot == std::string::npos ? std::string::npos
                                                              : dot - i);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (!AllDigits(whole) || whole.size() > 8) return false;
  if (dot != std::string::npos && (!AllDigits(fraction) || fraction.size() > 2)) {
    return false;
  }
  int64_t value = std::stoll(whole) * 100;
  if (fraction.size() == 1) value += (fraction[0] - '0') * 10;
  if (fraction.size() == 2) value += std::stoi(fraction);
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return false;
  cents = static_cast<int32_t>(value);
  return true;
}

std::string AmountText(int32_t cents) {
  int64_t v = cents;
  std::string sign = v < 0 ? "-" : "";
  if (v < 0) v = -v;
  std::string fraction = std::to_string(v % 100);
  if (fraction.size() < 2) fraction = "0" + fraction;
  return sign + std::to_string(v / 100) + "." + fraction;
}

bool TextField(const std::string& utf8, int width, std::string& field,
               std::string& error) {
  bool ok = true;
  std::string cp850 = platform::Utf8ToCp850(utf8, &ok);
  if (!ok) {
    error = "a character has no code page 850 form";
    return false;
  }
  for (unsigned char c : cp850) {
    if (c < 0x20 || c == 0x7F) {
      error = "control characters are not allowed";
      return false;
    }
  }
  if (cp850.size() > static_cast<size_t>(width)) {
    error = "longer than " + std::to_string(width) + " characters";
    return false;
  }
  field = cp850;
  field.resize(static_cast<size_t>(width), ' ');
  return true;
}

std::string TrimmedText(const std::string& field) {
  return platform::Cp850ToUtf8(platform::TrimTrailingBlanks(field));
}

bool RecordFromFields(Kind kind, const std::vector<std::string>& f,
                      std::string& r, std::string& error) {
  const Layout& layout = LayoutOf(kind);
  size_t columns = 1;
  for (const char* c = layout.header; *c; ++c) columns += *c == ',';
  if (f.size() != columns) {
    error = "expected " + std::to_string(columns) + " columns (" +
            layout.header + "), found " + std::to_string(f.size());
    return false;
  }
  r = BlankRecord(kind);
  int a = 0, b = 0;
  switch (kind) {
    case Kind::kOwners:
      if (!ParseCode(f[0], 4, "owner", a, error)) return false;
      PutField(r, owner::kNumber, PackNumber(a, 4));
      return Text(f[1], "name", r, owner::kName, error);
    case Kind::kEstates: {
      if (!ParseCode(f[0], 4, "estate", a, error) ||
          !ParseCode(f[1], 4, "owner", b, error)) {
        return false;
      }
      PutField(r, estate::kNumber, PackNumber(a, 4));
      PutField(r, estate::kOwner, PackNumber(b, 4));
      char heading = ' ';
      if (!Text(f[2], "name", r, estate::kName, error) ||
          !OneCharacter(f[3], "heading", heading, error)) {
        return false;
      }
      PutField(r, estate::kHeading, std::string(1, heading));
      return true;
    }
    case Kind::kUnits:
      if (!ParseCode(f[0], 4, "estate", a, error) ||
          !ParseCode(f[1], 4, "unit", b, error)) {
        return false;
      }
      PutField(r, unit::kEstate, PackNumber(a, 4));
      PutField(r, unit::kUnit, PackNumber(b, 4));
      return Text(f[2], "holder", r, unit::kHolder, error) &&
             Text(f[3], "designation", r, unit::kDesignation, error) &&
             Text(f[4], "telephone", r, unit::kTelephone, error);
    case Kind::kReceipts: {
      if (!ParseCode(f[0], 4, "estate", a, error) ||
          !ParseCode(f[1], 4, "unit", b, error)) {
        return false;
      }
      PutField(r, receipt::kUnitKey, PackNumber(a, 4) + PackNumber(b, 4));
      if (!Date(f[2], "issue", r, receipt::kIssued, error) ||
          !Date(f[3], "collection", r, receipt::kCollected, error)) {
        return false;
      }
      int32_t cents = 0;
      if (!ParseAmount(f[4], cents)) {
        error = "bad amount \"" + f[4] + "\" (euros, \".\" and up to two decimals)";
        return false;
      }
      store::PutInt32(r, receipt::kAmount, cents);
      char state = ' ';
      if (!OneCharacter(f[5], "state", state, error)) return false;
      PutField(r, receipt::kState, std::string(1, state));
      return true;
    }
  }
  return false;
}

std::vector<std::string> FieldsFromRecord(Kind kind, const std::string& record) {
  auto number = [&record](RecordField at) { return std::to_string(Number(record, at)); };
  auto text = [&record](RecordField at) {
    return TrimmedText(store::FieldText(record, at));
  };
  auto character = [&record](RecordField at) {
    return Character(store::FieldText(record, at)[0]);
  };
  switch (kind) {
    case Kind::kOwners:
      return {number(owner::kNumber), text(owner::kName)};
    case Kind::kEstates:
      return {number(estate::kNumber), number(estate::kOwner), text(estate::kName),
              character(estate::kHeading)};
    case Kind::kUnits:
      return {number(unit::kEstate), number(unit::kUnit), text(unit::kHolder),
              text(unit::kDesignation), text(unit::kTelephone)};
    case Kind::kReceipts:
      return {number(receipt::kEstate), number(receipt::kUnit),
              IsoDate(store::FieldText(record, receipt::kIssued)),
              IsoDate(store::FieldText(record, receipt::kCollected)),
              AmountText(store::FieldInt32(record, receipt::kAmount)),
              character(receipt::kState)};
  }
  return {};
}

namespace {

// Empties the file (when asked) and inserts the records, all in one
// transaction; on any failure nothing of it stays.
int WriteAll(const std::string& root, Kind kind, RecordIo& file,
             const std::vector<std::string>& records, bool replace,
             std::ostream& err) {
  int16_t status = RecordIo::Begin();
  if (status != store::kStOk) {
    err << FileText(root, kind) << ": cannot begin a transaction (status "
        << status << ")\n";
    return kExitBadData;
  }
  if (replace) {
    std::string record;
    while ((status = file.First(record)) == store::kStOk) {
      status = file.DeleteCurrent();
      if (status != store::kStOk) break;
    }
    if (status != store::kStEndOfFile) {
      RecordIo::Abort();
      err << FileText(root, kind) << ": cannot empty the file (status "
          << status << ")\n";
      return kExitBadData;
    }
  }
  for (const std::string& record : records) {
    status = file.Insert(record);
    if (status != store::kStOk) {
      RecordIo::Abort();
      err << FileText(root, kind) << ": cannot insert " << KeyText(kind, record)
          << " (status " << status << "); nothing was written\n";
      return kExitBadData;
    }
  }
  status = RecordIo::Commit();
  if (status != store::kStOk) {
    RecordIo::Abort();
    err << FileText(root, kind) << ": cannot commit (status " << status
        << "); nothing was written\n";
    return kExitBadData;
  }
  return kExitOk;
}

int OpenFor(const std::string& root, Kind kind, RecordIo& file,
            std::ostream& err) {
  int16_t status = file.Open(root, kind);
  if (status != store::kStOk) {
    err << FileText(root, kind) << ": cannot open or create (status " << status
        << ")\n";
    return kExitBadData;
  }
  return kExitOk;
}

}  // namespace

int ImportCsv(const std::string& root, Kind kind, const std::string& csv_path,
              bool replace, std::ostream& err) {
  const Layout& layout = LayoutOf(kind);
  std::string text;
  if (!platform::ReadWholeFile(csv_path, text)) {
    err << csv_path << ": cannot read the file\n";
    return kExitBadData;
  }
  std::vector<CsvRow> rows;
  int error_line = 0;
  std::string error;
  if (!ParseCsv(text, rows, error_line, error)) {
    err << csv_path << ":" << error_line << ": " << error << "\n";
    return kExitBadData;
  }
  if (rows.empty() || CsvLine(rows[0].fields) != std::string(layout.header) + "\n") {
    err << csv_path << ":" << (rows.empty() ? 1 : rows[0].line)
        << ": the first row must be the header \"" << layout.header << "\"\n";
    return kExitBadData;
  }
  std::vector<std::string> records;
  std::vector<int> lines;
  std::map<std::string, int> seen;  // key 0 -> line, for unique keys
  bool bad = false;
  // A wholly wrong file would bury the terminal: the first problems suffice.
  int problems = 0;
  auto report = [&](int line, const std::string& what) {
    bad = true;
    if (++problems <= kShownProblems) {
      err << csv_path << ":" << line << ": " << what << "\n";
    }
  };
  auto finish_report = [&] {
    if (problems > kShownProblems) {
      err << csv_path << ": " << problems - kShownProblems
          << " more problems not shown\n";
    }
  };
  for (size_t i = 1; i < rows.size(); ++i) {
    std::string record;
    if (!RecordFromFields(kind, rows[i].fields, record, error)) {
      report(rows[i].line, error);
      continue;
    }
    if (layout.key0_unique) {
      std::string key = record.substr(0, static_cast<size_t>(layout.key0_length));
      auto [it, fresh] = seen.emplace(key, rows[i].line);
      if (!fresh) {
        report(rows[i].line, "duplicate " + KeyText(kind, record) +
                                 " (also on line " + std::to_string(it->second) + ")");
        continue;
      }
    }
    records.push_back(record);
    lines.push_back(rows[i].line);
  }
  if (bad) {
    finish_report();
    return kExitBadData;
  }

  RecordIo file;
  if (int rc = OpenFor(root, kind, file, err); rc != kExitOk) return rc;
  if (layout.key0_unique && !replace) {
    for (size_t i = 0; i < records.size(); ++i) {
      std::string found;
      std::string key = records[i].substr(0, static_cast<size_t>(layout.key0_length));
      int16_t status = file.Equal(key, found);
      if (status == store::kStOk) {
        report(lines[i], KeyText(kind, records[i]) + " is already in " +
                             FileText(root, kind));
      } else if (status != store::kStKeyNotFound) {
        err << FileText(root, kind) << ": cannot read (status " << status
            << ")\n";
        return kExitBadData;
      }
    }
    if (bad) {
      finish_report();
      return kExitBadData;
    }
  }
  return WriteAll(root, kind, file, records, replace, err);
}

int ExportCsv(const std::string& root, Kind kind, std::ostream& out,
              std::ostream& err) {
  RecordIo file;
  if (int rc = OpenFor(root, kind, file, err); rc != kExitOk) return rc;
  std::string text = std::string(LayoutOf(kind).header) + "\n";
  std::string record;
  int16_t status = file.First(record);
  while (status == store::kStOk) {
    text += CsvLine(FieldsFromRecord(kind, record));
    status = file.Next(record);
  }
  if (status != store::kStEndOfFile) {
    err << FileText(root, kind) << ": cannot read (status " << status << ")\n";
    return kExitBadData;
  }
  out << text;
  return kExitOk;
}

int WriteRecords(const std::string& root, Kind kind,
                 const std::vector<std::string>& records, std::ostream& err) {
  RecordIo file;
  if (int rc = OpenFor(root, kind, file, err); rc != kExitOk) return rc;
  return WriteAll(root, kind, file, records, false, err);
}

}  // namespace tools
