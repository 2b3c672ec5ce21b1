#include "platform/window_subclass.h"
#include "platform/boundary.h"

#include <commctrl.h>

namespace zt::win {

namespace {
// One id for every subclass of this kind: an object hooks a window once.
constexpr UINT_PTR kSubclassId = 0x5A54;  // "ZT"
}  // namespace

bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (item && item->CtlType != ODT_MENU) child = item->hwndItem;
      break;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      child = reinterpret_cast<HWND>(lp);
      break;
    default:
      return false;
  }
  if (!child) return false;
  LRESULT answer = SendMessageW(child, kReflectBase + msg, wp, lp);
  if (answer == 0) return false;
  *result = answer;
  return true;
}

bool SubclassedWindow::Attach(HWND window) {
  if (!window || window_) return false;
  if (!SetWindowSubclass(window, &Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
  window_ = window;
  OnAttached();
  return true;
}

void SubclassedWindow::Detach() {
  if (!window_) return;
  RemoveWindowSubclass(window_, &Proc, kSubclassId);
  window_ = nullptr;
}

LRESULT SubclassedWindow::Default(UINT msg, WPARAM wp, LPARAM lp) { return DefSubclassProc(window_, msg, wp, lp); }

LRESULT CALLBACK SubclassedWindow::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<SubclassedWindow*>(data);
  if (msg == WM_NCDESTROY) {
    self->Detach();
    return DefSubclassProc(window, msg, wp, lp);
  }
  return WindowBoundary(
      [&] {
        LRESULT result = 0;
        if (self->OnMessage(msg, wp, lp, &result)) return result;
        return DefSubclassProc(window, msg, wp, lp);
      },
      [&] { return DefSubclassProc(window, msg, wp, lp); });
}

}  // namespace zt::win
