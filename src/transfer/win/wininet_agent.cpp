#include "transfer/win/wininet_agent.h"

#include <mutex>
#include <new>
#include <utility>

#include "platform/message_wait.h"
#include "platform/module_thread.h"
#include "transfer/post_session.h"
#include "transfer/win/post_lane.h"
#include "transfer/win/send_files.h"
#include "transfer/win/uuid_text.h"
#include "transfer/win/wininet_exchange.h"

namespace zt::win {

// What the post's threads own together with the agent.
struct WinInetAgent::Shared {
  explicit Shared(CZTTransMgr& manager) : Session(manager) {}

  WinInetExchange Exchange;
  Win32FileOpener Files;
  PostSession Session;

  std::mutex Lock;  // guards the completion thread's handle and id
  UniqueKernelHandle Completion;
  DWORD CompletionId = 0;
};

WinInetAgent::~WinInetAgent() { StopWorker(); }

void WinInetAgent::Post(CZTTransMgr& manager) {
  if (worker_) return;
  StopWorker();  // an earlier post of this agent on the caller's thread
  if (!manager.Uuids) manager.Uuids = NewUuidText;
  std::shared_ptr<Shared> shared = std::make_shared<Shared>(manager);
  shared_ = shared;
  if (manager.PostMode != 1) {
    // A callback may delete the manager and this agent with it: from here
    // on only the local reference is used.
    shared->Session.Run(shared->Exchange, shared->Files);
    return;
  }
  const bool onLane = lane_ != nullptr;
  auto body = [shared, onLane] {
    shared->Session.Run(shared->Exchange, shared->Files, [&shared, onLane] {
      if (shared->Session.Released()) return;
      // A lane's next post waits for this one anyway: its end is told here.
      if (onLane) return shared->Session.Finish();
      // OnComplete gets a thread of its own, so the owner hears of the end
      // while this one leaves.
      std::optional<ModuleThread> completion;
      try {
        completion = CreateModuleThread([shared] { shared->Session.Finish(); });
      } catch (const std::bad_alloc&) {
        // No memory for a thread of its own: told on this one below.
      }
      if (!completion) {
        shared->Session.Finish();  // better late on this thread than never
        return;
      }
      HANDLE thread = completion->Handle.Get();
      {
        std::lock_guard<std::mutex> guard(shared->Lock);
        shared->Completion = std::move(completion->Handle);
        shared->CompletionId = completion->Id;
      }
      ResumeThread(thread);
    });
  };
  // The post's end may come (and a callback stop this agent) before Post
  // returns: worker_ is set under handoff_, which a stop takes first, and a
  // thread of the post's own starts only once it is set.
  std::unique_lock<std::mutex> handoff(handoff_);
  std::optional<ModuleThread> worker;
  if (lane_) {
    if (std::optional<PostLane::Ticket> job = lane_->Run(std::move(body))) {
      worker = ModuleThread{std::move(job->Done), job->ThreadId};
    }
  } else {
    worker = CreateModuleThread(std::move(body));
  }
  if (!worker) {
    const DWORD error = GetLastError();
    shared_.reset();
    handoff.unlock();
    // No thread, no post: the owner still hears of the failure and the end.
    CZTTransException failure;
    failure.Description = UncodedFailureText(SystemErrorText(error), uncoded_text::ThreadNotStarted);
    failure.ErrorNumber = error;
    if (manager.OnError) manager.OnError(manager, failure);
    if (manager.OnComplete) manager.OnComplete(manager);
    return;
  }
  worker_ = std::move(worker->Handle);
  workerId_ = worker->Id;
  if (!lane_) ResumeThread(worker_.Get());
}

void WinInetAgent::SuspendWorker() {
  if (worker_) shared_->Exchange.Pause();
}

void WinInetAgent::ResumeWorker() {
  if (worker_) shared_->Exchange.Resume();
}

void WinInetAgent::KillWorker() {
  if (worker_) StopWorker();
}

void WinInetAgent::WithdrawUploads() {
  if (shared_) shared_->Exchange.Withdraw();
}

void WinInetAgent::CloseHandles() {
  if (shared_) shared_->Exchange.CloseHandles();
}

void WinInetAgent::StopWorker() {
  std::unique_lock<std::mutex> handoff(handoff_);
  std::shared_ptr<Shared> shared = std::move(shared_);
  UniqueKernelHandle worker = std::move(worker_);
  const DWORD workerId = std::exchange(workerId_, 0);
  handoff.unlock();
  if (!shared) return;
  shared->Session.Release();
  shared->Exchange.Cancel();

  const DWORD self = GetCurrentThreadId();
  const ULONGLONG start = GetTickCount64();
  bool workerLeft = !worker || workerId == self;
  bool completionLeft = false;
  bool interrupted = false;
  for (;;) {
    HANDLE completion = nullptr;
    {
      std::lock_guard<std::mutex> guard(shared->Lock);
      if (shared->CompletionId == self) completionLeft = true;
      completion = shared->Completion.Get();
    }
    HANDLE threads[2];
    DWORD count = 0;
    if (!workerLeft) threads[count++] = worker.Get();
    if (!completionLeft && completion) threads[count++] = completion;
    const bool inCallback = shared->Session.HeldElsewhere();
    if (count == 0 && !inCallback) return;
    const ULONGLONG waited = GetTickCount64() - start;
    // A callback in progress is always waited for: it holds the manager.
    if (waited >= StopWaitMs && !inCallback) return;
    if (!interrupted && waited >= InterruptAfterMs) {
      shared->Exchange.Interrupt();
      interrupted = true;
    }
    DWORD index = WaitAnswering(threads, count, 50);
    if (index < count) {
      if (threads[index] == worker.Get()) {
        workerLeft = true;
      } else {
        completionLeft = true;
      }
    }
  }
}

void InstallWinInetAgent() {
  SetDefaultAgentFactory([]() -> std::unique_ptr<CZTHttpAgent> { return std::make_unique<WinInetAgent>(); });
}

}  // namespace zt::win
