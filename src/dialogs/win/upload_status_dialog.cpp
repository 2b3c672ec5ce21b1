#include "dialogs/win/upload_status_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <new>
#include <vector>

#include "dialogs/progress_texts.h"
#include "dialogs/win/announce.h"
#include "platform/dpi.h"
#include "platform/high_contrast.h"
#include "platform/module_state.h"
#include "platform/wide_text.h"
#include "resource.h"
#include "transfer/upload_manifest.h"

namespace zt {

namespace {

constexpr UINT_PTR kFinishTimer = 1;
constexpr UINT_PTR kLimitTimer = 2;  // the page's KByteRate, read again while no report comes
constexpr UINT kLimitEveryMs = 250;
constexpr UINT kFinishDelayMs = 500;
constexpr int kPanelTextX = 6;
// The elapsed time sits under the bar, at the panel's row 150 like the texts
// above it, unless the dialog's font put the bar lower.
constexpr int kPanelElapsedY = 150;

void SetText(HWND window, const std::u16string& text) { SetWindowTextW(window, AsWide(text)); }

std::vector<CZTFileItem> Copies(const FileModel::EntryList& list) {
  std::vector<CZTFileItem> copies;
  copies.reserve(list.size());
  for (const auto& entry : list) copies.push_back(*entry);
  return copies;
}

}  // namespace

CZTFileUploadStatusDlg::CZTFileUploadStatusDlg(PostOwner& owner, bool async)
    : owner_(owner), async_(async) {}

CZTFileUploadStatusDlg::~CZTFileUploadStatusDlg() { GiveUp(); }

INT_PTR CZTFileUploadStatusDlg::Run(HWND parent) {
  return ModalDialog::Run(com::ModuleInstance(), IDD_UPLOAD_STATUS, parent);
}

bool CZTFileUploadStatusDlg::OnInitDialog() {
  // Out of memory while the post is being set up: it is given up and told,
  // never left half-started with a loop that nothing would end.
  try {
    return StartPost();
  } catch (const std::bad_alloc&) {
    GiveUp();
    owner_.RecordError(u"E01010");
    End(IDCANCEL);
    return true;
  }
}

bool CZTFileUploadStatusDlg::StartPost() {
  const int ids[LabelCount] = {IDC_UPLOAD_TRANSFER, IDC_UPLOAD_FILE_COUNT, IDC_UPLOAD_ESTIMATE, IDC_UPLOAD_ELAPSED,
                               IDC_UPLOAD_RATE};
  for (int i = 0; i < LabelCount; ++i) labels_[i].Attach(Item(ids[i]));
  stop_.Attach(Item(IDC_UPLOAD_STOP));
  cancel_.Attach(Item(IDC_UPLOAD_CANCEL));

  CZTTransMgr& manager = owner_.NewManager();
  owner_.ClearError();
  if (!owner_.FillDestination(manager)) {
    // Nothing is requested without a destination.
    owner_.ReleaseManager();
    owner_.RecordError(u"E01001");
    End(IDCANCEL);
    return true;
  }
  std::vector<CZTFileItem> files, deleted;
  try {
    files = Copies(owner_.Model().Files());
    deleted = Copies(owner_.Model().DeletedFiles());
  } catch (const std::bad_alloc&) {
    owner_.ReleaseManager();
    owner_.RecordError(u"E01010");
    End(IDCANCEL);
    return true;
  }
  if (!CopyMessages(owner_.Model().Messages(), manager) ||
      !BuildUploadManifest(&files, &deleted, owner_.Model().AttributeNames(), manager)) {
    owner_.ReleaseManager();
    owner_.RecordError(u"E01010");
    End(IDCANCEL);
    return true;
  }

  SetText(Window(), progress_text::Title());
  HINSTANCE module = com::ModuleInstance();
  SetIcons(module, IDI_ZTFILEUPLOAD);
  panel_.Reset(static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(IDB_UPLOAD_PANEL), IMAGE_BITMAP, 0, 0, 0)));

  // The labels start with zero counts; the panel paints nothing until the
  // first report.
  SetWindowTextW(labels_[FileCountLabel].Window(), AsWide(progress_text::FileCount(0, 0)));
  SetWindowTextW(labels_[TransferLabel].Window(), AsWide(progress_text::Kilobytes(0, 0)));
  SendDlgItemMessageW(Window(), IDC_UPLOAD_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendDlgItemMessageW(Window(), IDC_UPLOAD_PROGRESS, PBM_SETPOS, 0, 0);

  kbyteRate_ = owner_.KByteRate();
  const HWND window = Window();
  // Hidden: no display and no throttle.
  if (async_) {
    manager.OnProgress = [this](CZTTransMgr&, std::int32_t done, std::int32_t count, std::uint64_t sent,
                                std::uint64_t total) { OnProgress(done, count, sent, total); };
  }
  manager.OnError = [window](CZTTransMgr&, const CZTTransException& failure) {
    SendMessageW(window, WM_UPLOAD_FAILURE, 0, reinterpret_cast<LPARAM>(&failure));
  };
  manager.OnComplete = [window](CZTTransMgr&) { PostMessageW(window, WM_UPLOAD_COMPLETE, 0, 0); };

  const std::uint64_t now = MonotonicMs();
  clock_.Start(now);
  startMs_ = now;
  progress_.Restart(now);
  if (async_) SetTimer(Window(), kLimitTimer, kLimitEveryMs, nullptr);
  manager.Post(1);
  return true;
}

bool CZTFileUploadStatusDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_UPLOAD_STOP:
          StopOrResume();
          return true;
        case IDC_UPLOAD_CANCEL:
          Cancel();
          return true;
        case IDCANCEL:  // Esc changes nothing
        case IDOK:      // nor does Enter end the post
          return true;
        default:
          return false;
      }
    case WM_CLOSE:
      Close();
      return true;
    case WM_PAINT:
      Paint();
      return true;
    case WM_TIMER:
      if (wp == kLimitTimer) kbyteRate_ = owner_.KByteRate();
      if (wp == kFinishTimer) {
        KillTimer(Window(), kFinishTimer);
        End(IDOK);
      }
      return true;
    case WM_UPLOAD_PROGRESS:
      try {
        ShowProgress();
      } catch (const std::exception&) {
        // A display that could not be refreshed must not end the post.
      }
      return true;
    case WM_UPLOAD_FAILURE:
      if (!Ended()) {
        owner_.RecordTransferFailure(*reinterpret_cast<const CZTTransException*>(lp));
        announce::Ended(Window());
      }
      return true;
    case WM_UPLOAD_COMPLETE:
      Complete();
      return true;
    default:
      return false;
  }
}

void CZTFileUploadStatusDlg::OnProgress(std::int32_t done, std::int32_t count, std::uint64_t sent,
                                        std::uint64_t total) {
  const std::uint64_t now = MonotonicMs();
  totalBytes_ = total;
  sent_ = sent;
  filesDone_ = done;
  fileCount_ = count;
  if (sent == total) allSent_ = true;
  // The bar changes at most a hundred times, the labels twice a second; the
  // dialog hears of nothing else.
  if (progress_.Report(now, sent, total)) PostMessageW(Window(), WM_UPLOAD_PROGRESS, 0, 0);
  throttle_.Hold([&] { return ThrottleDelayMs(sent, clock_.Ms(MonotonicMs()), kbyteRate_); });
}

void CZTFileUploadStatusDlg::ShowProgress() {
  const DisplayGate::Decision refresh = progress_.Take();
  kbyteRate_ = owner_.KByteRate();
  const std::uint64_t sent = sent_, total = totalBytes_;
  SendDlgItemMessageW(Window(), IDC_UPLOAD_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(PercentOf(sent, total)), 0);
  if (!refresh.Labels) return;
  // The bar is told with the labels, twice a second, not at each of its steps.
  announce::ValueChanged(Item(IDC_UPLOAD_PROGRESS));
  const std::uint64_t now = MonotonicMs();
  if (refresh.Rate) {
    const std::uint64_t activeMs = clock_.Ms(now);
    SetLabel(EstimateLabel, progress_text::Estimate(EstimateSeconds(total, sent, activeMs)));
    SetLabel(RateLabel, progress_text::Rate(RateOf(sent, activeMs)));
  }
  SetLabel(ElapsedLabel, progress_text::Elapsed((now - startMs_) / 1000));
  SetLabel(FileCountLabel, progress_text::FileCount(filesDone_, fileCount_));
  SetLabel(TransferLabel, progress_text::Kilobytes(sent, total));
  // The panel paints every pixel it covers: no erase first.
  InvalidateRect(Window(), nullptr, FALSE);
}

void CZTFileUploadStatusDlg::SetLabel(Label label, const std::u16string& text) {
  if (texts_[label] == text) return;  // an unchanged label is not read out again
  texts_[label] = text;
  SetWindowTextW(labels_[label].Window(), AsWide(text));
  announce::TextChanged(labels_[label].Window());
}

void CZTFileUploadStatusDlg::Paint() {
  win::PaintDc paint(Window());
  if (!panel_) return;
  // The panel is drawn for 96 DPI: at another scale its picture, its font
  // and the texts' places grow with the dialog's template.
  const int dpi = win::WindowDpi(Window());
  if (!panelFont_ || panelDpi_ != dpi) {
    panelFont_.Reset(CreateFontW(win::Scaled(12, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"\uAD74\uB9BC"));
    panelDpi_ = dpi;
  }
  BITMAP size{};
  GetObjectW(panel_.Get(), sizeof(size), &size);
  RECT client;
  GetClientRect(Window(), &client);
  int width = win::Scaled(size.bmWidth, dpi), height = win::Scaled(size.bmHeight, dpi);
  // The template grew with its font, a little more than the DPI says: the
  // panel still spans it, as it spans it at 96 DPI.
  if (dpi != win::kBaseDpi && client.right > width) {
    height = MulDiv(height, client.right, width);
    width = client.right;
  }
  // The texts go on a copy of the panel, composed off screen and shown in one transfer.
  win::UniqueHdc source(CreateCompatibleDC(paint.Get()));
  win::SelectGuard panel(source.Get(), panel_.Get());
  win::UniqueHdc memory(CreateCompatibleDC(paint.Get()));
  win::UniqueHbitmap canvas(CreateCompatibleBitmap(paint.Get(), width, height));
  win::SelectGuard bitmap(memory.Get(), canvas.Get());
  // High contrast: the system's face and text instead of the picture.
  const bool system = win::HighContrast();
  if (system) {
    const RECT whole{0, 0, width, height};
    FillRect(memory.Get(), &whole, GetSysColorBrush(COLOR_BTNFACE));
  } else {
    win::BlitStretched(memory.Get(), 0, 0, width, height, source.Get(), 0, 0, size.bmWidth, size.bmHeight);
  }
  {
    win::SelectGuard font(memory.Get(), panelFont_.Get());
    const int oldMode = SetBkMode(memory.Get(), TRANSPARENT);
    if (system) SetTextColor(memory.Get(), GetSysColor(COLOR_BTNTEXT));
    auto draw = [&](int y, const std::u16string& text) {
      ExtTextOutW(memory.Get(), win::Scaled(kPanelTextX, dpi), y, ETO_CLIPPED, nullptr, AsWide(text),
                  static_cast<UINT>(text.size()), nullptr);
    };
    draw(win::Scaled(50, dpi), texts_[FileCountLabel]);
    draw(win::Scaled(70, dpi), progress_text::PanelTotal(totalBytes_));
    draw(win::Scaled(90, dpi), texts_[RateLabel]);
    draw(ElapsedTextY(dpi), texts_[ElapsedLabel]);
    SetBkMode(memory.Get(), oldMode);
  }
  BitBlt(paint.Get(), 0, 0, std::min<LONG>(client.right, width), std::min<LONG>(client.bottom, height), memory.Get(), 0,
         0, SRCCOPY);
}

int CZTFileUploadStatusDlg::ElapsedTextY(int dpi) const {
  RECT bar;
  GetWindowRect(Item(IDC_UPLOAD_PROGRESS), &bar);
  MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&bar), 2);
  return std::max<int>(win::Scaled(kPanelElapsedY, dpi), bar.bottom + 2);
}

void CZTFileUploadStatusDlg::StopOrResume() {
  CZTTransMgr* manager = owner_.CurrentManager();
  if (allSent_ || finished_ || !manager || !manager->Agent) return;
  if (!paused_) {
    manager->Agent->SuspendWorker();
    clock_.Pause(MonotonicMs());
    paused_ = true;
    SetWindowTextW(stop_.Window(), L"Resume");
  } else {
    clock_.Resume(MonotonicMs());
    manager->Agent->ResumeWorker();
    paused_ = false;
    SetWindowTextW(stop_.Window(), L"Stop");
  }
}

void CZTFileUploadStatusDlg::Cancel() {
  if (allSent_ || finished_) return;
  // The person's cancel, unlike the page going away, also removes what a
  // resumable post began on the server.
  if (CZTTransMgr* manager = owner_.CurrentManager(); manager && manager->Agent) manager->Agent->WithdrawUploads();
  if (owner_.ResponseStatusCode() < 0) {
    CZTTransException cancelled;
    cancelled.Code = trans_code::Cancelled;
    owner_.RecordTransferFailure(cancelled);
  }
  Close();
}

void CZTFileUploadStatusDlg::OnClosedFromOutside() {
  if (!finished_ && owner_.ResponseStatusCode() < 0) {
    CZTTransException cancelled;
    cancelled.Code = trans_code::Cancelled;
    owner_.RecordTransferFailure(cancelled);
  }
  GiveUp();
}

void CZTFileUploadStatusDlg::Close() {
  if (allSent_ || finished_ || Ended()) return;
  GiveUp();
  End(IDCANCEL);
}

void CZTFileUploadStatusDlg::Complete() {
  if (finished_ || Ended()) return;
  finished_ = true;
  if (CZTTransMgr* manager = owner_.CurrentManager(); manager && manager->StatusCode > 0) {
    owner_.SetResponse(manager->StatusCode, manager->GetResponseText());
  }
  announce::ValueChanged(Item(IDC_UPLOAD_PROGRESS));
  announce::Ended(Window());
  // The finished state stays in view for a moment; the window keeps answering meanwhile.
  SetTimer(Window(), kFinishTimer, kFinishDelayMs, nullptr);
}

void CZTFileUploadStatusDlg::GiveUp() {
  throttle_.Stop();
  AbandonPost(owner_);
}

}  // namespace zt
