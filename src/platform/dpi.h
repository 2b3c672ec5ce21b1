#pragma once
// Drawing at the display's scale. Dialog templates grow with their font on
// their own; what is drawn in pixels (bitmaps, fixed font heights, offsets)
// is written for 96 dots per inch and goes through Scaled with the DPI of
// the window it is drawn in. The functions that tell a window's DPI, and
// per-monitor awareness, are looked up at run time: older systems lack them.
#include <windows.h>

namespace zt::win {

inline constexpr int kBaseDpi = 96;

// A length of the 96-DPI design at dpi, rounded to the nearest pixel.
inline int Scaled(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }

// The DPI window is drawn at: its own where the system tells it, else the
// screen's as this thread sees it; never less than 96.
int WindowDpi(HWND window);

// While it lives, windows this thread creates are per-monitor aware where
// the system allows it (their own DPI, WM_DPICHANGED on a move); the
// thread's awareness before is restored at the end.
class PerMonitorDpiScope {
public:
  PerMonitorDpiScope();
  ~PerMonitorDpiScope();
  PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
  PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

private:
  void* previous_ = nullptr;  // the thread's context before, none when unchanged
};

// Copies the source picture at (sx, sy, width x height) into the target
// rectangle (x, y, targetWidth x targetHeight), smoothed when it is stretched
// (a plain copy when the sizes match).
void BlitStretched(HDC target, int x, int y, int targetWidth, int targetHeight, HDC source, int sx, int sy, int width,
                   int height);

}  // namespace zt::win
