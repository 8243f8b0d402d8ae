// The store's calls into the module, with their plain defaults.
#include "store/store_hooks.h"

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

namespace store {

StoreHooks& Hooks() {
  static StoreHooks hooks;
  return hooks;
}

void ResetHooks() { Hooks() = StoreHooks(); }

void HookShowMessage(int16_t row, const std::string& text) {
  if (Hooks().show_message) {
    Hooks().show_message(row, text);
    return;
  }
  std::string line = platform::Cp850ToUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
}

void HookPopMessage() {
  if (Hooks().pop_message) Hooks().pop_message();
}

void HookBeep() {
  if (Hooks().beep) Hooks().beep();
}

void HookWaitForKey() {
  if (Hooks().wait_for_key) Hooks().wait_for_key();
}

void HookClosePlainFiles() {
  if (Hooks().close_plain_files) Hooks().close_plain_files();
}

void HookExitProgram(int code) {
  if (Hooks().exit_program) {
    Hooks().exit_program(code);
    return;
  }
  std::exit(code);
}

}  // namespace store
