// The module's display and acceptance of screen-form field values, hooked
// into the form input. Behaviour follows the field's type: date, number or
// anything else text; a field with a choice list shows the description of
// its value, a field with a line width spreads over several lines, a masked
// field shows nothing.
//
// Both write at the field's value place (the label's position plus the
// label length), relative to the form's window when it has one, in the
// colour in force. Neither shows a message or changes the field number or
// the key. An unknown form or field is left alone (acceptance refuses).
#pragma once

#include <cstdint>
#include <string>

namespace values {

// Shows the stored value of field `field` of form `form`.
void ShowFieldValue(int16_t form, int16_t field);

// Answers 0 and stores (overlaid on the field width) and shows the value
// when it is acceptable; answers -1 and changes nothing otherwise. A blank
// date takes the work date in compact form; a date must name a real day; a
// number may hold only digits and blanks.
int16_t AcceptFieldValue(int16_t form, const std::string& value, int16_t& field,
                         int16_t& key);

// Screen position of the value of a field: row and column of the screen,
// 1-based. False when the form or field does not exist.
bool FieldValuePlace(int16_t form, int16_t field, int& row, int& col);

}  // namespace values
