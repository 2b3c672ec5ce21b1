// High contrast, which Wine cannot switch on: the drawing code's one
// question is answered, the system colours are set to a scheme no skin uses
// (in a prefix of its own: they are the whole session's), and the header, a
// flat button and a menu item are drawn. Yes shows only system colours, no
// none. Screenshots: contrast_<dpi>_<on|off>[_menu].bmp.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "picture.h"
#include "platform/high_contrast.h"
#include "platform/module_state.h"
#include "platform/unique_handle.h"
#include "platform/window_subclass.h"
#include "view/menu_xp.h"
#include "widgets/skin_header.h"
#include "widgets/xp_button.h"

namespace zt {
namespace {

using testing::Picture;
using testing::Rgb;

constexpr int kElements[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_MENU,
                             COLOR_MENUTEXT};
constexpr COLORREF kFace = RGB(0, 0, 0), kText = RGB(255, 255, 0), kHighlight = RGB(0, 255, 255),
                   kHighlightText = RGB(0, 0, 128), kMenu = RGB(16, 16, 16);

int Count(const Picture& p, const RECT& r, COLORREF colour) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += p.At(x, y) == colour;
  return n;
}

LRESULT CALLBACK FrameProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT reflected = 0;  // the button draws itself, as in a dialog
  return win::ReflectToChild(msg, wp, lp, &reflected) ? reflected : DefWindowProcW(window, msg, wp, lp);
}

TEST(HighContrast, HeaderButtonAndMenuTakeTheSystemColoursOnlyWhenItIsOn) {
  com::SetModuleInstance(GetModuleHandleW(nullptr));
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  COLORREF saved[6], scheme[6] = {kFace, kText, kHighlight, kHighlightText, kMenu, RGB(255, 255, 255)};
  for (int i = 0; i < 6; ++i) saved[i] = GetSysColor(kElements[i]);
  SetSysColors(6, kElements, scheme);
  win::WindowDc screen(nullptr);
  const int dpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
  auto at = [&](int n) { return MulDiv(n, dpi, 96); };
  WNDCLASSW wc{0, FrameProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"ZtContrast"};
  RegisterClassW(&wc);
  win::UniqueHwnd frame(CreateWindowExW(0, L"ZtContrast", L"", WS_POPUP | WS_VISIBLE, 10, 10, at(420), at(100),
                                        nullptr, nullptr, wc.hInstance, nullptr));
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, at(420), at(50),
                              frame.Get(), nullptr, nullptr, nullptr);
  LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, at(200), const_cast<wchar_t*>(L"\uD30C\uC77C\uBA85")};  // "파일명"
  ListView_InsertColumn(list, 0, &column);
  widgets::CZTSkinHeaderCtrl header;
  ASSERT_TRUE(header.Attach(ListView_GetHeader(list)));
  HWND button = CreateWindowExW(0, L"BUTTON", L"Stop", WS_CHILD | WS_VISIBLE, at(20), at(60), at(100), at(30),
                                frame.Get(), nullptr, nullptr, nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  CXPButton xp;
  ASSERT_TRUE(xp.Attach(button));
  view::menu_xp::SetOptIn(frame.Get(), true);
  win::UniqueHmenu menu(CreatePopupMenu());
  AppendMenuW(menu.Get(), MF_STRING, 301, L"\uD30C\uC77C\uC5F4\uAE30");  // "파일열기"
  view::menu_xp::PreparePopup(frame.Get(), menu.Get());
  MENUITEMINFOW data{sizeof data, MIIM_DATA};
  GetMenuItemInfoW(menu.Get(), 0, TRUE, &data);
  const SIZE item{at(160), at(22)};
  win::UniqueHdc dc(CreateCompatibleDC(screen.Get()));
  win::UniqueHbitmap bitmap(CreateCompatibleBitmap(screen.Get(), item.cx, item.cy * 2));
  win::SelectGuard select(dc.Get(), bitmap.Get());

  for (bool on : {true, false}) {
    SCOPED_TRACE(on ? "high contrast" : "the skins");
    win::SetHighContrastAnswer(on);
    RedrawWindow(frame.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const std::wstring name = L"contrast_" + std::to_wstring(dpi) + (on ? L"_on" : L"_off");
    const Picture p = Picture::OfWindow(frame.Get());
    p.Save(name + L".bmp");
    // The menu item plain above, selected below.
    for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED)}) {
      const LONG top = state ? item.cy : 0;
      DRAWITEMSTRUCT draw{ODT_MENU, 0, 301, ODA_DRAWENTIRE, state, reinterpret_cast<HWND>(menu.Get()), dc.Get(),
                          {0, top, item.cx, top + item.cy}, data.dwItemData};
      EXPECT_TRUE(view::menu_xp::DrawItem(frame.Get(), &draw));
    }
    const Picture m = Picture::OfDc(dc.Get(), item.cx, item.cy * 2);
    m.Save(name + L"_menu.bmp");

    RECT head{}, face{};
    GetWindowRect(ListView_GetHeader(list), &head);
    GetWindowRect(button, &face);
    MapWindowPoints(nullptr, frame.Get(), reinterpret_cast<POINT*>(&head), 2);
    MapWindowPoints(nullptr, frame.Get(), reinterpret_cast<POINT*>(&face), 2);
    const COLORREF band = p.At(head.left + 6, (head.top + head.bottom) / 2);
    EXPECT_EQ(band == kFace, on) << "header face " << Rgb(band);
    EXPECT_EQ(Count(p, head, kText) > 10, on) << "header title";
    const COLORREF buttonFace = p.At(face.left + at(10), (face.top + face.bottom) / 2);
    EXPECT_EQ(buttonFace == kFace, on) << "button face " << Rgb(buttonFace);
    EXPECT_EQ(Count(p, face, kText) > 10, on) << "button frame and caption";
    EXPECT_EQ(m.At(3, item.cy / 2) == kMenu, on) << "menu band " << Rgb(m.At(3, item.cy / 2));
    EXPECT_EQ(m.At(item.cx - 4, item.cy / 2) == kMenu, on) << "menu body";
    EXPECT_EQ(m.At(item.cx - 4, item.cy * 3 / 2) == kHighlight, on) << "selection " << Rgb(m.At(item.cx - 4, 30));
    EXPECT_EQ(Count(m, {0, item.cy, item.cx, item.cy * 2}, kHighlightText) > 10, on) << "selected text";
  }
  win::SetHighContrastAnswer(std::nullopt);
  SetSysColors(6, kElements, saved);
}

}  // namespace
}  // namespace zt
