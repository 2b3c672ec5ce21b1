#include "dialogs/win/download_confirm_dialog.h"

#include "platform/module_state.h"
#include "platform/wide_text.h"
#include "resource.h"
#include "text/string_table.h"

namespace zt {

INT_PTR CZTFileDownloadConfirm::Run(HWND owner) {
  return ModalDialog::Run(com::ModuleInstance(), IDD_DOWNLOAD_CONFIRM, owner);
}

bool CZTFileDownloadConfirm::OnInitDialog() {
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
