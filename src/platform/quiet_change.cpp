#include "platform/quiet_change.h"

namespace zt::win {

LRESULT SendQuietly(HWND control, UINT msg, WPARAM wp, LPARAM lp) {
  if (!control) return 0;
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  const LRESULT result = SendMessageW(control, msg, wp, lp);
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
  return result;
}

}  // namespace zt::win
