#include "values/digits.h"

#include <limits>

namespace values {

namespace {

int DigitOf(char c) { return (c >= '0' && c <= '9') ? c - '0' : 0; }

}  // namespace

std::string PackDigits(std::string_view text) {
  const size_t n = text.size();
  size_t first = 0;
  size_t last = n;
  while (first < last && text[first] == ' ') ++first;
  while (last > first && text[last - 1] == ' ') --last;
  const std::string_view stripped = text.substr(first, last - first);

  std::string aligned(n - stripped.size(), '0');
  aligned.append(stripped);

  std::string packed((n + 1) / 2, '\0');
  for (size_t i = 0; i < packed.size(); ++i) {
    const int tens = DigitOf(aligned[2 * i]);
    const int units = 2 * i + 1 < n ? DigitOf(aligned[2 * i + 1]) : 0;
    packed[i] = static_cast<char>(0x80 + 10 * tens + units);
  }
  return packed;
}

std::string UnpackDigits(std::string_view packed) {
  std::string digits;
  digits.reserve(packed.size() * 2);
  for (char byte : packed) {
    const int v = static_cast<unsigned char>(byte) & 0x7F;
    digits.push_back(static_cast<char>('0' + (v / 10) % 10));
    digits.push_back(static_cast<char>('0' + v % 10));
  }
  return digits;
}

std::string ZeroPad(int64_t value, int16_t width) {
  if (width <= 0) return std::string();
  // Magnitude as unsigned so that the most negative value is safe.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value)
                                 : static_cast<uint64_t>(value);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  const size_t w = static_cast<size_t>(width);
  if (digits.size() >= w) return digits.substr(digits.size() - w);
  return std::string(w - digits.size(), '0') + digits;
}

int64_t DigitsValue(std::string_view digits) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    const int d = c - '0';
    if (value > (kMax - d) / 10) return kMax;
    value = value * 10 + d;
  }
  return value;
}

}  // namespace values
