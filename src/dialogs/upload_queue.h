#pragma once
// The run of the multi-file dialog: which entries it sends (those with a
// local path, in list order), the state of each, and the byte totals behind
// the overall bar. Every listed entry has one row, in the same order. Each
// job holds its own copy of the entry taken when the dialog opened: what the
// person approved is what goes out, whatever a page does to the list meanwhile.
#include <cstdint>
#include <string>
#include <vector>

#include "model/records.h"

namespace zt {

enum class RowState { Waiting = 0, Sending = 1, Done = 2, Failed = 3 };

class UploadQueue {
public:
  struct Job {
    std::int32_t ListPosition = -1;  // position of the entry in the control's file list when listed
    CZTFileItem Entry;               // the entry as listed, sent as such
    std::u16string Name;
    std::u16string LocalPath;
    std::uint64_t Size = 0;
    RowState State = RowState::Waiting;
  };

  // Lists every entry of files that has a local path.
  explicit UploadQueue(const std::vector<const CZTFileItem*>& files);

  const std::vector<Job>& Jobs() const { return jobs_; }
  std::uint64_t GrandTotal() const { return grandTotal_; }
  std::uint64_t TotalSent() const { return totalSent_; }

  // The next waiting job, now Sending; -1 when none is left.
  int StartNext();
  // The job being sent, or -1.
  int Current() const { return current_; }
  // Ends the current job: Done when it arrived, Failed otherwise. Its bytes
  // count toward the overall bar either way, so the bar reaches its end.
  void FinishCurrent(bool arrived);
  // True once no job is waiting or being sent (at once for an empty list).
  bool AllProcessed() const;
  // Overall percentage: bytes of the finished jobs over the grand total.
  int OverallPercent() const;
  // Whether a processed run left failed jobs.
  bool HasFailed() const;
  // Puts every failed job back to Waiting, its bytes no longer counted as
  // sent, so the next StartNext calls send just those; the number put back.
  int RequeueFailed();
  // Rows whose name equals name ignoring case (the rows a state change shows on).
  std::vector<int> RowsNamed(const std::u16string& name) const;

private:
  std::vector<Job> jobs_;
  std::uint64_t grandTotal_ = 0;
  std::uint64_t totalSent_ = 0;
  int current_ = -1;
  int next_ = 0;
};

}  // namespace zt
