#include "dialogs/win/post_owner.h"

#include <cwchar>

namespace zt {

void AbandonPost(PostOwner& owner) {
  CZTTransMgr* manager = owner.CurrentManager();
  if (!manager) return;
  AbandonPost(*manager);
  owner.ReleaseManager();
}

void AbandonPost(CZTTransMgr& manager) {
  if (manager.Agent) {
    manager.Agent->KillWorker();
    manager.Agent->CloseHandles();
  }
  CloseOpenFiles(&manager.OpenFiles);
}

void ThrottleWait::Hold(const std::function<std::uint64_t()>& delayMs) {
  constexpr std::uint64_t kSlice = 250;
  if (!stop_) return;
  for (std::uint64_t ms = delayMs(); ms > 0; ms = delayMs()) {
    if (WaitForSingleObject(stop_.Get(), static_cast<DWORD>(ms > kSlice ? kSlice : ms)) == WAIT_OBJECT_0) return;
  }
}

void ThrottleWait::Stop() {
  if (stop_) SetEvent(stop_.Get());
}

}  // namespace zt
