#pragma once
// The multi-file run behind the per-file window: the files as listed when it
// opened, the destination and credentials taken then, the message fields sent
// first, one file at a time or up to ParallelCount at once on lanes, retries
// of what another try can cure, pause, cancel and sending the failed files
// again. It lives on one thread (the window's) and reaches the platform only
// through a FileSender and a RunHost; the window is its view and renders what
// it reports.
//
// Lanes: each carries its files one after another. Unless failed files are
// tried again, each lane has the file after its current one queued behind
// it, so the next request starts as the last ends; with retries a failed
// file keeps its place, before the next. Slot s runs on lane s % lanes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/progress_meter.h"
#include "dialogs/upload_queue.h"
#include "transfer/file_sender.h"

namespace zt {

// What the run asks of the control and the platform it runs on.
class RunHost {
public:
  // Milliseconds of a monotonic clock; any thread.
  virtual std::uint64_t NowMs() = 0;
  // RetryDue(slot) on the run's thread once ms passed, unless stopped first.
  virtual void StartTimer(int slot, std::uint32_t ms) = 0;
  virtual void StopTimer(int slot) = 0;
  // From a sending thread: TakeProgress(slot) soon on the run's thread.
  // Never waits for it.
  virtual void NoteProgress(int slot) = 0;
  // From a sending thread: waits while delayMs() (asked again at least four
  // times a second) is not 0; at once after StopPacing.
  virtual void Pace(const std::function<std::uint64_t()>& delayMs) = 0;
  virtual void StopPacing() = 0;
  // The page's message fields: whether there are any, and posting them alone
  // on this thread (the code of a refusal before sending, or the status).
  struct FieldsReply {
    std::u16string Refusal;
    std::int32_t Status = -1;
  };
  virtual bool HasFields() = 0;
  virtual FieldsReply PostFields(const PostDestination& to) = 0;
  // While set, the control refuses posts, fetches and a new destination.
  virtual void SetSending(bool sending) = 0;

protected:
  ~RunHost() = default;
};

// What the run tells its view, on the run's thread.
class RunView {
public:
  virtual void Running() = 0;             // files go (again): Start or the failed files requeued
  virtual void RowChanged(int job) = 0;   // RowOf(job) changed
  virtual void OverallChanged() = 0;      // Queue().OverallPercent() may have moved
  virtual void FileBar(int percent) = 0;  // the file shown changed, or one ended before a byte went
  virtual void Ended() = 0;               // every file processed; HasFailed() offers a retry

protected:
  ~RunView() = default;
};

// How a row reads: its job's state (RowState's values), or waiting for another try.
enum class RowShows { Waiting = 0, Sending = 1, Done = 2, Failed = 3, Resending = 4 };

// What the display shows of the file on display after a progress note.
struct ProgressReport {
  bool Shown = false;  // false: the note's file is not on display (or ended)
  DisplayGate::Decision Refresh;
  int Job = -1;
  std::uint64_t Sent = 0, Size = 0;           // that file
  std::uint64_t Overall = 0, GrandTotal = 0;  // the run
  std::uint32_t Rate = 0;                     // that file's, bytes per ms
  std::uint64_t ElapsedSeconds = 0;           // since that file started
  std::uint64_t EstimateSeconds = 0;          // the whole run at its pace so far
};

struct RunSettings {
  std::vector<const CZTFileItem*> Files;  // copied: later edits of the list change nothing
  std::vector<CZTFileAttrInfo> Columns;
  PostDestination To;
  std::int32_t ParallelCount = 1;
  std::int32_t RetryCount = 0;
};

class UploadRun final : private SendReports {
public:
  UploadRun(const RunSettings& settings, FileSender& sender, RunHost& host, RunView& view);
  UploadRun(const UploadRun&) = delete;
  UploadRun& operator=(const UploadRun&) = delete;

  const UploadQueue& Queue() const { return queue_; }
  const PostDestination& Destination() const { return to_; }
  RowShows RowOf(int job) const;
  bool Sending() const { return running_ && !done_ && !cancelled_; }
  bool Paused() const { return paused_; }
  bool Done() const { return done_; }
  bool HasFailed() const { return queue_.HasFailed(); }

  // The person's commands. Start posts the message fields first and returns
  // the code that refused them (nothing is sent then), or empty.
  std::u16string Start();
  void Pause();
  void Resume();
  // Stops everything for good, once: paces, sends (in the order started),
  // retry waits. Nothing is sent or reported after.
  void Cancel();
  // Once done: the failed files wait again and go; the number requeued.
  int RequeueFailed();

  // The page's KByteRate, shared by the lanes; any time.
  void SetRateLimit(std::int32_t kbyteRate) { limit_ = kbyteRate; }

  // From the host and the sender.
  void RetryDue(int slot);
  ProgressReport TakeProgress(int slot);
  SendReports& Reports() { return *this; }

private:
  struct Slot {
    int Index = 0;
    int Lane = 0;
    int Job = -1;            // the file it carries, or -1
    bool Started = false;    // the sender carries it now
    std::uint64_t Order = 0;  // when it was started
    int Attempt = 0;         // retries of that file so far
    bool RetryWaiting = false;
    bool RetryDue = false;   // the wait ended while paused
    bool Failed = false;     // the current send reported a failure
    bool Retryable = false;  // every failure of it may be cured by another try
    std::atomic<std::uint64_t> Sent{0}, Size{0};  // left by the sending thread
    ProgressReporter Progress;
    ActiveClock Clock;
    std::uint64_t StartMs = 0;
  };

  void Sent(int slot, std::uint64_t sent, std::uint64_t size) override;
  void Failed(int slot, const CZTTransException& failure) override;
  void Ended(int slot, std::int32_t status) override;

  void FillSlots();
  bool Send(Slot& slot);
  bool ScheduleRetry(Slot& slot);
  void SendAgain(Slot& slot);
  // Ends the slot's job in the books, then shows it; FinishJob does both.
  int EndJob(Slot& slot, bool arrived);
  void ShowJobEnd(int job);
  void FinishJob(Slot& slot, bool arrived) { ShowJobEnd(EndJob(slot, arrived)); }
  void EnterDone();
  bool LaneBusy(int lane) const;
  Slot* SlotAt(int index);
  // The file on display: the earliest on its way that is not waiting.
  const Slot* Shown() const;
  void FollowShown();

  const PostDestination to_;
  const std::vector<CZTFileAttrInfo> columns_;
  const int retryLimit_;
  const int lanes_;
  UploadQueue queue_;
  std::vector<Slot> slots_;
  FileSender& sender_;
  RunHost& host_;
  RunView& view_;
  std::atomic<std::int32_t> limit_{0};
  std::uint64_t started_ = 0;  // sends started so far
  bool running_ = false;
  bool paused_ = false;
  bool deferred_ = false;  // idle slots wait for Resume
  bool done_ = false;
  bool cancelled_ = false;
  ActiveClock runClock_;
  int followedSlot_ = -1;  // the file the file bar shows
  int followedJob_ = -1;
};

}  // namespace zt
