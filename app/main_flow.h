// The module's main flow: start-up, the report run, and the orderly end.
#pragma once

namespace app {

// Exit codes: 0 the normal end (and the end after a record file that could
// not be opened, as the suite expects), 1 a start-up failure (installation
// folder, form file), 129 a hang-up or the end of the terminal's input,
// 135 (platform::kBusErrorStatus) a record file that shrank or failed while
// it was being read.
constexpr int kExitStartUpFailure = 1;
constexpr int kExitHangUp = 129;

// Settings, directories, currency and work date, in start-up order.
void StartUp();
// The whole program; returns the process exit code.
int RunMainFlow();
// The same on the terminal already installed (RunMainFlow installs the
// real one when there is a tty).
int RunOnTerminal();

}  // namespace app
