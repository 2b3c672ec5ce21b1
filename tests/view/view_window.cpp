#include "view_window.h"

#include <optional>

namespace zt::test {

namespace {

constexpr int kListViewId = 10001;

LPARAM Point(const RECT& r) { return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

RECT RowRect(HWND list, int row) {
  RECT r = {};
  r.left = LVIR_LABEL;
  SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  return r;
}

// The one menu this thread may have open, seen from a timer callback of its
// modal loop.
struct MenuWatch {
  std::vector<WPARAM> keys;
  std::function<void(HWND, HMENU)> whileOpen;
  MenuSeen seen;
};
MenuWatch* g_watch = nullptr;

bool Greyed(HMENU menu, unsigned id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

void CALLBACK WatchMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = FindWindowW(L"#32768", nullptr);
  if (!g_watch || !popup || !IsWindowVisible(popup)) return;
  KillTimer(nullptr, timer);
  auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
  MenuSeen& seen = g_watch->seen;
  seen.opened = true;
  RECT placed{};
  GetWindowRect(popup, &placed);
  seen.at = {placed.left, placed.top};
  seen.folderGreyed = Greyed(menu, 32771);
  seen.deleteGreyed = Greyed(menu, 32773);
  for (unsigned id = 32780; id <= 32783; ++id)
    if (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) seen.checked.push_back(id);
  if (g_watch->whileOpen) {
    UpdateWindow(popup);
    g_watch->whileOpen(popup, menu);
  }
  if (g_watch->keys.empty()) {
    EndMenu();
    return;
  }
  for (WPARAM key : g_watch->keys) PostMessageW(popup, WM_KEYDOWN, key, 0);
}

}  // namespace

void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

HWND FindListView(HWND controlWindow) { return controlWindow ? GetDlgItem(controlWindow, kListViewId) : nullptr; }

std::wstring CellText(HWND list, int row, int column) {
  wchar_t buffer[1024] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

std::vector<std::wstring> ColumnTexts(HWND list, int column) {
  std::vector<std::wstring> texts;
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) texts.push_back(CellText(list, row, column));
  return texts;
}

int ColumnCount(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : -1;
}

int ColumnWidth(HWND list, int column) { return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)); }

std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  for (int row = -1; (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) != -1;)
    rows.push_back(row);
  return rows;
}

void ClickRow(HWND list, int row, WPARAM keys) {
  const LPARAM at = Point(RowRect(list, row));
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
  SendMessageW(list, WM_LBUTTONUP, keys, at);
  Pump();
}

void ClickBelowRows(HWND list) {
  RECT client;
  GetClientRect(list, &client);
  const LPARAM at = MAKELPARAM(client.right - 5, client.bottom - 5);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  Pump();
}

void DoubleClickRow(HWND list, int row) {
  const LPARAM at = Point(RowRect(list, row));
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  Pump();
}

void ClickHeader(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT r = {};
  SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = Point(r);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(header, WM_LBUTTONUP, 0, at);
  Pump();
}

void PressDelete(HWND list) {
  SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0x00530001);
  SendMessageW(list, WM_KEYUP, VK_DELETE, 0xC0530001);
  Pump();
}

// Holds a key down in this thread's key state while it lives, as the
// keyboard would for messages sent from this same thread.
class HeldKey {
public:
  explicit HeldKey(int key) {
    GetKeyboardState(saved_);
    BYTE state[256];
    GetKeyboardState(state);
    state[key] |= 0x80;
    SetKeyboardState(state);
  }
  ~HeldKey() { SetKeyboardState(saved_); }

private:
  BYTE saved_[256] = {};
};

// Runs open (it returns when the menu has closed) while the watch acts.
MenuSeen WatchedMenu(std::vector<WPARAM> keys, std::function<void(HWND, HMENU)> whileOpen,
                     const std::function<void()>& open) {
  MenuWatch watch{std::move(keys), std::move(whileOpen), {}};
  g_watch = &watch;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &WatchMenu);
  open();
  KillTimer(nullptr, timer);
  g_watch = nullptr;
  Pump();
  return watch.seen;
}

MenuSeen RightClickMenu(HWND list, std::vector<WPARAM> keys, std::function<void(HWND, HMENU)> whileOpen) {
  return WatchedMenu(std::move(keys), std::move(whileOpen), [&] {
    RECT r = RowRect(list, 0);
    SendMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, Point(r));
    SendMessageW(list, WM_RBUTTONUP, 0, Point(r));
  });
}

MenuSeen KeyMenu(HWND list, WPARAM openKey, std::vector<WPARAM> keys, std::function<void(HWND, HMENU)> whileOpen) {
  return WatchedMenu(std::move(keys), std::move(whileOpen), [&] {
    std::optional<HeldKey> shift;
    if (openKey == VK_F10) shift.emplace(VK_SHIFT);
    const UINT down = openKey == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN;  // F10 is a system key
    SendMessageW(list, down, openKey, 1);
    SendMessageW(list, down + 1, openKey, 0xC0000001);
  });
}

void PressKey(HWND list, WPARAM key, bool ctrl) {
  std::optional<HeldKey> control;
  if (ctrl) control.emplace(VK_CONTROL);
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  SendMessageW(list, WM_KEYDOWN, key, 1 | (scan << 16));
  SendMessageW(list, WM_KEYUP, key, 0xC0000001 | (scan << 16));
  Pump();
}

RECT RowOnScreen(HWND list, int row) {
  RECT r = RowRect(list, row);
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace zt::test
