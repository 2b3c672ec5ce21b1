#pragma once
// CZTDownloadProgressDlg: the window a long OpenFile fetch shows while the
// page waits: the file's name, the kilobytes received (of the declared total
// when there is one), the rate, a bar and Cancel. It reads the fetch's
// progress four times a second and never makes the fetch wait; it ends by
// itself when the fetch ends. Cancel, Esc and the close box cancel the fetch.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/modal_dialog.h"
#include "transfer/win/file_download.h"
#include "widgets/xp_button.h"

namespace zt {

class CZTDownloadProgressDlg final : public win::ModalDialog {
public:
  CZTDownloadProgressDlg(CZTFileDownload& download, std::u16string name);

  // Runs modally over owner until the fetch ends (IDOK) or the user cancels
  // it (IDCANCEL); -1 when the window cannot be made.
  INT_PTR Run(HWND owner);

private:
  bool OnInitDialog() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void Refresh();
  void CancelFetch();
  // The control went under the window: the fetch ends as a cancel ends it.
  void OnClosedFromOutside() override { download_.Cancel(); }

  CZTFileDownload& download_;
  const std::u16string name_;
  CXPButton cancel_;
  std::uint64_t startMs_ = 0;
};

}  // namespace zt
