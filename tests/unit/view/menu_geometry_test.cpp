#include <gtest/gtest.h>

#include "view/menu_geometry.h"
#include "view/menu_look.h"

namespace zt::view {
namespace {

using widgets::AdjustColour;
using widgets::MakeColour;

TEST(MenuGeometry, HeightsAndPackedItemSizes) {
  // A 13-pixel font keeps the 20-pixel minimum (13 + 2 is not over 16).
  EXPECT_EQ(ItemHeightsFor(13).item, 20);
  EXPECT_EQ(ItemHeightsFor(13).separator, 8);
  EXPECT_EQ(ItemHeightsFor(14).item, 20);
  EXPECT_EQ(ItemHeightsFor(15).item, 21);

  const std::uint32_t item = PackItemData(20, 37, 110);
  EXPECT_EQ(item, 20u | 37u << 8 | 110u << 16);
  EXPECT_EQ(MeasuredItemSize(item).width, 110 + 37 + 42);
  EXPECT_EQ(MeasuredItemSize(item).height, 20);
  EXPECT_EQ(MeasuredItemSize(PackItemData(8, 0, 0)).width, 42);  // a separator
  EXPECT_EQ(MeasuredItemSize(0).width, 4);                       // never prepared
  EXPECT_EQ(MeasuredItemSize(0).height, 0);
  // Too wide for a field: the field's largest value, not the low bits (a
  // 260-pixel accelerator must not shrink the menu to 4 pixels of it).
  const MenuItemSize wide = MeasuredItemSize(PackItemData(300, 260, 70000));
  EXPECT_EQ(wide.height, 255);
  EXPECT_EQ(wide.width, 65535 + 255 + 42);
  EXPECT_EQ(PackItemData(-5, -1, -1), 0u);
  // At 144 DPI the band and margins grow half again; the texts were measured
  // in the display's font already, and the least height grows too.
  EXPECT_EQ(MeasuredItemSize(item, 144).width, 110 + 37 + 63);
  EXPECT_EQ(MeasuredItemSize(0, 192).width, 8);
  EXPECT_EQ(ItemHeightsFor(17, 144).item, 30);
  EXPECT_EQ(ItemHeightsFor(22, 144).item, 31);
}

TEST(MenuGeometry, LabelsAcceleratorsAndMnemonics) {
  const MenuItemText open = SplitItemText(u"&Open\tCtrl+O");
  EXPECT_EQ(open.label, u"&Open");
  EXPECT_EQ(open.accelerator, u"Ctrl+O");
  EXPECT_EQ(SplitItemText(u"A\tB\tC").accelerator, u"B\tC");
  EXPECT_TRUE(SplitItemText(u"\uD30C\uC77C").accelerator.empty());
  EXPECT_EQ(WithoutFirstAmpersand(u"&&Save &As"), u"&Save &As");

  const std::vector<std::u16string> labels = {u"&Open",       u"Save &as",         u"A&&B",
                                              u"&&C",         u"\uD30C\uC77C(&F)", u"&open again",
                                              u"ends with &", u"&\u00E9t\u00E9",   u"&&&Keep"};
  EXPECT_EQ(FindMnemonic(labels, u'o'), 0u);  // the first in menu order
  EXPECT_EQ(FindMnemonic(labels, u'A'), 1u);
  EXPECT_EQ(FindMnemonic(labels, u'f'), 4u);
  EXPECT_EQ(FindMnemonic(labels, u'\u00C9'), 7u);
  EXPECT_EQ(FindMnemonic(labels, u'k'), 8u);  // "&&" then "&K"
  for (char16_t none : {u'b', u'c', u'x', u'&'}) EXPECT_FALSE(FindMnemonic(labels, none)) << char(none);
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
  EXPECT_EQ(look.selection_fill, AdjustColour(system.highlight, 70, -57));
  EXPECT_EQ(look.selected_check_fill, AdjustColour(system.highlight, 50, -50));
  EXPECT_EQ(look.image_shadow, AdjustColour(system.highlight, 50, -66));
  EXPECT_EQ(look.disabled_fill, MakeColour(250, 250, 250));   // face +73
  EXPECT_EQ(look.separator, MakeColour(196, 196, 196));       // face -18
  EXPECT_EQ(look.disabled_image, MakeColour(175, 175, 175));  // face -27

  // At 8 bits, or with ShowGradient off: 22 pixels of face +20, body face +75.
  MenuSettings off;
  off.show_gradient = false;
  for (const MenuLook& flat : {MakeMenuLook(defaults, 8, system), MakeMenuLook(off, 32, system)}) {
    EXPECT_EQ(flat.band_from, MakeColour(243, 243, 243));
    EXPECT_EQ(flat.band_to, flat.band_from);
    EXPECT_EQ(flat.band_width, 22);
    EXPECT_EQ(flat.body, MakeColour(251, 251, 251));
    EXPECT_FALSE(flat.selection_gradient);
  }

  // -1 derives the colours from the face; ShowGradientSel alone turns off
  // only the selection's gradient; a negative width draws no band; bits
  // above a colour are dropped.
  MenuSettings derived;
  derived.gradient_start = derived.gradient_end = MenuSettings::kFromFace;
  derived.show_gradient_selected = false;
  derived.gradient_width = -4;
  const MenuLook custom = MakeMenuLook(derived, 24, system);
  EXPECT_EQ(custom.band_from, MakeColour(243, 243, 243));
  EXPECT_EQ(custom.body, MakeColour(251, 251, 251));
  EXPECT_EQ(custom.band_width, 0);
  EXPECT_FALSE(custom.selection_gradient);
  MenuSettings stray;
  stray.gradient_start = 0x7F00FF00;
  EXPECT_EQ(MakeMenuLook(stray, 32, system).band_from, MakeColour(0, 255, 0));
}

}  // namespace
}  // namespace zt::view
