// The store's calls into the module, with their plain defaults.
#include "store/store_hooks.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

namespace store {

StoreHooks& StoreHooksState() {
  static StoreHooks hooks;
  return hooks;
}

void ResetStoreHooksState() { StoreHooksState() = StoreHooks(); }

void HookShowMessage(int16_t row, const std::string& text) {
  if (StoreHooksState().show_message) {
    StoreHooksState().show_message(row, text);
    return;
  }
  std::string line = platform::Cp850ToUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
}

void HookPopMessage() {
  if (StoreHooksState().pop_message) StoreHooksState().pop_message();
}

void HookBeep() {
  if (StoreHooksState().beep) StoreHooksState().beep();
}

void HookWaitForKey() {
  if (StoreHooksState().wait_for_key) StoreHooksState().wait_for_key();
}

void HookClosePlainFiles() {
  if (StoreHooksState().close_plain_files) StoreHooksState().close_plain_files();
}

void HookExitProgram(int code) {
  if (StoreHooksState().exit_program) {
    StoreHooksState().exit_program(code);
    return;
  }
  std::exit(code);
}

}  // namespace store
