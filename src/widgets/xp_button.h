#pragma once
// CXPButton: a push button drawn by its owner: a rounded outline, a face
// shaded top to bottom in 64 steps, an inner frame in warm colours while
// the mouse hovers and in blue while it has the focus, the caption moved
// one pixel down and right while pressed and embossed while disabled, and
// the dotted focus rectangle for the keyboard. Under high contrast it is a
// plain frame in the system's colours. It
// takes over an existing BUTTON child (Attach); the parent reflects
// WM_DRAWITEM to it (win::ReflectToChild).
#include <windows.h>

#include <memory>

#include "platform/accessible_extras.h"
#include "platform/unique_handle.h"
#include "platform/window_subclass.h"

namespace zt {

class CXPButton final : public win::SubclassedWindow {
public:
  CXPButton();

  // Paints the button as the item record describes it.
  void DrawItem(const DRAWITEMSTRUCT& item);
  bool Hot() const { return hot_; }

  static constexpr int kGradientSteps = 64;
  static constexpr int kCornerSize = 10;
  // Hover notices come this soon after the mouse stops over the button.
  static constexpr DWORD kHoverMs = 1;

protected:
  void OnAttached() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

private:
  enum Side { Left, Top, Right, Bottom, SideCount };

  void DrawFrame(HDC dc, const RECT& r, const win::UniqueHpen (&pens)[SideCount]);
  void DrawCaption(HDC dc, const RECT& r, UINT state, COLORREF colour);
  void DrawSystemColours(HDC dc, RECT r, UINT state);
  void DrawFocus(HDC dc, const RECT& r, UINT state);

  struct Accessible final : win::AccessibleExtras {
    HWND Button = nullptr;
    long Role() const override { return 0x2B; }  // ROLE_SYSTEM_PUSHBUTTON
    long ExtraState() const override;
  };
  std::shared_ptr<Accessible> accessible_ = std::make_shared<Accessible>();
  win::UniqueHpen border_;
  win::UniqueHpen hotPens_[SideCount];
  win::UniqueHpen focusPens_[SideCount];
  win::UniqueHbrush gradient_[kGradientSteps];
  bool hot_ = false;
  bool tracking_ = false;
  bool focus_ = false;
};

}  // namespace zt
