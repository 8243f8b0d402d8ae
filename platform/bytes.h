// Copies of a few bytes (keys, short fields) where a call to the library's
// block copy would cost more than the copy itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {

// Copies n bytes; up to 16 of them in two overlapping word moves.
inline void CopyFewBytes(void* to, const void* from, size_t n) {
  auto* d = static_cast<unsigned char*>(to);
  const auto* s = static_cast<const unsigned char*>(from);
  if (n >= 8 && n <= 16) {
    uint64_t a, b;
    std::memcpy(&a, s, 8);
    std::memcpy(&b, s + n - 8, 8);
    std::memcpy(d, &a, 8);
    std::memcpy(d + n - 8, &b, 8);
  } else if (n >= 4 && n < 8) {
    uint32_t a, b;
    std::memcpy(&a, s, 4);
    std::memcpy(&b, s + n - 4, 4);
    std::memcpy(d, &a, 4);
    std::memcpy(d + n - 4, &b, 4);
  } else if (n > 16) {
    std::memmove(d, s, n);
  } else {
    for (size_t i = 0; i < n; ++i) d[i] = s[i];
  }
}

}  // namespace platform
