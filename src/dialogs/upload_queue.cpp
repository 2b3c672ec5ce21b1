#include "dialogs/upload_queue.h"

#include "dialogs/progress_meter.h"
#include "text/unicode.h"

#include <unordered_map>

namespace zt {

UploadQueue::UploadQueue(const std::vector<const CZTFileItem*>& files) {
  for (std::size_t i = 0; i < files.size(); ++i) {
    const CZTFileItem* entry = files[i];
    if (!entry || entry->LocalPath.empty()) continue;
    Job job;
    job.ListPosition = static_cast<std::int32_t>(i);
    job.Entry = *entry;
    job.Name = entry->Name;
    job.LocalPath = entry->LocalPath;
    job.Size = entry->Size < 0 ? 0 : static_cast<std::uint64_t>(entry->Size);
    grandTotal_ += job.Size;
    jobs_.push_back(std::move(job));
  }
  // Grouped once: a state change would otherwise compare every name in a
  // list of thousands.
  std::unordered_map<std::u16string, std::size_t> byName;
  for (std::size_t i = 0; i < jobs_.size(); ++i) {
    std::u16string key = jobs_[i].Name;
    for (char16_t& c : key) c = UpperSimple(c);
    const auto [named, added] = byName.try_emplace(key, names_.size());
    if (added) names_.emplace_back();
    names_[named->second].push_back(static_cast<int>(i));
    nameOf_.push_back(named->second);
  }
  unfinished_ = static_cast<int>(jobs_.size());
}

int UploadQueue::StartNext() {
  while (next_ < static_cast<int>(jobs_.size()) && jobs_[static_cast<std::size_t>(next_)].State != RowState::Waiting) {
    ++next_;
  }
  if (next_ >= static_cast<int>(jobs_.size())) return -1;
  jobs_[static_cast<std::size_t>(next_)].State = RowState::Sending;
  return next_++;
}

void UploadQueue::PutBack(int job) {
  if (job < 0 || job >= static_cast<int>(jobs_.size())) return;
  Job& back = jobs_[static_cast<std::size_t>(job)];
  if (back.State != RowState::Sending) return;
  back.State = RowState::Waiting;
  if (job < next_) next_ = job;
}

bool UploadQueue::HasFailed() const {
  for (const Job& job : jobs_) {
    if (job.State == RowState::Failed) return true;
  }
  return false;
}

int UploadQueue::RequeueFailed() {
  int count = 0;
  for (Job& job : jobs_) {
    if (job.State != RowState::Failed) continue;
    job.State = RowState::Waiting;
    totalSent_ -= job.Size;
    ++count;
    ++unfinished_;
  }
  if (count > 0) next_ = 0;
  return count;
}

void UploadQueue::Finish(int job, bool arrived) {
  if (job < 0 || job >= static_cast<int>(jobs_.size())) return;
  Job& finished = jobs_[static_cast<std::size_t>(job)];
  if (finished.State != RowState::Sending) return;
  finished.State = arrived ? RowState::Done : RowState::Failed;
  totalSent_ += finished.Size;
  --unfinished_;
}

bool UploadQueue::AllProcessed() const { return unfinished_ == 0; }

int UploadQueue::OverallPercent() const {
  if (grandTotal_ == 0) return AllProcessed() && !jobs_.empty() ? 100 : 0;
  return PercentOf(totalSent_, grandTotal_);
}

const std::vector<int>& UploadQueue::RowsLike(int job) const {
  static const std::vector<int> none;
  return job >= 0 && job < static_cast<int>(nameOf_.size()) ? names_[nameOf_[static_cast<std::size_t>(job)]] : none;
}

}  // namespace zt
