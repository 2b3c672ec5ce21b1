#pragma once
// Waiting on the user-interface thread for threads that may be calling it.
#include <windows.h>

namespace zt::win {

// Waits until one of handles is signalled or timeoutMs pass. Meanwhile the
// thread keeps answering what other threads need of it to go on: messages
// they send to its windows and, in a single-threaded apartment, the COM
// calls they make into it (COM delivers those as posted messages). Nothing
// else is dispatched, so no input or timer runs inside the wait. Returns
// the index of the signalled handle, or count on time-out.
DWORD WaitAnswering(const HANDLE* handles, DWORD count, DWORD timeoutMs);

}  // namespace zt::win
