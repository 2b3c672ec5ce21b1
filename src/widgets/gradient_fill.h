#pragma once
// Paints a horizontal gradient with GDI, stripe by stripe.
#include <windows.h>

namespace zt::widgets {

// From `from` at the left edge of `rect` to `to` at its right edge.
void FillGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to);

// One solid colour, without a brush.
void FillSolid(HDC dc, const RECT& rect, COLORREF colour);

}  // namespace zt::widgets
