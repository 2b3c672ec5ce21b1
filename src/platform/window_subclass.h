#pragma once
// An object that sees the messages of an existing child window first (a
// dialog's BUTTON or STATIC), through the common controls' subclassing.
// Owner-draw and colour requests that the parent receives come back to the
// child as reflected messages (kReflectBase + the original number), the way
// a control class that draws itself expects them.
#include <windows.h>

namespace zt::win {

// OCM__BASE: where reflected messages start.
constexpr UINT kReflectBase = WM_USER + 0x1c00;

// Sends WM_DRAWITEM and WM_CTLCOLOR* on to the child they concern as
// reflected messages. True when the child answered (non-zero), with its
// answer in *result; a parent calls this before its own handling.
bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

class SubclassedWindow {
public:
  SubclassedWindow() = default;
  virtual ~SubclassedWindow() { Detach(); }
  SubclassedWindow(const SubclassedWindow&) = delete;
  SubclassedWindow& operator=(const SubclassedWindow&) = delete;

  // Starts seeing window's messages; false when window is null or taken.
  bool Attach(HWND window);
  // Stops; also happens by itself when the window is destroyed.
  void Detach();
  HWND Window() const { return window_; }

protected:
  // Called once Attach has hooked the window.
  virtual void OnAttached() {}
  // true when handled, with *result as the message's result.
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) = 0;
  // The window's own handling of a message.
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp);

private:
  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);

  HWND window_ = nullptr;
};

}  // namespace zt::win
