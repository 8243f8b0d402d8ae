#include "values/text.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "platform/ascii.h"
#include "values/values_state.h"

namespace values {

namespace {

constexpr int kFirstFolded = 64;
constexpr int kLastFolded = 237;
using FoldTable = std::array<unsigned char, kLastFolded - kFirstFolded + 1>;

// Code page 850 codes 128..237.
constexpr unsigned char kUpperHigh[] = {
    0x80, 0x9A, 0x90, 0xB6, 0x8E, 0xB7, 0x8F, 0x80,
    0xD2, 0xD3, 0xD4, 0xD8, 0xD7, 0xDE, 0x8E, 0x8F,
    0x90, 0x92, 0x92, 0xE2, 0x99, 0xE3, 0xEA, 0xEB,
    0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F,
    0xB5, 0xD6, 0xE0, 0xE9, 0xA5, 0xA5, 0xA6, 0xA7,
    0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7,
    0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC7, 0xC7,
    0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD1, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7,
    0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE5, 0xE5, 0xE6, 0xE7,
    0xE8, 0xE9, 0xEA, 0xEB, 0xED, 0xED};

constexpr unsigned char kSearchHigh[] = {
    0x43, 0x55, 0x45, 0x41, 0x41, 0x41, 0x41, 0x43,
    0x45, 0x45, 0x45, 0x49, 0x49, 0x49, 0x41, 0x41,
    0x45, 0x41, 0x41, 0x4F, 0x4F, 0x4F, 0x55, 0x55,
    0x59, 0x4F, 0x55, 0x4F, 0x20, 0x4F, 0x20, 0x20,
    0x41, 0x49, 0x4F, 0x55, 0x4E, 0x4E, 0x41, 0x4F,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x41, 0x41, 0x41,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x41, 0x41,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x44, 0x44, 0x45, 0x45, 0x45, 0x45, 0x49, 0x49,
    0x49, 0x20, 0x20, 0x20, 0x20, 0x20, 0x49, 0x20,
    0x4F, 0x53, 0x4F, 0x4F, 0x4F, 0x4F, 0x20, 0x54,
    0x54, 0x55, 0x55, 0x55, 0x59, 0x59};

static_assert(sizeof kUpperHigh == kLastFolded - 128 + 1);
static_assert(sizeof kSearchHigh == kLastFolded - 128 + 1);

constexpr FoldTable BuildTable(const unsigned char (&high)[110],
                               bool for_search) {
  FoldTable table{};
  for (int c = kFirstFolded; c < 128; ++c) {
    const char upper = platform::UpperAscii(static_cast<char>(c));
    const bool letter = upper >= 'A' && upper <= 'Z';
    // For searches "@", "[" .. "`" and "{" .. code 127 become blanks.
    table[c - kFirstFolded] = for_search && !letter ? ' ' : static_cast<unsigned char>(upper);
  }
  for (int c = 128; c <= kLastFolded; ++c) {
    table[c - kFirstFolded] = high[c - 128];
  }
  return table;
}

constexpr FoldTable kUpperTable = BuildTable(kUpperHigh, false);
constexpr FoldTable kSearchTable = BuildTable(kSearchHigh, true);

bool IsControl(int c) { return c >= 0 && c < 32; }
bool IsAboveBlank(int c) { return c > 32; }

// Pads a justified line to room by widening its gaps in turn, starting with
// the first blank after the indent.
void Justify(std::string& line, size_t start, size_t room) {
  if (line.size() >= room) return;
  std::vector<size_t> gaps;  // index where each run of blanks begins
  for (size_t i = line.find(' ', start); i < line.size();) {
    gaps.push_back(i);
    while (i < line.size() && line[i] == ' ') ++i;
    i = line.find(' ', i);
  }
  if (gaps.empty()) return;
  const size_t extra = room - line.size();
  const size_t each = extra / gaps.size();
  const size_t more = extra % gaps.size();
  // Insert from the right so earlier indexes stay valid.
  for (size_t g = gaps.size(); g-- > 0;) {
    line.insert(gaps[g], each + (g < more ? 1 : 0), ' ');
  }
}

}  // namespace

std::string FoldText(std::string_view text) {
  const FoldTable& table =
      ValuesState().fold_for_search ? kSearchTable : kUpperTable;
  std::string folded(text);
  for (char& ch : folded) {
    const int c = static_cast<unsigned char>(ch);
    if (c >= kFirstFolded && c <= kLastFolded) {
      ch = static_cast<char>(table[c - kFirstFolded]);
    }
  }
  return folded;
}

void FormatParagraph(std::string& text, int16_t indent, int16_t width,
                     std::string_view alignment) {
  const int64_t n = static_cast<int64_t>(text.size());
  // 1-based; -1 past the end.
  auto at = [&](int64_t i) -> int {
    return i >= 1 && i <= n ? static_cast<unsigned char>(text[i - 1]) : -1;
  };
  const int64_t abs_indent = indent < 0 ? -int64_t{indent} : int64_t{indent};
  int64_t margin = indent > 0 ? indent : 0;
  const char align = platform::UpperAscii(alignment.empty() ? ' ' : alignment[0]);

  std::string result;
  int64_t p = 1;
  while (p <= n) {
    int64_t room = width - margin;
    int64_t taken = 0;
    while (taken < room && p + taken <= n) {
      if (IsControl(at(p + taken))) ++room;
      ++taken;
    }
    if (taken > 0 && IsAboveBlank(at(p + taken - 1))) {
      while (IsControl(at(p + taken))) {
        ++taken;
        ++room;
      }
    }

    // Break before a word that would be split.
    int64_t k = room;
    const int64_t room_taken = room;
    if (IsAboveBlank(at(p + k))) {
      while (k > 0 && IsAboveBlank(at(p + k))) {
        --k;
        if (IsControl(at(p + k))) --room;
      }
    }
    if (IsControl(at(p + k))) {
      while (k > 0 && at(p + k - 1) == ' ') --k;
    }
    if (k < 1) {
      // A word longer than the line is cut: everything taken stays in the
      // line, control codes included, so they still take no column.
      room = room_taken;
      k = room;
    }
    if (k < 1) k = 1;     // no room at all: still move on

    std::string line(static_cast<size_t>(std::max<int64_t>(margin, 0)), ' ');
    line.append(text, static_cast<size_t>(p - 1),
                static_cast<size_t>(std::min(k, n - p + 1)));
    room += margin;
    const size_t target = static_cast<size_t>(std::max<int64_t>(room, 0));

    int64_t next = p + k;
    while (at(next) == ' ') ++next;
    const bool more_text = next <= n;

    switch (align) {
      case 'E':
      case 'L':
      case 'I':
        if (line.size() < target) line.append(target - line.size(), ' ');
        break;
      case 'N':
        if (line.size() < target) line.append(target - line.size(), '-');
        break;
      case 'D':
      case 'R':
        if (line.size() < target) line.insert(0, target - line.size(), ' ');
        break;
      case 'C':
        if (line.size() < target) {
          const size_t free = target - line.size();
          line.insert(0, free / 2, ' ');
          line.append((free + 1) / 2, ' ');
        }
        break;
      case 'A':
      case 'B':
        if (more_text) Justify(line, static_cast<size_t>(abs_indent), target);
        break;
      default:
        break;
    }
    result += line;
    p = next;
    margin = indent < 0 ? abs_indent : 0;
  }
  text = std::move(result);
}

void PushText(std::string_view text) {
  ValuesState().text_stack.emplace_back(text);
}

std::string PopText() {
  auto& stack = ValuesState().text_stack;
  if (stack.empty()) return std::string();
  std::string top = std::move(stack.back());
  stack.pop_back();
  return top;
}

int16_t IsAllChar(std::string_view text, int16_t code) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) != code) return 0;
  }
  return -1;
}

int16_t CenterOffset(std::string_view text, int16_t width) {
  const int64_t offset = (int64_t{width} - static_cast<int64_t>(text.size())) / 2;
  return static_cast<int16_t>(std::clamp<int64_t>(
      offset, std::numeric_limits<int16_t>::min(),
      std::numeric_limits<int16_t>::max()));
}

std::string CutMiddle(std::string_view text, size_t width) {
  if (text.size() <= width || width <= 20) return std::string(text);
  const size_t head = width / 3;
  return std::string(text.substr(0, head)) + "..." +
         std::string(text.substr(text.size() - (width - head - 3)));
}

}  // namespace values
