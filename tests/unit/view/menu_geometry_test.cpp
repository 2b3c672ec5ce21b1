#include <gtest/gtest.h>

#include "view/menu_geometry.h"
#include "view/menu_look.h"

namespace zt::view {
namespace {

using widgets::AdjustColour;
using widgets::MakeColour;

TEST(MenuGeometry, HeightsAndPackedItemSizes) {
  // A 13-pixel font: 13 + 2 is not over 16, so items keep the 20-pixel
  // minimum; separators are half the font plus 2.
  EXPECT_EQ(ItemHeightsFor(13).item, 20);
  EXPECT_EQ(ItemHeightsFor(13).separator, 8);
  EXPECT_EQ(ItemHeightsFor(14).item, 20);
  EXPECT_EQ(ItemHeightsFor(15).item, 21);
  EXPECT_EQ(ItemHeightsFor(16).separator, 10);

  // Every item of a popup measures its widest label and accelerator plus 42.
  const std::uint32_t item = PackItemData(20, 37, 110);
  EXPECT_EQ(item, 20u | 37u << 8 | 110u << 16);
  EXPECT_EQ(MeasuredItemSize(item).width, 110 + 37 + 42);
  EXPECT_EQ(MeasuredItemSize(item).height, 20);
  const std::uint32_t separator = PackItemData(8, 0, 0);
  EXPECT_EQ(separator, 8u);
  EXPECT_EQ(MeasuredItemSize(separator).width, 42);
  EXPECT_EQ(MeasuredItemSize(separator).height, 8);
  // An item the layer never prepared carries no height.
  EXPECT_EQ(MeasuredItemSize(0).width, 4);
  EXPECT_EQ(MeasuredItemSize(0).height, 0);

  // Too wide for a field: stored as the field's largest value, not wrapped
  // (a 260-pixel accelerator must not shrink the menu to 4 pixels of it).
  const std::uint32_t wide = PackItemData(300, 260, 70000);
  EXPECT_EQ(MeasuredItemSize(wide).height, 255);
  EXPECT_EQ(MeasuredItemSize(wide).width, 65535 + 255 + 42);
  EXPECT_EQ(PackItemData(-5, -1, -1), 0u);
}

TEST(MenuGeometry, LabelsAcceleratorsAndMnemonics) {
  const MenuItemText open = SplitItemText(u"&Open\tCtrl+O");
  EXPECT_EQ(open.label, u"&Open");
  EXPECT_EQ(open.accelerator, u"Ctrl+O");
  EXPECT_EQ(SplitItemText(u"A\tB\tC").accelerator, u"B\tC");
  EXPECT_TRUE(SplitItemText(u"\uD30C\uC77C").accelerator.empty());
  EXPECT_EQ(WithoutFirstAmpersand(u"&&Save &As"), u"&Save &As");
  EXPECT_EQ(WithoutFirstAmpersand(u"\uD30C\uC77C(&F)"), u"\uD30C\uC77C(F)");

  const std::vector<std::u16string> labels = {
      u"&Open", u"Save &as", u"A&&B", u"&&C", u"\uD30C\uC77C(&F)", u"&open again", u"ends with &", u"&\u00E9t\u00E9", u"&&&Keep"};
  EXPECT_EQ(FindMnemonic(labels, u'o'), 0u);  // the first in menu order
  EXPECT_EQ(FindMnemonic(labels, u'O'), 0u);
  EXPECT_EQ(FindMnemonic(labels, u'A'), 1u);
  EXPECT_EQ(FindMnemonic(labels, u'f'), 4u);
  EXPECT_EQ(FindMnemonic(labels, u'\u00C9'), 7u);
  EXPECT_FALSE(FindMnemonic(labels, u'b'));  // "&&" is a literal ampersand
  EXPECT_FALSE(FindMnemonic(labels, u'c'));
  EXPECT_FALSE(FindMnemonic(labels, u'x'));
  EXPECT_FALSE(FindMnemonic(labels, u'&'));
  EXPECT_EQ(FindMnemonic(labels, u'k'), 8u);  // "&&" then "&K"
  EXPECT_FALSE(FindMnemonic({}, u'o'));
}

TEST(MenuLook, GradientsNeedTheSettingAndMoreThanEightBits) {
  const SystemColours system{MakeColour(240, 240, 240), MakeColour(0, 120, 215), MakeColour(0, 0, 0),
                             MakeColour(160, 160, 160)};
  const MenuSettings defaults;
  const MenuLook look = MakeMenuLook(defaults, 32, system);
  EXPECT_EQ(look.band_from, MakeColour(180, 196, 228));
  EXPECT_EQ(look.band_to, MakeColour(255, 255, 255));
  EXPECT_EQ(look.body, MakeColour(255, 255, 255));
  EXPECT_EQ(look.band_width, 30);
  EXPECT_TRUE(look.selection_gradient);
  EXPECT_EQ(look.selection_from, MakeColour(180, 196, 228));
  EXPECT_EQ(look.selection_fill, AdjustColour(system.highlight, 70, -57));
  EXPECT_EQ(look.selected_check_fill, AdjustColour(system.highlight, 50, -50));
  EXPECT_EQ(look.image_shadow, AdjustColour(system.highlight, 50, -66));
  EXPECT_EQ(look.disabled_fill, MakeColour(250, 250, 250));
  EXPECT_EQ(look.separator, MakeColour(196, 196, 196));
  EXPECT_EQ(look.disabled_image, MakeColour(175, 175, 175));

  // At 8 bits, or with ShowGradient off, the band is 22 pixels of face +20
  // and the body face +75, whatever the gradient colours say.
  MenuSettings off;
  off.show_gradient = false;
  for (const MenuLook& flat : {MakeMenuLook(defaults, 8, system), MakeMenuLook(off, 32, system)}) {
    EXPECT_EQ(flat.band_from, MakeColour(243, 243, 243));
    EXPECT_EQ(flat.band_to, flat.band_from);
    EXPECT_EQ(flat.band_width, 22);
    EXPECT_EQ(flat.body, MakeColour(251, 251, 251));
    EXPECT_FALSE(flat.selection_gradient);
  }

  // -1 derives a gradient end from the face; ShowGradientSel alone only
  // turns off the selection's gradient; a negative width draws no band.
  MenuSettings derived;
  derived.gradient_start = MenuSettings::kFromFace;
  derived.gradient_end = MenuSettings::kFromFace;
  derived.show_gradient_selected = false;
  derived.gradient_width = -4;
  const MenuLook custom = MakeMenuLook(derived, 24, system);
  EXPECT_EQ(custom.band_from, MakeColour(243, 243, 243));
  EXPECT_EQ(custom.band_to, MakeColour(251, 251, 251));
  EXPECT_EQ(custom.body, MakeColour(251, 251, 251));
  EXPECT_EQ(custom.band_width, 0);
  EXPECT_FALSE(custom.selection_gradient);
  MenuSettings stray;
  stray.gradient_start = 0x7F00FF00;  // bits above the colour are dropped
  EXPECT_EQ(MakeMenuLook(stray, 32, system).band_from, MakeColour(0, 255, 0));
}

}  // namespace
}  // namespace zt::view
