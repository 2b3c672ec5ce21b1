#pragma once
// What the status dialogs need of the control that runs them: its lists and
// destination, its current transfer manager, and the fields a post leaves
// behind. The control implements it; the dialogs know nothing else of it.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "model/file_model.h"
#include "platform/unique_handle.h"
#include "transfer/post_destination.h"
#include "transfer/trans_error.h"
#include "transfer/trans_mgr.h"
#include "transfer/win/post_lane.h"

namespace zt {

class PostOwner {
public:
  virtual ~PostOwner() = default;

  // The control's current manager, made new and filled with what all its
  // posts share (owner, UTF8, file system, agent and the control's own
  // callbacks); ResponseStatusCode becomes -1 and ResponseText empty.
  virtual CZTTransMgr& NewManager() = 0;
  virtual CZTTransMgr* CurrentManager() = 0;
  // A manager filled as NewManager fills the current one (the reply is
  // reset too) but owned by the caller; a post of it on a worker runs on
  // lane, which must outlive it.
  virtual std::unique_ptr<CZTTransMgr> MakeManager(win::PostLane& lane) = 0;
  // While set, the control refuses posts and fetches of its own (E01008),
  // as it does while its current manager exists.
  virtual void SetSending(bool sending) = 0;
  // Deletes the current manager (its agent stops and its files close).
  virtual void ReleaseManager() = 0;
  // Host, path, port (80 for 0), user name and password into manager; false,
  // with nothing set, when host or path is empty.
  virtual bool FillDestination(CZTTransMgr& manager) = 0;
  // The destination and credentials as the control holds them now.
  virtual PostDestination Destination() const = 0;

  virtual const FileModel& Model() const = 0;
  virtual std::int32_t KByteRate() const = 0;
  // How many times the multi-file run sends a file again after a failure
  // another try can cure (see retry_policy.h).
  virtual std::int32_t RetryCount() const = 0;
  // How many files the multi-file run sends at once (see LaneCount).
  virtual std::int32_t ParallelCount() const = 0;
  // How files' bytes travel as the control holds it now: by tus, with the
  // tries and the resume records PostFile uses, where the page named an
  // endpoint; an empty Url keeps them inside the request.
  virtual ResumableSettings Resumable() const = 0;

  virtual std::int32_t ResponseStatusCode() const = 0;
  virtual void SetResponse(std::int32_t status, std::u16string text) = 0;
  // The error pair: a code with its own text, a post's failure, or nothing.
  virtual void RecordError(std::u16string_view code) = 0;
  virtual void RecordTransferFailure(const CZTTransException& failure) = 0;
  virtual void ClearError() = 0;
  virtual std::u16string ErrorDescription() const = 0;

  // Posts the message fields alone on this thread to to; the refusal's code,
  // or empty once the post has run (its reply is then in ResponseStatusCode).
  virtual std::u16string_view PostMessages(const PostDestination& to) = 0;
};

// The messages a dialog's post sends it from other threads.
constexpr UINT WM_UPLOAD_COMPLETE = WM_APP + 1;  // posted once the post has ended
constexpr UINT WM_UPLOAD_PROGRESS = WM_APP + 2;  // posted when a report waits (ProgressMailbox)
constexpr UINT WM_UPLOAD_FAILURE = WM_APP + 3;   // sent with a const CZTTransException*

// Gives the owner's current post up for good: the agent's cooperative cancel
// (its worker leaves at its next step and reports nothing more), then its
// handles, files and manager are released. Nothing of the post runs after.
void AbandonPost(PostOwner& owner);
// The same for a manager the caller owns; it stays, with nothing left running.
void AbandonPost(CZTTransMgr& manager);

// The rate limit's pause on the worker, cut short when the post is given up.
class ThrottleWait {
public:
  ThrottleWait() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  // Waits while delayMs() (asked again every quarter second, so a limit the
  // page changes meanwhile applies at once) says the post is ahead.
  void Hold(const std::function<std::uint64_t()>& delayMs);
  void Stop();

private:
  win::UniqueKernelHandle stop_;
};

// Milliseconds of the monotonic clock the dialogs time posts with.
inline std::uint64_t MonotonicMs() { return GetTickCount64(); }

}  // namespace zt
