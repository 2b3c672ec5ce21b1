#include "platform/message_wait.h"

#include <objbase.h>

namespace zt::win {

namespace {

bool InSingleThreadedApartment() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return false;
  return type == APTTYPE_STA || type == APTTYPE_MAINSTA;
}

}  // namespace

DWORD WaitAnswering(const HANDLE* handles, DWORD count, DWORD timeoutMs) {
  if (count > 0 && InSingleThreadedApartment()) {
    // COM's own modal wait: sent messages and the apartment's calls only.
    DWORD index = 0;
    HRESULT hr = CoWaitForMultipleHandles(0, timeoutMs, count, const_cast<HANDLE*>(handles), &index);
    return hr == S_OK ? index : count;
  }
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) return count;
    DWORD waited =
        MsgWaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE);
    if (waited < WAIT_OBJECT_0 + count) return waited - WAIT_OBJECT_0;
    if (waited != WAIT_OBJECT_0 + count) return count;
    // Peeking delivers the sent messages that woke us.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace zt::win
