#include "view/menu_xp.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/dpi.h"
#include "platform/high_contrast.h"
#include "platform/unique_handle.h"
#include "platform/wide_text.h"
#include "view/menu_geometry.h"
#include "view/menu_painter.h"
#include "view/menu_registry.h"
#include "view/menu_settings.h"
#include "widgets/buffer_dc.h"
#include "widgets/draw_guards.h"

namespace zt::view::menu_xp {
namespace {

constexpr wchar_t kOptInProperty[] = L"XPWndProp_MenuXP";
constexpr UINT kItemMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_DATA;

// The item at `position` as the system reports it, with its text: the
// item's own while it is not owner-drawn yet, the saved one after.
std::optional<MenuItem> ReadItem(HMENU menu, UINT position) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = kItemMask;
  if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return std::nullopt;
  MenuItem item;
  item.type = info.fType;
  item.state = info.fState;
  item.id = info.wID;
  item.submenu = info.hSubMenu;
  const MenuRegistry& registry = MenuRegistry::Instance();
  if (!item.IsSeparator()) item.text = registry.TextOf(item.id, item.submenu);
  item.image = registry.ImageOf(item.id, item.submenu);
  return item;
}

std::u16string OwnText(HMENU menu, UINT position) {
  wchar_t buffer[256] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = buffer;
  info.cch = 255;
  if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return {};
  return FromWide(buffer);
}

// WM_DRAWITEM names an item by its id and data only; the first item of the
// menu with both is it (items alike in both draw alike).
std::optional<UINT> FindPosition(HMENU menu, UINT id, ULONG_PTR data) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    const bool same_id = info.wID == id || (info.hSubMenu && static_cast<UINT>(reinterpret_cast<UINT_PTR>(info.hSubMenu)) == id);
    if (same_id && info.dwItemData == data) return static_cast<UINT>(i);
  }
  return std::nullopt;
}

int TextWidth(HDC dc, std::u16string_view text) {
  SIZE size{};
  if (text.empty() || !GetTextExtentPoint32W(dc, AsWideData(text), static_cast<int>(text.size()), &size)) return 0;
  return size.cx;
}

SystemColours CurrentSystemColours() {
  return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_MENUTEXT),
          GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_MENU), GetSysColor(COLOR_HIGHLIGHTTEXT),
          GetSysColor(COLOR_GRAYTEXT)};
}

}  // namespace

void SetOptIn(HWND window, bool on) {
  if (on)
    SetPropW(window, kOptInProperty, reinterpret_cast<HANDLE>(1));
  else
    RemovePropW(window, kOptInProperty);
}

bool IsOptedIn(HWND window) { return window && GetPropW(window, kOptInProperty) != nullptr; }

void RegisterCommandImage(UINT command, HIMAGELIST images, int index) {
  MenuRegistry::Instance().SetCommandImage(command, images, index);
}

void RegisterSubmenuImage(HMENU submenu, HIMAGELIST images, int index) {
  MenuRegistry::Instance().SetSubmenuImage(submenu, images, index);
}

void PreparePopup(HWND owner, HMENU popup) {
  if (!IsOptedIn(owner) || !IsMenu(popup)) return;
  MenuRegistry& registry = MenuRegistry::Instance();
  registry.RemoveDeadSubmenus();

  // The module has no main window of its own: the screen's context measures
  // the menu font the same way.
  win::WindowDc screen(nullptr);
  HDC dc = screen.Get();
  widgets::StockObjectGuard font(dc, DEFAULT_GUI_FONT);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const MenuItemHeights heights = ItemHeightsFor(metrics.tmHeight, win::WindowDpi(owner));

  const int count = GetMenuItemCount(popup);
  std::vector<std::optional<MenuItem>> items;
  for (int i = 0; i < count; ++i) {
    const UINT position = static_cast<UINT>(i);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(popup, position, TRUE, &info)) {
      items.emplace_back();
      continue;
    }
    if (!(info.fType & MFT_OWNERDRAW)) {
      if (!(info.fType & MFT_SEPARATOR)) {
        std::u16string text = OwnText(popup, position);
        if (info.hSubMenu)
          registry.SetSubmenuText(info.hSubMenu, std::move(text));
        else
          registry.SetCommandText(info.wID, std::move(text));
      }
      MENUITEMINFOW owner_drawn{};
      owner_drawn.cbSize = sizeof owner_drawn;
      owner_drawn.fMask = MIIM_FTYPE;
      owner_drawn.fType = info.fType | MFT_OWNERDRAW;
      SetMenuItemInfoW(popup, position, TRUE, &owner_drawn);
    }
    items.push_back(ReadItem(popup, position));
  }

  int widest_label = 0, widest_accelerator = 0;
  for (const auto& item : items) {
    if (!item || item->IsSeparator()) continue;
    widgets::FontWeightGuard weight(dc, item->IsDefault());
    const MenuItemText text = SplitItemText(item->text);
    widest_label = std::max(widest_label, TextWidth(dc, WithoutFirstAmpersand(text.label)));
    widest_accelerator = std::max(widest_accelerator, TextWidth(dc, text.accelerator));
  }

  const std::uint32_t item_data = PackItemData(heights.item, widest_accelerator, widest_label);
  const std::uint32_t separator_data = PackItemData(heights.separator, 0, 0);
  std::vector<std::pair<std::uint32_t, std::u16string>> records;
  for (const auto& item : items) {
    if (!item) records.emplace_back(0, std::u16string());
    else if (item->IsSeparator()) records.emplace_back(separator_data, std::u16string());
    else records.emplace_back(item_data, item->text);
  }
  const std::vector<ULONG_PTR> addresses = registry.SetItemData(popup, std::move(records));
  for (int i = 0; i < count; ++i) {
    if (!items[i]) continue;
    MENUITEMINFOW data{};
    data.cbSize = sizeof data;
    data.fMask = MIIM_DATA;
    data.dwItemData = addresses[static_cast<std::size_t>(i)];
    SetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &data);
  }
}

bool MeasureItem(HWND owner, MEASUREITEMSTRUCT* item) {
  if (!item || item->CtlType != ODT_MENU) return false;
  const std::optional<std::uint32_t> packed = MenuRegistry::Instance().PackedOf(item->itemData);
  if (!packed) return false;  // not an item this layer prepared
  const MenuItemSize size = MeasuredItemSize(*packed, win::WindowDpi(owner));
  item->itemWidth = static_cast<UINT>(size.width);
  item->itemHeight = static_cast<UINT>(size.height);
  return true;
}

bool DrawItem(HWND owner, const DRAWITEMSTRUCT* item) {
  if (!item || item->CtlType != ODT_MENU) return false;
  HMENU menu = reinterpret_cast<HMENU>(item->hwndItem);
  const std::optional<UINT> position = FindPosition(menu, item->itemID, item->itemData);
  if (!position) return false;
  const std::optional<MenuItem> described = ReadItem(menu, *position);
  if (!described) return false;

  const MenuLook look = win::HighContrast()
      ? MakeHighContrastMenuLook(CurrentSystemColours())
      : MakeMenuLook(ModuleMenuSettings(), GetDeviceCaps(item->hDC, BITSPIXEL), CurrentSystemColours());
  BOOL cues = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
  widgets::CBufferDC buffer(item->hDC, item->rcItem);
  widgets::StockObjectGuard font(buffer.Get(), DEFAULT_GUI_FONT);
  PaintMenuItem(buffer.Get(), item->rcItem, item->itemState, *described, look, cues != FALSE, win::WindowDpi(owner));
  return true;
}

bool MenuChar(HMENU menu, UINT flags, wchar_t ch, LRESULT* result) {
  const bool popup_flags = flags == 0 || ((flags & MF_POPUP) && !(flags & MF_SYSMENU));
  if (!popup_flags || !result || !IsMenu(menu)) return false;
  MENUITEMINFOW first{};
  first.cbSize = sizeof first;
  first.fMask = MIIM_FTYPE;
  if (!GetMenuItemInfoW(menu, 0, TRUE, &first) || !(first.fType & MFT_OWNERDRAW)) return false;

  std::vector<std::u16string> labels;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const std::optional<MenuItem> item = ReadItem(menu, static_cast<UINT>(i));
    labels.emplace_back(item ? SplitItemText(item->text).label : std::u16string_view{});
  }
  const std::optional<std::size_t> found = FindMnemonic(labels, static_cast<char16_t>(ch));
  *result = found ? MAKELRESULT(static_cast<WORD>(*found), MNC_EXECUTE) : 0;
  return true;
}

}  // namespace zt::view::menu_xp
