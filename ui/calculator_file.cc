// The calculator's state file "KELCALC.TMP". Other modules of the suite keep
// their calculator in the same file, so its layout is theirs:
//   window column, first used slot, entry value, total
//   cleared, entering, point, decimals          (flags -1 or 0)
//   "last key", "pending operator"
//   22 lines: value, point flag, decimals, "operator"
// A file from elsewhere may be damaged or of another layout; each item is
// checked before anything is taken from it.

#include <charconv>
#include <string_view>
#include <vector>

#include "app/config/paths.h"
#include "ui/calculator.h"
#include "ui/calculator_data.h"

namespace ui {

namespace {

constexpr int kStateLines = 3 + kTapeSlots;

std::string Flag(bool on) { return on ? "-1" : "0"; }
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Items of one line: split at commas outside double quotes.
std::vector<std::string_view> Items(std::string_view line) {
  std::vector<std::string_view> items;
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || (line[i] == ',' && !quoted)) {
      items.push_back(line.substr(start, i - start));
      start = i + 1;
    } else if (line[i] == '"') {
      quoted = !quoted;
    }
  }
  return items;
}

bool ReadWhole(std::string_view item, int lowest, int highest, int16_t& out) {
  int v = 0;
  auto r = std::from_chars(item.data(), item.data() + item.size(), v);
  if (r.ec != std::errc() || r.ptr != item.data() + item.size()) return false;
  if (v < lowest || v > highest) return false;
  out = static_cast<int16_t>(v);
  return true;
}

bool ReadFlag(std::string_view item, bool& out) {
  if (item != "-1" && item != "0") return false;
  out = item == "-1";
  return true;
}

// A quoted text of at most one character, one of those allowed.
bool ReadText(std::string_view item, std::string_view allowed, std::string& out) {
  if (item.size() < 2 || item.front() != '"' || item.back() != '"') return false;
  std::string_view inner = item.substr(1, item.size() - 2);
  if (inner.size() > 1 || (inner.size() == 1 && allowed.find(inner[0]) == std::string_view::npos))
    return false;
  out = std::string(inner);
  return true;
}

// A point flag and its decimals: no decimals without a point.
bool ReadDecimals(std::string_view flag, std::string_view count, bool& point, int16_t& decimals) {
  return ReadFlag(flag, point) && ReadWhole(count, 0, kCalculatorDigits, decimals) &&
         (point || decimals == 0);
}

bool ParseSlot(std::string_view line, TapeLine& slot) {
  std::vector<std::string_view> items = Items(line);
  std::string op;
  if (items.size() != 4 || !ReadDecimal(items[0], slot.value) ||
      !ReadDecimals(items[1], items[2], slot.point, slot.decimals) ||
      !ReadText(items[3], " +-*/=%R", op) || op.size() != 1)
    return false;
  slot.op = op[0];
  return true;
}

bool ParseHead(const std::vector<std::string_view>& lines, CalculatorData& c) {
  std::vector<std::string_view> a = Items(lines[0]);
  std::vector<std::string_view> b = Items(lines[1]);
  std::vector<std::string_view> k = Items(lines[2]);
  return a.size() == 4 && b.size() == 4 && k.size() == 2 &&
         ReadWhole(a[0], 1, kLastCalculatorColumn, c.column) &&
         ReadWhole(a[1], 2, kEmptyTape, c.first_used) && ReadDecimal(a[2], c.value) &&
         ReadDecimal(a[3], c.total) && ReadFlag(b[0], c.cleared) && ReadFlag(b[1], c.entering) &&
         ReadDecimals(b[2], b[3], c.point, c.decimals) && ReadText(k[0], "+-*/=", c.last_key) &&
         ReadText(k[1], "+-*/", c.pending);
}

}  // namespace

std::string CalculatorStateFile() {
  const config::Paths& p = config::PathsState();
  const std::string& dir = p.term_dir.empty() ? p.temp_dir : p.term_dir;
  return dir.empty() ? std::string() : dir + "KELCALC.TMP";
}

std::string CalculatorStateText(const CalculatorData& c) {
  std::string out = std::to_string(c.column) + "," + std::to_string(c.first_used) + "," +
                    PlainDecimal(c.value) + "," + PlainDecimal(c.total) + "\r\n";
  out += Flag(c.cleared) + "," + Flag(c.entering) + "," + Flag(c.point) + "," +
         std::to_string(c.decimals) + "\r\n";
  out += Quoted(c.last_key) + "," + Quoted(c.pending) + "\r\n";
  for (const TapeLine& slot : c.tape) {
    out += PlainDecimal(slot.value) + "," + Flag(slot.point) + "," +
           std::to_string(slot.decimals) + "," + Quoted(std::string(1, slot.op)) + "\r\n";
  }
  return out;
}

bool ParseCalculatorState(const std::string& text, CalculatorData& c) {
  std::vector<std::string_view> lines;
  std::string_view rest(text);
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  if (lines.size() != static_cast<size_t>(kStateLines)) return false;

  CalculatorData read;
  if (!ParseHead(lines, read)) return false;
  for (size_t s = 0; s < read.tape.size(); ++s) {
    if (!ParseSlot(lines[3 + s], read.tape[s])) return false;
  }
  c = read;
  return true;
}

}  // namespace ui
