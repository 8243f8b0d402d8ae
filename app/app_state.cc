#include "app/app_state.h"

namespace app {

App& AppState() {
  static App state;
  return state;
}

void ResetAppState() { AppState() = App(); }

}  // namespace app
