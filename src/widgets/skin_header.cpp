#include "widgets/skin_header.h"

#include <commctrl.h>

#include <utility>

#include "platform/dpi.h"
#include "platform/high_contrast.h"
#include "platform/module_state.h"
#include "platform/unique_handle.h"
#include "widgets/mem_dc.h"
#include "resources/resource.h"

namespace zt::widgets {
namespace {

constexpr int kSkinHeight = 16;
constexpr int kEdgeWidth = 2;

// The strip between two items: the previous item's dark right edge carried
// on, then a light line, so the pair reads as one etched separator; the
// band's top and bottom lines run through it.
void PaintSeparator(HDC dc) {
  for (int row = 0; row < kSkinHeight; ++row) {
    SetPixelV(dc, 0, row, row < 12 ? RGB(0x5A, 0x5A, 0x5A) : RGB(0x80, 0x80, 0x80));
    COLORREF light = RGB(0xFF, 0xFF, 0xFF);
    if (row == 0) light = RGB(0x5A, 0x5A, 0x5A);
    if (row == kSkinHeight - 1) light = RGB(0x80, 0x80, 0x80);
    SetPixelV(dc, 1, row, light);
  }
}

// The skin's pictures for one paint, drawn at the header's scale, and the
// context they are copied from.
class Skin {
public:
  Skin(HDC target, int dpi)
      : dpi_(dpi),
        height_(win::Scaled(kSkinHeight, dpi)),
        edge_(win::Scaled(kEdgeWidth, dpi)),
        image_dc_(CreateCompatibleDC(target)) {
    band_ = AtScale(target, Load(IDB_SKIN_BAND), 1);
    left_ = AtScale(target, Load(IDB_SKIN_LEFT_EDGE), kEdgeWidth);
    right_ = AtScale(target, Load(IDB_SKIN_RIGHT_EDGE), kEdgeWidth);
    win::UniqueHbitmap separator(CreateCompatibleBitmap(target, kEdgeWidth, kSkinHeight));
    if (separator && image_dc_) {
      win::SelectGuard select(image_dc_.Get(), separator.Get());
      PaintSeparator(image_dc_.Get());
    }
    separator_ = AtScale(target, std::move(separator), kEdgeWidth);
  }

  int Height() const { return height_; }
  int Edge() const { return edge_; }
  void Band(HDC dc, int x, int y) const { Copy(dc, band_, x, y, 1); }
  void LeftEdge(HDC dc, int x, int y) const { Copy(dc, left_, x, y, edge_); }
  void RightEdge(HDC dc, int x, int y) const { Copy(dc, right_, x, y, edge_); }
  void Separator(HDC dc, int x, int y) const { Copy(dc, separator_, x, y, edge_); }

private:
  static win::UniqueHbitmap Load(int id) {
    return win::UniqueHbitmap(LoadBitmapW(com::ModuleInstance(), MAKEINTRESOURCEW(id)));
  }
  // A width x 16 picture redrawn at the header's scale, smoothed.
  win::UniqueHbitmap AtScale(HDC target, win::UniqueHbitmap picture, int width) const {
    if (!picture || !image_dc_) return {};
    if (dpi_ == win::kBaseDpi) return picture;
    win::UniqueHbitmap scaled(CreateCompatibleBitmap(target, win::Scaled(width, dpi_), height_));
    win::UniqueHdc from(CreateCompatibleDC(target));
    if (!scaled || !from) return {};
    win::SelectGuard source(from.Get(), picture.Get());
    win::SelectGuard select(image_dc_.Get(), scaled.Get());
    win::BlitStretched(image_dc_.Get(), 0, 0, win::Scaled(width, dpi_), height_, from.Get(), 0, 0, width, kSkinHeight);
    return scaled;
  }
  void Copy(HDC dc, const win::UniqueHbitmap& bitmap, int x, int y, int width) const {
    if (!bitmap || !image_dc_) return;
    win::SelectGuard select(image_dc_.Get(), bitmap.Get());
    BitBlt(dc, x, y, width, height_, image_dc_.Get(), 0, 0, SRCCOPY);
  }

  int dpi_, height_, edge_;
  win::UniqueHdc image_dc_;
  win::UniqueHbitmap band_, left_, right_, separator_;
};

}  // namespace

CZTSkinHeaderCtrl::~CZTSkinHeaderCtrl() { Detach(); }

bool CZTSkinHeaderCtrl::Attach(HWND header) {
  Detach();
  if (!IsWindow(header) || !Hook(header)) return false;
  InvalidateRect(header, nullptr, TRUE);
  return true;
}

void CZTSkinHeaderCtrl::Detach() {
  HWND header = Window();
  if (!header) return;
  Unhook();
  if (IsWindow(header)) InvalidateRect(header, nullptr, TRUE);
}

LRESULT CZTSkinHeaderCtrl::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 0;  // the paint covers the whole client area
  }
  return CallPrevious(message, wparam, lparam);
}

void CZTSkinHeaderCtrl::Paint() {
  win::PaintDc paint(Window());
  RECT client{};
  GetClientRect(Window(), &client);
  CMemDC dc(paint.Get(), &client);
  const int dpi = win::WindowDpi(Window());
  const Skin skin(paint.Get(), dpi);
  const int edge = skin.Edge();
  // High contrast: the system's face, edges and text instead of the skin.
  const bool system = win::HighContrast();

  if (system)
    FillRect(dc.Get(), &client, GetSysColorBrush(COLOR_BTNFACE));
  else
    for (int x = client.left + edge; x < client.right + edge; ++x) skin.Band(dc.Get(), x, 0);

  LOGFONTW logfont{};
  logfont.lfHeight = win::Scaled(12, dpi);
  lstrcpynW(logfont.lfFaceName, L"\uAD74\uB9BC", LF_FACESIZE);  // Gulim
  const win::UniqueHfont font(CreateFontIndirectW(&logfont));

  const int count = static_cast<int>(SendMessageW(Window(), HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_FORMAT | HDI_ORDER;
    item.pszText = text;
    item.cchTextMax = 255;
    RECT r{};
    if (!SendMessageW(Window(), HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item)) ||
        !SendMessageW(Window(), HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)))
      continue;

    if (system) {
      DrawEdge(dc.Get(), &r, EDGE_RAISED, BF_RECT);
    } else if (item.iOrder == 0) {
      skin.LeftEdge(dc.Get(), r.left, r.top);
    } else {
      // Centred on the boundary, over the previous item's last column.
      skin.Separator(dc.Get(), r.left - edge / 2, r.top);
      for (int x = r.left + edge - edge / 2; x < r.left + edge; ++x) skin.Band(dc.Get(), x, r.top);
    }
    if (!system) {
      for (int x = r.left + edge; x < r.right - edge; ++x) skin.Band(dc.Get(), x, 0);
      skin.RightEdge(dc.Get(), r.right - edge, 0);
    }

    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_HEADER;
    draw.itemID = static_cast<UINT>(i);
    draw.itemAction = ODA_DRAWENTIRE;
    draw.hwndItem = Window();
    draw.hDC = paint.Get();
    draw.rcItem = r;
    DrawItem(draw);

    // Read again: DrawItem may have changed the text.
    item.mask = HDI_TEXT;
    text[0] = L'\0';
    SendMessageW(Window(), HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
    win::SelectGuard select(dc.Get(), font.Get());
    const int mode = SetBkMode(dc.Get(), TRANSPARENT);
    const COLORREF colour = system ? SetTextColor(dc.Get(), GetSysColor(COLOR_BTNTEXT)) : CLR_INVALID;
    const int inset = win::Scaled(2, dpi);
    RECT text_rect{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
    DrawTextW(dc.Get(), text, -1, &text_rect, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (colour != CLR_INVALID) SetTextColor(dc.Get(), colour);
    SetBkMode(dc.Get(), mode);
  }
}

}  // namespace zt::widgets
