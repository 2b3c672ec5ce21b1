#include "view/view_rules.h"

#include "text/unicode.h"

namespace zt::view {

namespace {

constexpr std::uint32_t kChildVisibleTabStop = 0x50010000;  // WS_CHILD | WS_VISIBLE | WS_TABSTOP

ColumnWidths Proportional(int width) {
  // 30 %, 50 % and 20 %, truncated. In whole numbers: a product such as
  // 600 x 0.3 in floating point is 179.999... on an x87 unit and 180 with
  // SSE, and the width must not depend on the processor (600 gives 180).
  return {width * 3 / 10, width / 2, width / 5};
}

}  // namespace

Presentation PresentationOf(std::int16_t listType) {
  switch (listType) {
    case 1: return {1, false, true, command::DetailView};
    case 2: return {2, false, false, command::SimpleView};
    case 3: return {3, false, false, command::SimpleView};
    case 4: return {1, true, true, command::AttributeView};
    case 0: return {0, false, false, command::IconView};
    default: return {0, false, false, 0};
  }
}

std::uint32_t ListWindowStyle(std::int16_t listType) { return kChildVisibleTabStop | PresentationOf(listType).ViewStyle; }

std::optional<std::int16_t> ListTypeOfCommand(unsigned command) {
  switch (command) {
    case command::IconView: return 0;
    case command::SimpleView: return 3;
    case command::DetailView: return 1;
    case command::AttributeView: return 4;
    default: return std::nullopt;
  }
}

ColumnWidths BuildColumnWidths(int width) {
  if (width > 600) return {200, 300, 100};
  return Proportional(width);
}

ColumnWidths ResizeColumnWidths(int width) { return Proportional(width); }

std::u16string PathColumnText(const CZTFileItem& entry) { return entry.Path(); }

std::u16string SizeColumnText(const CZTFileItem& entry) {
  if (!entry.IsLocal()) return u"? Kb";
  const auto kilobytes = static_cast<std::int32_t>(entry.Size >> 10);
  const std::string digits = std::to_string(kilobytes);
  return Widen(digits) + u" Kb";
}

MenuState ContextMenuState(std::int16_t enableMenu, std::int16_t enableFolderMenu, std::int16_t enableDeleteMenu,
                           std::int16_t listType) {
  MenuState state;
  state.Opens = enableMenu == 1;
  state.FolderEnabled = enableFolderMenu != 0;
  state.DeleteEnabled = enableDeleteMenu != 0;
  state.RadioCommand = PresentationOf(listType).RadioCommand;
  return state;
}

}  // namespace zt::view
