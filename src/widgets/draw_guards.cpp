#include "widgets/draw_guards.h"

namespace zt::widgets {

StockObjectGuard::StockObjectGuard(HDC dc, int stock_object, COLORREF text_colour)
    : dc_(dc), select_(dc, GetStockObject(stock_object)) {
  if (text_colour != kKeepTextColour) previous_text_ = SetTextColor(dc, text_colour);
}

StockObjectGuard::~StockObjectGuard() {
  if (previous_text_ != kKeepTextColour) SetTextColor(dc_, previous_text_);
}

FontWeightGuard::FontWeightGuard(HDC dc, bool bold) : dc_(dc) {
  const LONG weight = bold ? FW_BOLD : FW_NORMAL;
  LOGFONTW font{};
  if (!GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font) || font.lfWeight == weight) return;
  font.lfWeight = weight;
  font_.Reset(CreateFontIndirectW(&font));
  if (font_) previous_ = SelectObject(dc, font_.Get());
}

FontWeightGuard::~FontWeightGuard() {
  if (previous_) SelectObject(dc_, previous_);
}

}  // namespace zt::widgets
