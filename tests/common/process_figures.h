#pragma once
// What a process holds, for tests that look for leaks: kernel handles, GDI
// and USER objects, threads and private bytes. Wine answers
// GetProcessHandleCount, GetGuiResources and PrivateUsage with 0, so each
// figure falls back to counting for itself where the system's count is 0:
// handles from the system's handle list (else by asking every handle value
// whether it is open), GDI objects from the process's GDI handle table, USER
// objects as the process's windows, and private bytes by walking the address
// space.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zt::test {

struct ProcessFigures {
  long Handles = 0, Gdi = 0, User = 0, Threads = 0;
  long long PrivateKib = 0;
};

namespace figures_detail {

// One entry of the system's handle list (SystemHandleInformation).
struct SystemHandleEntry {
  ULONG OwnerPid;
  BYTE ObjectType;
  BYTE HandleFlags;
  USHORT HandleValue;
  PVOID ObjectPointer;
  ULONG AccessMask;
};
struct SystemHandleList {
  ULONG Count;
  SystemHandleEntry Handles[1];
};

// The process's entries in the system's handle list: one call, where asking
// every handle value costs a round trip to Wine's server each (seconds).
inline long ListedHandles() {
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  constexpr ULONG SystemHandleInformation = 16;
  constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<std::uint8_t> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(SystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == InfoLengthMismatch) {
      buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return -1;
    break;
  }
  const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
  const SystemHandleEntry* entries = list->Handles;
  const ULONG count = list->Count;
  long own = 0;
  for (ULONG i = 0; i < count; ++i) own += entries[i].OwnerPid == GetCurrentProcessId() ? 1 : 0;
  return own;
}

inline long OpenHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return static_cast<long>(count);
  const long listed = ListedHandles();
  if (listed > 0) return listed;
  long open = 0;
  DWORD flags = 0;
  for (std::uintptr_t value = 4; value < 0x40000; value += 4) {
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
  }
  return open;
}

// One entry of the GDI handle table the process environment block points at
// (the layout Wine shares with its 64-bit table; 24 bytes either way).
struct GdiEntry {
  std::uint64_t Object;
  std::uint32_t Owner;
  std::uint16_t Unique;
  std::uint8_t Type;
  std::uint8_t Flags;
  std::uint64_t UserPointer;
};

inline long GdiObjects() {
  if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<long>(count);
#ifdef _WIN64
  const auto* peb = reinterpret_cast<const std::uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const auto* table = *reinterpret_cast<const GdiEntry* const*>(peb + 0xF8);
#else
  const auto* peb = reinterpret_cast<const std::uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const auto* table = *reinterpret_cast<const GdiEntry* const*>(peb + 0x94);
#endif
  if (!table) return 0;
  long used = 0;
  for (int i = 0; i < 0x10000; ++i) used += table[i].Type != 0 ? 1 : 0;
  return used;
}

inline BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) {
    ++*reinterpret_cast<long*>(count);
    EnumChildWindows(window, CountWindow, count);
  }
  return TRUE;
}

inline long UserObjects() {
  if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return static_cast<long>(count);
  long windows = 0;
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

inline long Threads() {
  long count = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snap);
  return count;
}

inline long long PrivateKib() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof(memory);
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)) &&
      memory.PrivateUsage > 0)
    return static_cast<long long>(memory.PrivateUsage / 1024);
  long long bytes = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += static_cast<long long>(region.RegionSize);
    if (region.RegionSize == 0) break;
  }
  return bytes / 1024;
}

}  // namespace figures_detail

// Single figures, for checks that need only one of them often: each counts
// just its own.
inline long ThreadCount() { return figures_detail::Threads(); }
inline long HandleCount() { return figures_detail::OpenHandles(); }

inline ProcessFigures MeasureProcess() {
  ProcessFigures f;
  f.Handles = figures_detail::OpenHandles();
  f.Gdi = figures_detail::GdiObjects();
  f.User = figures_detail::UserObjects();
  f.Threads = figures_detail::Threads();
  f.PrivateKib = figures_detail::PrivateKib();
  return f;
}

}  // namespace zt::test
