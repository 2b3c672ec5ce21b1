#pragma once
// CZTMultiFileUploadStatusDlg: the modal dialog behind OpenPostDialog. It
// lists the control's local files and, once the user presses Start, posts
// the message fields (which must be answered with 200) and then each file in
// a request of its own, one after the other, showing a state per file, a bar
// for the file and one for the whole run. Each file's post runs on the
// agent's worker; the dialog's thread starts the next one when the last has
// ended, so Pause holds the agent between two blocks (or the next file
// back), and Cancel gives the running post up through the agent's
// cooperative cancel before anything further is sent. With RetryCount set, a
// file whose request failed in a way another try can cure is sent again after
// a short pause, its row reading "재전송" meanwhile.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/progress_meter.h"
#include "dialogs/upload_queue.h"
#include "dialogs/win/post_owner.h"
#include "platform/modal_dialog.h"
#include "platform/unique_handle.h"

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

  void Start();
  void PauseOrResume();
  void CancelOrClose();
  // Starts the next file that can be sent; files that cannot be prepared
  // fail on the spot. Reaches the done state when nothing is left.
  void StartNextFile();
  bool PostJob(int job);
  void FileEnded();
  // Waits before sending the current file again; false when its retries are
  // spent (or none were asked for).
  bool ScheduleRetry();
  // The pause is over: the current file goes again, unless paused.
  void RetryDue();
  void SendAgain();
  void FinishJob(bool arrived);
  void EnterDone();
  // Sends the failed files again (Start reads "재시도" once a run left some).
  void Retry();
  void ShowRowState(int job);
  // Stops the post for good (see AbandonPost) and wakes a throttle wait.
  void GiveUp();
  // On the agent's worker: never waits for the dialog (see ProgressMailbox).
  void OnProgress(std::uint64_t sent, std::uint64_t size);
  // On the dialog's thread: shows the latest report of the current file.
  void ShowProgress();

  PostOwner& owner_;
  std::unique_ptr<UploadQueue> queue_;
  std::vector<CZTFileAttrInfo> attributeNames_;  // the manifest's columns as listed
  // The page's limit, read again on the dialog's thread at every report it
  // shows and four times a second, so a change applies mid-post.
  std::atomic<std::int32_t> kbyteRate_{0};
  bool running_ = false;   // Start was accepted
  bool paused_ = false;
  bool deferred_ = false;  // the next file waits for Resume
  bool done_ = false;
  std::atomic<bool> fileFailed_{false};
  bool fileRetryable_ = false;  // every failure of the current request may be cured by another try
  int attempt_ = 0;             // retries of the current file so far
  bool retryDue_ = false;       // its pause ended while paused: Resume sends it
  // The current file's latest report, left by the worker.
  std::atomic<std::uint64_t> fileSent_{0}, fileSize_{0};
  ProgressReporter progress_;  // reported by the worker, taken by the dialog
  ActiveClock fileClock_;
  ActiveClock runClock_;
  std::uint64_t fileStartMs_ = 0;
  std::int32_t counterCurrent_ = 0;
  // Worker side of the display, reset for each file.
  ThrottleWait throttle_;
};

}  // namespace zt
