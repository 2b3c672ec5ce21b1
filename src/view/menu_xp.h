#pragma once
// The flat ("XP") style of popup menus: a tinted band on the left with the
// item images and check marks, a light body, a framed highlight and optional
// gradients. A window opts in with a window property and hands its four menu
// messages to these functions; everything else about its menus stays with
// the system.
//
//   WM_CREATE:        menu_xp::SetOptIn(hwnd, true);
//   WM_INITMENUPOPUP: DefWindowProc(...), then menu_xp::PreparePopup(hwnd, popup);
//   WM_MEASUREITEM:   if (menu_xp::MeasureItem(hwnd, mis)) return TRUE;
//   WM_DRAWITEM:      if (menu_xp::DrawItem(hwnd, dis)) return TRUE;
//   WM_MENUCHAR:      if (menu_xp::MenuChar(menu, flags, ch, &r)) return r;
//
// The image and text registries are process-wide and live as long as the
// module; they are touched only from the user-interface thread.
#include <windows.h>
#include <commctrl.h>

namespace zt::view::menu_xp {

// The "XPWndProp_MenuXP" window property.
void SetOptIn(HWND window, bool on);
bool IsOptedIn(HWND window);

// The image shown beside every menu item with this command id; a later call
// for the same id replaces the earlier one, and a null list or index -1
// removes it. The image is copied: the list stays the caller's and may be
// destroyed at any time.
void RegisterCommandImage(UINT command, HIMAGELIST images, int index);
// The same for the item that opens `submenu`; forgotten once that menu is
// destroyed.
void RegisterSubmenuImage(HMENU submenu, HIMAGELIST images, int index);

// Makes the popup's items owner-drawn and gives each its measured size. Does
// nothing unless `owner` opted in. Call after the window's own default
// WM_INITMENUPOPUP handling.
void PreparePopup(HWND owner, HMENU popup);

// WM_MEASUREITEM / WM_DRAWITEM: true when the item was a menu item and is
// handled.
bool MeasureItem(HWND owner, MEASUREITEMSTRUCT* item);
bool DrawItem(HWND owner, const DRAWITEMSTRUCT* item);

// WM_MENUCHAR: true with *result set when the layer answers (the position of
// the item whose mnemonic was pressed, with MNC_EXECUTE; 0 when none has
// it); false when the window's default handling should answer.
bool MenuChar(HMENU menu, UINT flags, wchar_t ch, LRESULT* result);

}  // namespace zt::view::menu_xp
