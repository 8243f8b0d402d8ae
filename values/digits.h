// Packed digits: decimal digits two to a byte, each byte 0x80 plus a value
// 0..99, most significant pair first. Packed strings of equal length compare
// bytewise in numeric order, which lets record keys hold them directly.
// All functions are total: any input gives a defined result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace values {

// Packs a digit text into (length + 1) / 2 bytes. Surrounding blanks are
// stripped and the rest right-aligned with zeros; inner blanks and any
// non-digit count as 0. An odd last digit lands in the tens place.
std::string PackDigits(std::string_view text);

// Two digits per byte from the low seven bits of each byte (values above 99
// keep their last two digits).
std::string UnpackDigits(std::string_view packed);

// The value's decimal digits without sign, left-padded with "0" and cut to
// the rightmost width characters. Empty for width <= 0.
std::string ZeroPad(int64_t value, int16_t width);

// Numeric value of a run of decimal digits; saturates at INT64_MAX.
int64_t DigitsValue(std::string_view digits);

}  // namespace values
