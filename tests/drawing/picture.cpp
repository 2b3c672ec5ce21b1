#include "picture.h"

#include <cstdio>

#include "platform/unique_handle.h"

namespace zt::testing {

Picture Picture::OfWindow(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  win::WindowDc dc(window);
  return OfDc(dc.Get(), client.right, client.bottom);
}

Picture Picture::OfDc(HDC dc, int width, int height) {
  Picture picture(width, height);
  if (width <= 0 || height <= 0) return picture;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  win::UniqueHbitmap section(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  win::UniqueHdc copy(CreateCompatibleDC(dc));
  {
    win::SelectGuard select(copy.Get(), section.Get());
    BitBlt(copy.Get(), 0, 0, width, height, dc, 0, 0, SRCCOPY);
  }
  GdiFlush();
  const auto* quads = static_cast<const std::uint32_t*>(bits);
  for (std::size_t i = 0; i < picture.pixels_.size(); ++i) {
    const std::uint32_t q = quads[i];  // 0x00RRGGBB
    picture.pixels_[i] = RGB((q >> 16) & 0xFF, (q >> 8) & 0xFF, q & 0xFF);
  }
  return picture;
}

COLORREF Picture::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFFFFFFFF;
  return pixels_[std::size_t(y) * width_ + x];
}

bool Picture::Save(const std::wstring& name) const {
  const DWORD stride = (DWORD(width_) * 3 + 3) & ~3u;
  std::vector<BYTE> rows(std::size_t(stride) * height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      BYTE* p = &rows[std::size_t(height_ - 1 - y) * stride + std::size_t(x) * 3];
      const COLORREF c = At(x, y);
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width_;
  header.biHeight = height_;
  header.biPlanes = 1;
  header.biBitCount = 24;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + DWORD(rows.size());
  win::UniqueFile out(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  return out && WriteFile(out.Get(), &file, sizeof file, &n, nullptr) &&
         WriteFile(out.Get(), &header, sizeof header, &n, nullptr) &&
         WriteFile(out.Get(), rows.data(), DWORD(rows.size()), &n, nullptr);
}

std::string Rgb(COLORREF c) {
  if (c == 0xFFFFFFFF) return "(off the picture)";
  char text[32];
  std::snprintf(text, sizeof text, "(%d, %d, %d)", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

}  // namespace zt::testing
