// The flat menus in a real popup menu under Wine: a window that opts in
// opens a menu with images, check marks, a radio item, a separator, a
// greyed item, a default item and a sub-menu; the test reads the menu's
// pixels back while it is open, moves the selection with the keyboard and
// picks an item by its mnemonic.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <map>
#include <string>
#include <vector>

#include "picture.h"
#include "platform/module_state.h"
#include "platform/unique_handle.h"
#include "view/menu_geometry.h"
#include "view/menu_look.h"
#include "view/menu_painter.h"
#include "view/menu_settings.h"
#include "view/menu_xp.h"
#include "widgets/gradient_stripes.h"

namespace zt::view {
namespace {

using testing::Picture;
using testing::Rgb;

constexpr UINT kOpen = 101, kChecked = 102, kRadio = 103, kGreyed = 104, kDefault = 105, kCheckedImage = 106,
               kInner = 201;
const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

#define EXPECT_PIXEL(picture, x, y, colour, what) \
  EXPECT_EQ(Rgb((picture).At(x, y)), Rgb(colour)) << what << " at (" << (x) << ", " << (y) << ")"

// The owner window: hands the four menu messages to the layer and records
// what the system asked and showed.
struct OwnerState {
  std::map<UINT, RECT> drawn;      // item id -> item rectangle in the menu window
  std::map<UINT, UINT> measured;   // item id -> width answered
  std::vector<Picture> shots;      // taken by the timer while the menu is open
  std::vector<std::vector<std::pair<UINT, WPARAM>>> keys;  // posted after each shot
  std::size_t stage = 0;
  bool menu_found = false;
};
OwnerState* g_state = nullptr;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITMENUPOPUP: {
      const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
      menu_xp::PreparePopup(window, reinterpret_cast<HMENU>(wparam));
      return result;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (menu_xp::MeasureItem(window, item)) {
        if (g_state) g_state->measured[item->itemID] = item->itemWidth;
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      if (menu_xp::DrawItem(window, item)) {
        if (g_state) g_state->drawn[item->itemID] = item->rcItem;
        return TRUE;
      }
      break;
    }
    case WM_MENUCHAR: {
      LRESULT result = 0;
      if (menu_xp::MenuChar(reinterpret_cast<HMENU>(lparam), HIWORD(wparam), LOWORD(wparam), &result))
        return result;
      break;
    }
    case WM_TIMER: {
      HWND menu = FindWindowW(L"#32768", nullptr);
      if (!g_state || !menu || !IsWindowVisible(menu) || g_state->stage >= g_state->keys.size()) {
        if (g_state && ++g_state->stage > 40) EndMenu();  // never hang on a menu that did not open
        return 0;
      }
      g_state->menu_found = true;
      g_state->shots.push_back(Picture::OfWindow(menu));
      for (auto [msg, key] : g_state->keys[g_state->stage]) PostMessageW(menu, msg, key, 0);
      ++g_state->stage;
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

class Window {
public:
  explicit Window(bool opt_in) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZtMenuOwner";
    RegisterClassW(&wc);
    window_.Reset(CreateWindowExW(0, wc.lpszClassName, L"menu owner", WS_POPUP | WS_VISIBLE, 40, 40, 200, 120,
                                  nullptr, nullptr, wc.hInstance, nullptr));
    if (opt_in) menu_xp::SetOptIn(window_.Get(), true);
  }
  HWND Get() const { return window_.Get(); }

private:
  win::UniqueHwnd window_;
};

// A 16 x 16 image: a square of `colour` from (2, 2) to (13, 13) on light
// grey, which the image list makes transparent.
void AddSquare(HIMAGELIST images, COLORREF colour) {
  win::WindowDc screen(nullptr);
  win::UniqueHbitmap bitmap(CreateCompatibleBitmap(screen.Get(), 16, 16));
  win::UniqueHdc dc(CreateCompatibleDC(screen.Get()));
  {
    win::SelectGuard select(dc.Get(), bitmap.Get());
    win::UniqueHbrush grey(CreateSolidBrush(RGB(192, 192, 192))), fill(CreateSolidBrush(colour));
    RECT all{0, 0, 16, 16}, square{2, 2, 14, 14};
    FillRect(dc.Get(), &all, grey.Get());
    FillRect(dc.Get(), &square, fill.Get());
  }
  ImageList_AddMasked(images, bitmap.Get(), RGB(192, 192, 192));
}

void Append(HMENU menu, UINT id, const wchar_t* text, UINT flags = MF_STRING) {
  AppendMenuW(menu, flags, id, text);
}

int TextWidth(HDC dc, const wchar_t* text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  return size.cx;
}

COLORREF StripeAt(int x, int left, int right, COLORREF from, COLORREF to) {
  for (const widgets::Stripe& s : widgets::GradientStripes(left, right, from, to))
    if (x >= s.left && x < s.right) return s.colour;
  return 0xFFFFFFFF;
}

int CountPixels(const Picture& p, const RECT& r, COLORREF colour) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += p.At(x, y) == colour;
  return n;
}

class MenuXpTest : public ::testing::Test {
protected:
  void SetUp() override {
    com::SetModuleInstance(GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
  }
};

TEST_F(MenuXpTest, OpenPopupIsDrawnFlatAndAnswersKeys) {
  Window owner(true);
  ASSERT_TRUE(menu_xp::IsOptedIn(owner.Get()));
  win::UniqueHmenu menu(CreatePopupMenu());
  HMENU inner = CreatePopupMenu();  // owned by `menu` once appended
  Append(inner, kInner, L"&Inner");
  {
    // The list is gone before the menu opens: registrations keep copies.
    win::UniqueHimagelist images(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 0));
    AddSquare(images.Get(), kRed);
    AddSquare(images.Get(), kBlue);
    menu_xp::RegisterCommandImage(kOpen, images.Get(), 1);
    menu_xp::RegisterCommandImage(kOpen, images.Get(), 0);  // the later registration wins
    menu_xp::RegisterCommandImage(kGreyed, images.Get(), 1);
    menu_xp::RegisterCommandImage(kCheckedImage, images.Get(), 0);
    menu_xp::RegisterCommandImage(kDefault, images.Get(), 1);
    menu_xp::RegisterCommandImage(kDefault, nullptr, -1);  // and taken away again
    menu_xp::RegisterSubmenuImage(inner, images.Get(), 1);
  }
  Append(menu.Get(), kOpen, L"&Open\tCtrl+O");
  Append(menu.Get(), kChecked, L"&Checked", MF_STRING | MF_CHECKED);
  Append(menu.Get(), kRadio, L"&Radio");
  CheckMenuRadioItem(menu.Get(), kRadio, kRadio, kRadio, MF_BYCOMMAND);
  Append(menu.Get(), 0, nullptr, MF_SEPARATOR);
  Append(menu.Get(), kGreyed, L"Grey&ed");
  EnableMenuItem(menu.Get(), kGreyed, MF_BYCOMMAND | MF_GRAYED);
  Append(menu.Get(), kDefault, L"&Default choice, the widest");
  SetMenuDefaultItem(menu.Get(), kDefault, FALSE);
  Append(menu.Get(), kCheckedImage, L"Checked &image", MF_STRING | MF_CHECKED);
  AppendMenuW(menu.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(inner), L"&More");
  const UINT inner_id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(inner));

  OwnerState state;
  state.keys = {{{WM_KEYDOWN, VK_DOWN}},                                                // selects Open
                {{WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_DOWN}},  // to Greyed
                {{WM_CHAR, 'o'}}};                                                      // Open by mnemonic
  g_state = &state;
  SetForegroundWindow(owner.Get());
  SetTimer(owner.Get(), 1, 300, nullptr);
  const UINT chosen = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, 60,
                                     60, 0, owner.Get(), nullptr);
  KillTimer(owner.Get(), 1);
  g_state = nullptr;
  ASSERT_TRUE(state.menu_found) << "the popup menu never showed";
  ASSERT_EQ(state.shots.size(), 3u);
  state.shots[0].Save(L"menu_open.bmp");
  state.shots[1].Save(L"menu_selected.bmp");
  state.shots[2].Save(L"menu_greyed_selected.bmp");
  EXPECT_EQ(chosen, kOpen) << "the mnemonic O should pick the first item";

  for (UINT id : {kOpen, kChecked, kRadio, 0u, kGreyed, kDefault, kCheckedImage, inner_id})
    ASSERT_TRUE(state.drawn.count(id)) << "item " << id << " was never drawn by the layer";

  // Sizes: every item as wide as the widest label (the default item's, in
  // bold) plus the accelerator plus 42; heights from the menu font.
  {
    win::WindowDc screen(nullptr);
    win::SelectGuard font(screen.Get(), GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.Get(), &metrics);
    LOGFONTW bold{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof bold, &bold);
    bold.lfWeight = FW_BOLD;
    const int accelerator = TextWidth(screen.Get(), L"Ctrl+O");
    win::UniqueHfont bold_font(CreateFontIndirectW(&bold));
    win::SelectGuard select_bold(screen.Get(), bold_font.Get());
    const int widest = TextWidth(screen.Get(), L"Default choice, the widest");
    for (auto [id, width] : state.measured) {
      if (id == 0) continue;  // the separator
      EXPECT_EQ(static_cast<int>(width), widest + accelerator + 42) << "item " << id;
    }
    const MenuItemHeights heights = ItemHeightsFor(metrics.tmHeight);
    EXPECT_EQ(state.drawn[kOpen].bottom - state.drawn[kOpen].top, heights.item);
    EXPECT_EQ(state.drawn[0].bottom - state.drawn[0].top, heights.separator);
  }

  const COLORREF face = GetSysColor(COLOR_BTNFACE), highlight = GetSysColor(COLOR_HIGHLIGHT),
                 text = GetSysColor(COLOR_MENUTEXT);
  const MenuLook look = MakeMenuLook(MenuSettings{}, 32, {face, highlight, text, GetSysColor(COLOR_BTNSHADOW)});
  const COLORREF start = RGB(180, 196, 228), white = RGB(255, 255, 255);
  const Picture& open = state.shots[0];

  {  // The band: 30 pixels of gradient from light blue to white, then the white body.
    const RECT r = state.drawn[kDefault];
    EXPECT_EQ(CountPixels(open, r, kBlue), 0) << "an image whose registration was removed";
    for (int x = r.left; x < r.left + 30; ++x)
      EXPECT_PIXEL(open, x, r.top + 1, StripeAt(x, r.left, r.left + 30, start, white), "band");
    EXPECT_PIXEL(open, r.left, r.top + 1, RGB(182, 197, 228), "band's first column");
    EXPECT_PIXEL(open, r.left + 30, r.top + 1, white, "body");
    EXPECT_PIXEL(open, r.right - 2, r.bottom - 2, white, "body");
  }
  {  // An image on the band, its light grey transparent.
    const RECT r = state.drawn[kOpen];
    EXPECT_PIXEL(open, r.left + 5, r.top + 5, kRed, "image");
    EXPECT_PIXEL(open, r.left + 16, r.top + 16, kRed, "image");
    EXPECT_PIXEL(open, r.left + 3, r.top + 3, StripeAt(r.left + 3, r.left, r.left + 30, start, white),
                 "transparent image corner");
  }
  {  // A check box with the system's check mark.
    const RECT r = state.drawn[kChecked];
    EXPECT_PIXEL(open, r.left + 1, r.top + 1, highlight, "check box outline");
    EXPECT_PIXEL(open, r.left + 19, r.bottom - 2, highlight, "check box outline");
    EXPECT_PIXEL(open, r.left + 2, r.bottom - 3, look.selection_fill, "check box fill");
    EXPECT_GT(CountPixels(open, RECT{r.left + 5, r.top + 3, r.left + 19, r.bottom - 2}, text), 4) << "check mark";
  }
  {  // A radio dot with its notch.
    const RECT r = state.drawn[kRadio];
    const int c = (r.top + r.bottom) / 2, x = (2 * r.left + 25) / 2;
    EXPECT_PIXEL(open, r.left + 1, r.top + 1, highlight, "radio box outline");
    EXPECT_PIXEL(open, x - 1, c, text, "radio dot");
    EXPECT_PIXEL(open, x + 1, c + 2, look.selection_fill, "radio dot's notch");
  }
  {  // The separator line starts at 30 and runs to the right edge.
    const RECT r = state.drawn[0];
    const int middle = (r.top + r.bottom) / 2;
    EXPECT_PIXEL(open, r.left + 30, middle, look.separator, "separator");
    EXPECT_PIXEL(open, r.right - 2, middle, look.separator, "separator");
    EXPECT_PIXEL(open, r.left + 29, middle, StripeAt(r.left + 29, r.left, r.left + 30, start, white),
                 "band beside the separator");
    EXPECT_PIXEL(open, r.left + 40, middle - 2, white, "body above the separator");
  }
  {  // A greyed item: a silhouette instead of its blue image, greyed text.
    const RECT r = state.drawn[kGreyed];
    EXPECT_PIXEL(open, r.left + 10, r.top + 10, look.disabled_image, "greyed image silhouette");
    EXPECT_EQ(CountPixels(open, r, kBlue), 0) << "a greyed item shows its image in colour";
    EXPECT_GT(CountPixels(open, RECT{r.left + 30, r.top, r.right, r.bottom}, look.separator), 3) << "greyed text";
    EXPECT_EQ(CountPixels(open, RECT{r.left + 30, r.top, r.right, r.bottom}, text), 0) << "greyed text in black";
  }
  {  // Checked with an image: the box and the image, no check mark.
    const RECT r = state.drawn[kCheckedImage];
    EXPECT_PIXEL(open, r.left + 1, r.top + 1, highlight, "check box outline");
    EXPECT_PIXEL(open, r.left + 10, r.top + 10, kRed, "image in the check box");
  }
  // The sub-menu item's image comes from the sub-menu registry.
  EXPECT_PIXEL(open, state.drawn[inner_id].left + 10, state.drawn[inner_id].top + 10, kBlue, "sub-menu image");

  {  // Selected: a highlight frame over a gradient, the image raised with a shadow.
    const Picture& selected = state.shots[1];
    const RECT r = state.drawn[kOpen];
    EXPECT_PIXEL(selected, r.left, r.top, highlight, "selection frame");
    EXPECT_PIXEL(selected, r.right - 1, r.bottom - 1, highlight, "selection frame");
    EXPECT_PIXEL(selected, r.left + 60, r.top, highlight, "selection frame");
    EXPECT_PIXEL(selected, r.left + 40, r.top + 1, StripeAt(r.left + 40, r.left, r.right, start, white),
                 "selection gradient");
    EXPECT_PIXEL(selected, r.left + 4, r.top + 4, kRed, "raised image");
    EXPECT_PIXEL(selected, r.left + 16, r.top + 16, look.image_shadow, "image shadow");
    EXPECT_PIXEL(selected, r.left + 17, r.top + 17, look.image_shadow, "image shadow");
  }
  {  // A greyed item selected: its gradient starts from face +73.
    const Picture& selected = state.shots[2];
    const RECT r = state.drawn[kGreyed];
    EXPECT_PIXEL(selected, r.left, r.top, highlight, "selection frame");
    EXPECT_PIXEL(selected, r.left + 40, r.top + 1, StripeAt(r.left + 40, r.left, r.right, look.disabled_fill, white),
                 "greyed selection gradient");
    EXPECT_PIXEL(selected, r.left + 10, r.top + 10, look.disabled_image, "greyed image silhouette");
  }

  // A screen reader reads an owner-drawn item's name from the record its data
  // points to: the convention's signature and the item's own text.
  for (const auto& [position, text] : {std::pair<UINT, const wchar_t*>{0, L"&Open\tCtrl+O"}, {7, L"&More"}}) {
    MENUITEMINFOW info{sizeof info, MIIM_DATA};
    ASSERT_TRUE(GetMenuItemInfoW(menu.Get(), position, TRUE, &info));
    const auto* accessible = reinterpret_cast<const MSAAMENUINFO*>(info.dwItemData);
    ASSERT_EQ(accessible->dwMSAASignature, static_cast<DWORD>(MSAA_MENU_SIG));
    EXPECT_EQ(std::wstring(accessible->pszWText, accessible->cchWText), text);
  }

  // Mnemonics of the prepared (owner-drawn) menu, without the menu open.
  LRESULT answer = -1;
  ASSERT_TRUE(menu_xp::MenuChar(menu.Get(), MF_POPUP, L'd', &answer));
  EXPECT_EQ(answer, MAKELRESULT(5, MNC_EXECUTE));
  ASSERT_TRUE(menu_xp::MenuChar(menu.Get(), 0, L'I', &answer));
  EXPECT_EQ(answer, MAKELRESULT(6, MNC_EXECUTE));
  ASSERT_TRUE(menu_xp::MenuChar(menu.Get(), MF_POPUP, L'z', &answer));
  EXPECT_EQ(answer, 0);
  EXPECT_FALSE(menu_xp::MenuChar(menu.Get(), MF_POPUP | MF_SYSMENU, L'd', &answer));
}

TEST_F(MenuXpTest, WindowsThatDidNotOptInKeepSystemMenus) {
  Window owner(false);
  win::UniqueHmenu menu(CreatePopupMenu());
  Append(menu.Get(), 301, L"&Plain");
  menu_xp::PreparePopup(owner.Get(), menu.Get());
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_DATA;
  ASSERT_TRUE(GetMenuItemInfoW(menu.Get(), 0, TRUE, &info));
  EXPECT_FALSE(info.fType & MFT_OWNERDRAW);
  EXPECT_EQ(info.dwItemData, 0u);
  LRESULT answer = 0;
  EXPECT_FALSE(menu_xp::MenuChar(menu.Get(), MF_POPUP, L'p', &answer)) << "a system-drawn menu answers itself";

  // Opting in and out again.
  menu_xp::SetOptIn(owner.Get(), true);
  EXPECT_TRUE(menu_xp::IsOptedIn(owner.Get()));
  menu_xp::SetOptIn(owner.Get(), false);
  EXPECT_FALSE(menu_xp::IsOptedIn(owner.Get()));
  EXPECT_FALSE(menu_xp::IsOptedIn(nullptr));
}

TEST_F(MenuXpTest, ProfileSettingsAndTheFlatFallbackOfEightBitDisplays) {
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"zmx", 0, path);
  // ShowGradientSel belongs to "MenuEx": the one in "MenuXP" is not read.
  WritePrivateProfileStringW(L"MenuXP", L"ShowGradient", L"0", path);
  WritePrivateProfileStringW(L"MenuXP", L"GradientStart", L"-1", path);
  WritePrivateProfileStringW(L"MenuXP", L"GradientWidth", L"12", path);
  WritePrivateProfileStringW(L"MenuXP", L"ShowGradientSel", L"0", path);
  WritePrivateProfileStringW(L"MenuEx", L"ShowGradientSel", L"1", path);
  const MenuSettings read = ReadMenuSettings(path);
  DeleteFileW(path);
  EXPECT_FALSE(read.show_gradient);
  EXPECT_TRUE(read.show_gradient_selected);
  EXPECT_EQ(read.gradient_start, MenuSettings::kFromFace);
  EXPECT_EQ(read.gradient_end, 0xFFFFFF);
  EXPECT_EQ(read.gradient_width, 12);
  const MenuSettings absent = ReadMenuSettings(L"Z:\\no\\such\\profile.ini");
  EXPECT_TRUE(absent.show_gradient && absent.show_gradient_selected);
  EXPECT_EQ(absent.gradient_start, 0xE4C4B4);
  EXPECT_EQ(absent.gradient_width, 30);

  // An 8-bit display: the band is 22 pixels of face +20, the body face +75,
  // and a selected greyed item a filled face +73 box in the highlight frame.
  const COLORREF face = RGB(212, 208, 200), highlight = RGB(49, 106, 197);
  const MenuLook look = MakeMenuLook(MenuSettings{}, 8, {face, highlight, RGB(0, 0, 0), RGB(128, 128, 128)});
  win::WindowDc screen(nullptr);
  win::UniqueHdc dc(CreateCompatibleDC(screen.Get()));
  win::UniqueHbitmap bitmap(CreateCompatibleBitmap(screen.Get(), 120, 40));
  win::SelectGuard select(dc.Get(), bitmap.Get());
  menu_xp::MenuItem item;
  item.id = 7;
  item.text = u"Item";
  menu_xp::PaintMenuItem(dc.Get(), RECT{0, 0, 120, 20}, 0, item, look, true);
  item.state = MFS_GRAYED;
  menu_xp::PaintMenuItem(dc.Get(), RECT{0, 20, 120, 40}, ODS_SELECTED, item, look, true);
  const Picture flat = Picture::OfDc(dc.Get(), 120, 40);
  flat.Save(L"menu_8bit.bmp");
  const COLORREF band = widgets::AdjustColour(face, 20, 0), body = widgets::AdjustColour(face, 75, 0);
  EXPECT_PIXEL(flat, 0, 1, band, "flat band");
  EXPECT_PIXEL(flat, 21, 18, band, "flat band");
  EXPECT_PIXEL(flat, 22, 1, body, "flat body");
  EXPECT_PIXEL(flat, 119, 18, body, "flat body");
  EXPECT_PIXEL(flat, 0, 20, highlight, "selection frame");
  EXPECT_PIXEL(flat, 10, 30, widgets::AdjustColour(face, 73, 0), "greyed selection fill");
  EXPECT_PIXEL(flat, 100, 30, widgets::AdjustColour(face, 73, 0), "greyed selection fill");
}

}  // namespace
}  // namespace zt::view
