#pragma once
// Driving the control's list view the way a person does: clicks, keys and
// the context menu sent to its windows from the test's own thread, which
// owns them, and the rows and columns read back.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace zt::test {

// Runs the thread's pending messages (posted rebuilds, repaints).
void Pump();

// The control's list view window inside the control's window.
HWND FindListView(HWND controlWindow);

std::wstring CellText(HWND list, int row, int column);
std::vector<std::wstring> ColumnTexts(HWND list, int column);
int ColumnCount(HWND list);
int ColumnWidth(HWND list, int column);
std::vector<int> SelectedRows(HWND list);

// A left click on a row (keys: MK_CONTROL, MK_SHIFT), a double click, a
// click on a header item, the Delete key.
void ClickRow(HWND list, int row, WPARAM keys = 0);
void ClickBelowRows(HWND list);
void DoubleClickRow(HWND list, int row);
void ClickHeader(HWND list, int column);
void PressDelete(HWND list);

// What was seen of the context menu while it was open.
struct MenuSeen {
  bool opened = false;
  bool folderGreyed = false;
  bool deleteGreyed = false;
  std::vector<unsigned> checked;  // view commands with the radio mark
  POINT at{};                     // the popup's top-left corner, in screen coordinates
};
// Right-clicks the list at the first row and, while the menu is open,
// records it, hands it to whileOpen, and then presses keys in it (none: the
// menu is dismissed).
MenuSeen RightClickMenu(HWND list, std::vector<WPARAM> keys,
                        std::function<void(HWND popup, HMENU menu)> whileOpen = {});

// The same menu opened from the keyboard: the menu key (VK_APPS) or, with
// Shift held, F10, pressed on the list.
MenuSeen KeyMenu(HWND list, WPARAM openKey, std::vector<WPARAM> keys,
                 std::function<void(HWND popup, HMENU menu)> whileOpen = {});
// A key pressed and released on the list, with Ctrl held when ctrl is true.
void PressKey(HWND list, WPARAM key, bool ctrl = false);
// Where a row's label is, in screen coordinates.
RECT RowOnScreen(HWND list, int row);

}  // namespace zt::test
