#pragma once
// A list view's column header painted from the skin bitmaps 228 (band and
// item body), 229 (left edge of the leftmost item) and 230 (right edge of
// every item), with etched separators and centred item texts in a 12-pixel
// font. It subclasses an existing header window; the header keeps all its
// behaviour (clicks, tracking, drag order) and only its painting changes.
#include <windows.h>

#include "platform/window_hook.h"

namespace zt::widgets {

class CZTSkinHeaderCtrl : private win::WindowHook {
public:
  CZTSkinHeaderCtrl() = default;
  ~CZTSkinHeaderCtrl() override;  // detaches
  CZTSkinHeaderCtrl(const CZTSkinHeaderCtrl&) = delete;
  CZTSkinHeaderCtrl& operator=(const CZTSkinHeaderCtrl&) = delete;

  // Subclasses the header window (a list view's ListView_GetHeader). Detaches
  // from an earlier header first. False when `header` is not a window or the
  // subclass could not be installed.
  bool Attach(HWND header);
  // Restores the header's own painting. Also happens by itself when the
  // header is destroyed.
  void Detach();
  HWND Header() const { return Window(); }

protected:
  // Called for every item after its skin is drawn and before its text; a
  // derived skin may draw over the item here. This one draws nothing more.
  virtual void DrawItem(const DRAWITEMSTRUCT& item) {}

private:
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void Paint();
};

}  // namespace zt::widgets
