#pragma once
// An object that sees the messages of a window of another class first (the
// STATIC the control lives in, the list view, its header), hooked through
// the window's own procedure and user-data slots: a window property, what
// SetWindowSubclass keeps its data in, costs a trip to the Wine server on
// every message, and a sort sends thousands.
//
// It counts how deep in the window's messages it is (a handler may destroy
// the window or let go of the owner), tells the owner when the window's last
// message has been handled, and on unhooking puts the previous procedure
// back only while ours is still the window's current one: a container that
// subclassed the window after us (as browsers do) keeps its own, and ours,
// left in its chain, then passes every message straight on.
#include <windows.h>

#include "platform/thread_bound.h"

namespace zt::win {

class WindowHook : private ThreadBound {
public:
  WindowHook() = default;
  virtual ~WindowHook() { Unhook(); }
  WindowHook(const WindowHook&) = delete;
  WindowHook& operator=(const WindowHook&) = delete;

  // Starts seeing window's messages; false when window is null, already
  // hooked by this object, or its user-data slot is taken.
  bool Hook(HWND window);
  // Stops seeing them (see above); also happens when the window goes.
  void Unhook();
  HWND Window() const { return window_; }
  // How many of the window's messages this object is handling right now
  // (a message sent while another is handled counts twice).
  int Depth() const;

protected:
  // Every message but the last; the default passes it on.
  virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) { return CallPrevious(msg, wp, lp); }
  // The window's last message (WM_NCDESTROY) has been handled and the hook
  // is gone: the owner's clean-up (it may delete itself here).
  virtual void OnFinalMessage(HWND window) {}
  // The procedure the window had before this hook.
  LRESULT CallPrevious(UINT msg, WPARAM wp, LPARAM lp);

private:
  struct Link;
  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
  static void Release(Link* link);

  HWND window_ = nullptr;
  Link* link_ = nullptr;
};

}  // namespace zt::win
