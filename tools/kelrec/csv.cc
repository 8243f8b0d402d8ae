// CSV reading and quoting for the import and export of kelrec.
#include "tools/kelrec/csv.h"

#include <cstring>

namespace tools {

bool CsvReader::Open(const std::string& path) {
  if (!file_.Open(path, platform::File::Mode::kRead)) return false;
  size_ = file_.Length();
  while (end_ < 3 && !eof_) {
    if (!Fill()) return false;
  }
  if (std::string_view(buf_.data(), end_).substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  return true;
}

bool CsvReader::Fail(int line, std::string what) {
  error_line_ = line;
  error_ = std::move(what);
  return false;
}

bool CsvReader::TooLong() {
  return Fail(record_line_,
              "record longer than " + std::to_string(kMaxRecordBytes) + " bytes");
}

// Keeps the unread part, moved to the front, and appends a block. Only
// called while the record at pos_ is incomplete, so all of it is that record.
bool CsvReader::Fill() {
  if (end_ - pos_ > kMaxRecordBytes) return TooLong();
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    consumed_ += static_cast<int64_t>(pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (buf_.size() < end_ + block_) buf_.resize(end_ + block_);
  platform::ErrorNumber() = 0;
  const size_t got = file_.Read(buf_.data() + end_, block_);
  if (got < block_ && platform::ErrorNumber() != 0)
    return Fail(line_, std::string("cannot read: ") + std::strerror(platform::ErrorNumber()));
  end_ += got;
  eof_ = got < block_;
  return true;
}

bool CsvReader::SkipEmptyLines() {
  for (;;) {
    if (pos_ >= end_ || (buf_[pos_] == '\r' && pos_ + 1 >= end_)) {
      if (eof_ && pos_ >= end_) return false;
      if (!eof_) {
        if (!Fill()) return false;
        continue;
      }
    }
    if (buf_[pos_] == '\n') {
      ++pos_;
    } else if (buf_[pos_] == '\r' && pos_ + 1 < end_ && buf_[pos_ + 1] == '\n') {
      pos_ += 2;
    } else {
      return true;
    }
    ++line_;
  }
}

// One field from i: its span goes to spans_ and i stops at what ends it
// (comma, line end or the end of the file). kMore: the buffer ends first.
CsvReader::Scan CsvReader::ScanField(size_t& i, int& line) {
  // A CR ends a record only with the LF after it.
  auto line_end_at = [this](size_t k) {
    return buf_[k] == '\n' || (buf_[k] == '\r' && k + 1 < end_ && buf_[k + 1] == '\n');
  };
  auto undecided_cr = [this](size_t k) {
    return buf_[k] == '\r' && k + 1 >= end_ && !eof_;
  };
  if (i < end_ && buf_[i] == '"') {
    // Quoted: runs to the lone closing quote.
    size_t j = i + 1;
    bool doubled = false;
    for (;; ++j) {
      if (j >= end_) {
        if (!eof_) return Scan::kMore;
        Fail(record_line_, "unterminated quoted field");
        return Scan::kBad;
      }
      if (buf_[j] == '"') {
        if (j + 1 >= end_ && !eof_) return Scan::kMore;
        if (j + 1 >= end_ || buf_[j + 1] != '"') break;
        doubled = true;
        ++j;
      } else if (buf_[j] == '\n') {
        ++line;
      }
    }
    spans_.push_back({i + 1, j, doubled});
    i = j + 1;
    if (i >= end_) return eof_ ? Scan::kRecord : Scan::kMore;
    if (undecided_cr(i)) return Scan::kMore;
    if (buf_[i] == ',' || line_end_at(i)) return Scan::kRecord;
    Fail(line, "text after a closing quote");
    return Scan::kBad;
  }
  size_t j = i;
  for (; j < end_ && buf_[j] != ',' && !line_end_at(j); ++j) {
    if (undecided_cr(j)) return Scan::kMore;
    if (buf_[j] == '"') {
      Fail(line, "quote inside an unquoted field");
      return Scan::kBad;
    }
  }
  if (j >= end_ && !eof_) return Scan::kMore;
  spans_.push_back({i, j, false});
  i = j;
  return Scan::kRecord;
}

// The record at pos_; on success pos_ and line_ move past it.
CsvReader::Scan CsvReader::ScanRecord() {
  spans_.clear();
  size_t i = pos_;
  int line = line_;
  for (;;) {
    Scan s = ScanField(i, line);
    if (s != Scan::kRecord) return s;
    if (i >= end_) break;  // the file ends without a line end
    if (buf_[i] == ',') {
      ++i;
      continue;
    }
    i += buf_[i] == '\r' ? 2 : 1;
    ++line;
    break;
  }
  pos_ = i;
  line_ = line;
  return Scan::kRecord;
}

bool CsvReader::Next() {
  fields_.clear();
  if (failed() || !SkipEmptyLines()) return false;
  record_line_ = line_;
  const int64_t start = bytes_done();
  for (;;) {
    Scan s = ScanRecord();
    if (s == Scan::kRecord) break;
    if (s == Scan::kBad || !Fill()) return false;
  }
  if (bytes_done() - start > static_cast<int64_t>(kMaxRecordBytes)) return TooLong();
  for (const Span& s : spans_) {
    char* text = buf_.data() + s.begin;
    size_t n = s.end - s.begin;
    if (s.doubled_quotes) {
      // Undoubled in place: the buffer is not scanned again.
      size_t out = 0;
      for (size_t k = 0; k < n; ++k, ++out) {
        text[out] = text[k];
        if (text[k] == '"') ++k;
      }
      n = out;
    }
    fields_.emplace_back(text, n);
  }
  return true;
}

std::string CsvField(std::string_view text) {
  bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\n' || c == '\r') quote = true;
  }
  if (!quote) return std::string(text);
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

namespace {

// Length of the well-formed UTF-8 sequence starting at text[i], 0 when
// there is none (overlong forms and surrogates included).
size_t SequenceLength(std::string_view text, size_t i) {
  const unsigned char b = static_cast<unsigned char>(text[i]);
  const size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  const unsigned char second = n > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
  if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second > 0x9F) ||
      (b == 0xF0 && second < 0x90) || (b == 0xF4 && second > 0x8F))
    return 0;
  return n;
}

void AppendHex(std::string& out, const char* prefix, unsigned char value) {
  static const char kHex[] = "0123456789abcdef";
  out += prefix;
  out += kHex[value >> 4];
  out += kHex[value & 15];
}

}  // namespace

std::string QuotedInput(std::string_view utf8) {
  std::string out = "\"";
  size_t i = 0;
  for (size_t shown = 0; i < utf8.size() && shown < kShownCharacters; ++shown) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    const size_t n = SequenceLength(utf8, i);
    if (n == 0 || (n == 1 && (b < 0x20 || b == 0x7F))) {
      AppendHex(out, "\\x", b);
    } else if (n == 2 && b == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      AppendHex(out, "\\u00", static_cast<unsigned char>(utf8[i + 1]));
    } else if (b == '\\') {
      out += "\\\\";
    } else {
      out.append(utf8.substr(i, n));
    }
    i += n == 0 ? 1 : n;
  }
  return out + (i < utf8.size() ? "...\"" : "\"");
}

}  // namespace tools
