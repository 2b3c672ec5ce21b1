#include "view/menu_look.h"

#include <algorithm>

#include "view/menu_geometry.h"

namespace zt::view {
namespace {

using widgets::AdjustColour;

Colour SettingColour(int value, Colour from_face) {
  return value == MenuSettings::kFromFace ? from_face : static_cast<Colour>(value) & 0xFFFFFF;
}

}  // namespace

MenuLook MakeMenuLook(const MenuSettings& settings, int bits_per_pixel, const SystemColours& system) {
  const Colour face = system.face, highlight = system.highlight;
  MenuLook look{};
  const bool gradients = settings.show_gradient && bits_per_pixel > 8;
  if (gradients) {
    look.band_from = SettingColour(settings.gradient_start, AdjustColour(face, 20, 0));
    look.band_to = look.body = SettingColour(settings.gradient_end, AdjustColour(face, 75, 0));
    look.band_width = std::max(settings.gradient_width, 0);
  } else {
    look.band_from = look.band_to = AdjustColour(face, 20, 0);
    look.band_width = MenuLayout::kBandWidth;
    look.body = AdjustColour(face, 75, 0);
  }
  look.selection_gradient = gradients && settings.show_gradient_selected;
  look.selection_from = look.band_from;
  look.frame = highlight;
  look.selection_fill = AdjustColour(highlight, 70, -57);
  look.selected_check_fill = AdjustColour(highlight, 50, -50);
  look.disabled_fill = AdjustColour(face, 73, 0);
  look.separator = AdjustColour(face, -18, 0);
  look.text = look.selected_text = system.menu_text;
  look.inactive_text = system.shadow;
  look.disabled_image = AdjustColour(face, -27, 0);
  look.image_shadow = AdjustColour(highlight, 50, -66);
  return look;
}

MenuLook MakeHighContrastMenuLook(const SystemColours& system) {
  MenuLook look{};
  look.band_from = look.band_to = look.body = system.menu;
  look.band_width = MenuLayout::kBandWidth;
  look.selection_gradient = false;
  look.selection_from = look.selection_fill = look.selected_check_fill = system.highlight;
  look.frame = system.highlight;
  look.disabled_fill = system.menu;
  look.separator = look.inactive_text = look.disabled_image = system.grey_text;
  look.text = system.menu_text;
  look.selected_text = system.highlight_text;
  look.image_shadow = system.menu;
  return look;
}

}  // namespace zt::view
