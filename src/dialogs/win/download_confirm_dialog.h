#pragma once
// CZTFileDownloadConfirm: the question after a server file was downloaded,
// whether to open the copy or save it to the computer. It only shows its
// warning and tells which button ended it: OPEN gives IDOK; SAVE, Esc and
// the close box give IDCANCEL, so a dismissal is taken as SAVE.
#include <windows.h>

#include "platform/modal_dialog.h"

namespace zt {

class CZTFileDownloadConfirm final : public win::ModalDialog {
public:
  // Runs modally over owner's window; IDOK (open) or IDCANCEL (save), -1
  // when the dialog cannot be made.
  INT_PTR Run(HWND owner);

private:
  bool OnInitDialog() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
};

}  // namespace zt
