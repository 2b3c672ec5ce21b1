// OpenFile: the current server entry is fetched into a temporary file, and
// the user chooses to open that copy (it becomes the entry's local copy) or
// to save it somewhere (the entry stays as it was). A failure is told to the
// user and left in the error pair, and leaves no file behind. A fetch that
// takes longer than a second shows its progress; the user's Cancel leaves
// I04001 in the error pair and nothing else.
#include "control/control_errors.h"
#include "control/ztfileupload_ctrl.h"
#include "dialogs/win/download_confirm_dialog.h"
#include "dialogs/win/download_progress_dialog.h"
#include "model/formats.h"
#include "platform/com_ptr.h"
#include "platform/wide_text.h"
#include "text/format.h"
#include "text/string_table.h"
#include "transfer/download.h"
#include "transfer/win/download_mark.h"
#include "transfer/win/file_download.h"
#include "transfer/win/send_files.h"
#include "view/shell_services.h"

namespace zt {

namespace {

constexpr unsigned kErrorCaption = 1;
constexpr unsigned kRunnableRefused = 32788;

// Whether entry, the server entry a fetch of url was for, is still listed.
// The address alone does not tell: an entry the page added after removing
// it may have been given the same one, and must not take the copy.
bool StillListed(const FileModel& model, const CZTFileItem* entry, const std::u16string& url) {
  for (const auto& listed : model.Files())
    if (listed.get() == entry) return entry->ServerPath == url && entry->LocalPath.empty();
  return false;
}

// Marks the control busy while a fetch runs, however it ends.
class FetchInProgress {
public:
  explicit FetchInProgress(bool& flag) : flag_(flag) { flag_ = true; }
  ~FetchInProgress() { flag_ = false; }
  FetchInProgress(const FetchInProgress&) = delete;
  FetchInProgress& operator=(const FetchInProgress&) = delete;

private:
  bool& flag_;
};

}  // namespace

void CZTFileUploadCtrl::OpenCurrentFile() {
  com::ComPtr<IUnknown> keepAlive(Identity());  // the page runs while the dialogs are open
  // Other apartments' calls come in while the fetch waits: none starts another.
  if (Busy()) return RecordError(control_error::Busy);
  CZTFileItem* entry = model_.Current();
  // Nothing to fetch without a current entry, nor for one whose file is here.
  if (!entry || !entry->LocalPath.empty()) return;

  CZTFileDownload download;
  download.Url = entry->ServerPath;
  download.Port = saved_.port;  // for an entry that names no port
  // Named with the entry's extension, so that the shell knows what it is.
  download.Extension = entry->Extension();
  const std::u16string url = entry->ServerPath;
  const std::u16string name = entry->Name;
  // The fetch's window, the question and the save dialog are the control's
  // modal windows; a container that takes the control away under one ends
  // the call there.
  ModalScope modal(*this);
  std::u16string copy;
  {
    FetchInProgress fetching(fetching_);
    // A fetch that takes its time shows itself, and the user may stop it.
    copy = download.Download([&] {
      CZTDownloadProgressDlg window(download, name);
      window.Run(ControlWindow());
    });
  }
  // Stopped by the user: nothing is asked and no box tells what they did.
  if (modal.TakenAway()) {
    // The control went under the fetch: nobody is left to ask or tell, and
    // nothing is kept.
    if (!copy.empty()) DeleteFileW(AsWide(copy));
    return RecordError(trans_code::Cancelled);
  }
  if (copy.empty() && download.LastError == download_error::Cancelled) return RecordError(trans_code::Cancelled);
  if (copy.empty()) return ReportDownloadFailure(download.FailureText());
  // The mark browsers give downloads: wherever the copy goes, the shell and
  // the programs that open it know it came from the Internet. Its zone and
  // HostUrl come from the address the bytes came from, not the entry's text.
  win::MarkDownloaded(copy, download.FetchedFrom, FromWide(ContainerPageUrl().c_str()));
  // The page may have removed the entry while the fetch ran.
  if (!StillListed(model_, entry, url)) entry = nullptr;

  CZTFileDownloadConfirm question(name, copy, url, saved_.port);
  const INT_PTR answer = question.Run(ControlWindow());
  if (answer == IDOK && view::RunsCodeWhenOpened(copy)) {
    // The server's bytes under the page's name would run as a program: the
    // user is told, nothing is opened and nothing stays behind.
    DeleteFileW(AsWide(copy));
    return ShowError(Format(LoadText(kRunnableRefused), {name}));
  }
  if (answer == IDOK) {
    // The page may have removed the entry meanwhile: the copy still opens.
    if (entry && StillListed(model_, entry, url)) {
      entry->LocalPath = copy;
      const std::optional<FileTimes> times = fileSystem_.Times(copy);
      entry->OpenedCopyTime = DateText(times && times->Written ? *times->Written : fileSystem_.LocalEpoch());
    }
    view::OpenWithShell(ControlWindow(), copy);
    return;
  }
  // SAVE, or the question dismissed: the copy moves where the user says and
  // nothing is opened (the user asked to keep the file, not to run it).
  const std::u16string target = answer == IDCANCEL ? view::ChooseSaveTarget(DialogOwner()) : std::u16string();
  if (target.empty() || modal.TakenAway()) {
    DeleteFileW(AsWide(copy));
    if (modal.TakenAway()) RecordError(trans_code::Cancelled);
    return;
  }
  // The save dialog has asked before an existing file is replaced.
  if (!MoveFileExW(AsWide(copy), AsWide(target), MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING)) {
    const DWORD error = GetLastError();
    DeleteFileW(AsWide(copy));
    ShowError(win::SystemErrorText(error));
  }
}

void CZTFileUploadCtrl::ReportDownloadFailure(const std::u16string& systemText) {
  RecordError(trans_code::SendRequest);
  std::u16string text = errorDescription_;
  if (!systemText.empty()) text += u"\n\n" + systemText;
  ShowError(text);
}

void CZTFileUploadCtrl::ShowError(const std::u16string& text) {
  ModalScope modal(*this);
  const std::u16string caption(LoadText(kErrorCaption));
  MessageBoxW(ControlWindow(), AsWide(text), AsWide(caption), MB_OK | MB_ICONSTOP);
}

}  // namespace zt
