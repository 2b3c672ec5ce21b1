#include "widgets/xp_button.h"

#include <oleacc.h>

#include <commctrl.h>

#include <string>

#include "platform/dpi.h"
#include "platform/high_contrast.h"

namespace zt {

namespace {

// The look: a dark blue outline over a face that runs from white to the
// light blue of the progress panel; warm frame for hover, blue for focus.
constexpr COLORREF kBorder = RGB(0, 60, 116);
constexpr COLORREF kFaceTop = RGB(255, 255, 255);
constexpr COLORREF kFaceBottom = RGB(190, 212, 238);
constexpr COLORREF kHotLight = RGB(255, 240, 207);
constexpr COLORREF kHotDark = RGB(229, 151, 0);
constexpr COLORREF kFocusLight = RGB(206, 231, 255);
constexpr COLORREF kFocusDark = RGB(105, 130, 238);
constexpr COLORREF kCaption = RGB(0, 0, 0);

COLORREF Blend(COLORREF from, COLORREF to, int step, int steps) {
  auto mix = [&](int a, int b) { return a + (b - a) * step / (steps - 1); };
  return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
             mix(GetBValue(from), GetBValue(to)));
}

// An off-screen copy of the item's rectangle: everything is drawn into it and
// copied to the button in one transfer, so the button never flickers.
class ItemCanvas {
public:
  ItemCanvas(HDC target, const RECT& r)
      : target_(target), r_(r), dc_(CreateCompatibleDC(target)),
        bitmap_(CreateCompatibleBitmap(target, r.right - r.left, r.bottom - r.top)), select_(dc_.Get(), bitmap_.Get()) {
    SetWindowOrgEx(dc_.Get(), r.left, r.top, nullptr);
  }
  ~ItemCanvas() {
    BitBlt(target_, r_.left, r_.top, r_.right - r_.left, r_.bottom - r_.top, dc_.Get(), r_.left, r_.top, SRCCOPY);
  }
  ItemCanvas(const ItemCanvas&) = delete;
  ItemCanvas& operator=(const ItemCanvas&) = delete;
  HDC Get() const { return dc_.Get(); }

private:
  HDC target_;
  RECT r_;
  win::UniqueHdc dc_;
  win::UniqueHbitmap bitmap_;
  win::SelectGuard select_;
};

}  // namespace

CXPButton::CXPButton() {
  border_.Reset(CreatePen(PS_SOLID, 1, kBorder));
  hotPens_[Left].Reset(CreatePen(PS_SOLID, 1, kHotLight));
  hotPens_[Top].Reset(CreatePen(PS_SOLID, 1, kHotLight));
  hotPens_[Right].Reset(CreatePen(PS_SOLID, 1, kHotDark));
  hotPens_[Bottom].Reset(CreatePen(PS_SOLID, 1, kHotDark));
  focusPens_[Left].Reset(CreatePen(PS_SOLID, 1, kFocusLight));
  focusPens_[Top].Reset(CreatePen(PS_SOLID, 1, kFocusLight));
  focusPens_[Right].Reset(CreatePen(PS_SOLID, 1, kFocusDark));
  focusPens_[Bottom].Reset(CreatePen(PS_SOLID, 1, kFocusDark));
  for (int i = 0; i < kGradientSteps; ++i) {
    gradient_[i].Reset(CreateSolidBrush(Blend(kFaceTop, kFaceBottom, i, kGradientSteps)));
  }
}

void CXPButton::OnAttached() {
  LONG_PTR style = GetWindowLongPtrW(Window(), GWL_STYLE);
  SetWindowLongPtrW(Window(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
  InvalidateRect(Window(), nullptr, TRUE);
}

long CXPButton::Accessible::ExtraState() const {
  long state = 0;
  if (SendMessageW(Button, BM_GETSTATE, 0, 0) & BST_PUSHED) state |= STATE_SYSTEM_PRESSED;
  const LRESULT defaultId = SendMessageW(GetParent(Button), DM_GETDEFID, 0, 0);
  if (HIWORD(defaultId) == DC_HASDEFID && LOWORD(defaultId) == GetDlgCtrlID(Button)) state |= STATE_SYSTEM_DEFAULT;
  return state;
}

bool CXPButton::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_GETOBJECT:
      // Owner drawing leaves the button's type to nobody: it says itself
      // that it is a push button, and when it is pressed or the default.
      accessible_->Button = Window();
      *result = win::AnswerGetObject(Window(), wp, lp, accessible_);
      return *result != 0;
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, Window(), kHoverMs};
        tracking_ = _TrackMouseEvent(&track) != FALSE;
      }
      return false;  // the button's own handling still runs
    case WM_MOUSEHOVER:
      hot_ = true;
      InvalidateRect(Window(), nullptr, TRUE);
      *result = 1;
      return true;
    case WM_MOUSELEAVE:
      tracking_ = false;
      hot_ = false;
      InvalidateRect(Window(), nullptr, FALSE);
      *result = 0;
      return true;
    case win::kReflectBase + WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      *result = TRUE;
      return true;
    default:
      return false;
  }
}

void CXPButton::DrawItem(const DRAWITEMSTRUCT& item) {
  RECT r = item.rcItem;
  ItemCanvas canvas(item.hDC, r);
  HDC dc = canvas.Get();
  // What lies outside the rounded corners belongs to the dialog.
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  focus_ = (item.itemState & ODS_FOCUS) != 0;
  if (win::HighContrast()) {
    DrawSystemColours(dc, r, item.itemState);
    return;
  }
  {
    win::SelectGuard pen(dc, border_.Get());
    const int corner = win::Scaled(kCornerSize, win::WindowDpi(Window()));
    RoundRect(dc, r.left, r.top, r.right, r.bottom, corner, corner);
  }
  InflateRect(&r, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
  const int height = r.bottom - r.top;
  for (int y = r.top; y < r.bottom && height > 0; ++y) {
    int step = (y * (kGradientSteps - 1)) / height;
    if (step > kGradientSteps - 1) step = kGradientSteps - 1;
    RECT row{r.left, y, r.right, y + 1};
    FillRect(dc, &row, gradient_[step].Get());
  }
  if (hot_) DrawFrame(dc, r, hotPens_);
  else if (focus_) DrawFrame(dc, r, focusPens_);
  DrawCaption(dc, r, item.itemState, kCaption);
  DrawFocus(dc, r, item.itemState);
}

void CXPButton::DrawSystemColours(HDC dc, RECT r, UINT state) {
  // A plain framed face in the chosen colours; the frame thickens while the
  // mouse hovers, in place of the warm frame.
  {
    win::UniqueHpen outline(CreatePen(PS_SOLID, 1, GetSysColor(hot_ ? COLOR_HIGHLIGHT : COLOR_BTNTEXT)));
    win::SelectGuard pen(dc, outline.Get());
    win::SelectGuard brush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    if (hot_) Rectangle(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
  }
  InflateRect(&r, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
  DrawCaption(dc, r, state & ~static_cast<UINT>(ODS_DISABLED),
              GetSysColor((state & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  DrawFocus(dc, r, state);
}

void CXPButton::DrawFocus(HDC dc, const RECT& r, UINT state) {
  // The system's dotted focus rectangle, for a keyboard user: the blue frame
  // alone gives way to the hover frame under a resting mouse. It follows the
  // keyboard cues, as standard buttons do.
  if (!focus_ || (state & ODS_NOFOCUSRECT)) return;
  RECT focus = r;
  InflateRect(&focus, -2, -2);
  const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
  const COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
  DrawFocusRect(dc, &focus);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBack);
}

void CXPButton::DrawFrame(HDC dc, const RECT& r, const win::UniqueHpen (&pens)[SideCount]) {
  POINT previous;
  MoveToEx(dc, 0, 0, &previous);
  {
    win::SelectGuard pen(dc, pens[Left].Get());
    MoveToEx(dc, r.left, r.bottom - 3, nullptr);
    LineTo(dc, r.left, r.top + 2);
  }
  {
    win::SelectGuard pen(dc, pens[Right].Get());
    MoveToEx(dc, r.right - 1, r.bottom - 3, nullptr);
    LineTo(dc, r.right - 1, r.top + 2);
  }
  {
    win::SelectGuard pen(dc, pens[Top].Get());
    MoveToEx(dc, r.left + 2, r.top, nullptr);
    LineTo(dc, r.right - 2, r.top);
  }
  {
    win::SelectGuard pen(dc, pens[Bottom].Get());
    // Just below the face, on the edge: the frame encloses the whole face,
    // and the sides stop short of it, leaving the corners open.
    MoveToEx(dc, r.left + 2, r.bottom, nullptr);
    LineTo(dc, r.right - 2, r.bottom);
  }
  MoveToEx(dc, previous.x, previous.y, nullptr);
}

void CXPButton::DrawCaption(HDC dc, const RECT& r, UINT state, COLORREF colour) {
  const int length = GetWindowTextLengthW(Window());
  if (length <= 0) return;
  std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
  caption.resize(static_cast<std::size_t>(GetWindowTextW(Window(), &caption[0], length + 1)));
  if (caption.empty()) return;
  // The caption in the button's own font, measured in the context it is drawn in.
  auto font = reinterpret_cast<HFONT>(SendMessageW(Window(), WM_GETFONT, 0, 0));
  win::SelectGuard keepFont(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  int x = (r.left + r.right) / 2 - size.cx / 2;
  int y = (r.top + r.bottom) / 2 - size.cy / 2;
  if (state & ODS_SELECTED) {
    ++x;
    ++y;
  }
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  if (state & ODS_DISABLED) {
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption.c_str()), static_cast<WPARAM>(caption.size()), x,
               y, size.cx, size.cy, DST_TEXT | DSS_DISABLED);
  } else {
    const COLORREF oldColor = SetTextColor(dc, colour);
    TextOutW(dc, x, y, caption.c_str(), static_cast<int>(caption.size()));
    SetTextColor(dc, oldColor);
  }
  SetBkMode(dc, oldMode);
}

}  // namespace zt
