#include "dialogs/win/multi_upload_dialog.h"

#include <commctrl.h>

#include <exception>
#include <vector>

#include "dialogs/progress_texts.h"
#include "dialogs/retry_policy.h"
#include "platform/module_state.h"
#include "platform/wide_text.h"
#include "resource.h"
#include "transfer/upload_manifest.h"

namespace zt {

namespace {

constexpr char16_t kMessageFieldsRefusedCode[] = u"E04007";
constexpr UINT_PTR kLimitTimer = 1;  // the page's KByteRate, read again while no report comes
constexpr UINT kLimitEveryMs = 250;
constexpr UINT_PTR kRetryTimer = 2;  // the pause before a failed file goes again
constexpr wchar_t kErrorCaption[] = L"\uC624\uB958";  // "오류"

void SetItemText(HWND dialog, int id, const std::u16string& text) { SetDlgItemTextW(dialog, id, AsWide(text)); }

void SetBar(HWND dialog, int id, int percent) {
  SendDlgItemMessageW(dialog, id, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void SetCell(HWND list, int row, int column, const std::u16string& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(AsWide(text));
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool Arrived(std::int32_t status) { return status >= 200 && status < 300; }

}  // namespace

CZTMultiFileUploadStatusDlg::CZTMultiFileUploadStatusDlg(PostOwner& owner)
    : owner_(owner) {}

CZTMultiFileUploadStatusDlg::~CZTMultiFileUploadStatusDlg() { GiveUp(); }

INT_PTR CZTMultiFileUploadStatusDlg::Run(HWND owner) {
  return ModalDialog::Run(com::ModuleInstance(), IDD_MULTI_UPLOAD, owner);
}

bool CZTMultiFileUploadStatusDlg::OnInitDialog() {
  HWND dialog = Window();
  EnableWindow(Item(IDC_MULTI_PAUSE), FALSE);
  SetWindowTextW(dialog, AsWide(progress_text::Title()));
  SetIcons(com::ModuleInstance(), IDI_ZTFILEUPLOAD);
  SetItemText(dialog, IDC_MULTI_SERVER, progress_text::Server(owner_.Host(), owner_.Path()));
  SetItemText(dialog, IDC_MULTI_PORT, progress_text::Port(owner_.Port()));
  SetItemText(dialog, IDC_MULTI_FILE_COUNT, progress_text::FileCount(0, 0));
  SetItemText(dialog, IDC_MULTI_OVERALL_TEXT, progress_text::Kilobytes(0, 0));
  for (int bar : {IDC_MULTI_OVERALL_BAR, IDC_MULTI_FILE_BAR}) {
    SendDlgItemMessageW(dialog, bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetBar(dialog, bar, 0);
  }

  HWND list = Item(IDC_MULTI_LIST);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
  const int formats[4] = {LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_RIGHT, LVCFMT_RIGHT};
  const int widths[4] = {100, 200, 100, 100};
  for (int c = 0; c < 4; ++c) {
    std::u16string title = progress_text::ColumnTitle(c);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = formats[c];
    column.cx = widths[c];
    column.pszText = const_cast<wchar_t*>(AsWide(title));
    column.iSubItem = c;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
  }
  RECT bounds;
  GetWindowRect(list, &bounds);
  const double width = bounds.right - 5 - bounds.left;
  const double shares[4] = {0.3, 0.3, 0.2, 0.2};
  for (int c = 0; c < 4; ++c) {
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), static_cast<int>(width * shares[c]));
  }

  std::vector<const CZTFileItem*> entries;
  for (const auto& entry : owner_.Model().Files()) entries.push_back(entry.get());
  queue_ = std::make_unique<UploadQueue>(entries);
  attributeNames_ = owner_.Model().AttributeNames();
  const auto& jobs = queue_->Jobs();
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(AsWide(jobs[i].Name));
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetCell(list, row, 1, jobs[i].LocalPath);
    SetCell(list, row, 2, progress_text::SizeColumn(static_cast<std::int64_t>(jobs[i].Size)));
    SetCell(list, row, 3, progress_text::RowState(static_cast<int>(RowState::Waiting)));
  }
  return true;
}

bool CZTMultiFileUploadStatusDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT*) {
  switch (msg) {
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_MULTI_START:
          if (!running_) {
            Start();
          } else if (done_) {
            Retry();
          }
          return true;
        case IDC_MULTI_PAUSE:
          PauseOrResume();
          return true;
        case IDC_MULTI_CANCEL:
        case IDCANCEL:  // Esc and the close box
          CancelOrClose();
          return true;
        case IDOK:
          return true;
        default:
          return false;
      }
    case WM_UPLOAD_PROGRESS:
      try {
        ShowProgress();
      } catch (const std::exception&) {
        // A display that could not be refreshed must not end the post.
      }
      return true;
    case WM_TIMER:
      if (wp == kRetryTimer) {
        KillTimer(Window(), kRetryTimer);
        RetryDue();
        return true;
      }
      if (wp != kLimitTimer) return false;
      kbyteRate_ = owner_.KByteRate();
      return true;
    case WM_UPLOAD_FAILURE: {
      const auto* failure = reinterpret_cast<const CZTTransException*>(lp);
      fileRetryable_ = (!fileFailed_ || fileRetryable_) && failure && RetryableFailure(*failure);
      fileFailed_ = true;
      return true;
    }
    case WM_UPLOAD_COMPLETE:
      FileEnded();
      return true;
    default:
      return false;
  }
}

void CZTMultiFileUploadStatusDlg::Start() {
  if (!owner_.Model().Messages().empty()) {
    // The message fields go first, on this thread, and must be taken.
    // A post refused before sending keeps its own reason (no destination,
    // another post running); a server that did not take the fields is E04007.
    const std::u16string_view refusal = owner_.PostMessages();
    if (!refusal.empty() || owner_.ResponseStatusCode() != 200) {
      owner_.RecordError(refusal.empty() ? std::u16string_view(kMessageFieldsRefusedCode) : refusal);
      MessageBoxW(Window(), AsWide(owner_.ErrorDescription()), kErrorCaption, MB_OK);
      return;
    }
  }
  running_ = true;
  kbyteRate_ = owner_.KByteRate();
  SetTimer(Window(), kLimitTimer, kLimitEveryMs, nullptr);
  runClock_.Start(MonotonicMs());
  EnableWindow(Item(IDC_MULTI_START), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), TRUE);
  StartNextFile();
}

void CZTMultiFileUploadStatusDlg::StartNextFile() {
  if (paused_) {
    deferred_ = true;
    return;
  }
  for (;;) {
    const int job = queue_->StartNext();
    if (job < 0) {
      EnterDone();
      return;
    }
    ShowRowState(job);
    if (PostJob(job)) return;
    FinishJob(false);
  }
}

bool CZTMultiFileUploadStatusDlg::PostJob(int job) {
  const UploadQueue::Job& next = queue_->Jobs()[static_cast<std::size_t>(job)];
  const std::uint64_t now = MonotonicMs();
  fileClock_.Start(now);
  fileStartMs_ = now;
  progress_.Restart(now);
  fileSent_ = 0;
  fileSize_ = 0;
  counterCurrent_ = job + 1;
  fileFailed_ = false;
  SetBar(Window(), IDC_MULTI_FILE_BAR, 0);

  CZTTransMgr& manager = owner_.NewManager();
  std::vector<CZTFileItem> one;
  try {
    one.push_back(next.Entry);
  } catch (const std::bad_alloc&) {
    owner_.ReleaseManager();
    return false;
  }
  // A file that is no longer where it was listed has nothing to send: it
  // fails here rather than post a manifest row without its data.
  if (!BuildUploadManifest(&one, nullptr, attributeNames_, manager) || manager.SendFiles.empty() ||
      !owner_.FillDestination(manager)) {
    owner_.ReleaseManager();
    return false;
  }
  const HWND window = Window();
  manager.OnProgress = [this](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t sent, std::uint64_t size) {
    OnProgress(sent, size);
  };
  manager.OnError = [window](CZTTransMgr&, const CZTTransException& failure) {
    SendMessageW(window, WM_UPLOAD_FAILURE, 0, reinterpret_cast<LPARAM>(&failure));
  };
  manager.OnComplete = [window](CZTTransMgr&) { PostMessageW(window, WM_UPLOAD_COMPLETE, 0, 0); };
  manager.Post(1);
  return true;
}

void CZTMultiFileUploadStatusDlg::FileEnded() {
  CZTTransMgr* manager = owner_.CurrentManager();
  if (!manager || queue_->Current() < 0) return;
  const bool arrived = !fileFailed_ && Arrived(manager->StatusCode);
  const bool curable = fileFailed_ ? fileRetryable_ : RetryableStatus(manager->StatusCode);
  owner_.ReleaseManager();
  if (!arrived && curable && ScheduleRetry()) return;
  FinishJob(arrived);
  StartNextFile();
}

bool CZTMultiFileUploadStatusDlg::ScheduleRetry() {
  if (attempt_ >= RetryLimit(owner_.RetryCount())) return false;
  ++attempt_;
  const int job = queue_->Current();
  for (int row : queue_->RowsNamed(queue_->Jobs()[static_cast<std::size_t>(job)].Name)) {
    SetCell(Item(IDC_MULTI_LIST), row, 3, progress_text::Resending());
  }
  // Pause and Cancel answer meanwhile: the wait is a timer, not a sleep.
  SetTimer(Window(), kRetryTimer, RetryDelayMs(attempt_), nullptr);
  return true;
}

void CZTMultiFileUploadStatusDlg::RetryDue() {
  if (paused_) {
    retryDue_ = true;
    return;
  }
  SendAgain();
}

void CZTMultiFileUploadStatusDlg::SendAgain() {
  if (queue_->Current() < 0) return;
  if (PostJob(queue_->Current())) return;
  // The file is no longer there to send: a local failure, not retried.
  FinishJob(false);
  StartNextFile();
}

void CZTMultiFileUploadStatusDlg::FinishJob(bool arrived) {
  attempt_ = 0;
  const int job = queue_->Current();
  queue_->FinishCurrent(arrived);
  if (job >= 0) ShowRowState(job);
  SetBar(Window(), IDC_MULTI_OVERALL_BAR, queue_->OverallPercent());
}

void CZTMultiFileUploadStatusDlg::EnterDone() {
  done_ = true;
  // Files that failed can be sent again from here, without starting over.
  const bool retry = queue_->HasFailed();
  if (retry) SetDlgItemTextW(Window(), IDC_MULTI_START, AsWide(progress_text::RetryCaption()));
  EnableWindow(Item(IDC_MULTI_START), retry ? TRUE : FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), TRUE);
  SetDlgItemTextW(Window(), IDC_MULTI_CANCEL, L"Close");
}

void CZTMultiFileUploadStatusDlg::Retry() {
  const auto& jobs = queue_->Jobs();
  std::vector<int> failed;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (jobs[i].State == RowState::Failed) failed.push_back(static_cast<int>(i));
  }
  if (queue_->RequeueFailed() == 0) return;
  for (int job : failed) ShowRowState(job);
  SetBar(Window(), IDC_MULTI_OVERALL_BAR, queue_->OverallPercent());
  done_ = false;
  runClock_.Start(MonotonicMs());
  SetDlgItemTextW(Window(), IDC_MULTI_START, L"Start");
  SetDlgItemTextW(Window(), IDC_MULTI_CANCEL, L"Cancel");
  EnableWindow(Item(IDC_MULTI_START), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), TRUE);
  StartNextFile();
}

void CZTMultiFileUploadStatusDlg::ShowRowState(int job) {
  const UploadQueue::Job& changed = queue_->Jobs()[static_cast<std::size_t>(job)];
  const std::u16string text = progress_text::RowState(static_cast<int>(changed.State));
  for (int row : queue_->RowsNamed(changed.Name)) SetCell(Item(IDC_MULTI_LIST), row, 3, text);
}

void CZTMultiFileUploadStatusDlg::PauseOrResume() {
  if (!running_ || done_) return;
  CZTTransMgr* manager = owner_.CurrentManager();
  const std::uint64_t now = MonotonicMs();
  if (!paused_) {
    if (manager && manager->Agent) manager->Agent->SuspendWorker();
    fileClock_.Pause(now);
    runClock_.Pause(now);
    paused_ = true;
    SetDlgItemTextW(Window(), IDC_MULTI_PAUSE, L"Resume");
    EnableWindow(Item(IDC_MULTI_CANCEL), TRUE);
  } else {
    fileClock_.Resume(now);
    runClock_.Resume(now);
    paused_ = false;
    if (manager && manager->Agent) manager->Agent->ResumeWorker();
    SetDlgItemTextW(Window(), IDC_MULTI_PAUSE, L"Pause");
    EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
    if (retryDue_) {
      retryDue_ = false;
      SendAgain();
    } else if (deferred_) {
      deferred_ = false;
      StartNextFile();
    }
  }
}

void CZTMultiFileUploadStatusDlg::CancelOrClose() {
  if (done_) {
    End(IDOK);
    return;
  }
  GiveUp();
  End(IDCANCEL);
}

void CZTMultiFileUploadStatusDlg::OnProgress(std::uint64_t sent, std::uint64_t size) {
  fileSent_ = sent;
  fileSize_ = size;
  if (progress_.Report(MonotonicMs(), sent, size)) PostMessageW(Window(), WM_UPLOAD_PROGRESS, 0, 0);
  throttle_.Hold([&] { return ThrottleDelayMs(sent, fileClock_.Ms(MonotonicMs()), kbyteRate_); });
}

void CZTMultiFileUploadStatusDlg::ShowProgress() {
  const DisplayGate::Decision refresh = progress_.Take();
  kbyteRate_ = owner_.KByteRate();
  if (queue_->Current() < 0) return;  // the file's end is already shown
  HWND dialog = Window();
  const std::uint64_t sent = fileSent_, size = fileSize_;
  SetBar(dialog, IDC_MULTI_FILE_BAR, PercentOf(sent, size));
  if (!refresh.Labels) return;
  const std::uint64_t now = MonotonicMs();
  const std::uint64_t overall = queue_->TotalSent() + sent;
  if (refresh.Rate) {
    // The run's pace over the run's bytes: a file's clock would not fit
    // bytes counted since the first file.
    SetItemText(dialog, IDC_MULTI_ESTIMATE,
                progress_text::Estimate(EstimateSeconds(queue_->GrandTotal(), overall, runClock_.Ms(now))));
    SetItemText(dialog, IDC_MULTI_RATE, progress_text::Rate(RateOf(sent, fileClock_.Ms(now))));
  }
  SetItemText(dialog, IDC_MULTI_ELAPSED, progress_text::Elapsed((now - fileStartMs_) / 1000));
  SetItemText(dialog, IDC_MULTI_FILE_COUNT,
              progress_text::FileOf(static_cast<std::int32_t>(queue_->Jobs().size()), counterCurrent_));
  SetItemText(dialog, IDC_MULTI_OVERALL_TEXT, progress_text::OverallKilobytes(overall, queue_->GrandTotal()));
  SetItemText(dialog, IDC_MULTI_FILE_TEXT, progress_text::FileKilobytes(sent, size));
}

void CZTMultiFileUploadStatusDlg::GiveUp() {
  throttle_.Stop();
  AbandonPost(owner_);
}

}  // namespace zt
