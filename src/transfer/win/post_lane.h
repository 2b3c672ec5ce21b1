#pragma once
// A worker thread that runs posts one after another, for an owner that sends
// many small ones: a thread made and ended for every post costs as much as a
// small file's whole request under Wine. An agent given a lane runs its post
// on the lane's thread instead of a thread of its own (wininet_agent.h).
//
// Jobs run in the order they were handed over, each to its end before the
// next starts. The lane's thread holds the module while it runs and shares
// its queue with the lane, so a job that outlives the lane (a platform call
// nothing could end) finishes on state it owns.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

#include "platform/unique_handle.h"

namespace zt::win {

class PostLane {
public:
  PostLane() = default;
  // Asks the thread to leave once the jobs handed over have run, and waits,
  // answering sent messages and COM calls, up to StopWaitMs for it.
  ~PostLane();
  PostLane(const PostLane&) = delete;
  PostLane& operator=(const PostLane&) = delete;

  static constexpr DWORD StopWaitMs = 15000;

  // A job handed over: Done is signalled once it has run; ThreadId is the
  // thread it runs on.
  struct Ticket {
    UniqueKernelHandle Done;
    DWORD ThreadId = 0;
  };
  // Queues job, starting the thread on the first. Empty when no thread or
  // event could be made (GetLastError tells why); the job then never runs.
  std::optional<Ticket> Run(std::function<void()> job);

private:
  struct Queue;
  std::shared_ptr<Queue> queue_;
  UniqueKernelHandle thread_;
  DWORD threadId_ = 0;
};

}  // namespace zt::win
