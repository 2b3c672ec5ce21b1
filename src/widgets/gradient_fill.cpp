#include "widgets/gradient_fill.h"

#include "widgets/buffer_dc.h"
#include "widgets/gradient_stripes.h"

namespace zt::widgets {

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  const COLORREF previous = SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  SetBkColor(dc, previous);
}

void FillGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to) {
  // Dozens of stripes: buffered, so the target sees one transfer. The
  // buffer covers the gradient alone: one over the whole clip box would copy
  // its undrawn rest over what the target already shows.
  if (IsRectEmpty(&rect)) return;
  CBufferDC buffer(dc, rect);
  for (const Stripe& s : GradientStripes(rect.left, rect.right, from & 0xFFFFFF, to & 0xFFFFFF))
    FillSolid(buffer.Get(), RECT{s.left, rect.top, s.right, rect.bottom}, s.colour);
}

}  // namespace zt::widgets
