#pragma once
// The colours of the flat menus, derived once per drawn item from the five
// profile settings, the display depth and the system colours.
#include "widgets/hls_colour.h"

namespace zt::view {

using widgets::Colour;

// The settings of the module's profile: section "MenuXP", except
// ShowGradientSel in section "MenuEx".
struct MenuSettings {
  static constexpr int kFromFace = -1;  // a gradient colour derived from the button face
  bool show_gradient = true;            // "ShowGradient"
  bool show_gradient_selected = true;   // "ShowGradientSel"
  int gradient_start = 0xE4C4B4;        // "GradientStart": (180, 196, 228), or kFromFace
  int gradient_end = 0xFFFFFF;          // "GradientEnd", or kFromFace
  int gradient_width = 30;              // "GradientWidth"
};

struct SystemColours {
  Colour face;       // COLOR_BTNFACE
  Colour highlight;  // COLOR_HIGHLIGHT
  Colour menu_text;  // COLOR_MENUTEXT
  Colour shadow;     // COLOR_BTNSHADOW
  // Read for high contrast only.
  Colour menu = 0;            // COLOR_MENU
  Colour highlight_text = 0;  // COLOR_HIGHLIGHTTEXT
  Colour grey_text = 0;       // COLOR_GRAYTEXT
};

struct MenuLook {
  // The left band runs from band_from to band_to over band_width pixels (one
  // colour when they are equal); the rest of an item is body.
  Colour band_from, band_to;
  int band_width;
  Colour body;
  // The selected item: a gradient from selection_from (or disabled_fill for
  // a disabled item) to body under an outline, when selection_gradient.
  bool selection_gradient;
  Colour selection_from;
  Colour frame;           // highlight outline of the selection and check boxes
  Colour selection_fill;  // selected item, check box of an unselected item
  Colour selected_check_fill;
  Colour disabled_fill;   // selection and check box of a disabled item
  Colour separator;       // also the text of a disabled item
  Colour text, inactive_text;
  Colour selected_text;   // the text of the selected item
  Colour disabled_image;  // silhouette of a disabled item's image
  Colour image_shadow;    // under the raised image of the selected item
};

// Gradients need ShowGradient and more than 8 bits per pixel; without them
// the band is 22 pixels of face +20 and the body face +75.
MenuLook MakeMenuLook(const MenuSettings& settings, int bits_per_pixel, const SystemColours& system);

// High contrast: the system's menu colours alone, no tints and no gradients,
// the selected item in the highlight colours as the system draws it.
MenuLook MakeHighContrastMenuLook(const SystemColours& system);

}  // namespace zt::view
