// Strict reader of the print work file records.

#include "tools/kelprint/work_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/ascii.h"
#include "platform/console.h"

namespace tools {

namespace {

// A short, displayable echo of a faulty piece of a record.
std::string Echo(std::string_view text) {
  constexpr size_t kMaxEcho = 24;
  std::string cut(text.substr(0, kMaxEcho));
  std::string shown = platform::Cp850ToUtf8(cut);
  if (text.size() > kMaxEcho) shown += "...";
  return "\"" + shown + "\"";
}

}  // namespace

WorkFileParser::WorkFileParser(PageHandler on_page, const PageMark& from)
    : on_page_(std::move(on_page)) {
  fed_ = record_start_ = from.offset;
  line_no_ = from.records_before;
  pages_ = from.pages_before;
  have_page_ = drop_page_ = from.pages_before > 0;
  page_.length = from.length;
  line_ = from.line;
  align_ = from.align;
  style_ = from.style;
}

bool WorkFileParser::Fail(std::string message) {
  error_.line = line_no_;
  error_.message = std::move(message);
  return false;
}

bool WorkFileParser::Feed(std::string_view bytes) {
  if (failed() || stopped_ || finished_) return false;
  size_t pos = 0;
  const int64_t base = fed_;
  fed_ += static_cast<int64_t>(bytes.size());
  while (pos < bytes.size()) {
    if (partial_length_ == 0) record_start_ = base + static_cast<int64_t>(pos);
    const size_t nl = bytes.find('\n', pos);
    if (nl == std::string_view::npos) return Line(bytes.substr(pos), false);
    if (!Line(bytes.substr(pos, nl - pos), true)) return false;
    pos = nl + 1;
  }
  return true;
}

bool WorkFileParser::Finish() {
  if (failed() || stopped_ || finished_) return false;
  finished_ = true;
  // A last record without a line feed keeps whatever it ends with.
  if (partial_length_ > 0) {
    ++line_no_;
    if (!CheckBytes(partial_, partial_length_) || !Record(partial_)) return false;
  }
  if (line_no_ == 0) {
    line_no_ = 1;
    return Fail("fitxer buit: falta el registre DEVICE");
  }
  return !have_page_ || HandOn();
}

// A piece of a line; ended when its line feed came right after it.
bool WorkFileParser::Line(std::string_view piece, bool ended) {
  std::string_view rec = piece;
  size_t length = piece.size();
  if (partial_length_ > 0 || !ended) {
    // Kept: the longest record the limit lets through, its carriage return
    // and one byte more; the rest of a longer one is only counted.
    constexpr size_t kKept = kMaxRecordBytes + 2;
    if (partial_.size() < kKept) partial_.append(piece.substr(0, kKept - partial_.size()));
    if (!piece.empty()) partial_last_ = piece.back();
    partial_length_ += piece.size();
    if (!ended) return true;
    rec = partial_;
    length = partial_length_;
  }
  const char last = partial_length_ > 0 ? partial_last_ : (rec.empty() ? '\0' : rec.back());
  if (length > 0 && last == '\r') {
    --length;
    if (rec.size() > length) rec.remove_suffix(rec.size() - length);
  }
  ++line_no_;
  // Blanks and control bytes around the device name (a tab after "PDF" in
  // the settings) are no part of it.
  std::string device_record;
  if (line_no_ == 1 && length == rec.size() && rec.substr(0, 6) == "DEVICE") {
    device_record = "DEVICE" + platform::TrimControls(rec.substr(6));
    rec = device_record;
    length = rec.size();
  }
  const bool ok = CheckBytes(rec, length) && Record(rec);
  partial_.clear();
  partial_length_ = 0;
  return ok;
}

// Control bytes mean a damaged or foreign file; checked before the length
// so that a binary file is called what it is. length: the whole record's,
// of which rec holds at least the first kMaxRecordBytes + 1 bytes.
bool WorkFileParser::CheckBytes(std::string_view rec, size_t length) {
  const size_t scan = std::min(length, kMaxRecordBytes + 1);
  for (size_t i = 0; i < scan; ++i) {
    unsigned char b = static_cast<unsigned char>(rec[i]);
    if (b < 32 || b == 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", b);
      return Fail(std::string("dades binàries (byte ") + hex + " a la posició " +
                  std::to_string(i + 1) + ")");
    }
  }
  if (length > kMaxRecordBytes)
    return Fail("línia massa llarga (" + std::to_string(length) + " bytes; el màxim és " +
                std::to_string(kMaxRecordBytes) + ")");
  return true;
}

bool WorkFileParser::Record(std::string_view rec) {
  if (line_no_ == 1) {
    if (rec.substr(0, 6) != "DEVICE")
      return Fail("falta el registre DEVICE al principi del fitxer");
    device_ = std::string(rec.substr(6));
    return true;
  }
  if (rec.empty()) return Fail("registre buit");
  if (rec.substr(0, 6) == "DEVICE") return Fail("registre DEVICE repetit");
  if (rec.substr(0, 4) == "PAGE") return Page(rec.substr(4));
  if (rec.substr(0, 3) == "JUS") return Justify(rec.substr(3));
  if (rec[0] == '*') {
    Style(rec.substr(1));
    return true;
  }
  if (rec[0] == ' ' || rec[0] == '-') return Item(rec);
  return Fail("registre desconegut " + Echo(rec));
}

bool WorkFileParser::HandOn() {
  if (drop_page_) {
    drop_page_ = false;
    return true;
  }
  if (on_page_(page_)) return true;
  stopped_ = true;
  return false;
}

// The page so far is complete: it goes on, and a new one starts. The first
// new page of a record is called before anything of the record has changed
// the reading's state, so that state is the record's mark.
bool WorkFileParser::NewPage(int length) {
  if (on_mark_ && marked_record_ != line_no_) {
    marked_record_ = line_no_;
    on_mark_(PageMark{record_start_, line_no_ - 1, pages_, page_.length, line_,
                      align_, style_});
  }
  if (have_page_ && !HandOn()) return false;
  page_ = PrintPage{};
  page_.length = length;
  have_page_ = true;
  ++pages_;
  line_ = 0;
  return true;
}

bool WorkFileParser::Page(std::string_view rest) {
  int length = 0;
  if (!ParsePrintNumber(rest, length))
    return Fail("longitud de pàgina il·legible " + Echo(rest));
  if (length <= 0)
    return Fail("longitud de pàgina " + std::to_string(length) +
                ": ha de ser més gran que 0");
  if (length > kMaxPageLength)
    return Fail("longitud de pàgina " + std::to_string(length) + ": el màxim és " +
                std::to_string(kMaxPageLength));
  return NewPage(length);
}

bool WorkFileParser::Justify(std::string_view rest) {
  if (rest == "E") {
    align_ = Alignment{};
    return true;
  }
  if (rest == "D" || rest == "C" || rest == "A") {
    align_ = Alignment{};
    align_.mode = rest == "D"   ? AlignMode::kRight
                  : rest == "C" ? AlignMode::kCentre
                                : AlignMode::kBoth;
    return true;
  }
  if (rest.empty() || rest[0] != 'N') return Fail("alineació desconeguda " + Echo(rest));
  std::string_view spec = rest.substr(1);
  size_t open = spec.find('\\');
  int column = 0;
  if (!ParsePrintNumber(spec.substr(0, open), column))
    return Fail("columna d'alineació il·legible " + Echo(spec));
  if (column < 0) return Fail("columna d'alineació negativa");
  char fill = ' ';
  if (open != std::string_view::npos) {
    std::string_view chars = spec.substr(open);
    // "\x\": the closing backslash ends the record.
    if (chars.size() < 2 || chars.back() != '\\' ||
        chars.substr(1, chars.size() - 2).find('\\') != std::string_view::npos)
      return Fail("caràcter d'ompliment mal tancat " + Echo(chars));
    if (chars.size() > 2) fill = chars[1];
  }
  align_ = Alignment{AlignMode::kFill, column, fill};
  return true;
}

void WorkFileParser::Style(std::string_view letters) {
  style_ = PrintStyle{};
  for (char c : letters) {
    switch (c) {
      case '@': style_ = PrintStyle{}; break;
      case 'e': case 'E': style_.bold = true; break;
      case 'q': case 'Q': style_.condensed = true; break;
      default: break;  // a printer code with no meaning on paper here
    }
  }
}

bool WorkFileParser::Item(std::string_view rec) {
  size_t first = rec.find(',');
  size_t last = rec.rfind(',');
  if (first == std::string_view::npos || first == last)
    return Fail("element sense columna, text i avanç separats per comes");
  int column = 0, advance = 0;
  if (!ParsePrintNumber(rec.substr(0, first), column))
    return Fail("columna il·legible " + Echo(rec.substr(0, first)));
  if (!ParsePrintNumber(rec.substr(last + 1), advance))
    return Fail("avanç il·legible " + Echo(rec.substr(last + 1)));
  if (column < 0) return Fail("columna negativa");
  if (advance < 0) return Fail("avanç negatiu");
  if (!have_page_) return Fail("element abans del primer registre PAGE");
  std::string_view text = rec.substr(first + 1, last - first - 1);
  if (!text.empty()) {
    // Continuous paper: lines past the end belong to the following pages.
    const int length = page_.length;
    if (line_ / length > kMaxBlankPages + 1)
      return Fail("massa pàgines en blanc seguides (el màxim és " +
                  std::to_string(kMaxBlankPages) + ")");
    while (line_ >= length) {
      const int64_t rest = line_ - length;
      if (!NewPage(length)) return false;
      line_ = rest;
    }
    if (!keep_lines_) {
      line_ += advance;
      return true;
    }
    if (page_.lines.size() <= static_cast<size_t>(line_))
      page_.lines.resize(static_cast<size_t>(line_) + 1);
    PrintRun run;
    run.column = column == 0 ? 1 : column;
    run.text = std::string(text);
    run.align = align_;
    run.style = style_;
    run.source_line = line_no_;
    page_.lines[static_cast<size_t>(line_)].runs.push_back(std::move(run));
  }
  line_ += advance;
  return true;
}

bool ParsePrintNumber(std::string_view text, int& value) {
  if (text.empty() || (text[0] != ' ' && text[0] != '-')) return false;
  bool negative = text[0] == '-';
  size_t i = 1;
  int64_t v = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > kMaxPrintNumber) return false;
    ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) return false;
  value = static_cast<int>(negative ? -v : v);
  return true;
}

bool ParseWorkFile(std::string_view bytes, PrintDocument& doc,
                   ParseError& error) {
  doc = PrintDocument{};
  WorkFileParser parser([&doc](const PrintPage& page) {
    doc.pages.push_back(page);
    return true;
  });
  if (parser.Feed(bytes) && parser.Finish()) {
    doc.device = parser.device();
    error = ParseError{};
    return true;
  }
  doc = PrintDocument{};
  error = parser.error();
  return false;
}

}  // namespace tools
