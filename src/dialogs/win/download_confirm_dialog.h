#pragma once
// CZTFileDownloadConfirm: the question after a server file was downloaded,
// whether to open the copy or save it to the computer. It names what it asks
// about (name, size, server) above its warning and tells which button ended
// it: OPEN gives IDOK; SAVE, Esc and the close box give IDCANCEL, so a
// dismissal is taken as SAVE.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/modal_dialog.h"

namespace zt {

class CZTFileDownloadConfirm final : public win::ModalDialog {
public:
  // name: the entry's name; copy: the fetched file, measured for its size;
  // url and controlPort: the entry's server path and the control's Port, for
  // the server's name.
  CZTFileDownloadConfirm(std::u16string name, const std::u16string& copy, const std::u16string& url,
                         std::int32_t controlPort);

  // Runs modally over owner's window; IDOK (open) or IDCANCEL (save), -1
  // when the dialog cannot be made.
  INT_PTR Run(HWND owner);

private:
  bool OnInitDialog() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

  std::u16string name_;
  std::uint64_t bytes_ = 0;
  std::u16string server_;
};

}  // namespace zt
