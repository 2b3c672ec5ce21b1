#include "transfer/win/wininet_agent.h"

#include "transfer/post_worker.h"
#include "transfer/win/uuid_text.h"

namespace zt::win {

namespace {

// Waits for a thread while still answering messages other threads send to
// this one: a worker inside a callback may be waiting for this thread's window.
bool WaitPumpingSent(HANDLE thread, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    DWORD waited = MsgWaitForMultipleObjects(1, &thread, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE);
    if (waited == WAIT_OBJECT_0) return true;
    if (waited != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

struct CompleteCall {
  CZTTransMgr* Manager;
  std::shared_ptr<const std::atomic<bool>> Killed;
};

DWORD WINAPI CompleteMain(void* param) {
  std::unique_ptr<CompleteCall> call(static_cast<CompleteCall*>(param));
  if (*call->Killed || !call->Manager->OnComplete) return 0;
  // A copy: the owner may delete the manager as soon as the callback has told
  // it the post is over, while the callback itself is still returning.
  CZTTransMgr::CompleteFn complete = call->Manager->OnComplete;
  complete(*call->Manager);
  return 0;
}

}  // namespace

WinInetAgent::~WinInetAgent() { StopWorker(); }

void WinInetAgent::Post(CZTTransMgr& manager) {
  if (!manager.Uuids) manager.Uuids = NewUuidText;
  if (manager.PostMode != 1) {
    PostWorker(manager, shared_->Exchange, shared_->Files);
    return;
  }
  if (worker_) return;
  shared_->Manager = &manager;
  // The callbacks go through wrappers so that a killed post stays silent.
  std::shared_ptr<const std::atomic<bool>> killed(shared_, &shared_->Killed);
  if (manager.OnProgress) {
    manager.OnProgress = [killed, inner = manager.OnProgress](CZTTransMgr& m, std::int32_t done, std::int32_t count,
                                                              std::uint64_t sent, std::uint64_t total) {
      if (!*killed) inner(m, done, count, sent, total);
    };
  }
  if (manager.OnError) {
    manager.OnError = [killed, inner = manager.OnError](CZTTransMgr& m, const CZTTransException& failure) {
      if (!*killed) inner(m, failure);
    };
  }
  auto* param = new std::shared_ptr<Shared>(shared_);
  worker_ = CreateThread(nullptr, 0, &WorkerMain, param, CREATE_SUSPENDED, nullptr);
  if (!worker_) {
    const DWORD error = GetLastError();
    delete param;
    // No thread, no post: the owner still hears of the failure and the end.
    CZTTransException failure;
    failure.Description = UncodedFailureText(SystemErrorText(error), uncoded_text::ThreadNotStarted);
    failure.ErrorNumber = error;
    if (manager.OnError) manager.OnError(manager, failure);
    if (manager.OnComplete) manager.OnComplete(manager);
    return;
  }
  ResumeThread(worker_);
}

DWORD WINAPI WinInetAgent::WorkerMain(void* param) {
  std::shared_ptr<Shared> shared = std::move(*static_cast<std::shared_ptr<Shared>*>(param));
  delete static_cast<std::shared_ptr<Shared>*>(param);
  std::shared_ptr<const std::atomic<bool>> killed(shared, &shared->Killed);
  return PostWorker(*shared->Manager, shared->Exchange, shared->Files, [killed](CZTTransMgr& manager) {
    if (*killed || !manager.OnComplete) return;
    auto* call = new CompleteCall{&manager, killed};
    HANDLE thread = CreateThread(nullptr, 0, &CompleteMain, call, 0, nullptr);
    if (thread) {
      CloseHandle(thread);
    } else {
      // Better late on this thread than never.
      CompleteMain(call);
    }
  });
}

void WinInetAgent::SuspendWorker() {
  if (worker_) shared_->Exchange.Pause();
}

void WinInetAgent::ResumeWorker() {
  if (worker_) shared_->Exchange.Resume();
}

void WinInetAgent::KillWorker() { StopWorker(); }

void WinInetAgent::StopWorker() {
  if (!worker_) return;
  shared_->Killed = true;
  shared_->Exchange.Cancel();
  // A worker that does not leave in time (a callback that blocks for good)
  // keeps running detached on the shared state.
  WaitPumpingSent(worker_, StopWaitMs);
  CloseHandle(worker_);
  worker_ = nullptr;
}

void WinInetAgent::CloseHandles() { shared_->Exchange.CloseHandles(); }

void InstallWinInetAgent() {
  SetDefaultAgentFactory([]() -> std::unique_ptr<CZTHttpAgent> { return std::make_unique<WinInetAgent>(); });
}

}  // namespace zt::win
