// OBM_CHECK, the system check mark, is an OEM resource.
#define OEMRESOURCE
#include "view/menu_painter.h"

#include "platform/unique_handle.h"
#include "platform/wide_text.h"
#include "view/menu_geometry.h"
#include "widgets/draw_guards.h"
#include "widgets/gradient_fill.h"

namespace zt::view::menu_xp {
namespace {

using widgets::BrushGuard;
using widgets::FillGradient;
using widgets::FillSolid;
using widgets::PenGuard;

constexpr int kCheckBoxRight = 20;
constexpr int kImageSize = 16;

void PaintBackground(HDC dc, const RECT& rc, const MenuLook& look, int dpi) {
  FillSolid(dc, rc, look.body);
  const RECT band{rc.left, rc.top, rc.left + AtDpi(look.band_width, dpi), rc.bottom};
  FillGradient(dc, band, look.band_from, look.band_to);
}

void PaintSelection(HDC dc, const RECT& rc, bool disabled, const MenuLook& look) {
  const COLORREF fill = disabled ? look.disabled_fill : look.selection_fill;
  PenGuard pen(dc, look.frame);
  if (look.selection_gradient) {
    FillGradient(dc, rc, disabled ? look.disabled_fill : look.selection_from, look.body);
    BrushGuard brush(dc, BrushGuard::kNoFill);
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
  } else {
    BrushGuard brush(dc, fill);
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
  }
}

void PaintSeparator(HDC dc, const RECT& rc, const MenuLook& look, int dpi) {
  const int middle = (rc.top + rc.bottom) / 2;
  PenGuard pen(dc, look.separator);
  MoveToEx(dc, rc.left + AtDpi(MenuLayout::kTextLeft, dpi), middle, nullptr);
  LineTo(dc, rc.right - 1, middle);
}

COLORREF CheckBoxFill(bool disabled, bool selected, const MenuLook& look) {
  if (disabled) return look.disabled_fill;
  return selected ? look.selected_check_fill : look.selection_fill;
}

void PaintCheckBox(HDC dc, const RECT& rc, COLORREF fill, const MenuLook& look, int dpi) {
  PenGuard pen(dc, look.frame);
  BrushGuard brush(dc, fill);
  Rectangle(dc, rc.left + 1, rc.top + 1, rc.left + AtDpi(kCheckBoxRight, dpi), rc.bottom - 1);
}

void PaintSilhouette(HDC dc, HICON icon, int x, int y, COLORREF colour) {
  win::UniqueHbrush brush(CreateSolidBrush(colour));
  DrawStateW(dc, brush.Get(), nullptr, reinterpret_cast<LPARAM>(icon), 0, x, y, 0, 0, DST_ICON | DSS_MONO);
}

void PaintIcon(HDC dc, HICON icon, int x, int y, int dpi) {
  const int size = AtDpi(kImageSize, dpi);
  DrawIconEx(dc, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
}

void PaintImage(HDC dc, const RECT& rc, HICON image, bool disabled, bool selected, bool checked,
                const MenuLook& look, int dpi) {
  // The image sits in the middle of the band's square; the offsets keep
  // their 96-DPI pixels so the raised image moves as far as ever.
  const int inset = AtDpi(3, dpi);
  if (disabled) {
    PaintSilhouette(dc, image, rc.left + inset, rc.top + inset, look.disabled_image);
  } else if (selected && !checked) {
    // Raised: a shadow down and right, the image up and left.
    PaintSilhouette(dc, image, rc.left + inset + 1, rc.top + inset + 1, look.image_shadow);
    PaintIcon(dc, image, rc.left + inset - 1, rc.top + inset - 1, dpi);
  } else {
    PaintIcon(dc, image, rc.left + inset, rc.top + inset, dpi);
  }
}

void PaintRadioDot(HDC dc, const RECT& rc, bool disabled, COLORREF box_fill, const MenuLook& look, int dpi) {
  const int c = (rc.top + rc.bottom) / 2;
  const int x = (2 * rc.left + AtDpi(25, dpi)) / 2;
  const COLORREF dot = disabled ? look.disabled_image : look.text;
  PenGuard pen(dc, dot);
  BrushGuard brush(dc, dot);
  Ellipse(dc, x - 4, c - 3, x + 3, c + 4);
  SetPixel(dc, x + 1, c + 2, box_fill);
}

void PaintCheckMark(HDC dc, const RECT& rc, COLORREF box_fill, const MenuLook& look, int dpi) {
  win::UniqueHbitmap mark(LoadBitmapW(nullptr, MAKEINTRESOURCEW(OBM_CHECK)));
  BITMAP info{};
  if (!mark || !GetObjectW(mark.Get(), sizeof info, &info)) return;
  win::UniqueHdc source(CreateCompatibleDC(dc));
  win::SelectGuard select(source.Get(), mark.Get());
  // A monochrome source: its 0 bits take the text colour, its 1 bits the
  // background colour.
  const COLORREF text = SetTextColor(dc, look.text);
  const COLORREF back = SetBkColor(dc, box_fill);
  BitBlt(dc, rc.left + AtDpi(5, dpi), rc.top + AtDpi(3, dpi), info.bmWidth, info.bmHeight, source.Get(), 0, 0, SRCCOPY);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
}

void PaintTexts(HDC dc, const RECT& rc, UINT draw_state, const MenuItem& item, const MenuLook& look,
                bool keyboard_cues, int dpi) {
  COLORREF colour = (draw_state & ODS_SELECTED) ? look.selected_text : look.text;
  if (item.IsDisabled())
    colour = look.separator;
  else if (draw_state & ODS_INACTIVE)
    colour = look.inactive_text;
  const MenuItemText text = SplitItemText(item.text);
  widgets::StockObjectGuard font(dc, DEFAULT_GUI_FONT, colour);
  widgets::FontWeightGuard weight(dc, item.IsDefault());
  const int mode = SetBkMode(dc, TRANSPARENT);
  UINT flags = DT_SINGLELINE | DT_VCENTER;
  if ((draw_state & ODS_NOACCEL) && !keyboard_cues) flags |= DT_HIDEPREFIX;
  RECT label{rc.left + AtDpi(MenuLayout::kTextLeft, dpi), rc.top, rc.right, rc.bottom};
  DrawTextW(dc, AsWideData(text.label), static_cast<int>(text.label.size()), &label, flags);
  if (!text.accelerator.empty()) {
    RECT accelerator{rc.left, rc.top, rc.right - AtDpi(MenuLayout::kAcceleratorMargin, dpi), rc.bottom};
    DrawTextW(dc, AsWideData(text.accelerator), static_cast<int>(text.accelerator.size()), &accelerator,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  }
  SetBkMode(dc, mode);
}

}  // namespace

void PaintMenuItem(HDC dc, const RECT& rc, UINT draw_state, const MenuItem& item, const MenuLook& look,
                   bool keyboard_cues, int dpi) {
  const bool selected = (draw_state & ODS_SELECTED) != 0;
  const bool disabled = item.IsDisabled();
  if (selected && !item.IsSeparator())
    PaintSelection(dc, rc, disabled, look);
  else
    PaintBackground(dc, rc, look, dpi);

  if (item.IsSeparator()) {
    PaintSeparator(dc, rc, look, dpi);
    return;
  }

  const COLORREF box_fill = CheckBoxFill(disabled, selected, look);
  if (item.IsChecked()) PaintCheckBox(dc, rc, box_fill, look, dpi);
  if (item.image) {
    PaintImage(dc, rc, item.image, disabled, selected, item.IsChecked(), look, dpi);
  } else if (item.IsChecked()) {
    if (item.IsRadio())
      PaintRadioDot(dc, rc, disabled, box_fill, look, dpi);
    else
      PaintCheckMark(dc, rc, box_fill, look, dpi);
  }
  PaintTexts(dc, rc, draw_state, item, look, keyboard_cues, dpi);
}

}  // namespace zt::view::menu_xp
