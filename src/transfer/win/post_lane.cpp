#include "transfer/win/post_lane.h"

#include <deque>
#include <mutex>
#include <utility>

#include "platform/message_wait.h"
#include "platform/module_thread.h"

namespace zt::win {

struct PostLane::Queue {
  struct Job {
    std::function<void()> Body;
    UniqueKernelHandle Done;  // the lane's own handle of the ticket's event
  };
  std::mutex Lock;
  std::deque<Job> Jobs;
  bool Leaving = false;
  UniqueKernelHandle Wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};

  void Serve() {
    for (;;) {
      Job job;
      {
        std::lock_guard<std::mutex> guard(Lock);
        if (!Jobs.empty()) {
          job = std::move(Jobs.front());
          Jobs.pop_front();
        } else if (Leaving) {
          return;
        }
      }
      if (!job.Body) {
        WaitForSingleObject(Wake.Get(), INFINITE);
        continue;
      }
      job.Body();
      job.Body = nullptr;  // what the job held goes before its end is told
      SetEvent(job.Done.Get());
    }
  }
};

PostLane::~PostLane() {
  if (!queue_) return;
  {
    std::lock_guard<std::mutex> guard(queue_->Lock);
    queue_->Leaving = true;
  }
  SetEvent(queue_->Wake.Get());
  if (!thread_ || threadId_ == GetCurrentThreadId()) return;
  HANDLE thread = thread_.Get();
  const ULONGLONG start = GetTickCount64();
  for (ULONGLONG waited = 0; waited < StopWaitMs; waited = GetTickCount64() - start) {
    if (WaitAnswering(&thread, 1, static_cast<DWORD>(StopWaitMs - waited)) == 0) return;
  }
}

std::optional<PostLane::Ticket> PostLane::Run(std::function<void()> job) {
  if (!queue_) {
    auto queue = std::make_shared<Queue>();
    if (!queue->Wake) return std::nullopt;
    std::optional<ModuleThread> thread = CreateModuleThread([queue] { queue->Serve(); });
    if (!thread) return std::nullopt;
    queue_ = std::move(queue);
    thread_ = std::move(thread->Handle);
    threadId_ = thread->Id;
    ResumeThread(thread_.Get());
  }
  Ticket ticket;
  ticket.Done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE own = nullptr;
  if (!ticket.Done || !DuplicateHandle(GetCurrentProcess(), ticket.Done.Get(), GetCurrentProcess(), &own, 0, FALSE,
                                       DUPLICATE_SAME_ACCESS))
    return std::nullopt;
  ticket.ThreadId = threadId_;
  {
    std::lock_guard<std::mutex> guard(queue_->Lock);
    queue_->Jobs.push_back(Queue::Job{std::move(job), UniqueKernelHandle(own)});
  }
  SetEvent(queue_->Wake.Get());
  return ticket;
}

}  // namespace zt::win
