#include "screenshot.h"

#include <vector>

namespace zt::host {

bool SaveWindowBitmap(HWND window, const std::wstring& path) {
  // Paint everything that is pending first, children included.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT r;
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;

  HDC window_dc = GetWindowDC(window);
  HDC mem = CreateCompatibleDC(window_dc);
  HBITMAP bmp = CreateCompatibleBitmap(window_dc, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, window_dc, 0, 0, SRCCOPY);
  SelectObject(mem, old);

  BITMAPINFOHEADER bih = {};
  bih.biSize = sizeof bih;
  bih.biWidth = w;
  bih.biHeight = h;  // bottom-up, as BMP files store rows
  bih.biPlanes = 1;
  bih.biBitCount = 24;
  bih.biCompression = BI_RGB;
  DWORD stride = ((static_cast<DWORD>(w) * 3) + 3) & ~3u;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * static_cast<size_t>(h));
  int rows = GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(),
                       reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(window, window_dc);
  if (rows != h) return false;

  BITMAPFILEHEADER bfh = {};
  bfh.bfType = 0x4D42;  // "BM"
  bfh.bfOffBits = sizeof bfh + sizeof bih;
  bfh.bfSize = bfh.bfOffBits + static_cast<DWORD>(pixels.size());
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = WriteFile(f, &bfh, sizeof bfh, &n, nullptr) && n == sizeof bfh &&
            WriteFile(f, &bih, sizeof bih, &n, nullptr) && n == sizeof bih &&
            WriteFile(f, pixels.data(), static_cast<DWORD>(pixels.size()), &n, nullptr) &&
            n == pixels.size();
  CloseHandle(f);
  return ok;
}

}  // namespace zt::host
