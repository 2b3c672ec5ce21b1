#include "platform/window_hook.h"

#include "platform/boundary.h"

namespace zt::win {

// What the window's slots point at. It outlives the object when the hook
// cannot be taken out of the window's chain, and any message being handled.
struct WindowHook::Link {
  WNDPROC Previous = nullptr;
  WindowHook* Owner = nullptr;  // null once the owner has let go
  int Depth = 0;
  bool Detached = false;  // no longer in the window's slots
};

bool WindowHook::Hook(HWND window) {
  CheckThread();
  if (!window || window_ || GetWindowLongPtrW(window, GWLP_USERDATA) != 0) return false;
  auto* link = new Link;
  link->Owner = this;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link));
  link->Previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowHook::Proc)));
  window_ = window;
  link_ = link;
  return true;
}

void WindowHook::Unhook() {
  CheckThread();
  Link* link = link_;
  if (!link) return;
  HWND window = window_;
  link_ = nullptr;
  window_ = nullptr;
  link->Owner = nullptr;
  // Only while ours is the current procedure can the previous one go back
  // without cutting a later subclasser out; otherwise the link stays and
  // passes messages on until the window's last one.
  if (IsWindow(window) &&
      GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&WindowHook::Proc)) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link->Previous));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    link->Detached = true;
    Release(link);
  }
}

int WindowHook::Depth() const { return link_ ? link_->Depth : 0; }

LRESULT WindowHook::CallPrevious(UINT msg, WPARAM wp, LPARAM lp) {
  return link_ ? CallWindowProcW(link_->Previous, window_, msg, wp, lp) : DefWindowProcW(window_, msg, wp, lp);
}

void WindowHook::Release(Link* link) {
  if (link->Detached && link->Depth == 0) delete link;
}

LRESULT CALLBACK WindowHook::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  auto* link = reinterpret_cast<Link*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!link) return DefWindowProcW(window, msg, wp, lp);
  const WNDPROC previous = link->Previous;
  ++link->Depth;
  const LRESULT result = WindowBoundary(
      [&]() -> LRESULT {
        WindowHook* owner = link->Owner;
        if (msg != WM_NCDESTROY) {
          return owner ? owner->OnMessage(msg, wp, lp) : CallWindowProcW(previous, window, msg, wp, lp);
        }
        // The last message: out of the window's slots first, then the
        // window's own handling, then the owner's clean-up.
        if (GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&WindowHook::Proc))
          SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        link->Detached = true;
        link->Owner = nullptr;
        if (owner) {
          owner->link_ = nullptr;
          owner->window_ = nullptr;
        }
        const LRESULT last = CallWindowProcW(previous, window, msg, wp, lp);
        if (owner) owner->OnFinalMessage(window);
        return last;
      },
      [&] { return CallWindowProcW(previous, window, msg, wp, lp); });
  --link->Depth;
  Release(link);
  return result;
}

}  // namespace zt::win
