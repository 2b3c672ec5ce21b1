#pragma once
// The dialogs the system makes for us on this thread (the shell's file and
// folder pickers, message boxes, the property frame) run loops of their own
// that we cannot end through a flag as we end ours (modal_dialog.h). While a
// watch is held it notes every such dialog made on its thread, so that a
// control taken away under one can close it as the person would, with
// Cancel, and the call that opened it returns.
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
