#pragma once
// The Windows agent of a post: runs the post procedure over WinINet, on the
// caller's thread or on a worker thread of its own.
//
// Pause and cancel are cooperative. SuspendWorker holds the worker between two
// writes (the connection stays open); KillWorker cancels the exchange, which
// closes the request so a blocked call returns, waits for the worker to leave
// the post, and drops every callback the post would still make. Nothing is
// ever suspended or terminated from outside, so no heap or WinINet lock can
// be left held.
#include <windows.h>

#include <atomic>
#include <memory>

#include "transfer/trans_mgr.h"
#include "transfer/win/send_files.h"
#include "transfer/win/wininet_exchange.h"

namespace zt::win {

class WinInetAgent final : public CZTHttpAgent {
public:
  WinInetAgent() = default;
  ~WinInetAgent() override;
  WinInetAgent(const WinInetAgent&) = delete;
  WinInetAgent& operator=(const WinInetAgent&) = delete;

  void Post(CZTTransMgr& manager) override;
  void SuspendWorker() override;
  void ResumeWorker() override;
  void KillWorker() override;
  void CloseHandles() override;

  // The longest KillWorker and the destructor wait for the worker to leave.
  static constexpr DWORD StopWaitMs = 15000;

private:
  // What the worker thread uses; shared so that a worker that outlives its
  // agent (one stuck in a callback past StopWaitMs) never uses freed memory.
  struct Shared {
    WinInetExchange Exchange;
    Win32FileOpener Files;
    CZTTransMgr* Manager = nullptr;
    std::atomic<bool> Killed{false};  // once set, the post reports nothing more
  };

  static DWORD WINAPI WorkerMain(void* param);
  void StopWorker();

  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  HANDLE worker_ = nullptr;
};

// Makes every manager without its own factory post through WinINet, and
// draw its boundaries from the RPC runtime.
void InstallWinInetAgent();

}  // namespace zt::win
