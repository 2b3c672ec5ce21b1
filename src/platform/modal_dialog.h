#pragma once
// A modal dialog made from a template of the module, as a small class that
// handles its own messages. It runs its own modal loop (the owner disabled,
// keyboard navigation through IsDialogMessage), which shows the dialog when
// it starts unless the dialog asks to stay hidden, and it reflects owner-draw and colour
// requests to the child they concern (see window_subclass.h).
#include <windows.h>

#include "platform/thread_bound.h"
#include "platform/unique_handle.h"

namespace zt::win {

class ModalDialog : private ThreadBound {
public:
  ModalDialog() = default;
  virtual ~ModalDialog();
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  // Makes the dialog from template templateId of module, runs it until End
  // and destroys its window. Returns the value given to End, or -1 when the
  // window could not be made.
  INT_PTR Run(HINSTANCE module, int templateId, HWND owner);

  HWND Window() const { return window_; }
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  // Ends the modal loop with result once the current message is handled.
  void End(INT_PTR result);
  bool Ended() const { return ended_; }
  // Icon id of module as the window's big and small icon, owned by the dialog.
  void SetIcons(HINSTANCE module, int iconId);

  // Ends window when it is a dialog of this class running on this thread:
  // the control that runs it is going away (its window destroyed, closed,
  // or let go by its container). It hears OnClosedFromOutside first. False
  // when window is no such dialog.
  static bool CloseFromOutside(HWND window);

protected:
  // WM_INITDIALOG: the return value tells whether the default focus is set.
  virtual bool OnInitDialog() { return true; }
  // Every other message; true when handled, with *result as the message's
  // result (set as DWLP_MSGRESULT unless the message returns it directly).
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) { return false; }
  // False keeps the window hidden for its whole life, whatever its template
  // says; true shows it when the modal loop starts.
  virtual bool Visible() const { return true; }
  // The dialog is being ended, or its window was destroyed, by its owner's
  // going away rather than by the user: stop what it runs. The loop then
  // ends with -1.
  virtual void OnClosedFromOutside() {}

private:
  void CloseFromOutside();

  static INT_PTR CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
  static INT_PTR HandleProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);

  HWND window_ = nullptr;
  UniqueHicon bigIcon_;
  UniqueHicon smallIcon_;
  bool ended_ = false;
  INT_PTR result_ = -1;
  // The dialogs running on this thread, innermost last.
  ModalDialog* outer_ = nullptr;
};

}  // namespace zt::win
