#pragma once
// The in-process server's global state: its instance handle and the count of
// live objects and server locks that DllCanUnloadNow answers from.
#include <windows.h>

#include <string>

namespace zt::com {

void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();
// The full path of the module file, as registration writes it.
std::wstring ModulePath();

void LockModule();
void UnlockModule();
long ModuleLockCount();

}  // namespace zt::com
