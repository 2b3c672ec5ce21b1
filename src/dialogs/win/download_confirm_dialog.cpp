#include "dialogs/win/download_confirm_dialog.h"

#include <utility>

#include "dialogs/progress_texts.h"
#include "platform/module_state.h"
#include "platform/wide_text.h"
#include "resource.h"
#include "text/string_table.h"
#include "transfer/url.h"

namespace zt {

namespace {

std::uint64_t FileBytes(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(AsWide(path), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

CZTFileDownloadConfirm::CZTFileDownloadConfirm(std::u16string name, const std::u16string& copy,
                                               const std::u16string& url, std::int32_t controlPort)
    : name_(std::move(name)), bytes_(FileBytes(copy)) {
  // The host as the fetch used it; an address that could not be cut was
  // never fetched, so the whole text is shown rather than nothing.
  const std::optional<ServerAddress> address = CutServerUrl(url, controlPort);
  server_ = address ? address->Host : url;
}

INT_PTR CZTFileDownloadConfirm::Run(HWND owner) {
  return ModalDialog::Run(com::ModuleInstance(), IDD_DOWNLOAD_CONFIRM, owner);
}

bool CZTFileDownloadConfirm::OnInitDialog() {
  SetWindowTextW(Item(IDC_CONFIRM_ENTRY), AsWide(progress_text::QuestionEntry(name_, bytes_, server_)));
  const std::u16string text(LoadText(IDS_DOWNLOAD_CONFIRM));
  SetWindowTextW(Item(IDC_CONFIRM_TEXT), AsWide(text));
  return true;  // the focus goes to SAVE, first in tab order
}

bool CZTFileDownloadConfirm::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
  if (msg != WM_COMMAND) return false;
  switch (LOWORD(wp)) {
    case IDC_CONFIRM_OPEN:
      End(IDOK);
      break;
    case IDC_CONFIRM_SAVE:
    case IDCANCEL:  // Esc and the close box
      End(IDCANCEL);
      break;
    default:
      return false;
  }
  *result = 0;
  return true;
}

}  // namespace zt
