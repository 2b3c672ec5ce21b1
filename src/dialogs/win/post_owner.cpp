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

DWORD ReplyWaitLimitMs() {
  constexpr DWORD kDefaultMs = 120 * 1000;
  wchar_t text[32];
  DWORD length = GetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", text, 32);
  if (length == 0 || length >= 32) return kDefaultMs;
  wchar_t* end = nullptr;
  unsigned long seconds = std::wcstoul(text, &end, 10);
  if (end == text || *end != L'\0' || seconds == 0 || seconds > 24ul * 3600) return kDefaultMs;
  return static_cast<DWORD>(seconds * 1000);
}

}  // namespace zt
