#pragma once
// CMemDC: a flicker-free off-screen drawing context. Everything drawn into
// it lands in a memory bitmap, in the same logical coordinates as the
// target; destroying it copies the rectangle to the target in one transfer.
// A printing target is drawn on directly.
//
//   win::PaintDc paint(hwnd);
//   RECT client; GetClientRect(hwnd, &client);
//   widgets::CMemDC dc(paint.Get(), &client);
//   FillRect(dc.Get(), ...);   // shown when `dc` goes out of scope
#include <windows.h>

#include "platform/unique_handle.h"

namespace zt::widgets {

class CMemDC {
public:
  // `rect` in the target's logical units; null means the target's clip box.
  // The rectangle starts filled with the target's background colour.
  explicit CMemDC(HDC target, const RECT* rect = nullptr);
  ~CMemDC();
  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;

  // Where to draw: the memory context, or the target itself when printing.
  HDC Get() const { return dc_; }
  const RECT& Rect() const { return rect_; }

private:
  HDC target_;
  RECT rect_{};
  bool memory_ = false;  // false: drawing goes straight to a printing target
  win::UniqueHdc memory_dc_;
  win::UniqueHbitmap bitmap_;
  HGDIOBJ previous_bitmap_ = nullptr;
  HDC dc_;
};

}  // namespace zt::widgets
