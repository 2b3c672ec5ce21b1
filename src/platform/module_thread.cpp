#include "platform/module_thread.h"

#include <memory>

#include "platform/module_state.h"

namespace zt::win {

namespace {

struct ThreadStart {
  std::function<void()> Body;
  HMODULE Module = nullptr;
};

DWORD WINAPI ModuleThreadMain(void* param) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(param));
    module = start->Module;
    // Nothing may leave a thread's body: an exception there ends the whole
    // process, the page's browser with it. A body reports its own failures;
    // what escapes it anyway is dropped here.
    try {
      start->Body();
    } catch (...) {
    }
    // Whatever the body held (the last reference to its state, say) is
    // destroyed here, while the module is still held.
  }
  com::UnlockModule();
  FreeLibraryAndExitThread(module, 0);
}

}  // namespace

std::optional<ModuleThread> CreateModuleThread(std::function<void()> body) {
  auto start = std::make_unique<ThreadStart>();
  start->Body = std::move(body);
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ModuleThreadMain),
                          &start->Module))
    return std::nullopt;
  com::LockModule();
  DWORD id = 0;
  HANDLE handle = CreateThread(nullptr, 0, &ModuleThreadMain, start.get(), CREATE_SUSPENDED, &id);
  if (!handle) {
    DWORD error = GetLastError();
    com::UnlockModule();
    FreeLibrary(start->Module);
    SetLastError(error);
    return std::nullopt;
  }
  start.release();  // the thread's now
  ModuleThread thread;
  thread.Handle.Reset(handle);
  thread.Id = id;
  return thread;
}

}  // namespace zt::win
