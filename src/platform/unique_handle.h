#pragma once
// One owner for one Win32 handle, whatever its kind: a handle type, the
// function that closes it and the value that means "none". Moves hand the
// handle on; copies do not exist. Each kind the module uses is named below,
// so a reader sees at the declaration what closes it.
//
//   win::UniqueHbrush brush(CreateSolidBrush(RGB(1, 2, 3)));
//   win::SelectGuard keep(dc, brush.Get());   // selected back at scope end
#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace zt::win {

// Traits: the handle type, the value meaning "none" and the close function.
template <typename Traits>
class UniqueHandle {
public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }

  // Closes what is held and takes `handle` instead. The thread's last error
  // survives the close: an owner going out of scope between a failed call and
  // the code that reads why must not overwrite the reason.
  void Reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (old == Traits::Invalid()) return;
    const DWORD error = GetLastError();
    Traits::Close(old);
    SetLastError(error);
  }
  // Gives the handle up without closing it.
  [[nodiscard]] Handle Release() { return std::exchange(handle_, Traits::Invalid()); }

private:
  Handle handle_ = Traits::Invalid();
};

// Traits of a handle whose "none" is null.
template <typename H, void (*CloseFn)(H)>
struct NullTraits {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseFn(h); }
};
// Traits of a kernel handle whose "none" is INVALID_HANDLE_VALUE.
template <void (*CloseFn)(HANDLE)>
struct InvalidValueTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseFn(h); }
};

namespace close {
inline void Brush(HBRUSH h) { DeleteObject(h); }
inline void Pen(HPEN h) { DeleteObject(h); }
inline void Font(HFONT h) { DeleteObject(h); }
inline void Bitmap(HBITMAP h) { DeleteObject(h); }
inline void Region(HRGN h) { DeleteObject(h); }
inline void Dc(HDC h) { DeleteDC(h); }
inline void Window(HWND h) { DestroyWindow(h); }
inline void Menu(HMENU h) { DestroyMenu(h); }
inline void Icon(HICON h) { DestroyIcon(h); }
inline void ImageList(HIMAGELIST h) { ImageList_Destroy(h); }
inline void Kernel(HANDLE h) { CloseHandle(h); }
inline void Find(HANDLE h) { FindClose(h); }
}  // namespace close

using UniqueHbrush = UniqueHandle<NullTraits<HBRUSH, close::Brush>>;
using UniqueHpen = UniqueHandle<NullTraits<HPEN, close::Pen>>;
using UniqueHfont = UniqueHandle<NullTraits<HFONT, close::Font>>;
using UniqueHbitmap = UniqueHandle<NullTraits<HBITMAP, close::Bitmap>>;
using UniqueHrgn = UniqueHandle<NullTraits<HRGN, close::Region>>;
using UniqueHdc = UniqueHandle<NullTraits<HDC, close::Dc>>;  // from CreateCompatibleDC
using UniqueHwnd = UniqueHandle<NullTraits<HWND, close::Window>>;
using UniqueHmenu = UniqueHandle<NullTraits<HMENU, close::Menu>>;
using UniqueHicon = UniqueHandle<NullTraits<HICON, close::Icon>>;
using UniqueHimagelist = UniqueHandle<NullTraits<HIMAGELIST, close::ImageList>>;
// Threads, events, mutexes: "none" is null.
using UniqueKernelHandle = UniqueHandle<NullTraits<HANDLE, close::Kernel>>;
// CreateFile and FindFirstFile: "none" is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueHandle<InvalidValueTraits<close::Kernel>>;
using UniqueFind = UniqueHandle<InvalidValueTraits<close::Find>>;

// A window's device context from GetDC, released to that window.
class WindowDc {
public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

private:
  HWND window_;
  HDC dc_;
};

// BeginPaint/EndPaint of one WM_PAINT.
class PaintDc {
public:
  explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
  ~PaintDc() { EndPaint(window_, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC Get() const { return dc_; }
  const RECT& Dirty() const { return ps_.rcPaint; }

private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Selects an object into a DC and the previous one back at scope end.
class SelectGuard {
public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectGuard() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

private:
  HDC dc_;
  HGDIOBJ old_;
};

// SaveDC/RestoreDC around drawing that changes colours, modes or clipping.
class SavedDcState {
public:
  explicit SavedDcState(HDC dc) : dc_(dc), id_(SaveDC(dc)) {}
  ~SavedDcState() {
    if (id_) RestoreDC(dc_, id_);
  }
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;

private:
  HDC dc_;
  int id_;
};

}  // namespace zt::win
