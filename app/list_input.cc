#include "app/list_input.h"

#include <charconv>

#include "platform/ascii.h"

namespace app {

ListReader::ListReader(std::string contents) : text_(std::move(contents)) {}

bool ListReader::AtLineStart() const {
  // Either the rest of this line is blank (the previous value ended it) or
  // only blanks stand between the last line end and here.
  for (size_t i = pos_; i < text_.size() && text_[i] != '\n'; ++i) {
    char c = text_[i];
    if (c != ' ' && c != '\t' && c != '\r') {
      for (size_t j = pos_; j > 0; --j) {
        char d = text_[j - 1];
        if (d == '\n') return true;
        if (d != ' ' && d != '\t' && d != '\r') return false;
      }
      return true;
    }
  }
  return true;
}

void ListReader::SkipBlanksAndLineEnds() {
  while (pos_ < text_.size()) {
    char c = text_[pos_];
    if (c == '\n') {
      ++cur_line_;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      break;
    }
    ++pos_;
  }
}

bool ListReader::AtEnd() {
  SkipBlanksAndLineEnds();
  return pos_ >= text_.size();
}

void ListReader::SkipCommentLines() {
  if (!AtLineStart()) return;
  for (;;) {
    // Look at the first non-blank character of the line at pos_ (blank lines
    // in between do not hide a comment).
    SkipBlanksAndLineEnds();
    if (pos_ >= text_.size() || text_[pos_] != '\'') return;
    size_t eol = text_.find('\n', pos_);
    if (eol == std::string::npos) {
      pos_ = text_.size();
      return;
    }
    pos_ = eol + 1;
    ++cur_line_;
  }
}

bool ListReader::ReadText(std::string& value) {
  value.clear();
  // Blanks before a value are ignored; so are line ends, except that a comma
  // right after the previous value's separator gives an empty value.
  while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  if (pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n')) SkipBlanksAndLineEnds();
  if (pos_ >= text_.size()) return false;
  line_ = cur_line_;
  if (text_[pos_] == '"') {
    size_t close = text_.find_first_of("\"\n", pos_ + 1);
    if (close == std::string::npos) close = text_.size();
    value = text_.substr(pos_ + 1, close - pos_ - 1);
    if (!value.empty() && value.back() == '\r') value.pop_back();
    pos_ = close < text_.size() && text_[close] == '"' ? close + 1 : close;
    // Anything between the closing quote and the separator is dropped.
    while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n') ++pos_;
  } else {
    size_t end = text_.find_first_of(",\n", pos_);
    if (end == std::string::npos) end = text_.size();
    value = platform::TrimTrailingWhiteSpace(std::string_view(text_).substr(pos_, end - pos_));
    pos_ = end;
  }
  if (pos_ < text_.size() && text_[pos_] == ',') ++pos_;
  return true;
}

bool ListReader::ReadInt(int16_t& value) {
  std::string text;
  if (!ReadText(text)) {
    error_.clear();
    return false;
  }
  size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) {
    value = 0;  // a number left out between separators is 0 in list input
    return true;
  }
  const char* first = text.data() + (b == std::string::npos ? text.size() : b);
  const char* last = text.data() + text.size();
  if (first < last && *first == '+') ++first;
  int v = 0;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (first == last || ec != std::errc() || ptr != last || v < -32768 || v > 32767) {
    error_ = text;
    return false;
  }
  value = static_cast<int16_t>(v);
  return true;
}

}  // namespace app
