// CSV import and export of owners, estates, units and receipts.
#include "tools/kelrec/transfer.h"

#include <cstring>
#include <map>

#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/files.h"
#include "store/btrcall.h"
#include "tools/kelrec/csv.h"
#include "tools/kelrec/progress.h"
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

bool AllDigits(std::string_view s) {
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

// Digits only, at most 9 of them.
int SmallNumber(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

// A decimal code of at most `digits` digits.
bool ParseCode(std::string_view text, int digits, const char* what, int& value,
               std::string& error) {
  if (!AllDigits(text) || text.size() > 9 ||
      (value = SmallNumber(text)) >= (digits == 4 ? 10000 : 100)) {
    error = std::string("bad ") + what + " number " + QuotedInput(text) +
            " (0 to " + (digits == 4 ? "9999" : "99") + ")";
    return false;
  }
  return true;
}

bool OneCharacter(std::string_view utf8, const char* what, char& byte,
                  std::string& error) {
  if (utf8.empty()) {
    byte = ' ';
    return true;
  }
  std::string field;
  std::string why;
  if (!TextField(utf8, 1, field, why)) {
    error = std::string("bad ") + what + " " + QuotedInput(utf8) + ": " + why;
    return false;
  }
  byte = field[0];
  return true;
}

bool Text(std::string_view utf8, const char* what, std::string& record,
          RecordField at, std::string& error) {
  std::string field;
  std::string why;
  if (!TextField(utf8, static_cast<int>(at.width), field, why)) {
    error = std::string("bad ") + what + " " + QuotedInput(utf8) + ": " + why;
    return false;
  }
  PutField(record, at, field);
  return true;
}

bool Date(std::string_view text, const char* what, std::string& record,
          RecordField at, std::string& error) {
  std::string packed;
  if (!ParseIsoDate(text, packed)) {
    error = std::string("bad ") + what + " date " + QuotedInput(text) +
            " (YYYY-MM-DD or empty)";
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

bool ParseIsoDate(std::string_view text, std::string& packed) {
  if (text.empty()) {
    packed = PackDate(0, 0, 0);
    return true;
  }
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  std::string_view y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
  if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return false;
  int year = SmallNumber(y), month = SmallNumber(m), day = SmallNumber(d);
  if (year < 1 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  // The digits are checked: packed as they stand, YYYYMMDD.
  char digits[8];
  y.copy(digits, 4);
  m.copy(digits + 4, 2);
  d.copy(digits + 6, 2);
  packed = values::PackDigits(std::string_view(digits, sizeof digits));
  return true;
}

std::string IsoDate(const std::string& packed) {
  if (packed == PackDate(0, 0, 0)) return std::string();
  std::string d = values::UnpackDigits(packed);
  return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

bool ParseAmount(std::string_view text, int32_t& cents) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  size_t dot = text.find('.', i);
  std::string_view whole = text.substr(i, dot == std::string_view::npos
                                              ? std::string_view::npos
                                              : dot - i);
  std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (!AllDigits(whole) || whole.size() > 8) return false;
  if (dot != std::string_view::npos && (!AllDigits(fraction) || fraction.size() > 2)) {
    return false;
  }
  int64_t value = int64_t{SmallNumber(whole)} * 100;
  if (fraction.size() == 1) value += (fraction[0] - '0') * 10;
  if (fraction.size() == 2) value += SmallNumber(fraction);
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

bool TextField(std::string_view utf8, int width, std::string& field,
               std::string& error) {
  bool ok = true;
  std::string cp850 = platform::Utf8ToCp850(std::string(utf8), &ok);
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

bool RecordFromFields(Kind kind, const std::vector<std::string_view>& f,
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
        error = "bad amount " + QuotedInput(f[4]) + " (euros, \".\" and up to two decimals)";
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

// Starts the transaction over the file and empties the file inside it when
// asked.
int BeginWriting(const std::string& root, Kind kind, RecordIo& file, bool replace,
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
  return kExitOk;
}

int InsertFailed(const std::string& root, Kind kind, const std::string& record,
                 int16_t status, std::ostream& err) {
  RecordIo::Abort();
  err << FileText(root, kind) << ": cannot insert " << KeyText(kind, record)
      << " (status " << status << "); nothing was written\n";
  return kExitBadData;
}

int CommitFailed(const std::string& root, Kind kind, int16_t status, std::ostream& err) {
  RecordIo::Abort();
  err << FileText(root, kind) << ": cannot commit (status " << status
      << "); nothing was written\n";
  return kExitBadData;
}

// Empties the file (when asked) and inserts the records, all in one
// transaction; on any failure nothing of it stays.
int WriteAll(const std::string& root, Kind kind, RecordIo& file,
             const std::vector<std::string>& records, bool replace,
             std::ostream& err) {
  if (int rc = BeginWriting(root, kind, file, replace, err); rc != kExitOk) return rc;
  for (const std::string& record : records) {
    int16_t status = file.Insert(record);
    if (status != store::kStOk) return InsertFailed(root, kind, record, status, err);
  }
  int16_t status = RecordIo::Commit();
  return status == store::kStOk ? kExitOk : CommitFailed(root, kind, status, err);
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

// One import, row by row in a single reading of the file: every row is
// checked and, while all rows so far were good, inserted at once inside the
// transaction. After the first problem the rows are only checked, so that
// the operator sees them all, and the transaction is rolled back at the end:
// nothing or everything, as if every row had been checked first.
class Import {
 public:
  Import(const std::string& root, Kind kind, const std::string& csv_path,
         bool replace, std::ostream& err, std::ostream* progress)
      : root_(root), kind_(kind), layout_(LayoutOf(kind)), path_(csv_path),
        replace_(replace), err_(err), progress_(progress, layout_.kind_name) {}

  int Run() {
    if (!csv_.Open(path_)) {
      err_ << path_ << ": cannot read the file\n";
      return kExitBadData;
    }
    if (!Header()) return kExitBadData;
    if (int rc = OpenFor(root_, kind_, file_, err_); rc != kExitOk) return rc;
    if (int rc = BeginWriting(root_, kind_, file_, replace_, err_); rc != kExitOk) return rc;
    while (csv_.Next()) {
      if (int rc = Row(); rc != kExitOk) return rc;
      progress_.Update(++rows_, csv_.bytes_done(), csv_.file_size());
    }
    if (csv_.failed()) {
      progress_.Clear();
      err_ << path_ << ":" << csv_.error_line() << ": " << csv_.error() << "\n";
      bad_ = true;
    }
    if (bad_) {
      RecordIo::Abort();
      progress_.Finish(rows_, csv_.bytes_done(), csv_.file_size());
      if (problems_ > kShownProblems)
        err_ << path_ << ": " << problems_ - kShownProblems << " more problems not shown\n";
      return kExitBadData;
    }
    // The commit of millions of rows takes a while of its own.
    progress_.Show(rows_, csv_.bytes_done(), csv_.file_size());
    int16_t status = RecordIo::Commit();
    progress_.Finish(rows_, csv_.bytes_done(), csv_.file_size());
    return status == store::kStOk ? kExitOk : CommitFailed(root_, kind_, status, err_);
  }

 private:
  bool Header() {
    std::vector<std::string> names;
    if (csv_.Next()) names.assign(csv_.fields().begin(), csv_.fields().end());
    if (csv_.failed()) {
      err_ << path_ << ":" << csv_.error_line() << ": " << csv_.error() << "\n";
      return false;
    }
    if (CsvLine(names) != std::string(layout_.header) + "\n") {
      err_ << path_ << ":" << (names.empty() ? 1 : csv_.line())
           << ": the first row must be the header \"" << layout_.header << "\"\n";
      return false;
    }
    return true;
  }

  // A wholly wrong file would bury the terminal: the first problems suffice.
  void Report(int line, const std::string& what) {
    bad_ = true;
    if (++problems_ <= kShownProblems) {
      progress_.Clear();
      err_ << path_ << ":" << line << ": " << what << "\n";
    }
  }

  int Row() {
    const int line = csv_.line();
    if (!RecordFromFields(kind_, csv_.fields(), record_, error_)) {
      Report(line, error_);
      return kExitOk;
    }
    if (layout_.key0_unique) {
      auto [it, fresh] = seen_.emplace(
          record_.substr(0, static_cast<size_t>(layout_.key0_length)), line);
      if (!fresh) {
        Report(line, "duplicate " + KeyText(kind_, record_) + " (also on line " +
                         std::to_string(it->second) + ")");
        return kExitOk;
      }
    }
    if (!bad_) {
      const int16_t status = file_.Insert(record_);
      if (status == store::kStOk) return kExitOk;
      if (status != store::kStDuplicateKey || !layout_.key0_unique) {
        progress_.Clear();
        return InsertFailed(root_, kind_, record_, status, err_);
      }
    } else if (layout_.key0_unique && !replace_) {
      // Nothing goes in any more; a key already there is still worth telling.
      std::string found;
      const int16_t status = file_.Equal(
          record_.substr(0, static_cast<size_t>(layout_.key0_length)), found);
      if (status == store::kStKeyNotFound) return kExitOk;
      if (status != store::kStOk) {
        progress_.Clear();
        RecordIo::Abort();
        err_ << FileText(root_, kind_) << ": cannot read (status " << status << ")\n";
        return kExitBadData;
      }
    } else {
      return kExitOk;
    }
    Report(line, KeyText(kind_, record_) + " is already in " + FileText(root_, kind_));
    return kExitOk;
  }

  const std::string& root_;
  const Kind kind_;
  const Layout& layout_;
  const std::string& path_;
  const bool replace_;
  std::ostream& err_;
  ProgressLine progress_;
  CsvReader csv_;
  RecordIo file_;
  std::map<std::string, int> seen_;  // key 0 -> line, for unique keys
  std::string record_, error_;
  int64_t rows_ = 0;
  int problems_ = 0;
  bool bad_ = false;
};

}  // namespace

int ImportCsv(const std::string& root, Kind kind, const std::string& csv_path,
              bool replace, std::ostream& err, std::ostream* progress) {
  return Import(root, kind, csv_path, replace, err, progress).Run();
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
