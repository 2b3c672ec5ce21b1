#include "widgets/transparent_static.h"

namespace zt {

bool CTransparentStatic2::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case win::kReflectBase + WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      *result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      return true;
    case WM_SETTEXT:
      *result = Default(msg, wp, lp);
      InvalidateRect(Window(), nullptr, TRUE);
      UpdateWindow(Window());
      return true;
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wp));
      *result = TRUE;
      return true;
    default:
      return false;
  }
}

void CTransparentStatic2::EraseBackground(HDC dc) {
  RECT client;
  GetClientRect(Window(), &client);
  if (!snapshot_) {
    // The first erase comes before the label ever drew: what the parent shows
    // under it now is its background.
    HWND parent = GetParent(Window());
    RECT r;
    GetWindowRect(Window(), &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    win::WindowDc parentDc(parent);
    win::UniqueHdc copy(CreateCompatibleDC(parentDc.Get()));
    snapshot_.Reset(CreateCompatibleBitmap(parentDc.Get(), r.right - r.left, r.bottom - r.top));
    win::SelectGuard select(copy.Get(), snapshot_.Get());
    BitBlt(copy.Get(), 0, 0, r.right - r.left, r.bottom - r.top, parentDc.Get(), r.left, r.top, SRCCOPY);
    return;
  }
  win::UniqueHdc source(CreateCompatibleDC(dc));
  win::SelectGuard select(source.Get(), snapshot_.Get());
  BitBlt(dc, 0, 0, client.right, client.bottom, source.Get(), 0, 0, SRCCOPY);
}

}  // namespace zt
