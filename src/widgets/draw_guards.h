#pragma once
// Scope guards for the drawing code: each selects something into a device
// context when made and restores (and deletes what it created) when it goes.
#include <windows.h>

#include "platform/unique_handle.h"

namespace zt::widgets {

// A solid pen of width 1.
class PenGuard {
public:
  PenGuard(HDC dc, COLORREF colour) : pen_(CreatePen(PS_SOLID, 1, colour)), select_(dc, pen_.Get()) {}

private:
  win::UniqueHpen pen_;
  win::SelectGuard select_;
};

// A solid brush, or the stock null brush for kNoFill (outlines only).
class BrushGuard {
public:
  static constexpr COLORREF kNoFill = static_cast<COLORREF>(-1);
  BrushGuard(HDC dc, COLORREF colour)
      : brush_(colour == kNoFill ? nullptr : CreateSolidBrush(colour)),
        select_(dc, brush_ ? static_cast<HGDIOBJ>(brush_.Get()) : GetStockObject(NULL_BRUSH)) {}

private:
  win::UniqueHbrush brush_;
  win::SelectGuard select_;
};

// A stock object (DEFAULT_GUI_FONT, NULL_PEN...) and optionally a text
// colour; both are put back at the end.
class StockObjectGuard {
public:
  static constexpr COLORREF kKeepTextColour = 0xFF000000;
  StockObjectGuard(HDC dc, int stock_object, COLORREF text_colour = kKeepTextColour);
  ~StockObjectGuard();
  StockObjectGuard(const StockObjectGuard&) = delete;
  StockObjectGuard& operator=(const StockObjectGuard&) = delete;

private:
  HDC dc_;
  win::SelectGuard select_;
  COLORREF previous_text_ = kKeepTextColour;
};

// The current font in bold (weight 700) or normal (400). A font is made only
// when the current one has another weight.
class FontWeightGuard {
public:
  FontWeightGuard(HDC dc, bool bold);
  ~FontWeightGuard();
  FontWeightGuard(const FontWeightGuard&) = delete;
  FontWeightGuard& operator=(const FontWeightGuard&) = delete;

private:
  HDC dc_;
  win::UniqueHfont font_;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace zt::widgets
