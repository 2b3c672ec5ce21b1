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

// The most files a run sends at once.
constexpr int kMaxParallel = 8;
// How many files go at once for the page's ParallelCount: 1 for 1 or less
// (one after the other, in list order), at most kMaxParallel.
constexpr int LaneCount(std::int32_t asked) { return asked < 1 ? 1 : asked > kMaxParallel ? kMaxParallel : asked; }

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

  // The next waiting job, now Sending; -1 when none is left. Several may
  // be sending at once.
  int StartNext();
  // A job StartNext gave that was not sent after all waits again, first in line.
  void PutBack(int job);
  // Ends a job being sent: Done when it arrived, Failed otherwise. Its bytes
  // count toward the overall bar either way, so the bar reaches its end.
  void Finish(int job, bool arrived);
  // True once no job is waiting or being sent (at once for an empty list).
  bool AllProcessed() const;
  // Overall percentage: bytes of the finished jobs over the grand total.
  int OverallPercent() const;
  // Whether a processed run left failed jobs.
  bool HasFailed() const;
  // Puts every failed job back to Waiting, its bytes no longer counted as
  // sent, so the next StartNext calls send just those; the number put back.
  int RequeueFailed();
  // Rows whose name equals job's ignoring case, job's own included (the rows
  // a state change of job shows on).
  const std::vector<int>& RowsLike(int job) const;

private:
  std::vector<Job> jobs_;
  std::vector<std::vector<int>> names_;  // the jobs of each name, ignoring case
  std::vector<std::size_t> nameOf_;     // by job: its entry in names_
  int unfinished_ = 0;                  // jobs waiting or being sent
  std::uint64_t grandTotal_ = 0;
  std::uint64_t totalSent_ = 0;
  int next_ = 0;  // no job before it is waiting
};

}  // namespace zt
