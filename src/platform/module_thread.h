#pragma once
// Threads of the module that may outlive the object that started them. Such
// a thread holds the module for its whole life: a lock that keeps
// DllCanUnloadNow answering no, and a loader reference that it gives back
// only as it exits (FreeLibraryAndExitThread), so the module's code is never
// unmapped under its last instructions.
#include <windows.h>

#include <functional>
#include <optional>

#include "platform/unique_handle.h"

namespace zt::win {

struct ModuleThread {
  UniqueKernelHandle Handle;
  DWORD Id = 0;
};

// Creates a suspended thread that runs body and then ends; ResumeThread
// starts it. Empty when no thread could be made (GetLastError tells why).
std::optional<ModuleThread> CreateModuleThread(std::function<void()> body);

}  // namespace zt::win
