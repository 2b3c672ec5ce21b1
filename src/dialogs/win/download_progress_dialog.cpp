#include "dialogs/win/download_progress_dialog.h"

#include <commctrl.h>

#include <utility>

#include "dialogs/progress_meter.h"
#include "dialogs/progress_texts.h"
#include "dialogs/win/announce.h"
#include "platform/module_state.h"
#include "platform/wide_text.h"
#include "resource.h"

namespace zt {

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshEveryMs = 250;

}  // namespace

CZTDownloadProgressDlg::CZTDownloadProgressDlg(CZTFileDownload& download, std::u16string name)
    : download_(download), name_(std::move(name)) {}

INT_PTR CZTDownloadProgressDlg::Run(HWND owner) {
  return ModalDialog::Run(com::ModuleInstance(), IDD_DOWNLOAD_PROGRESS, owner);
}

bool CZTDownloadProgressDlg::OnInitDialog() {
  cancel_.Attach(Item(IDC_FETCH_CANCEL));
  SetWindowTextW(Window(), AsWide(progress_text::FetchTitle()));
  SetIcons(com::ModuleInstance(), IDI_ZTFILEUPLOAD);
  SetWindowTextW(Item(IDC_FETCH_NAME), AsWide(progress_text::FetchName(name_)));
  SetWindowTextW(cancel_.Window(), AsWide(progress_text::FetchCancel()));
  SendDlgItemMessageW(Window(), IDC_FETCH_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  // The fetch started a moment before the window: the rate counts from then.
  startMs_ = GetTickCount64() - CZTFileDownload::kQuietMs;
  Refresh();
  SetTimer(Window(), kRefreshTimer, kRefreshEveryMs, nullptr);
  return true;
}

bool CZTDownloadProgressDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT*) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == IDC_FETCH_CANCEL || LOWORD(wp) == IDCANCEL) {
        CancelFetch();
        return true;
      }
      return LOWORD(wp) == IDOK;  // Enter ends nothing
    case WM_CLOSE:
      CancelFetch();
      return true;
    case WM_TIMER:
      if (wp != kRefreshTimer) return false;
      Refresh();
      return true;
    default:
      return false;
  }
}

void CZTDownloadProgressDlg::Refresh() {
  if (download_.Finished()) {
    KillTimer(Window(), kRefreshTimer);
    End(IDOK);
    return;
  }
  const std::uint64_t received = download_.Progress.Received;
  const std::uint64_t total = download_.Progress.Total;
  // Only what changed is shown again and read out.
  auto show = [this](int id, const std::u16string& text) {
    wchar_t shown[128] = {};
    GetWindowTextW(Item(id), shown, 128);
    if (FromWide(shown) == text) return;
    SetWindowTextW(Item(id), AsWide(text));
    announce::TextChanged(Item(id));
  };
  show(IDC_FETCH_AMOUNT, progress_text::FetchKilobytes(received, total));
  show(IDC_FETCH_RATE, progress_text::FetchRate(RateOf(received, GetTickCount64() - startMs_)));
  // Without a declared length the bar cannot tell a share: it stays empty.
  const WPARAM percent = static_cast<WPARAM>(PercentOf(received, total));
  if (SendDlgItemMessageW(Window(), IDC_FETCH_BAR, PBM_SETPOS, percent, 0) != static_cast<LRESULT>(percent))
    announce::ValueChanged(Item(IDC_FETCH_BAR));
}

void CZTDownloadProgressDlg::CancelFetch() {
  KillTimer(Window(), kRefreshTimer);
  download_.Cancel();
  End(IDCANCEL);
}

}  // namespace zt
