#include "platform/modal_window_watch.h"

#include <utility>

#include "platform/modal_dialog.h"

namespace zt::win {

namespace {

// The class atom every dialog window has ("#32770").
constexpr ATOM kDialogClass = 32770;

// One hook per thread, whatever the nesting of watches; the innermost takes
// what is made.
thread_local HHOOK hook = nullptr;
thread_local ModalWindowWatch* innermost = nullptr;

bool IsDialog(HWND window) { return GetClassLongPtrW(window, GCW_ATOM) == kDialogClass; }

}  // namespace

ModalWindowWatch::ModalWindowWatch() : outer_(innermost) {
  CheckThread();
  if (!hook) hook = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
  innermost = this;
}

ModalWindowWatch::~ModalWindowWatch() {
  innermost = outer_;
  if (!innermost && hook) {
    UnhookWindowsHookEx(hook);
    hook = nullptr;
  }
}

LRESULT CALLBACK ModalWindowWatch::Hook(int code, WPARAM wp, LPARAM lp) {
  // Only top-level windows: a dialog's own controls and pages are children.
  if (code == HCBT_CREATEWND && innermost) {
    const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lp);
    if (!(create->lpcs->style & WS_CHILD)) {
      try {
        innermost->dialogs_.push_back(reinterpret_cast<HWND>(wp));
      } catch (...) {
        // Not noted: that dialog stays up until the person ends it.
      }
    }
  }
  return CallNextHookEx(hook, code, wp, lp);
}

void ModalWindowWatch::CancelAll() {
  CheckThread();
  // Each is cancelled once: a second Cancel reaches a dialog that is
  // already cleaning up (the file dialog then frees its state twice).
  const std::vector<HWND> dialogs = std::move(dialogs_);
  dialogs_.clear();
  for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
    const HWND window = *it;
    // Only dialogs know Cancel; a dropped-down list or a tip of one goes with it.
    if (!IsWindow(window) || !IsDialog(window)) continue;
    // Ours end through their own loop.
    if (ModalDialog::CloseFromOutside(window)) continue;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
}

}  // namespace zt::win
