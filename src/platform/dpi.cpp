#include "platform/dpi.h"

#include <algorithm>

namespace zt::win {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFn = void*(WINAPI*)(void*);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE, by value:
// the headers of older SDKs do not name them.
void* const kPerMonitorV2 = reinterpret_cast<void*>(static_cast<INT_PTR>(-4));
void* const kPerMonitor = reinterpret_cast<void*>(static_cast<INT_PTR>(-3));

template <typename Fn>
Fn User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

int WindowDpi(HWND window) {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  const int dpi = window && getDpiForWindow ? static_cast<int>(getDpiForWindow(window)) : ScreenDpi();
  return std::max(dpi, kBaseDpi);
}

PerMonitorDpiScope::PerMonitorDpiScope() {
  static const auto setContext = User32Function<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
  if (!setContext) return;
  previous_ = setContext(kPerMonitorV2);
  if (!previous_) previous_ = setContext(kPerMonitor);  // before version 2 existed
}

PerMonitorDpiScope::~PerMonitorDpiScope() {
  static const auto setContext = User32Function<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
  if (previous_ && setContext) setContext(previous_);
}

void BlitStretched(HDC target, int x, int y, int targetWidth, int targetHeight, HDC source, int sx, int sy, int width,
                   int height) {
  if (targetWidth == width && targetHeight == height) {
    BitBlt(target, x, y, width, height, source, sx, sy, SRCCOPY);
    return;
  }
  const int mode = SetStretchBltMode(target, HALFTONE);
  POINT origin;
  SetBrushOrgEx(target, 0, 0, &origin);  // HALFTONE needs it set after the mode
  StretchBlt(target, x, y, targetWidth, targetHeight, source, sx, sy, width, height, SRCCOPY);
  SetBrushOrgEx(target, origin.x, origin.y, nullptr);
  SetStretchBltMode(target, mode);
}

}  // namespace zt::win
