#pragma once
// Draws one item of a flat popup menu.
#include <windows.h>

#include <string>

#include "view/menu_look.h"
#include "view/menu_registry.h"

namespace zt::view::menu_xp {

// What the layer knows of one item when it measures or draws it.
struct MenuItem {
  UINT type = 0;   // MFT_*
  UINT state = 0;  // MFS_*
  UINT id = 0;
  HMENU submenu = nullptr;
  std::u16string text;  // "label\taccelerator"; empty for a separator
  HICON image = nullptr;  // 16 x 16, owned by the registry

  bool IsSeparator() const { return (type & MFT_SEPARATOR) != 0; }
  bool IsChecked() const { return (state & MFS_CHECKED) != 0; }
  bool IsRadio() const { return (type & MFT_RADIOCHECK) != 0; }
  // Greyed or disabled: EnableMenuItem(MF_GRAYED) sets only one of the two
  // bits of MFS_DISABLED, and such an item must look greyed too.
  bool IsDisabled() const { return (state & MFS_DISABLED) != 0; }
  bool IsDefault() const { return (state & MFS_DEFAULT) != 0; }
};

// `draw_state` is the ODS_* state of WM_DRAWITEM; `keyboard_cues` the
// system's SPI_GETKEYBOARDCUES; the layout is drawn at `dpi`. Draws into
// `dc` directly: the caller buffers.
void PaintMenuItem(HDC dc, const RECT& rect, UINT draw_state, const MenuItem& item, const MenuLook& look,
                   bool keyboard_cues, int dpi = 96);

}  // namespace zt::view::menu_xp
