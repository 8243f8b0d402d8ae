// The field editor: edits one fixed-length field of a screen form in place,
// as free text over one or several screen lines or, while a choice list is
// set (SetChoices), as a choice among listed values. Editing keys are
// handled here; any other key ends the editing and is handed back, filtered
// and translated by the exit-key table (KeyMap). The text keeps its length.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// row, col: place of the field relative to the current window (0: the
// cursor's row or column). width: characters per screen line (0: the text's
// length + 1). text: the field, blank-padded to its fixed length. position:
// cursor place in the text, 1 to length + 1. key: the key that ended the
// editing; a mouse press outside the field ends it as -(col * 100 + row).
// On return the cursor is on the field's first cell.
void EditField(int16_t& row, int16_t& col, int16_t& width, std::string& text,
               int16_t& position, int16_t& key);

}  // namespace ui
