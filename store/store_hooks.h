// Calls from the record-file layer up into the module: the screen notices of
// a lock wait and of a fatal open failure, and the program's end. The module
// fills these at start-up; the store never includes the screen code itself.
// An empty member falls back to a plain default: show_message writes the text
// (as UTF-8) to standard error, pop_message, beep and wait_for_key do nothing,
// close_plain_files does nothing and exit_program calls std::exit(code).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace store {

struct StoreHooks {
  std::function<void(int16_t row, const std::string& text)> show_message;
  std::function<void()> pop_message;
  std::function<void()> beep;
  // Discards the keystrokes already waiting, then waits for one key.
  std::function<void()> wait_for_key;
  std::function<void()> close_plain_files;
  std::function<void(int code)> exit_program;
};
StoreHooks& StoreHooksState();
// Empties every hook (tests).
void ResetStoreHooksState();

// The hooks with their defaults applied.
void HookShowMessage(int16_t row, const std::string& text);
void HookPopMessage();
void HookBeep();
void HookWaitForKey();
void HookClosePlainFiles();
void HookExitProgram(int code);

}  // namespace store
