#pragma once
// Changing a control without painting it at once. Wine's progress bar paints
// at once on every change, so a dialog showing many quick
// changes spends its thread drawing. With redraw off during the change the
// control is only invalidated: the system paints it when the thread has
// nothing else to do, once for however many changes came. (For a small
// static, whose own paint is cheap, the redraw switching costs more.)
#include <windows.h>

namespace zt::win {

LRESULT SendQuietly(HWND control, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace zt::win
