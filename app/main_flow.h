// The module's main flow: start-up, the report run, and the orderly end.
#pragma once

namespace app {

// Settings, directories, currency and work date, in start-up order.
void StartUp();
// The whole program; returns the process exit code.
int RunMainFlow();

}  // namespace app
