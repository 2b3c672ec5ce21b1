// Post and OpenPostDialog: the control hands the post to a status dialog,
// which reaches back only through PostOwner, and reads the outcome after
// the dialog has ended.
#include "control/control_errors.h"
#include "control/ztfileupload_ctrl.h"
#include "dialogs/win/multi_upload_dialog.h"
#include "dialogs/win/upload_status_dialog.h"

namespace zt {

bool CZTFileUploadCtrl::RunPostDialog(bool async) {
  // A post already running (a script called back into the control from
  // one) keeps its manager and its reply: the new post is refused first,
  // as it is while a server file is being fetched.
  if (Busy()) {
    RecordError(control_error::Busy);
    return false;
  }
  responseStatusCode_ = -1;
  responseText_.clear();
  ModalScope modal(*this);
  CZTFileUploadStatusDlg dialog(*this, async);
  dialog.Run(ControlWindow());
  return true;
}

void CZTFileUploadCtrl::RunMultiPostDialog() {
  if (Busy()) return RecordError(control_error::Busy);
  ModalScope modal(*this);
  CZTMultiFileUploadStatusDlg dialog(*this);
  dialog.Run(ControlWindow());
}

void CZTFileUploadCtrl::SetResponse(std::int32_t status, std::u16string text) {
  responseStatusCode_ = status;
  responseText_ = std::move(text);
}

void CZTFileUploadCtrl::RecordError(std::u16string_view code) { Record(code, ErrorText(code)); }

void CZTFileUploadCtrl::RecordTransferFailure(const CZTTransException& failure) {
  zt::RecordTransferFailure(failure, errorCode_, errorDescription_);
}

}  // namespace zt
