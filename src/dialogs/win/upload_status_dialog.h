#pragma once
// CZTFileUploadStatusDlg: the modal dialog behind Post. It builds the
// control's transfer manager from the control's lists and properties, runs
// the post on the agent's worker and shows its progress on a painted panel:
// file counter, total size, rate, elapsed time and a percentage bar. Stop
// pauses the agent between two blocks, Resume lets it go on, Cancel and the
// close box give the post up through the agent's cooperative cancel. After
// the last byte those are ignored; the dialog then waits for the reply
// (the request's receive timeout ends a silent server), copies it into the
// control and ends.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "dialogs/progress_meter.h"
#include "dialogs/win/post_owner.h"
#include "platform/accessible_extras.h"
#include "platform/modal_dialog.h"
#include "platform/unique_handle.h"
#include "widgets/transparent_static.h"
#include "widgets/xp_button.h"

namespace zt {

class CZTFileUploadStatusDlg final : public win::ModalDialog {
public:
  // async: true shows the dialog with live progress; false keeps it hidden
  // and processes no progress.
  CZTFileUploadStatusDlg(PostOwner& owner, bool async);
  ~CZTFileUploadStatusDlg() override;

  // Runs the whole post modally over parent.
  INT_PTR Run(HWND parent);

private:
  enum Label { TransferLabel, FileCountLabel, EstimateLabel, ElapsedLabel, RateLabel, LabelCount };
  // The texts the panel paints, in the order it paints them; the labels
  // that hold them stay hidden, so the panel shows them to screen readers.
  enum Painted { PaintedFileCount, PaintedTotal, PaintedRate, PaintedElapsed, PaintedCount };
  struct PanelTexts final : win::AccessibleExtras {
    std::u16string Texts[PaintedCount];
    RECT Bounds[PaintedCount] = {};
    int TextCount() const override { return PaintedCount; }
    std::u16string Text(int i) const override { return Texts[i]; }
    RECT TextBounds(int i) const override { return Bounds[i]; }
  };

  bool OnInitDialog() override;
  bool StartPost();
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  bool Visible() const override { return async_; }
  // The page went away under the post: it is given up as a cancel is.
  void OnClosedFromOutside() override;

  // Stops the post for good (see AbandonPost) and wakes a throttle wait.
  void GiveUp();
  // On the agent's worker: never waits for the dialog (see ProgressMailbox).
  void OnProgress(std::int32_t done, std::int32_t count, std::uint64_t sent, std::uint64_t total);
  // On the dialog's thread: shows the latest report.
  void ShowProgress();
  void SetLabel(Label label, const std::u16string& text);
  // A painted text changed: kept for screen readers and announced.
  void SetPainted(Painted which, const std::u16string& text);
  void Paint();
  int ElapsedTextY(int dpi) const;
  void StopOrResume();
  void Cancel();
  void Close();
  void Complete();

  PostOwner& owner_;
  const bool async_;
  // The page's limit, read again on the dialog's thread at every report it
  // shows and four times a second, so a change applies mid-post.
  std::atomic<std::int32_t> kbyteRate_{0};
  CXPButton stop_;
  CXPButton cancel_;
  CTransparentStatic2 labels_[LabelCount];
  std::u16string texts_[LabelCount];  // what the panel paints; dialog thread only
  bool paused_ = false;
  bool finished_ = false;             // the completion arrived
  std::atomic<bool> allSent_{false};  // set by the worker at the last byte
  std::atomic<std::uint64_t> totalBytes_{0};
  // The latest report, left by the worker for the dialog's thread.
  std::atomic<std::uint64_t> sent_{0};
  std::atomic<std::int32_t> filesDone_{0}, fileCount_{0};
  ProgressReporter progress_;  // reported by the worker, taken by the dialog
  ActiveClock clock_;
  std::uint64_t startMs_ = 0;
  // Worker side of the display.
  ThrottleWait throttle_;
  std::shared_ptr<PanelTexts> panelTexts_ = std::make_shared<PanelTexts>();
  win::UniqueHbitmap panel_;
  win::UniqueHfont panelFont_;  // made for panelDpi_
  int panelDpi_ = 0;
};

}  // namespace zt
