#include "widgets/buffer_dc.h"

namespace zt::widgets {

CBufferDC::CBufferDC(HDC target, const RECT& rect) : target_(target), rect_(rect), dc_(target) {
  if (IsRectEmpty(&rect_)) GetClipBox(target, &rect_);
  if (rect_.right <= 0 || rect_.bottom <= 0 || IsRectEmpty(&rect_)) return;
  memory_dc_.Reset(CreateCompatibleDC(target));
  if (!memory_dc_) return;
  // The bitmap covers the area from the origin, so the drawing keeps the
  // target's coordinates; only the rectangle is ever copied back.
  bitmap_.Reset(CreateCompatibleBitmap(target, rect_.right, rect_.bottom));
  if (!bitmap_) {
    memory_dc_.Reset();
    return;
  }
  previous_bitmap_ = SelectObject(memory_dc_.Get(), bitmap_.Get());
  if (rect_.top > 0) ExcludeClipRect(memory_dc_.Get(), 0, 0, rect_.right, rect_.top);
  if (rect_.left > 0) ExcludeClipRect(memory_dc_.Get(), 0, rect_.top, rect_.left, rect_.bottom);
  dc_ = memory_dc_.Get();
}

CBufferDC::~CBufferDC() {
  if (!memory_dc_) return;
  BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, memory_dc_.Get(),
         rect_.left, rect_.top, SRCCOPY);
  SelectObject(memory_dc_.Get(), previous_bitmap_);
}

}  // namespace zt::widgets
