#pragma once
// The geometry and texts of the flat menus, apart from any drawing: item
// heights from the menu font, the sizes packed into each item's data, the
// label/accelerator split and the mnemonic look-up.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt::view {

// Left band and text layout of a drawn item, in pixels at 96 DPI: a display
// of another scale draws them AtDpi.
struct MenuLayout {
  static constexpr int kBandWidth = 22;        // band without gradients
  static constexpr int kTextLeft = 30;         // label and separator start
  static constexpr int kAcceleratorMargin = 12;
  static constexpr int kExtraWidth = 42;       // band, gaps and margins beside the texts
  static constexpr int kSeparatorWidth = 4;    // an item whose data holds no height
};

// A length of the 96-DPI layout at dpi, rounded to the nearest pixel.
int AtDpi(int pixels, int dpi);

struct MenuItemHeights {
  int item;
  int separator;
};

// From the menu font's text height (tmHeight): items are at least 20 pixels
// high at 96 DPI, and as much more at dpi.
MenuItemHeights ItemHeightsFor(int text_height, int dpi = 96);

// The 32-bit data of a prepared item: bits 0..7 the item height, 8..15 the
// widest accelerator text of its popup, 16..31 the widest label. A value too
// large for its field is stored as the field's largest value, so a menu is
// never measured narrower than its texts.
std::uint32_t PackItemData(int height, int accelerator_width, int label_width);

struct MenuItemSize {
  int width;
  int height;
};

// What WM_MEASUREITEM answers for an item with this data on a display of
// dpi (the packed texts are measured in the display's own font already).
MenuItemSize MeasuredItemSize(std::uint32_t item_data, int dpi = 96);

// An item text "label\taccelerator".
struct MenuItemText {
  std::u16string_view label;
  std::u16string_view accelerator;  // empty when there is no tab
};
MenuItemText SplitItemText(std::u16string_view text);

// The label as measured: its first "&" removed.
std::u16string WithoutFirstAmpersand(std::u16string_view label);

// The position of the first label that marks `ch` as its mnemonic ("&" then
// the character, ignoring case; "&&" is a literal ampersand and marks
// nothing), or none.
std::optional<std::size_t> FindMnemonic(const std::vector<std::u16string>& labels, char16_t ch);

}  // namespace zt::view
