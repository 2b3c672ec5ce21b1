#include "dialogs/upload_run.h"

#include <algorithm>
#include <utility>

#include "dialogs/retry_policy.h"

namespace zt {

namespace {

constexpr char16_t kFieldsRefusedCode[] = u"E04007";

bool Arrived(std::int32_t status) { return status >= 200 && status < 300; }

int SlotCount(int lanes, int retryLimit) {
  // A file queued behind each lane's current one, unless failed files are
  // tried again: a retry then keeps its place, before the next file.
  return (retryLimit > 0 ? 1 : 2) * lanes;
}

}  // namespace

UploadRun::UploadRun(const RunSettings& settings, FileSender& sender, RunHost& host, RunView& view)
    : to_(settings.To),
      columns_(settings.Columns),
      retryLimit_(RetryLimit(settings.RetryCount)),
      lanes_(LaneCount(settings.ParallelCount)),
      queue_(settings.Files),
      slots_(static_cast<std::size_t>(SlotCount(lanes_, retryLimit_))),
      sender_(sender),
      host_(host),
      view_(view) {
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    slots_[i].Index = static_cast<int>(i);
    slots_[i].Lane = static_cast<int>(i) % lanes_;
  }
}

RowShows UploadRun::RowOf(int job) const {
  for (const Slot& slot : slots_) {
    if (slot.Job == job && slot.RetryWaiting) return RowShows::Resending;
  }
  if (job < 0 || job >= static_cast<int>(queue_.Jobs().size())) return RowShows::Waiting;
  return static_cast<RowShows>(queue_.Jobs()[static_cast<std::size_t>(job)].State);
}

std::u16string UploadRun::Start() {
  if (running_ || cancelled_) return {};
  if (host_.HasFields()) {
    // The message fields go first and must be taken. A post refused before
    // sending keeps its own reason; a server that did not take them is E04007.
    const RunHost::FieldsReply reply = host_.PostFields(to_);
    if (!reply.Refusal.empty()) return reply.Refusal;
    if (reply.Status != 200) return kFieldsRefusedCode;
  }
  running_ = true;
  host_.SetSending(true);
  runClock_.Start(host_.NowMs());
  view_.Running();
  FillSlots();
  return {};
}

void UploadRun::FillSlots() {
  if (paused_) {
    deferred_ = true;
    return;
  }
  for (Slot& slot : slots_) {
    while (slot.Job < 0) {
      const int job = queue_.StartNext();
      if (job < 0) break;
      slot.Job = job;
      if (!Send(slot) && LaneBusy(slot.Lane)) {
        // It cannot be sent: it fails in its turn, once its lane is free.
        queue_.PutBack(job);
        slot.Job = -1;
        break;
      }
      view_.RowChanged(job);
      if (slot.Started) continue;
      FinishJob(slot, false);
      if (!Shown()) view_.FileBar(0);  // nothing of it was sent
    }
  }
  FollowShown();
  if (queue_.AllProcessed()) EnterDone();
}

bool UploadRun::Send(Slot& slot) {
  const UploadQueue::Job& job = queue_.Jobs()[static_cast<std::size_t>(slot.Job)];
  const std::uint64_t now = host_.NowMs();
  slot.Clock.Start(now);
  slot.StartMs = now;
  slot.Progress.Restart(now);
  slot.Sent = 0;
  slot.Size = 0;
  slot.Failed = false;
  slot.RetryWaiting = false;
  slot.Order = ++started_;
  slot.Started = sender_.Send(FileRequest{slot.Index, slot.Lane, job.Entry, columns_, to_}, *this);
  return slot.Started;
}

void UploadRun::Sent(int index, std::uint64_t sent, std::uint64_t size) {
  Slot& slot = slots_[static_cast<std::size_t>(index)];
  slot.Sent = sent;
  slot.Size = size;
  if (slot.Progress.Report(host_.NowMs(), sent, size)) host_.NoteProgress(index);
  // The page's limit holds for the run: lanes at once share it.
  host_.Pace([&] {
    const std::int32_t limit = limit_;
    const std::int32_t share = limit > 0 ? std::max<std::int32_t>(1, limit / lanes_) : 0;
    return ThrottleDelayMs(sent, slot.Clock.Ms(host_.NowMs()), share);
  });
}

void UploadRun::Failed(int index, const CZTTransException& failure) {
  Slot* slot = SlotAt(index);
  if (!slot || cancelled_) return;
  slot->Retryable = (!slot->Failed || slot->Retryable) && RetryableFailure(failure);
  slot->Failed = true;
}

void UploadRun::Ended(int index, std::int32_t status) {
  Slot* slot = SlotAt(index);
  if (!slot || !slot->Started || slot->Job < 0 || cancelled_) return;
  slot->Started = false;
  const bool arrived = !slot->Failed && Arrived(status);
  const bool curable = slot->Failed ? slot->Retryable : RetryableStatus(status);
  if (!arrived && curable && ScheduleRetry(*slot)) return;
  // The next file goes first; the display follows while it is on its way.
  const int job = EndJob(*slot, arrived);
  FillSlots();
  ShowJobEnd(job);
  FollowShown();
}

bool UploadRun::ScheduleRetry(Slot& slot) {
  if (slot.Attempt >= retryLimit_) return false;
  ++slot.Attempt;
  slot.RetryWaiting = true;
  view_.RowChanged(slot.Job);
  // Pause and Cancel answer meanwhile: the wait is a timer, not a sleep.
  host_.StartTimer(slot.Index, RetryDelayMs(slot.Attempt));
  return true;
}

void UploadRun::RetryDue(int index) {
  Slot* slot = SlotAt(index);
  if (!slot || !slot->RetryWaiting || cancelled_) return;
  if (paused_) {
    slot->RetryDue = true;
    return;
  }
  SendAgain(*slot);
}

void UploadRun::SendAgain(Slot& slot) {
  if (slot.Job < 0) return;
  if (Send(slot)) return;
  // The file is no longer there to send: a local failure, not retried.
  FinishJob(slot, false);
  FillSlots();
}

int UploadRun::EndJob(Slot& slot, bool arrived) {
  const int job = std::exchange(slot.Job, -1);
  slot.Attempt = 0;
  slot.RetryWaiting = false;
  queue_.Finish(job, arrived);
  return job;
}

void UploadRun::ShowJobEnd(int job) {
  if (job >= 0) view_.RowChanged(job);
  view_.OverallChanged();
}

void UploadRun::EnterDone() {
  done_ = true;
  host_.SetSending(false);
  view_.Ended();
}

int UploadRun::RequeueFailed() {
  if (!done_ || cancelled_) return 0;
  std::vector<int> failed;
  const auto& jobs = queue_.Jobs();
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (jobs[i].State == RowState::Failed) failed.push_back(static_cast<int>(i));
  }
  const int count = queue_.RequeueFailed();
  if (count == 0) return 0;
  for (int job : failed) view_.RowChanged(job);
  view_.OverallChanged();
  done_ = false;
  host_.SetSending(true);
  runClock_.Start(host_.NowMs());
  view_.Running();
  FillSlots();
  return count;
}

void UploadRun::Pause() {
  if (!Sending() || paused_) return;
  const std::uint64_t now = host_.NowMs();
  for (Slot& slot : slots_) {
    if (slot.Started) sender_.Hold(slot.Index);
    slot.Clock.Pause(now);
  }
  runClock_.Pause(now);
  paused_ = true;
}

void UploadRun::Resume() {
  if (!paused_ || cancelled_) return;
  const std::uint64_t now = host_.NowMs();
  runClock_.Resume(now);
  paused_ = false;
  for (Slot& slot : slots_) {
    slot.Clock.Resume(now);
    if (slot.Started) sender_.Release(slot.Index);
  }
  for (Slot& slot : slots_) {
    if (std::exchange(slot.RetryDue, false)) SendAgain(slot);
  }
  if (std::exchange(deferred_, false)) FillSlots();
}

void UploadRun::Cancel() {
  if (cancelled_) return;
  cancelled_ = true;
  // Every pace first: a sender held in one keeps its send from stopping.
  host_.StopPacing();
  std::vector<Slot*> started;
  for (Slot& slot : slots_) {
    if (slot.Started) started.push_back(&slot);
    if (slot.RetryWaiting) host_.StopTimer(slot.Index);
  }
  std::sort(started.begin(), started.end(), [](const Slot* a, const Slot* b) { return a->Order < b->Order; });
  for (Slot* slot : started) {
    slot->Started = false;
    sender_.Abandon(slot->Index);
  }
  host_.SetSending(false);
}

ProgressReport UploadRun::TakeProgress(int index) {
  ProgressReport report;
  Slot* slot = SlotAt(index);
  if (!slot) return report;
  report.Refresh = slot->Progress.Take();
  if (slot->Job < 0 || Shown() != slot) return report;
  report.Shown = true;
  report.Job = slot->Job;
  report.Sent = slot->Sent;
  report.Size = slot->Size;
  report.GrandTotal = queue_.GrandTotal();
  report.Overall = queue_.TotalSent();
  for (const Slot& other : slots_) {
    if (other.Job >= 0) report.Overall += other.Sent;
  }
  const std::uint64_t now = host_.NowMs();
  report.Rate = RateOf(report.Sent, slot->Clock.Ms(now));
  report.ElapsedSeconds = (now - slot->StartMs) / 1000;
  // The run's pace over the run's bytes: a file's clock would not fit bytes
  // counted since the first file.
  report.EstimateSeconds = EstimateSeconds(report.GrandTotal, report.Overall, runClock_.Ms(now));
  return report;
}

bool UploadRun::LaneBusy(int lane) const {
  for (const Slot& slot : slots_) {
    if (slot.Lane == lane && slot.Started) return true;
  }
  return false;
}

UploadRun::Slot* UploadRun::SlotAt(int index) {
  return index >= 0 && index < static_cast<int>(slots_.size()) ? &slots_[static_cast<std::size_t>(index)] : nullptr;
}

const UploadRun::Slot* UploadRun::Shown() const {
  const Slot* shown = nullptr;
  for (const Slot& slot : slots_) {
    if (slot.Job >= 0 && !slot.RetryWaiting && (!shown || slot.Job < shown->Job)) shown = &slot;
  }
  return shown;
}

void UploadRun::FollowShown() {
  const Slot* shown = Shown();
  if (!shown || (shown->Index == followedSlot_ && shown->Job == followedJob_)) return;
  followedSlot_ = shown->Index;
  followedJob_ = shown->Job;
  view_.FileBar(PercentOf(shown->Sent, shown->Size));
}

}  // namespace zt
