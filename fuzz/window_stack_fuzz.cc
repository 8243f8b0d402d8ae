// Fuzzes the window pop on a stack file that someone has planted or damaged
// after a few pushes: whatever the file holds, the pops go through without a
// sanitizer report, the screen keeps its size, the depth never goes below
// zero and no window is held in memory that the stack no longer has.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/config/paths.h"
#include "fuzz/fuzz_support.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "ui/screen.h"

using fuzzing::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::InstallHeadless(25, 80);
  config::PathsState().temp_dir = fuzzing::ScratchDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  ui::ResetScreenState();
  const int pushes = in.ConsumeIntegralInRange(1, 3);
  for (int k = 0; k < pushes; ++k) {
    const auto top = in.ConsumeIntegralInRange<int16_t>(1, 25);
    const auto left = in.ConsumeIntegralInRange<int16_t>(1, 80);
    ui::WinPush(top, left, in.ConsumeIntegralInRange<int16_t>(top, 25),
                in.ConsumeIntegralInRange<int16_t>(left, 80));
  }
  // The planted bytes go over the file from some place on.
  std::string file;
  platform::ReadWholeFile(ui::WinStackFile(), file);
  const size_t at = in.ConsumeIntegralInRange<size_t>(0, file.size());
  file = file.substr(0, at) + in.ConsumeRemainingBytesAsString();
  fuzzing::WriteScratch("WinPush.tmp", file);

  for (int k = 0; k < pushes; ++k) {
    ui::WinPop();
    const ui::Screen& s = ui::ScreenState();
    Check(s.win_depth >= 0);
    Check(s.held_windows.size() <= static_cast<size_t>(s.win_depth));
  }
  Check(platform::ConsoleRows() == 25 && platform::ConsoleCols() == 80);
  return 0;
}
