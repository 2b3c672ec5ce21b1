#include "dialogs/upload_queue.h"

#include "dialogs/progress_meter.h"
#include "text/unicode.h"

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
}

int UploadQueue::StartNext() {
  current_ = -1;
  while (next_ < static_cast<int>(jobs_.size()) && jobs_[static_cast<std::size_t>(next_)].State != RowState::Waiting) {
    ++next_;
  }
  if (next_ >= static_cast<int>(jobs_.size())) return -1;
  current_ = next_++;
  jobs_[static_cast<std::size_t>(current_)].State = RowState::Sending;
  return current_;
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
  }
  if (count > 0) next_ = 0;
  return count;
}

void UploadQueue::FinishCurrent(bool arrived) {
  if (current_ < 0) return;
  Job& job = jobs_[static_cast<std::size_t>(current_)];
  job.State = arrived ? RowState::Done : RowState::Failed;
  totalSent_ += job.Size;
  current_ = -1;
}

bool UploadQueue::AllProcessed() const { return current_ < 0 && next_ >= static_cast<int>(jobs_.size()); }

int UploadQueue::OverallPercent() const {
  if (grandTotal_ == 0) return AllProcessed() && !jobs_.empty() ? 100 : 0;
  return PercentOf(totalSent_, grandTotal_);
}

std::vector<int> UploadQueue::RowsNamed(const std::u16string& name) const {
  std::vector<int> rows;
  for (std::size_t i = 0; i < jobs_.size(); ++i) {
    if (EqualsNoCase(jobs_[i].Name, name)) rows.push_back(static_cast<int>(i));
  }
  return rows;
}

}  // namespace zt
