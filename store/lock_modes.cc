// Lock modes, the wait-and-retry loop of the common data call, and the
// operator's texts of the record-file layer.
#include <cmath>
#include <random>

#include "app/config/language.h"
#include "app/config/settings.h"
#include "platform/system.h"
#include "store/record_files.h"
#include "store/record_files_internal.h"
#include "store/store_hooks.h"

namespace store {

namespace {

// 1 to 10001 ms, spread so that programs meeting one lock do not retry in step.
int RetryDelayMs() {
  std::uniform_real_distribution<double> fraction(0.0, 1.0);
  double u = fraction(FileTableState().random);
  return static_cast<int>(std::lround(10000.0 * u + 1.0));
}

}  // namespace

namespace internal {

int16_t WaitForLock(FileTable& table, FileSlot& slot, uint16_t op) {
  int tries = 0;
  for (;;) {
    platform::SleepMs(RetryDelayMs());
    if (tries < 2) ++tries;
    if (tries == 1) {
      HookShowMessage(24, LockNoticeText(config::SettingsState().language));
    }
    int16_t status = DataCall(table.call, slot, op);
    if ((status == kStRecordLocked || status == kStFileLocked) && slot.lock_mode == 1)
      continue;
    HookPopMessage();
    return status;
  }
}

}  // namespace internal

void SetFileModes(int16_t id, const std::string& letters, int16_t& status) {
  SlotSearch found = FindFileSlot(id);
  if (found.kind != SlotSearch::kOpen) {
    status = kStIdNotOpen;
    return;
  }
  FileTable& table = FileTableState();
  FileSlot& slot = table.slots[found.slot];
  std::string& stack = table.lock_stack;
  for (char letter : letters) {
    switch (letter) {
      case 'd': case 'D': slot.lock_mode = 0; break;
      case 'a': case 'A': slot.lock_mode = 1; break;
      case 'b': case 'B': slot.lock_mode = 2; break;
      case '+':
        stack += static_cast<char>(found.slot);
        stack += static_cast<char>(slot.lock_mode);
        break;
      case '-':
        for (size_t i = stack.size(); i >= 2; i -= 2) {
          if (static_cast<uint8_t>(stack[i - 2]) == found.slot) {
            slot.lock_mode = static_cast<int16_t>(stack[i - 1]);
            stack.erase(i - 2, 2);
            break;
          }
        }
        break;
      default:
        break;
    }
  }
}

std::string OpenFailureText(const std::string& language) {
  return config::ByLanguage(language, "NO ES POT ACCEDIR AL FITXER ",
                            "NO SE PUEDE ACCEDER AL FICHERO ",
                            "NOM SE PODE ACEDER AO FICHEIRO ",
                            "NON SE P\xE3T ACCEDIR ATH FICH\xD4R ");
}

std::string LockNoticeText(const std::string& language) {
  return config::ByLanguage(language, "FITXER BLOQUEJAT. ESPEREU UN MOMENT.",
                            "FICHERO BLOQUEADO. ESPERE UN MOMENTO.",
                            "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.",
                            "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT.");
}

}  // namespace store
