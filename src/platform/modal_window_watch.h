#pragma once
// The modal windows a control opens on this thread: ours (modal_dialog.h),
// which end through a flag, and the ones the system makes for us (the
// shell's file and folder pickers, message boxes, the property frame), which
// run loops of their own. While a watch is held it notes every top-level
// window made on its thread, so that a control taken away under one can end
// it, the system's as the person would, with Cancel, and the call that
// opened it returns. It needs no window of the control's to find them.
#include <windows.h>

#include <vector>

#include "platform/thread_bound.h"

namespace zt::win {

class ModalWindowWatch : private ThreadBound {
public:
  ModalWindowWatch();
  ~ModalWindowWatch();
  ModalWindowWatch(const ModalWindowWatch&) = delete;
  ModalWindowWatch& operator=(const ModalWindowWatch&) = delete;

  // Ends every dialog this watch saw made that is still up, the last made
  // first: the system's with Cancel, ours as closed from outside.
  void CancelAll();

private:
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);

  std::vector<HWND> dialogs_;
  ModalWindowWatch* outer_ = nullptr;
};

}  // namespace zt::win
