// ASCII upper-casing and the trimming rules.
#include "platform/ascii.h"

namespace platform {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n";

std::string TrimOf(std::string_view text, std::string_view set) {
  const size_t begin = text.find_first_not_of(set);
  if (begin == std::string_view::npos) return std::string();
  return std::string(text.substr(begin, text.find_last_not_of(set) - begin + 1));
}

std::string TrimTrailingOf(std::string_view text, std::string_view set) {
  const size_t end = text.find_last_not_of(set);
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

// Blanks and the control bytes 0-31 and 127.
constexpr bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 32 || c == 127;
}

}  // namespace

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperAscii(c);
  return upper;
}

std::string TrimBlanks(std::string_view text) { return TrimOf(text, " "); }

std::string TrimTrailingBlanks(std::string_view text) { return TrimTrailingOf(text, " "); }

std::string TrimWhiteSpace(std::string_view text) { return TrimOf(text, kWhiteSpace); }

std::string TrimTrailingWhiteSpace(std::string_view text) {
  return TrimTrailingOf(text, kWhiteSpace);
}

std::string TrimControls(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace platform
