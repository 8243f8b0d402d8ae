// Reading the print work file "kelprint.tmp". The parser is pure and strict:
// it takes the file's bytes and either fills a PrintDocument or names the
// first faulty record (1-based line number and a message in Catalan, UTF-8).
// Any input at all, binary junk included, ends in one of the two within time
// and memory bounded by the size of the input and the limits below.
//
// Records, one per line, CR LF (a bare LF is accepted too):
//   "DEVICE" name   first line, once
//   "PAGE" n        new page of n lines (print form " 66 ")
//   "JUS" mode      C, D, A, E, or "N" n [" \x\"]
//   "*" letters     style: "@" reset, "e" emphasised, "q" condensed; other
//                   letters are printer codes this program has no use for
//   " c ,text, a "  item: column c, text, then advance a lines
// Lines past the page length go on to a new page of the same length, as on
// continuous paper.
#pragma once

#include <string>
#include <string_view>

#include "tools/kelprint/document.h"

namespace tools {

// Limits that keep a damaged file from exhausting the machine.
constexpr size_t kMaxRecordBytes = 1024;
constexpr int kMaxPageLength = 500;
constexpr int kMaxPrintNumber = 32767;  // columns and advances are 16-bit
constexpr size_t kMaxPages = 20000;
constexpr size_t kMaxWorkFileBytes = 64u << 20;

struct ParseError {
  int line = 0;         // 1-based record number
  std::string message;  // UTF-8
};

// Returns true and fills doc, or false and fills error.
bool ParseWorkFile(std::string_view bytes, PrintDocument& doc,
                   ParseError& error);

// Reads a number in print form: a blank or "-", digits, an optional trailing
// blank, nothing else. False when the text is not such a number or its value
// lies outside -kMaxPrintNumber..kMaxPrintNumber.
bool ParsePrintNumber(std::string_view text, int& value);

}  // namespace tools
