// Print work files as the report writes them, for the tests of KELPRINT and
// its preview: the records of the module's writer and a realistic listing
// of three pages. Header-only; needs nothing but the standard library.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

// Writes records the way the report's writer does: print-form numbers, CR LF,
// an automatic page break once the line count reaches the page length.
class WorkFileWriter {
 public:
  static std::string PrintForm(int v) {
    return v < 0 ? std::to_string(v) + " " : " " + std::to_string(v) + " ";
  }
  void Device(const std::string& name) { Record("DEVICE" + name); }
  void Page(int length) {
    Record("PAGE" + PrintForm(length));
    page_length_ = length;
    line_count_ = 0;
  }
  void Jus(const std::string& mode) { Record("JUS" + mode); }
  void Style(const std::string& code) { Record("*" + code); }
  void Item(int column, const std::string& text, int advance) {
    if (page_length_ > 0 && line_count_ >= page_length_) Page(page_length_);
    Record(PrintForm(column) + "," + text + "," + PrintForm(advance));
    line_count_ += advance;
  }
  void Record(const std::string& r) { out_ += r + "\r\n"; }
  int line_count() const { return line_count_; }
  const std::string& str() const { return out_; }

 private:
  std::string out_;
  int page_length_ = 0;
  int line_count_ = 0;
};

// Euros from cents as the report's masks print them: "." thousands, "'"
// decimals, right-aligned in width.
inline std::string Amount(long cents, size_t width) {
  bool negative = cents < 0;
  long v = negative ? -cents : cents;
  std::string whole = std::to_string(v / 100);
  for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
    whole.insert(static_cast<size_t>(i), ".");
  char dec[4];
  std::snprintf(dec, sizeof dec, "%02ld", v % 100);
  std::string s = (negative ? "-" : "") + whole + "'" + dec;
  return std::string(width > s.size() ? width - s.size() : 0, ' ') + s;
}

inline std::string Padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

inline std::string Date(int day, int month) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d/%02d/2026", day, month);
  return b;
}

struct Receipt {
  int issue_day, collect_day;
  long cents;
  char state;
};
struct Unit {
  int number;
  std::string designation, holder, phone;
  std::vector<Receipt> receipts;
};
struct Estate {
  int number;
  std::string name;
  std::vector<Unit> units;
};

// Three estates of invented tenants, about a hundred pending and returned
// receipts: three pages.
inline std::vector<Estate> SampleEstates() {
  const char* holders[] = {
      "JOAN PUIG I FERRER",  "MARIA ROSA VIL\xB7",   "N\xE9RIA CASALS",
      "JOSEP M. G\x9A" "ELL", "ANNA MART\xD6NEZ",    "PERE SOLER BOU",
      "MONTSERRAT RIBA",     "FRANCESC XAVIER PONS", "LAIA COLL I SANS",
      "JORDI BARCEL\xE3",    "CARME VALLS",          "ENRIC MIR\xE0"};
  const char* names[] = {"C/ MAJOR, 12", "PL. DE L'ESGL\x90SIA, 3",
                         "AV. DE LA CATEDRAL, 145"};
  std::vector<Estate> estates;
  int h = 0;
  for (int e = 0; e < 3; ++e) {
    Estate estate{7 + e * 5, names[e], {}};
    for (int u = 1; u <= 14; ++u) {
      Unit unit;
      unit.number = u;
      unit.designation = std::to_string((u + 1) / 2) + (u % 2 ? "r 1a" : "r 2a");
      unit.holder = holders[h++ % 12];
      unit.phone = "93" + std::to_string(4100000 + e * 100000 + u * 731);
      int count = 1 + (u + e) % 3;
      for (int r = 0; r < count; ++r) {
        long cents = 45000 + (e * 37 + u * 113 + r * 71) % 900 * 100 + u * 7;
        if (u == 5 && r == 0) cents = 9876543;  // as wide as the mask allows
        unit.receipts.push_back({1 + r * 10, 5 + r * 10, cents,
                                 (u + r) % 4 == 0 ? 'D' : 'P'});
      }
      estate.units.push_back(unit);
    }
    estates.push_back(estate);
  }
  return estates;
}

// The report as the module produces it, page breaks and totals included.
inline std::string RealisticWorkFile(const std::string& device) {
  WorkFileWriter w;
  int page = 0;
  auto heading = [&] {
    ++page;
    w.Page(66);
    w.Style("@e");
    w.Item(1, "ADMINISTRACI\xE0 DE FINQUES SERRA, SL", 0);
    w.Jus("D");
    char num[8];
    std::snprintf(num, sizeof num, "%4d", page);
    w.Item(85, std::string("P\xB7GINA ") + num, 2);
    std::string title = "RELACI\xE0 DE PENDENTS DE VERTICAL EXISTENTS ENTRE " +
                        Date(1, 11) + " I " + Date(30, 11);
    w.Item((96 - static_cast<int>(title.size())) / 2, title, 2);
    w.Style("q");
    w.Item(1, "REBUT", 0);
    w.Item(11, "DEPART.", 0);
    w.Item(22, "TITULAR", 0);
    w.Item(53, "TEL\xD4" "FON", 0);
    w.Item(74, "D.EXPED.", 0);
    w.Item(85, "D.COBR.", 0);
    w.Item(96, "  PENDENT", 0);
    w.Item(105, "   TORNAT", 1);
    w.Item(1, std::string(135, '-'), 0);
  };
  w.Device(device);
  long grand_p = 0, grand_d = 0;
  for (const Estate& estate : SampleEstates()) {
    bool estate_flag = false;
    long estate_p = 0, estate_d = 0;
    for (const Unit& unit : estate.units) {
      bool unit_flag = false;
      long unit_p = 0, unit_d = 0;
      for (const Receipt& r : unit.receipts) {
        if (page == 0) heading();
        if (w.line_count() > 59) heading();
        if (!estate_flag) {
          estate_flag = true;
          w.Item(0, "", 2);
          if (w.line_count() > 58) heading();
          char num[8];
          std::snprintf(num, sizeof num, "%03d", estate.number);
          w.Item(1, "FINCA " + std::string(num) + " - " + estate.name, 1);
        }
        w.Item(0, "", 1);
        if (!unit_flag) {
          unit_flag = true;
          char ref[16];
          std::snprintf(ref, sizeof ref, "%03d%03dV", estate.number, unit.number);
          // Record fields as they stand, blank-padded; under "D" after the
          // previous unit's totals.
          w.Item(1, ref, 0);
          w.Item(11, Padded(unit.designation, 10), 0);
          w.Item(22, Padded(unit.holder, 30), 0);
          w.Item(53, Padded(unit.phone, 20), 0);
        }
        w.Item(74, Date(r.issue_day, 11), 0);
        w.Item(85, Date(r.collect_day, 11), 0);
        w.Jus("D");
        w.Item(r.state == 'D' ? 105 : 96, Amount(r.cents, 9), 0);
        w.Jus("E");
        (r.state == 'P' ? unit_p : unit_d) += r.cents;
      }
      if (unit_flag) {
        w.Jus("D");
        w.Item(115, Amount(unit_p, 10), 0);
        w.Item(126, Amount(unit_d, 10), 1);
        estate_p += unit_p;
        estate_d += unit_d;
      }
    }
    if (estate_flag) {
      w.Item(115, std::string(21, '-'), 1);
      if (w.line_count() > 58) heading();
      w.Jus("N 113 \\.\\");
      w.Item(75, "TOTAL FINCA ", 0);
      w.Jus("D");
      w.Item(115, Amount(estate_p, 10), 0);
      w.Item(126, Amount(estate_d, 10), 1);
      grand_p += estate_p;
      grand_d += estate_d;
    }
  }
  if (page > 0) {
    w.Item(115, std::string(21, '-'), 1);
    if (w.line_count() > 59) heading();
    w.Item(75, "TOTAL GENERAL", 0);
    w.Jus("D");
    w.Item(115, Amount(grand_p, 10), 0);
    w.Item(126, Amount(grand_d, 10), 1);
    w.Item(75, std::string(61, '='), 1);
  }
  return w.str();
}

}  // namespace testing_support
