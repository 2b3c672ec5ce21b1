#include "widgets/mem_dc.h"

namespace zt::widgets {

CMemDC::CMemDC(HDC target, const RECT* rect) : target_(target), dc_(target) {
  memory_ = GetDeviceCaps(target, TECHNOLOGY) != DT_RASPRINTER;
  if (rect)
    rect_ = *rect;
  else
    GetClipBox(target, &rect_);

  if (memory_) {
    memory_dc_.Reset(CreateCompatibleDC(target));
    RECT device = rect_;
    LPtoDP(target, reinterpret_cast<POINT*>(&device), 2);
    const int width = device.right - device.left, height = device.bottom - device.top;
    if (memory_dc_ && width > 0 && height > 0)
      bitmap_.Reset(CreateCompatibleBitmap(target, width, height));
    if (bitmap_) {
      previous_bitmap_ = SelectObject(memory_dc_.Get(), bitmap_.Get());
      SetMapMode(memory_dc_.Get(), GetMapMode(target));
      SetWindowOrgEx(memory_dc_.Get(), rect_.left, rect_.top, nullptr);
      dc_ = memory_dc_.Get();
    } else {
      // Nothing to buffer into (an empty rectangle, or no memory): draw on
      // the target itself rather than lose the picture.
      memory_ = false;
      memory_dc_.Reset();
    }
  }

  win::UniqueHbrush background(CreateSolidBrush(GetBkColor(target)));
  FillRect(dc_, &rect_, background.Get());
}

CMemDC::~CMemDC() {
  if (!memory_) return;
  BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, memory_dc_.Get(),
         rect_.left, rect_.top, SRCCOPY);
  SelectObject(memory_dc_.Get(), previous_bitmap_);
}

}  // namespace zt::widgets
