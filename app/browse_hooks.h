// The module's hooks of the browse lists (store/browse_list.h): its one
// list, list 1 over the estates by their first key, shows the last three
// digits of the estate number, two blanks and the 30-character name, for
// every estate; the chosen number goes into the form field through the
// form's field acceptance. Other list numbers are left alone.
#pragma once

#include <cstdint>
#include <string>

namespace app {

constexpr int16_t kEstatesList = 1;

// Start key and upper limit of a list: none for any list; 0 always.
int16_t BrowseLimits(int16_t list, std::string& from_key, std::string& to_key);

// The line of the record in the list's record area (empty for lists this
// module does not define).
std::string BrowseLineText(int16_t list);

// Puts the chosen record's value into field `field` of form `form`.
void BrowseAfterSelect(int16_t& list, int16_t form, int16_t& field);

}  // namespace app
