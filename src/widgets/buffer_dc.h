#pragma once
// CBufferDC: collects drawing for one rectangle of a target in memory and
// copies that rectangle to the same place in the target when it is
// destroyed. Unlike CMemDC it keeps the target's coordinates unchanged (its
// bitmap covers the area from the origin to the rectangle's far corner), so
// code that draws at item coordinates can draw into it unchanged.
#include <windows.h>

#include "platform/unique_handle.h"

namespace zt::widgets {

class CBufferDC {
public:
  // An empty rectangle means the target's clip box.
  CBufferDC(HDC target, const RECT& rect);
  ~CBufferDC();
  CBufferDC(const CBufferDC&) = delete;
  CBufferDC& operator=(const CBufferDC&) = delete;

  // Where to draw. When no memory bitmap could be made (a rectangle too
  // large for memory) this is the target itself, so the drawing still shows.
  HDC Get() const { return dc_; }
  const RECT& Rect() const { return rect_; }

private:
  HDC target_;
  RECT rect_{};
  win::UniqueHdc memory_dc_;
  win::UniqueHbitmap bitmap_;
  HGDIOBJ previous_bitmap_ = nullptr;
  HDC dc_;
};

}  // namespace zt::widgets
