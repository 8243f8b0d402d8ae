// Numeric edit masks and money. A mask's length is the width of the result;
// "9" digit, "Z"/"z" digit or blank, "*" digit or star, "." decimal point,
// "," thousands separator, "-"/"+" sign, anything else a literal. The shown
// decimal and thousands characters come from "Tavo.ini" [Usuari]
// DecCaracter / MilCaracter, read once per run ("'" and "." by default).
// Values are doubles rounded half to even on their binary value. A value
// that does not fit shows as the plain number cut to the width, or as "!"
// in every position when not even its integer part fits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace values {

// Text of exactly mask.size() characters.
std::string FormatNumber(std::string_view mask, double value);

// Money in cents through a short mask written for whole units ("Z,ZZZ,ZZ9"):
// two decimals are added for euros, the value converted at 166.386 when the
// currency in effect is pesetas ("P"). Width of the mask.
std::string FormatAmount(std::string_view mask, double cents);

// "A,x" sets the application currency to x and puts it in effect; any other
// "c,x" sets the print currency; "P..." puts the print currency in effect
// (the application one when none is set); anything else the application
// currency.
void SetCurrency(std::string_view command);

// -1 when typed text does not suit the mask: characters other than digits,
// blanks, one leading sign (when the mask has one) and one point (when the
// mask has one). 0 otherwise.
int16_t IsBadNumberText(std::string_view text, std::string_view mask);

// The decimal and thousands characters in use (loaded on first call).
char DecimalChar();
char ThousandsChar();

}  // namespace values
