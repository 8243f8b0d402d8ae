// Process-wide state of the module itself: its program name and the name of
// its language catalogue.
#pragma once

#include <string>

namespace app {

struct App {
  std::string program_name;    // "RBPNDLST" once the main flow has set it
  std::string catalogue_name;  // set on the first translation
};
App& AppState();
void ResetAppState();

}  // namespace app
