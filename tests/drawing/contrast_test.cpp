// High contrast, which Wine cannot switch on: the answer is given to the
// drawing code's one question, the system colours are changed to a scheme
// no skin uses, and the header, a menu item and a flat button are drawn in
// a real window. With the answer yes every part shows the system's
// colours; with no, none does. Runs in a prefix of its own (the colours are
// the whole session's), at 96 and at 144 DPI; a screenshot of each state is
// kept (contrast_<dpi>_<on|off>.bmp and the menu item's, plain and selected).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <array>
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

// A scheme of its own: black faces, yellow button text, cyan highlight.
constexpr COLORREF kFace = RGB(0, 0, 0), kButtonText = RGB(255, 255, 0), kHighlight = RGB(0, 255, 255),
                   kHighlightText = RGB(0, 0, 128), kMenu = RGB(16, 16, 16), kMenuText = RGB(255, 160, 0),
                   kGreyText = RGB(0, 192, 0), kWindow = RGB(32, 0, 32), kWindowText = RGB(255, 128, 255);

// Sets the scheme for its lifetime and gives the old colours back.
class SystemScheme {
public:
  SystemScheme() {
    for (std::size_t i = 0; i < kElements.size(); ++i) saved_[i] = GetSysColor(kElements[i]);
    const std::array<COLORREF, 9> scheme{kFace, kButtonText, kHighlight, kHighlightText, kMenu,
                                         kMenuText, kGreyText, kWindow, kWindowText};
    SetSysColors(static_cast<int>(kElements.size()), kElements.data(), scheme.data());
  }
  ~SystemScheme() { SetSysColors(static_cast<int>(kElements.size()), kElements.data(), saved_.data()); }

private:
  static constexpr std::array<int, 9> kElements{COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HIGHLIGHT,
                                                COLOR_HIGHLIGHTTEXT, COLOR_MENU, COLOR_MENUTEXT,
                                                COLOR_GRAYTEXT, COLOR_WINDOW, COLOR_WINDOWTEXT};
  std::array<COLORREF, 9> saved_{};
};

int Count(const Picture& p, RECT r, COLORREF colour) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += p.At(x, y) == colour;
  return n;
}

RECT ChildRect(HWND child, HWND parent) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A flat menu item drawn through the menu layer into a bitmap the size of
// menuRect, selected or not.
Picture MenuItem(HWND owner, const SIZE& size, bool selected) {
  win::UniqueHmenu menu(CreatePopupMenu());
  AppendMenuW(menu.Get(), MF_STRING, 301, L"\uD30C\uC77C\uC5F4\uAE30");  // "파일열기"
  view::menu_xp::PreparePopup(owner, menu.Get());
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_DATA;
  GetMenuItemInfoW(menu.Get(), 0, TRUE, &info);
  win::WindowDc screen(nullptr);
  win::UniqueHdc dc(CreateCompatibleDC(screen.Get()));
  win::UniqueHbitmap bitmap(CreateCompatibleBitmap(screen.Get(), size.cx, size.cy));
  win::SelectGuard select(dc.Get(), bitmap.Get());
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_MENU;
  item.itemID = 301;
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = selected ? ODS_SELECTED : 0;
  item.hwndItem = reinterpret_cast<HWND>(menu.Get());
  item.hDC = dc.Get();
  item.rcItem = {0, 0, size.cx, size.cy};
  item.itemData = info.dwItemData;
  EXPECT_TRUE(view::menu_xp::DrawItem(owner, &item));
  return Picture::OfDc(dc.Get(), size.cx, size.cy);
}

// The dialog's part: owner-draw requests go back to the button.
LRESULT CALLBACK FrameProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT reflected = 0;
  if (win::ReflectToChild(msg, wp, lp, &reflected)) return reflected;
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(window, &r);
    FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  return DefWindowProcW(window, msg, wp, lp);
}

class HighContrast : public ::testing::Test {
protected:
  void SetUp() override {
    com::SetModuleInstance(GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    const HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    auto scaled = [&](int n) { return MulDiv(n, dpi_, 96); };
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZtContrastTest";
    RegisterClassW(&wc);
    frame_.Reset(CreateWindowExW(0, L"ZtContrastTest", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10,
                                 scaled(420), scaled(220), nullptr, nullptr, wc.hInstance, nullptr));
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, scaled(420), scaled(150),
                            frame_.Get(), nullptr, nullptr, nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(L"\uD30C\uC77C\uBA85");  // "파일명"
    column.cx = scaled(200);
    ListView_InsertColumn(list_, 0, &column);
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.pszText = const_cast<wchar_t*>(L"report.txt");
    ListView_InsertItem(list_, &row);
    ASSERT_TRUE(header_.Attach(ListView_GetHeader(list_)));
    button_ = CreateWindowExW(0, L"BUTTON", L"Stop", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, scaled(20), scaled(165),
                              scaled(100), scaled(30), frame_.Get(), nullptr, nullptr, nullptr);
    SendMessageW(button_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ASSERT_TRUE(xp_.Attach(button_));
    view::menu_xp::SetOptIn(frame_.Get(), true);
  }
  void TearDown() override { win::SetHighContrastAnswer(std::nullopt); }

  // Everything drawn again with the answer given, as a change of the setting
  // makes the list redraw.
  Picture Shot(bool on) {
    win::SetHighContrastAnswer(on);
    RedrawWindow(frame_.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Picture p = Picture::OfWindow(frame_.Get());
    p.Save(L"contrast_" + std::to_wstring(dpi_) + (on ? L"_on.bmp" : L"_off.bmp"));
    return p;
  }

  int dpi_ = 96;
  win::UniqueHwnd frame_;
  HWND list_ = nullptr, button_ = nullptr;
  widgets::CZTSkinHeaderCtrl header_;
  CXPButton xp_;
};

TEST_F(HighContrast, HeaderMenuAndButtonTakeTheSystemColoursOnlyWhenItIsOn) {
  SystemScheme scheme;
  const RECT header = ChildRect(ListView_GetHeader(list_), frame_.Get());
  const RECT button = ChildRect(button_, frame_.Get());
  const int headerMid = (header.top + header.bottom) / 2;
  const SIZE menuSize{MulDiv(160, dpi_, 96), MulDiv(22, dpi_, 96)};
  const RECT menuBand{1, 1, MulDiv(20, dpi_, 96), menuSize.cy - 1};
  const RECT menuWhole{0, 0, menuSize.cx, menuSize.cy};

  for (bool on : {true, false}) {
    SCOPED_TRACE(on ? "high contrast" : "the skins");
    const Picture p = Shot(on);
    const Picture item = MenuItem(frame_.Get(), menuSize, false);
    const Picture chosen = MenuItem(frame_.Get(), menuSize, true);
    const std::wstring state = std::to_wstring(dpi_) + (on ? L"_on" : L"_off");
    item.Save(L"contrast_" + state + L"_menu_item.bmp");
    chosen.Save(L"contrast_" + state + L"_menu_selected.bmp");
    // Header: the face in the band's middle rows, beside the title; the title in the text colour.
    const COLORREF band = p.At(header.left + 6, headerMid);
    EXPECT_EQ(band == kFace, on) << "header face " << Rgb(band);
    EXPECT_EQ(Count(p, header, kButtonText) > 10, on) << "header title in the button text colour";
    // Flat button: the face inside the frame, the caption.
    const COLORREF face = p.At(button.left + MulDiv(10, dpi_, 96), (button.top + button.bottom) / 2);
    EXPECT_EQ(face == kFace, on) << "button face " << Rgb(face);
    EXPECT_EQ(Count(p, button, kButtonText) > 10, on) << "button caption and frame";
    // Menu: the band and body in the menu colour, the text in its own; the
    // selected item in the highlight colours.
    const COLORREF menuBandColour = item.At(menuBand.left + 2, menuSize.cy / 2);
    EXPECT_EQ(menuBandColour == kMenu, on) << "menu band " << Rgb(menuBandColour);
    EXPECT_EQ(item.At(menuSize.cx - 4, menuSize.cy / 2) == kMenu, on) << "menu body";
    const COLORREF fill = chosen.At(menuSize.cx - 4, menuSize.cy / 2);
    EXPECT_EQ(fill == kHighlight, on) << "selection fill " << Rgb(fill);
    EXPECT_EQ(Count(chosen, menuWhole, kHighlightText) > 10, on) << "selected text";
  }
}

}  // namespace
}  // namespace zt
