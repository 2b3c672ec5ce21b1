#pragma once
// The Windows agent of a post: runs the post procedure over WinINet, on the
// caller's thread, on a worker thread of its own or on a lane's (post_lane.h).
//
// Ownership. A post's threads (its worker or its lane's thread, and for a
// worker of its own the short-lived thread that delivers OnComplete) share
// with the agent what they use: the exchange, the files and a session that
// copied the manager's inputs and callbacks (post_session.h). They reach the
// manager only through its callbacks, behind the session's gate. Stopping
// (KillWorker, the destructor, a new Post) shuts that gate, cancels the
// exchange and waits, answering sent messages and COM calls, until no
// callback runs on another thread and the post's threads have left (on a
// lane: its job has ended). Once it returns no thread of the post touches the
// manager again: deleting the manager afterwards is always safe.
//
// A callback may itself kill the post, post again or delete the manager:
// the stop then does not wait for the thread it runs on, which finishes on
// the state it owns. A thread that does not leave within StopWaitMs while
// outside any callback (a platform call that a cancel could not end) is left
// to finish the same way. Threads hold the module while they run.
//
// Pause and cancel are cooperative. SuspendWorker holds the worker between two
// writes (the connection stays open), or a post not yet begun before it
// connects; a cancel makes every later exchange
// call fail and closes the handles, under a blocked call too once it has had
// InterruptAfterMs to return. Nothing is ever suspended or terminated from
// outside, so no heap or WinINet lock can be left held.
#include <windows.h>

#include <memory>
#include <mutex>

#include "platform/unique_handle.h"
#include "transfer/trans_mgr.h"

namespace zt::win {

class PostLane;

class WinInetAgent final : public CZTHttpAgent {
public:
  // With a lane, a post on a worker runs on the lane's thread, after the
  // lane's earlier jobs, and delivers OnComplete there; the lane must
  // outlive the agent.
  explicit WinInetAgent(PostLane* lane = nullptr) : lane_(lane) {}
  ~WinInetAgent() override;
  WinInetAgent(const WinInetAgent&) = delete;
  WinInetAgent& operator=(const WinInetAgent&) = delete;

  void Post(CZTTransMgr& manager) override;
  void SuspendWorker() override;
  void ResumeWorker() override;
  void KillWorker() override;
  void CloseHandles() override;
  void WithdrawUploads() override;

  // The longest a stop waits for a thread that is outside every callback.
  static constexpr DWORD StopWaitMs = 15000;
  // How long a stop lets a blocked exchange call return by itself before it
  // closes the handles under it.
  static constexpr DWORD InterruptAfterMs = 100;

private:
  struct Shared;

  void StopWorker();

  PostLane* lane_ = nullptr;
  std::shared_ptr<Shared> shared_;  // the current post's, if any
  // For a post on a worker, its thread or, on a lane, its job's end.
  UniqueKernelHandle worker_;
  DWORD workerId_ = 0;
  std::mutex handoff_;  // see Post
};

// Makes every manager without its own factory post through WinINet, and
// draw its boundaries from the RPC runtime.
void InstallWinInetAgent();

}  // namespace zt::win
