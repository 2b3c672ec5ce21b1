#pragma once
// The file list view's rules that are not drawing: the presentations, the
// column widths, the row texts and what the context menu offers.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/records.h"

namespace zt::view {

// The child-window id of the list inside the control.
inline constexpr int kListViewId = 10001;

// Commands of the context menu (menu 207) and the control's rebuild command.
namespace command {
inline constexpr unsigned OpenFile = 32770;
inline constexpr unsigned OpenFolder = 32771;
inline constexpr unsigned DeleteFiles = 32773;
inline constexpr unsigned IconView = 32780;
inline constexpr unsigned SimpleView = 32781;
inline constexpr unsigned DetailView = 32782;
inline constexpr unsigned AttributeView = 32783;
inline constexpr unsigned RebuildView = 501;
}  // namespace command

// One presentation: the list-view style (LVS_ICON 0, LVS_REPORT 1,
// LVS_SMALLICON 2, LVS_LIST 3) and whether it shows attribute columns.
struct Presentation {
  std::uint32_t ViewStyle = 0;
  bool AttributeColumns = false;
  bool Report = false;  // a details layout: skinned header, re-applied sort
  unsigned RadioCommand = 0;  // the view command the menu marks; 0 = none
};

// ListType 0 large icons, 1 details, 2 small icons, 3 list, 4 details with
// one column per registered attribute name. Any other value shows large
// icons, as a new control does, marks no view command and re-applies no
// sort.
Presentation PresentationOf(std::int16_t listType);

// The window style of the list: child, visible, tab stop and the
// presentation's view style; nothing else (several rows can be selected,
// no sorting on insertion, no auto-arrange).
std::uint32_t ListWindowStyle(std::int16_t listType);

// The ListType a view command selects, or nothing for other commands.
std::optional<std::int16_t> ListTypeOfCommand(unsigned command);

// Widths of the name, path and size columns for a view of the given width.
using ColumnWidths = std::array<int, 3>;
// When the view is built: 200, 300, 100 above 600 pixels, else 30 %, 50 %
// and 20 % of the width (truncated).
ColumnWidths BuildColumnWidths(int width);
// When the control is resized: always 30 %, 50 % and 20 %.
ColumnWidths ResizeColumnWidths(int width);

// The texts of a row's path and size columns.
std::u16string PathColumnText(const CZTFileItem& entry);
// Whole kilobytes, truncated, as a signed 32-bit number ("1 Kb" for 1024
// bytes); "? Kb" for a server entry, whatever size it was given.
std::u16string SizeColumnText(const CZTFileItem& entry);

// What the context menu shows, from the control's settings.
struct MenuState {
  bool Opens = false;          // EnableMenu is exactly 1
  bool FolderEnabled = true;   // EnableFolderMenu is not 0
  bool DeleteEnabled = true;   // EnableDeleteMenu is not 0
  unsigned RadioCommand = 0;   // 0: no view command is marked
};
MenuState ContextMenuState(std::int16_t enableMenu, std::int16_t enableFolderMenu, std::int16_t enableDeleteMenu,
                           std::int16_t listType);

}  // namespace zt::view
