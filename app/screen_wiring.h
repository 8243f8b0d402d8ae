// Connects the lower layers to the module and the screen: the form input's
// hooks (the report's parameter check, the field display and acceptance of
// the values layer), the pop-ups behind Alt+X and Alt+C, the record-file
// layer's hooks (the lock notice and the fatal open message on screen, the
// key wait, the orderly end), the look-up lists (the module's hooks,
// drawing and keys) and the orderly end after a hang-up of the terminal.
// Called once at start-up, before any form runs or record file opens.
#pragma once

namespace app {

void WireScreenHooks();

}  // namespace app
