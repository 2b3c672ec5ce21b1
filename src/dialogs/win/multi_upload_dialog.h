#pragma once
// CZTMultiFileUploadStatusDlg: the modal dialog behind OpenPostDialog. It
// lists the control's local files and, once the user presses Start, posts
// the message fields (which must be answered with 200) and then each file in
// a request of its own, in list order, showing a state per file, a bar for
// the file and one for the whole run. Files go one at a time, or up to the
// page's ParallelCount at once, each on a lane: a worker thread that serves
// its files for the whole run, one after the other. Unless failed files are
// tried again, each lane has the file after its current one queued behind
// it, so the next request starts as the last ends rather than when the
// dialog's thread gets round to it. Pause
// holds every post between two blocks (a queued one before it connects), and
// Cancel gives the posts up through the agent's cooperative cancel before
// anything further is sent.
// With RetryCount set, a file whose request failed in a way another try can
// cure is sent again after a short pause, its row reading "재전송" meanwhile.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/progress_meter.h"
#include "dialogs/upload_queue.h"
#include "dialogs/win/post_owner.h"
#include "platform/modal_dialog.h"
#include "platform/unique_handle.h"
#include "transfer/win/post_lane.h"

namespace zt {

class CZTMultiFileUploadStatusDlg final : public win::ModalDialog {
public:
  explicit CZTMultiFileUploadStatusDlg(PostOwner& owner);
  ~CZTMultiFileUploadStatusDlg() override;

  // Runs the dialog modally over owner (its window is disabled meanwhile, so
  // the list cannot change under the run).
  INT_PTR Run(HWND owner);

private:
  bool OnInitDialog() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

  // One file on its way (sending, or queued on its lane), and its progress.
  struct Slot {
    int Index = 0;
    win::PostLane* Lane = nullptr;         // the worker its requests run on
    std::unique_ptr<CZTTransMgr> Manager;  // the current request's, while it runs
    std::uint64_t Order = 0;               // when its request was handed to the lane
    int Job = -1;                          // the file it sends, or -1
    int Attempt = 0;                       // retries of that file so far
    bool RetryWaiting = false;             // its file waits for another try
    bool RetryDue = false;                 // that wait ended while paused
    bool Failed = false;                   // the current request reported a failure
    bool Retryable = false;                // every failure of it may be cured by another try
    // The current file's latest report, left by the worker.
    std::atomic<std::uint64_t> Sent{0}, Size{0};
    ProgressReporter Progress;  // reported by the worker, taken by the dialog
    ActiveClock Clock;
    std::uint64_t StartMs = 0;
    ThrottleWait Throttle;
  };

  void Start();
  void PauseOrResume();
  void CancelOrClose();
  // Gives every idle slot the next file that can be sent; files that cannot
  // be prepared fail on the spot. Reaches the done state when all ended.
  void FillSlots();
  bool PostJob(Slot& slot);
  void FileEnded(Slot& slot);
  // Waits before sending the slot's file again; false when its retries are
  // spent (or none were asked for).
  bool ScheduleRetry(Slot& slot);
  // The pause is over: the file goes again, unless paused.
  void RetryDue(Slot& slot);
  void SendAgain(Slot& slot);
  void FinishJob(Slot& slot, bool arrived);
  // The two halves of FinishJob: the run's books (returns the job), the display.
  int EndJob(Slot& slot, bool arrived);
  void ShowJobEnd(int job);
  void EnterDone();
  // Sends the failed files again (Start reads "재시도" once a run left some).
  void Retry();
  void ShowRowState(int job);
  // Stops every post for good (see AbandonPost) and wakes throttle waits.
  void GiveUp();
  // On a lane's worker: never waits for the dialog (see ProgressReporter).
  void OnProgress(Slot& slot, std::uint64_t sent, std::uint64_t size);
  // On the dialog's thread: shows the latest report of the file on display.
  // The display follows the earliest file on its way.
  void ShowProgress(Slot& slot);
  Slot* SlotOf(WPARAM index);
  const Slot* Shown() const;
  bool LaneBusy(const win::PostLane& lane) const;
  // The file bar moves to the file now shown, from where that file stands.
  void FollowShown();
  void ShowText(int id, const std::u16string& text);
  void ShowBar(int id, int percent);

  PostOwner& owner_;
  // Where every request of the run goes, as the window showed it on opening.
  const PostDestination destination_;
  std::unique_ptr<UploadQueue> queue_;
  std::vector<CZTFileAttrInfo> attributeNames_;  // the manifest's columns as listed
  std::vector<std::unique_ptr<win::PostLane>> lanes_;  // declared before the slots that use them
  std::vector<std::unique_ptr<Slot>> slots_;          // two a lane
  std::uint64_t handedOver_ = 0;                      // requests handed to lanes so far
  // The page's limit for the whole run, read again on the dialog's thread at
  // every report it shows and four times a second, so a change applies mid-post.
  std::atomic<std::int32_t> kbyteRate_{0};
  bool running_ = false;   // Start was accepted
  bool paused_ = false;
  bool deferred_ = false;  // idle slots wait for Resume
  bool done_ = false;
  ActiveClock runClock_;
  const Slot* followed_ = nullptr;  // the file the file bar shows
  int followedJob_ = -1;
  std::map<int, std::u16string> shownTexts_;  // what each label shows
  std::map<int, int> shownBars_;              // where each bar stands
};

}  // namespace zt
