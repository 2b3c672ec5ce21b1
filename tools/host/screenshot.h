// Saves what a window shows as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <string>

namespace zt::host {

bool SaveWindowBitmap(HWND window, const std::wstring& path);

}  // namespace zt::host
