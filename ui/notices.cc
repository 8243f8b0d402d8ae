// Notices shown on behalf of the record-file layer.

#include "ui/notices.h"

#include "ui/keys.h"
#include "ui/screen.h"

namespace ui {

void ShowLockNotice(const std::string& text) { ShowMessage(24, text); }

void RemoveNotice() { WinPop(); }

void WaitForAnyKey() {
  DiscardTypeAhead();
  int16_t key = 0;
  WaitKey(key);
}

}  // namespace ui
