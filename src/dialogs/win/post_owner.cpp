#include "dialogs/win/post_owner.h"

#include <cwchar>

namespace zt {

void AbandonPost(PostOwner& owner) {
  CZTTransMgr* manager = owner.CurrentManager();
  if (!manager) return;
  if (manager->Agent) {
    manager->Agent->KillWorker();
    manager->Agent->CloseHandles();
  }
  CloseOpenFiles(&manager->OpenFiles);
  owner.ReleaseManager();
}

void ThrottleWait::Sleep(std::uint64_t ms) {
  // Long waits are cut into a minute at most; the next block waits again.
  constexpr std::uint64_t kLongest = 60000;
  if (ms > 0 && stop_) WaitForSingleObject(stop_.Get(), static_cast<DWORD>(ms > kLongest ? kLongest : ms));
}

void ThrottleWait::Stop() {
  if (stop_) SetEvent(stop_.Get());
}

}  // namespace zt
