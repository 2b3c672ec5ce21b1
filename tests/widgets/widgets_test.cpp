// The hot-tracking button and the transparent label over a striped test
// window under Xvfb: the mouse moves over the button and away, the focus
// comes, the button is pressed and disabled, the label's text changes; each
// look is read back from the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/window_subclass.h"
#include "widgets/transparent_static.h"
#include "widgets/xp_button.h"

namespace zt {
namespace {

constexpr COLORREF kRed = RGB(220, 40, 40), kGreen = RGB(40, 200, 40);

LRESULT CALLBACK StripesProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT reflected = 0;
  if (win::ReflectToChild(msg, wp, lp, &reflected)) return reflected;
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(window, &r);
    HBRUSH red = CreateSolidBrush(kRed), green = CreateSolidBrush(kGreen);
    for (int x = 0; x < r.right; x += 4) {
      RECT stripe{x, 0, x + 4, r.bottom};
      FillRect(reinterpret_cast<HDC>(wp), &stripe, (x / 4) % 2 ? green : red);
    }
    DeleteObject(red);
    DeleteObject(green);
    return 1;
  }
  return DefWindowProcW(window, msg, wp, lp);
}

void Pump(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

// A window's client area as the screen shows it.
struct Shot {
  int W = 0, H = 0;
  std::vector<COLORREF> P;
  explicit Shot(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    W = r.right;
    H = r.bottom;
    HDC dc = GetDC(window);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) P.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
  }
  COLORREF At(int x, int y) const { return P[static_cast<std::size_t>(y) * W + x]; }
  // Bounding box of pixels darker than 80 in every channel, inset pixels in
  // from every side.
  RECT Ink(int threshold = 80, int inset = 0) const {
    RECT box{W, H, -1, -1};
    for (int y = inset; y < H - inset; ++y)
      for (int x = inset; x < W - inset; ++x) {
        COLORREF c = At(x, y);
        if (GetRValue(c) < threshold && GetGValue(c) < threshold && GetBValue(c) < threshold) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x);
          box.bottom = std::max<LONG>(box.bottom, y);
        }
      }
    return box;
  }
};

class Widgets : public ::testing::Test {
protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = StripesProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZtWidgetsTest";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    // Topmost: another program's window coming up on the same display must
    // not lie over what the mouse and the screenshots look at.
    parent = CreateWindowExW(WS_EX_TOPMOST, L"ZtWidgetsTest", L"widgets", WS_POPUP, 100, 100, 300, 160,
                             nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(parent);
    button = CreateWindowExW(0, L"BUTTON", L"Go", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 20, 20, 100, 30,
                             parent, reinterpret_cast<HMENU>(1), nullptr, nullptr);
    label = CreateWindowExW(0, L"STATIC", L"\uAC00\uB098\uB2E4\uB77C\uB9C8\uBC14\uC0AC\uC544", WS_CHILD | WS_VISIBLE,
                            20, 80, 200, 24, parent, reinterpret_cast<HMENU>(2), nullptr, nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ASSERT_TRUE(xp.Attach(button));
    ASSERT_TRUE(transparent.Attach(label));
    // Shown once the widgets are in place, as a dialog does.
    ShowWindow(parent, SW_SHOW);
    UpdateWindow(parent);
    SetCursorPos(5, 5);
    Pump(400);
  }
  void TearDown() override { DestroyWindow(parent); }

  HWND parent = nullptr, button = nullptr, label = nullptr;
  CXPButton xp;
  CTransparentStatic2 transparent;
};

TEST_F(Widgets, ButtonShowsHoverFocusPressedAndDisabledLooks) {
  EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  const int edge = GetSystemMetrics(SM_CXEDGE);
  const int midY = 15;
  Shot plain(button);
  EXPECT_EQ(plain.At(50, 0), RGB(0, 60, 116));            // the outline
  EXPECT_NE(plain.At(50, 4), plain.At(50, 25));           // the face is shaded top to bottom
  EXPECT_GT(GetBValue(plain.At(50, 25)), GetRValue(plain.At(50, 25)));
  const COLORREF faceAtFrame = plain.At(edge, midY);
  // The caption, inside where a focus rectangle would run.
  const int inside = edge + 3;
  const RECT caption = plain.Ink(80, inside);
  ASSERT_GE(caption.right, caption.left) << "no caption drawn";

  // The mouse comes to rest over the button. As with the focus below, the
  // picture counts only when the button was hot before and after it.
  POINT centre{60, 15};
  ClientToScreen(button, &centre);
  Shot hot(button);
  bool hovered = false;
  for (int attempt = 0; attempt < 10 && !hovered; ++attempt) {
    SetCursorPos(5, 5);
    Pump(100);
    SetCursorPos(centre.x, centre.y);
    Pump(400);
    if (!xp.Hot()) continue;
    hot = Shot(button);
    hovered = xp.Hot();
  }
  ASSERT_TRUE(hovered) << "the button never showed the mouse over it";
  EXPECT_EQ(hot.At(edge, midY), RGB(255, 240, 207));
  EXPECT_EQ(hot.At(100 - edge - 1, midY), RGB(229, 151, 0));
  // The bottom line lies just below the face, the sides stop three rows
  // above it, and the corners stay open.
  const int edgeY = GetSystemMetrics(SM_CYEDGE), below = 30 - edgeY;
  EXPECT_EQ(hot.At(50, below), RGB(229, 151, 0));
  EXPECT_NE(hot.At(50, below - 1), RGB(229, 151, 0));
  EXPECT_EQ(hot.At(edge + 2, below), RGB(229, 151, 0));
  EXPECT_NE(hot.At(edge + 1, below), RGB(229, 151, 0));
  EXPECT_NE(hot.At(edge, below - 1), RGB(255, 240, 207));
  EXPECT_EQ(hot.At(edge, below - 3), RGB(255, 240, 207));

  // It leaves: no frame, as no focus.
  SetCursorPos(5, 5);
  Pump(400);
  EXPECT_FALSE(xp.Hot());
  EXPECT_EQ(Shot(button).At(edge, midY), faceAtFrame);

  // The focus gives the blue frame. Other programs' windows coming up on the
  // same display may take the focus away: the picture counts only when the
  // button held the focus before and after it was taken.
  // The person came by the keyboard: focus cues are on, as Tab turns them on.
  SendMessageW(parent, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  Shot focused(button);
  for (int attempt = 0; attempt < 20; ++attempt) {
    SetForegroundWindow(parent);
    SetFocus(button);
    Pump(300);
    if (GetFocus() != button) continue;
    focused = Shot(button);
    if (GetFocus() == button) break;
  }
  ASSERT_EQ(GetFocus(), button) << "the button never kept the focus";
  EXPECT_EQ(focused.At(edge, midY), RGB(206, 231, 255));
  EXPECT_EQ(focused.At(100 - edge - 1, midY), RGB(105, 130, 238));
  // ...and the dotted focus rectangle inside it, every other pixel.
  const int dotted = edge + 2;
  EXPECT_TRUE(focused.At(dotted, midY) != plain.At(dotted, midY) ||
              focused.At(dotted, midY + 1) != plain.At(dotted, midY + 1))
      << "no focus rectangle";
  EXPECT_EQ(focused.At(dotted + 2, midY), plain.At(dotted + 2, midY)) << "the face inside stays";

  // Pressed: the caption moves one pixel right and down.
  SendMessageW(button, BM_SETSTATE, TRUE, 0);
  Pump(200);
  const RECT pressed = Shot(button).Ink(80, inside);
  EXPECT_EQ(pressed.left, caption.left + 1);
  EXPECT_EQ(pressed.top, caption.top + 1);
  SendMessageW(button, BM_SETSTATE, FALSE, 0);

  // Disabled: embossed, no dark caption left.
  EnableWindow(button, FALSE);
  Pump(200);
  Shot disabled(button);
  const RECT none = disabled.Ink(40, inside);
  EXPECT_LT(none.right, none.left) << "a disabled caption is drawn in black";
  const RECT grey = disabled.Ink(200, inside);
  EXPECT_GE(grey.right, grey.left) << "no embossed caption";
}

TEST_F(Widgets, LabelShowsTheParentBehindItsTextAndRepaintsOnChange) {
  EXPECT_TRUE(transparent.HasSnapshot());
  Shot before(label);
  ASSERT_GT(before.W, 150);
  auto stripesOnly = [](const Shot& s, int x0) {
    for (int y = 0; y < s.H; ++y)
      for (int x = x0; x < s.W; ++x)
        if (s.At(x, y) != kRed && s.At(x, y) != kGreen) return false;
    return true;
  };
  EXPECT_FALSE(stripesOnly(before, 40)) << "the long text is not drawn";
  EXPECT_EQ(before.At(before.W - 1, 2), (before.W - 1 + 20) / 4 % 2 ? kGreen : kRed);  // the parent shows through

  SetWindowTextW(label, L"\uAC00");
  Shot after(label);  // repainted at once
  EXPECT_TRUE(stripesOnly(after, 40)) << "the old text still shows";
  EXPECT_FALSE(stripesOnly(after, 0)) << "the new text is not drawn";
}

}  // namespace
}  // namespace zt
