#include "dialogs/win/multi_upload_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "dialogs/progress_texts.h"
#include "dialogs/retry_policy.h"
#include "dialogs/win/announce.h"
#include "platform/module_state.h"
#include "platform/quiet_change.h"
#include "platform/wide_text.h"
#include "resource.h"
#include "transfer/upload_manifest.h"

namespace zt {

namespace {

constexpr char16_t kMessageFieldsRefusedCode[] = u"E04007";
constexpr UINT_PTR kLimitTimer = 1;  // the page's KByteRate, read again while no report comes
constexpr UINT kLimitEveryMs = 250;
constexpr UINT_PTR kRetryTimer = 100;  // + the slot: the pause before a failed file goes again
constexpr wchar_t kErrorCaption[] = L"\uC624\uB958";  // "오류"

void SetCell(HWND list, int row, int column, const std::u16string& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(AsWide(text));
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool Arrived(std::int32_t status) { return status >= 200 && status < 300; }

}  // namespace

CZTMultiFileUploadStatusDlg::CZTMultiFileUploadStatusDlg(PostOwner& owner)
    : owner_(owner), destination_(owner.Destination()) {}

CZTMultiFileUploadStatusDlg::~CZTMultiFileUploadStatusDlg() {
  GiveUp();
  owner_.SetSending(false);
}

INT_PTR CZTMultiFileUploadStatusDlg::Run(HWND owner) {
  return ModalDialog::Run(com::ModuleInstance(), IDD_MULTI_UPLOAD, owner);
}

bool CZTMultiFileUploadStatusDlg::OnInitDialog() {
  HWND dialog = Window();
  EnableWindow(Item(IDC_MULTI_PAUSE), FALSE);
  SetWindowTextW(dialog, AsWide(progress_text::Title()));
  SetIcons(com::ModuleInstance(), IDI_ZTFILEUPLOAD);
  ShowText(IDC_MULTI_SERVER, progress_text::Server(destination_.Host, destination_.Path));
  ShowText(IDC_MULTI_PORT, progress_text::Port(destination_.Port));
  ShowText(IDC_MULTI_FILE_COUNT, progress_text::FileCount(0, 0));
  ShowText(IDC_MULTI_OVERALL_TEXT, progress_text::Kilobytes(0, 0));
  for (int bar : {IDC_MULTI_OVERALL_BAR, IDC_MULTI_FILE_BAR}) {
    SendDlgItemMessageW(dialog, bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ShowBar(bar, 0);
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
  const int lanes = LaneCount(owner_.ParallelCount());
  for (int i = 0; i < lanes; ++i) {
    lanes_.push_back(std::make_unique<win::PostLane>());
  }
  // A file queued behind each lane's current one, unless failed files are
  // tried again: a retry then keeps its place, before the next file.
  const int queued = RetryLimit(owner_.RetryCount()) > 0 ? 0 : 1;
  for (int i = 0; i < (1 + queued) * lanes; ++i) {
    slots_.push_back(std::make_unique<Slot>());
    slots_.back()->Index = i;
    slots_.back()->Lane = lanes_[static_cast<std::size_t>(i % lanes)].get();
  }
  attributeNames_ = owner_.Model().AttributeNames();
  const auto& jobs = queue_->Jobs();
  // One paint and one allocation for the whole list, however long.
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, jobs.size(), 0);
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
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
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
        if (Slot* slot = SlotOf(wp)) ShowProgress(*slot);
      } catch (const std::exception&) {
        // A display that could not be refreshed must not end the post.
      }
      return true;
    case WM_TIMER:
      if (wp >= kRetryTimer && wp < kRetryTimer + slots_.size()) {
        KillTimer(Window(), wp);
        RetryDue(*slots_[wp - kRetryTimer]);
        return true;
      }
      if (wp != kLimitTimer) return false;
      kbyteRate_ = owner_.KByteRate();
      return true;
    case WM_UPLOAD_FAILURE:
      if (Slot* slot = SlotOf(wp)) {
        const auto* failure = reinterpret_cast<const CZTTransException*>(lp);
        slot->Retryable = (!slot->Failed || slot->Retryable) && failure && RetryableFailure(*failure);
        slot->Failed = true;
      }
      return true;
    case WM_UPLOAD_COMPLETE:
      if (Slot* slot = SlotOf(wp)) FileEnded(*slot);
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
    const std::u16string_view refusal = owner_.PostMessages(destination_);
    if (!refusal.empty() || owner_.ResponseStatusCode() != 200) {
      owner_.RecordError(refusal.empty() ? std::u16string_view(kMessageFieldsRefusedCode) : refusal);
      MessageBoxW(Window(), AsWide(owner_.ErrorDescription()), kErrorCaption, MB_OK);
      return;
    }
  }
  running_ = true;
  owner_.SetSending(true);
  kbyteRate_ = owner_.KByteRate();
  SetTimer(Window(), kLimitTimer, kLimitEveryMs, nullptr);
  runClock_.Start(MonotonicMs());
  EnableWindow(Item(IDC_MULTI_START), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), TRUE);
  FillSlots();
}

void CZTMultiFileUploadStatusDlg::FillSlots() {
  if (paused_) {
    deferred_ = true;
    return;
  }
  for (auto& slot : slots_) {
    while (slot->Job < 0) {
      const int job = queue_->StartNext();
      if (job < 0) break;
      slot->Job = job;
      if (!PostJob(*slot) && LaneBusy(*slot->Lane)) {
        // It cannot be sent: it fails in its turn, once its lane is free.
        queue_->PutBack(job);
        slot->Job = -1;
        break;
      }
      ShowRowState(job);
      if (slot->Manager) continue;
      FinishJob(*slot, false);
      if (!Shown()) ShowBar(IDC_MULTI_FILE_BAR, 0);  // nothing of it was sent
    }
  }
  FollowShown();
  if (queue_->AllProcessed()) EnterDone();
}

bool CZTMultiFileUploadStatusDlg::PostJob(Slot& slot) {
  const UploadQueue::Job& next = queue_->Jobs()[static_cast<std::size_t>(slot.Job)];
  const std::uint64_t now = MonotonicMs();
  slot.Clock.Start(now);
  slot.StartMs = now;
  slot.Progress.Restart(now);
  slot.Sent = 0;
  slot.Size = 0;
  slot.Failed = false;
  slot.RetryWaiting = false;

  slot.Manager = owner_.MakeManager(*slot.Lane);
  CZTTransMgr& manager = *slot.Manager;
  std::vector<CZTFileItem> one;
  try {
    one.push_back(next.Entry);
  } catch (const std::bad_alloc&) {
    slot.Manager.reset();
    return false;
  }
  // A file that is no longer where it was listed has nothing to send: it
  // fails here rather than post a manifest row without its data.
  if (!BuildUploadManifest(&one, nullptr, attributeNames_, manager) || manager.SendFiles.empty() ||
      !ApplyDestination(destination_, manager)) {
    slot.Manager.reset();
    return false;
  }
  const HWND window = Window();
  const WPARAM index = static_cast<WPARAM>(slot.Index);
  manager.OnProgress = [this, &slot](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t sent,
                                     std::uint64_t size) { OnProgress(slot, sent, size); };
  manager.OnError = [window, index](CZTTransMgr&, const CZTTransException& failure) {
    SendMessageW(window, WM_UPLOAD_FAILURE, index, reinterpret_cast<LPARAM>(&failure));
  };
  manager.OnComplete = [window, index](CZTTransMgr&) { PostMessageW(window, WM_UPLOAD_COMPLETE, index, 0); };
  slot.Order = ++handedOver_;
  manager.Post(1);
  return true;
}

void CZTMultiFileUploadStatusDlg::FileEnded(Slot& slot) {
  if (!slot.Manager || slot.Job < 0) return;
  // Released last: the next file goes first, and the display follows while
  // it is on its way.
  const std::unique_ptr<CZTTransMgr> ended = std::move(slot.Manager);
  const bool arrived = !slot.Failed && Arrived(ended->StatusCode);
  const bool curable = slot.Failed ? slot.Retryable : RetryableStatus(ended->StatusCode);
  if (!arrived && curable && ScheduleRetry(slot)) return;
  const int job = EndJob(slot, arrived);
  FillSlots();
  ShowJobEnd(job);
  FollowShown();
}

bool CZTMultiFileUploadStatusDlg::ScheduleRetry(Slot& slot) {
  if (slot.Attempt >= RetryLimit(owner_.RetryCount())) return false;
  ++slot.Attempt;
  slot.RetryWaiting = true;
  for (int row : queue_->RowsLike(slot.Job)) {
    SetCell(Item(IDC_MULTI_LIST), row, 3, progress_text::Resending());
  }
  // Pause and Cancel answer meanwhile: the wait is a timer, not a sleep.
  SetTimer(Window(), kRetryTimer + static_cast<UINT_PTR>(slot.Index), RetryDelayMs(slot.Attempt), nullptr);
  return true;
}

void CZTMultiFileUploadStatusDlg::RetryDue(Slot& slot) {
  if (paused_) {
    slot.RetryDue = true;
    return;
  }
  SendAgain(slot);
}

void CZTMultiFileUploadStatusDlg::SendAgain(Slot& slot) {
  if (slot.Job < 0) return;
  if (PostJob(slot)) return;
  // The file is no longer there to send: a local failure, not retried.
  FinishJob(slot, false);
  FillSlots();
}

void CZTMultiFileUploadStatusDlg::FinishJob(Slot& slot, bool arrived) { ShowJobEnd(EndJob(slot, arrived)); }

int CZTMultiFileUploadStatusDlg::EndJob(Slot& slot, bool arrived) {
  const int job = std::exchange(slot.Job, -1);
  slot.Attempt = 0;
  queue_->Finish(job, arrived);
  return job;
}

void CZTMultiFileUploadStatusDlg::ShowJobEnd(int job) {
  if (job >= 0) ShowRowState(job);
  ShowBar(IDC_MULTI_OVERALL_BAR, queue_->OverallPercent());
}

void CZTMultiFileUploadStatusDlg::EnterDone() {
  done_ = true;
  owner_.SetSending(false);
  // Files that failed can be sent again from here, without starting over.
  const bool retry = queue_->HasFailed();
  if (retry) SetDlgItemTextW(Window(), IDC_MULTI_START, AsWide(progress_text::RetryCaption()));
  EnableWindow(Item(IDC_MULTI_START), retry ? TRUE : FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), TRUE);
  SetDlgItemTextW(Window(), IDC_MULTI_CANCEL, L"Close");
  announce::Ended(Window());
}

void CZTMultiFileUploadStatusDlg::Retry() {
  const auto& jobs = queue_->Jobs();
  std::vector<int> failed;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (jobs[i].State == RowState::Failed) failed.push_back(static_cast<int>(i));
  }
  if (queue_->RequeueFailed() == 0) return;
  for (int job : failed) ShowRowState(job);
  ShowBar(IDC_MULTI_OVERALL_BAR, queue_->OverallPercent());
  done_ = false;
  owner_.SetSending(true);
  runClock_.Start(MonotonicMs());
  SetDlgItemTextW(Window(), IDC_MULTI_START, L"Start");
  SetDlgItemTextW(Window(), IDC_MULTI_CANCEL, L"Cancel");
  EnableWindow(Item(IDC_MULTI_START), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), TRUE);
  FillSlots();
}

void CZTMultiFileUploadStatusDlg::ShowRowState(int job) {
  const UploadQueue::Job& changed = queue_->Jobs()[static_cast<std::size_t>(job)];
  const std::u16string text = progress_text::RowState(static_cast<int>(changed.State));
  for (int row : queue_->RowsLike(job)) {
    SetCell(Item(IDC_MULTI_LIST), row, 3, text);
    announce::RowChanged(Item(IDC_MULTI_LIST), row);
  }
}

void CZTMultiFileUploadStatusDlg::PauseOrResume() {
  if (!running_ || done_) return;
  const std::uint64_t now = MonotonicMs();
  if (!paused_) {
    for (auto& slot : slots_) {
      if (slot->Manager && slot->Manager->Agent) slot->Manager->Agent->SuspendWorker();
      slot->Clock.Pause(now);
    }
    runClock_.Pause(now);
    paused_ = true;
    SetDlgItemTextW(Window(), IDC_MULTI_PAUSE, L"Resume");
    EnableWindow(Item(IDC_MULTI_CANCEL), TRUE);
  } else {
    runClock_.Resume(now);
    paused_ = false;
    for (auto& slot : slots_) {
      slot->Clock.Resume(now);
      if (slot->Manager && slot->Manager->Agent) slot->Manager->Agent->ResumeWorker();
    }
    SetDlgItemTextW(Window(), IDC_MULTI_PAUSE, L"Pause");
    EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
    for (auto& slot : slots_) {
      if (std::exchange(slot->RetryDue, false)) SendAgain(*slot);
    }
    if (std::exchange(deferred_, false)) FillSlots();
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

void CZTMultiFileUploadStatusDlg::OnProgress(Slot& slot, std::uint64_t sent, std::uint64_t size) {
  slot.Sent = sent;
  slot.Size = size;
  if (slot.Progress.Report(MonotonicMs(), sent, size)) {
    PostMessageW(Window(), WM_UPLOAD_PROGRESS, static_cast<WPARAM>(slot.Index), 0);
  }
  // The page's limit holds for the run: lanes at once share it.
  slot.Throttle.Hold([&] {
    const std::int32_t limit = kbyteRate_;
    const auto lanes = static_cast<std::int32_t>(lanes_.size());
    const std::int32_t share = limit > 0 ? std::max<std::int32_t>(1, limit / lanes) : 0;
    return ThrottleDelayMs(sent, slot.Clock.Ms(MonotonicMs()), share);
  });
}

void CZTMultiFileUploadStatusDlg::ShowProgress(Slot& slot) {
  const DisplayGate::Decision refresh = slot.Progress.Take();
  kbyteRate_ = owner_.KByteRate();
  // A file whose end is shown already, or not the file on display.
  if (slot.Job < 0 || Shown() != &slot) return;
  const std::uint64_t sent = slot.Sent, size = slot.Size;
  ShowBar(IDC_MULTI_FILE_BAR, PercentOf(sent, size));
  if (!refresh.Labels) return;
  const std::uint64_t now = MonotonicMs();
  std::uint64_t overall = queue_->TotalSent();
  for (const auto& other : slots_) {
    if (other->Job >= 0) overall += other->Sent;
  }
  if (refresh.Rate) {
    // The run's pace over the run's bytes: a file's clock would not fit
    // bytes counted since the first file.
    ShowText(IDC_MULTI_ESTIMATE,
                progress_text::Estimate(EstimateSeconds(queue_->GrandTotal(), overall, runClock_.Ms(now))));
    ShowText(IDC_MULTI_RATE, progress_text::Rate(RateOf(sent, slot.Clock.Ms(now))));
  }
  ShowText(IDC_MULTI_ELAPSED, progress_text::Elapsed((now - slot.StartMs) / 1000));
  ShowText(IDC_MULTI_FILE_COUNT,
              progress_text::FileOf(static_cast<std::int32_t>(queue_->Jobs().size()), slot.Job + 1));
  ShowText(IDC_MULTI_OVERALL_TEXT, progress_text::OverallKilobytes(overall, queue_->GrandTotal()));
  ShowText(IDC_MULTI_FILE_TEXT, progress_text::FileKilobytes(sent, size));
}

// A run of small files changes the display faster than the eye follows:
// what did not change is left alone, and a bar is only invalidated (Wine's
// bar would paint each step at once, holding the next file back).
void CZTMultiFileUploadStatusDlg::ShowText(int id, const std::u16string& text) {
  auto [shown, added] = shownTexts_.try_emplace(id, text);
  if (!added && shown->second == text) return;
  shown->second = text;
  SetDlgItemTextW(Window(), id, AsWide(text));
  announce::TextChanged(Item(id));
}

void CZTMultiFileUploadStatusDlg::ShowBar(int id, int percent) {
  auto [shown, added] = shownBars_.try_emplace(id, percent);
  if (!added && shown->second == percent) return;
  shown->second = percent;
  win::SendQuietly(Item(id), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  announce::ValueChanged(Item(id));
}

CZTMultiFileUploadStatusDlg::Slot* CZTMultiFileUploadStatusDlg::SlotOf(WPARAM index) {
  return index < slots_.size() ? slots_[index].get() : nullptr;
}

bool CZTMultiFileUploadStatusDlg::LaneBusy(const win::PostLane& lane) const {
  for (const auto& slot : slots_) {
    if (slot->Lane == &lane && slot->Manager) return true;
  }
  return false;
}

void CZTMultiFileUploadStatusDlg::FollowShown() {
  const Slot* shown = Shown();
  if (!shown || (shown == followed_ && shown->Job == followedJob_)) return;
  followed_ = shown;
  followedJob_ = shown->Job;
  ShowBar(IDC_MULTI_FILE_BAR, PercentOf(shown->Sent, shown->Size));
}

const CZTMultiFileUploadStatusDlg::Slot* CZTMultiFileUploadStatusDlg::Shown() const {
  const Slot* shown = nullptr;
  for (const auto& slot : slots_) {
    if (slot->Job >= 0 && !slot->RetryWaiting && (!shown || slot->Job < shown->Job)) shown = slot.get();
  }
  return shown;
}

void CZTMultiFileUploadStatusDlg::GiveUp() {
  // Every throttle first: a worker held in one keeps its post from stopping.
  for (auto& slot : slots_) slot->Throttle.Stop();
  // In the order the lanes run them: a stop waits for its request's end,
  // which on a lane comes after the end of the requests ahead of it.
  std::vector<Slot*> posting;
  for (auto& slot : slots_) {
    if (slot->Manager) posting.push_back(slot.get());
  }
  std::sort(posting.begin(), posting.end(), [](const Slot* a, const Slot* b) { return a->Order < b->Order; });
  for (Slot* slot : posting) {
    AbandonPost(*slot->Manager);
    slot->Manager.reset();
  }
}

}  // namespace zt
