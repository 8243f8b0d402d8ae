// Strict reader of the print work file records.

#include "tools/kelprint/work_file.h"

#include <cstdint>
#include <cstdio>

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

struct Parser {
  Parser(PrintDocument& d, ParseError& e) : doc(d), error(e) {}
  PrintDocument& doc;
  ParseError& error;
  int line_no = 0;
  bool have_page = false;
  int64_t line = 0;  // current line on the last page, may run past its end
  Alignment align;
  PrintStyle style;

  bool Fail(std::string message) {
    error.line = line_no;
    error.message = std::move(message);
    return false;
  }

  bool NewPage(int length) {
    if (doc.pages.size() >= kMaxPages)
      return Fail("massa pàgines (el màxim és " + std::to_string(kMaxPages) +
                  ")");
    PrintPage page;
    page.length = length;
    doc.pages.push_back(std::move(page));
    have_page = true;
    line = 0;
    return true;
  }

  bool Page(std::string_view rest) {
    int length = 0;
    if (!ParsePrintNumber(rest, length))
      return Fail("longitud de pàgina il·legible " + Echo(rest));
    if (length <= 0)
      return Fail("longitud de pàgina " + std::to_string(length) +
                  ": ha de ser més gran que 0");
    if (length > kMaxPageLength)
      return Fail("longitud de pàgina " + std::to_string(length) +
                  ": el màxim és " + std::to_string(kMaxPageLength));
    return NewPage(length);
  }

  bool Justify(std::string_view rest) {
    if (rest == "E") {
      align = Alignment{};
      return true;
    }
    if (rest == "D" || rest == "C" || rest == "A") {
      align = Alignment{};
      align.mode = rest == "D"   ? AlignMode::kRight
                   : rest == "C" ? AlignMode::kCentre
                                 : AlignMode::kBoth;
      return true;
    }
    if (rest.empty() || rest[0] != 'N')
      return Fail("alineació desconeguda " + Echo(rest));
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
    align = Alignment{AlignMode::kFill, column, fill};
    return true;
  }

  void Style(std::string_view letters) {
    style = PrintStyle{};
    for (char c : letters) {
      switch (c) {
        case '@': style = PrintStyle{}; break;
        case 'e': case 'E': style.bold = true; break;
        case 'q': case 'Q': style.condensed = true; break;
        default: break;  // a printer code with no meaning on paper here
      }
    }
  }

  bool Item(std::string_view rec) {
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
    if (!have_page) return Fail("element abans del primer registre PAGE");
    std::string_view text = rec.substr(first + 1, last - first - 1);
    if (!text.empty()) {
      // Continuous paper: lines past the end belong to the following pages.
      while (line >= doc.pages.back().length) {
        int length = doc.pages.back().length;
        int64_t rest = line - length;
        if (!NewPage(length)) return false;
        line = rest;
      }
      PrintPage& page = doc.pages.back();
      if (page.lines.size() <= static_cast<size_t>(line))
        page.lines.resize(static_cast<size_t>(line) + 1);
      PrintRun run;
      run.column = column == 0 ? 1 : column;
      run.text = std::string(text);
      run.align = align;
      run.style = style;
      run.source_line = line_no;
      page.lines[static_cast<size_t>(line)].runs.push_back(std::move(run));
    }
    line += advance;
    return true;
  }

  bool Record(std::string_view rec) {
    if (line_no == 1) {
      if (rec.substr(0, 6) != "DEVICE")
        return Fail("falta el registre DEVICE al principi del fitxer");
      doc.device = std::string(rec.substr(6));
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

  // Control bytes mean a damaged or foreign file; checked before the length
  // so that a binary file is called what it is.
  bool CheckBytes(std::string_view rec) {
    size_t scan = rec.size() < kMaxRecordBytes + 1 ? rec.size()
                                                    : kMaxRecordBytes + 1;
    for (size_t i = 0; i < scan; ++i) {
      unsigned char b = static_cast<unsigned char>(rec[i]);
      if (b < 32 || b == 127) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", b);
        return Fail(std::string("dades binàries (byte ") + hex +
                    " a la posició " + std::to_string(i + 1) + ")");
      }
    }
    if (rec.size() > kMaxRecordBytes)
      return Fail("línia massa llarga (" + std::to_string(rec.size()) +
                  " bytes; el màxim és " + std::to_string(kMaxRecordBytes) +
                  ")");
    return true;
  }

  bool Run(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
      size_t nl = bytes.find('\n', pos);
      size_t end = nl == std::string_view::npos ? bytes.size() : nl;
      std::string_view rec = bytes.substr(pos, end - pos);
      if (nl != std::string_view::npos && !rec.empty() && rec.back() == '\r')
        rec.remove_suffix(1);
      ++line_no;
      if (!CheckBytes(rec) || !Record(rec)) return false;
      pos = nl == std::string_view::npos ? bytes.size() : nl + 1;
    }
    if (line_no == 0) {
      line_no = 1;
      return Fail("fitxer buit: falta el registre DEVICE");
    }
    return true;
  }
};

}  // namespace

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
  error = ParseError{};
  Parser parser(doc, error);
  if (parser.Run(bytes)) return true;
  doc = PrintDocument{};
  return false;
}

}  // namespace tools
