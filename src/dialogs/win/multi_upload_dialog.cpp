#include "dialogs/win/multi_upload_dialog.h"

#include <commctrl.h>

#include <exception>
#include <vector>

#include "dialogs/progress_texts.h"
#include "dialogs/win/announce.h"
#include "platform/module_state.h"
#include "platform/quiet_change.h"
#include "platform/wide_text.h"
#include "resource.h"

namespace zt {

namespace {

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

}  // namespace

CZTMultiFileUploadStatusDlg::CZTMultiFileUploadStatusDlg(PostOwner& owner) : owner_(owner) {}

CZTMultiFileUploadStatusDlg::~CZTMultiFileUploadStatusDlg() {
  if (run_) run_->Cancel();
  owner_.SetSending(false);
}

INT_PTR CZTMultiFileUploadStatusDlg::Run(HWND owner) {
  return ModalDialog::Run(com::ModuleInstance(), IDD_MULTI_UPLOAD, owner);
}

bool CZTMultiFileUploadStatusDlg::OnInitDialog() {
  // The run takes the rows, the destination and the credentials now: what
  // the window shows is where and as whom every request goes.
  RunSettings settings;
  for (const auto& entry : owner_.Model().Files()) settings.Files.push_back(entry.get());
  settings.Columns = owner_.Model().AttributeNames();
  settings.To = owner_.Destination();
  settings.ParallelCount = owner_.ParallelCount();
  settings.RetryCount = owner_.RetryCount();
  // The endpoint too: files go by tus or in their requests as the window opened.
  sender_ = std::make_unique<RequestSender>(owner_, Window(), owner_.Resumable());
  RunHost& host = *this;
  RunView& view = *this;
  run_ = std::make_unique<UploadRun>(settings, *sender_, host, view);

  HWND dialog = Window();
  EnableWindow(Item(IDC_MULTI_PAUSE), FALSE);
  SetWindowTextW(dialog, AsWide(progress_text::Title()));
  SetIcons(com::ModuleInstance(), IDI_ZTFILEUPLOAD);
  const PostDestination& to = run_->Destination();
  ShowText(IDC_MULTI_SERVER, progress_text::Server(to.Host, to.Path));
  ShowText(IDC_MULTI_PORT, progress_text::Port(to.Port));
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

  const auto& jobs = run_->Queue().Jobs();
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
  if (!run_) return false;
  switch (msg) {
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_MULTI_START:
          Start();
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
        run_->SetRateLimit(owner_.KByteRate());
        ShowProgress(run_->TakeProgress(static_cast<int>(wp)));
      } catch (const std::exception&) {
        // A display that could not be refreshed must not end the post.
      }
      return true;
    case WM_TIMER:
      if (wp >= kRetryTimer) {
        KillTimer(Window(), wp);
        run_->RetryDue(static_cast<int>(wp - kRetryTimer));
        return true;
      }
      if (wp != kLimitTimer) return false;
      run_->SetRateLimit(owner_.KByteRate());
      return true;
    case WM_UPLOAD_FAILURE:
      sender_->Failed(wp, reinterpret_cast<const CZTTransException*>(lp));
      return true;
    case WM_UPLOAD_COMPLETE:
      sender_->Completed(wp);
      return true;
    default:
      return false;
  }
}

void CZTMultiFileUploadStatusDlg::Start() {
  if (run_->Done()) {
    // Files that failed can be sent again from here, without starting over.
    run_->RequeueFailed();
    return;
  }
  const std::u16string refusal = run_->Start();
  if (refusal.empty()) return;
  owner_.RecordError(refusal);
  MessageBoxW(Window(), AsWide(owner_.ErrorDescription()), kErrorCaption, MB_OK);
}

void CZTMultiFileUploadStatusDlg::PauseOrResume() {
  if (!run_->Sending()) return;
  if (!run_->Paused()) {
    run_->Pause();
    SetDlgItemTextW(Window(), IDC_MULTI_PAUSE, L"Resume");
    EnableWindow(Item(IDC_MULTI_CANCEL), TRUE);
  } else {
    // Before the run goes on: what it does next may end it.
    SetDlgItemTextW(Window(), IDC_MULTI_PAUSE, L"Pause");
    EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
    run_->Resume();
  }
}

void CZTMultiFileUploadStatusDlg::CancelOrClose() {
  if (run_->Done()) {
    End(IDOK);
    return;
  }
  sender_->Withdraw();
  run_->Cancel();
  End(IDCANCEL);
}

void CZTMultiFileUploadStatusDlg::StartTimer(int slot, std::uint32_t ms) {
  SetTimer(Window(), kRetryTimer + static_cast<UINT_PTR>(slot), ms, nullptr);
}

void CZTMultiFileUploadStatusDlg::StopTimer(int slot) { KillTimer(Window(), kRetryTimer + static_cast<UINT_PTR>(slot)); }

void CZTMultiFileUploadStatusDlg::NoteProgress(int slot) {
  PostMessageW(Window(), WM_UPLOAD_PROGRESS, static_cast<WPARAM>(slot), 0);
}

bool CZTMultiFileUploadStatusDlg::HasFields() { return !owner_.Model().Messages().empty(); }

RunHost::FieldsReply CZTMultiFileUploadStatusDlg::PostFields(const PostDestination& to) {
  FieldsReply reply;
  reply.Refusal = owner_.PostMessages(to);
  reply.Status = owner_.ResponseStatusCode();
  return reply;
}

void CZTMultiFileUploadStatusDlg::Running() {
  run_->SetRateLimit(owner_.KByteRate());
  SetTimer(Window(), kLimitTimer, kLimitEveryMs, nullptr);
  SetDlgItemTextW(Window(), IDC_MULTI_START, L"Start");
  SetDlgItemTextW(Window(), IDC_MULTI_CANCEL, L"Cancel");
  EnableWindow(Item(IDC_MULTI_START), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), TRUE);
}

void CZTMultiFileUploadStatusDlg::RowChanged(int job) {
  const RowShows state = run_->RowOf(job);
  const std::u16string text = state == RowShows::Resending ? progress_text::Resending()
                                                           : progress_text::RowState(static_cast<int>(state));
  for (int row : run_->Queue().RowsLike(job)) {
    SetCell(Item(IDC_MULTI_LIST), row, 3, text);
    announce::RowChanged(Item(IDC_MULTI_LIST), row);
  }
}

void CZTMultiFileUploadStatusDlg::OverallChanged() { ShowBar(IDC_MULTI_OVERALL_BAR, run_->Queue().OverallPercent()); }

void CZTMultiFileUploadStatusDlg::FileBar(int percent) { ShowBar(IDC_MULTI_FILE_BAR, percent); }

void CZTMultiFileUploadStatusDlg::Ended() {
  const bool retry = run_->HasFailed();
  if (retry) SetDlgItemTextW(Window(), IDC_MULTI_START, AsWide(progress_text::RetryCaption()));
  EnableWindow(Item(IDC_MULTI_START), retry ? TRUE : FALSE);
  EnableWindow(Item(IDC_MULTI_PAUSE), FALSE);
  EnableWindow(Item(IDC_MULTI_CANCEL), TRUE);
  SetDlgItemTextW(Window(), IDC_MULTI_CANCEL, L"Close");
  announce::Ended(Window());
}

void CZTMultiFileUploadStatusDlg::ShowProgress(const ProgressReport& report) {
  if (!report.Shown) return;
  ShowBar(IDC_MULTI_FILE_BAR, PercentOf(report.Sent, report.Size));
  if (!report.Refresh.Labels) return;
  if (report.Refresh.Rate) {
    ShowText(IDC_MULTI_ESTIMATE, progress_text::Estimate(report.EstimateSeconds));
    ShowText(IDC_MULTI_RATE, progress_text::Rate(report.Rate));
  }
  ShowText(IDC_MULTI_ELAPSED, progress_text::Elapsed(report.ElapsedSeconds));
  ShowText(IDC_MULTI_FILE_COUNT,
           progress_text::FileOf(static_cast<std::int32_t>(run_->Queue().Jobs().size()), report.Job + 1));
  ShowText(IDC_MULTI_OVERALL_TEXT, progress_text::OverallKilobytes(report.Overall, report.GrandTotal));
  ShowText(IDC_MULTI_FILE_TEXT, progress_text::FileKilobytes(report.Sent, report.Size));
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

}  // namespace zt
