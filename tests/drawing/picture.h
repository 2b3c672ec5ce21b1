#pragma once
// Pixels read back from the screen or from a drawing context, for checks
// and for the screenshots kept beside the test reports.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zt::testing {

class Picture {
public:
  Picture() = default;
  Picture(int width, int height) : width_(width), height_(height), pixels_(std::size_t(width) * height) {}

  // The client area of a window as it is shown.
  static Picture OfWindow(HWND window);
  // A rectangle of a drawing context (a memory context, a window's DC).
  static Picture OfDc(HDC dc, int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // As a COLORREF; off the picture: 0xFFFFFFFF.
  COLORREF At(int x, int y) const;
  // Saves a 24-bit BMP under the test's working directory.
  bool Save(const std::wstring& name) const;

private:
  int width_ = 0, height_ = 0;
  std::vector<COLORREF> pixels_;
};

// "(r, g, b)" for failure messages.
std::string Rgb(COLORREF c);

}  // namespace zt::testing
