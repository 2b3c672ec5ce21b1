#pragma once
// CTransparentStatic2: a STATIC text control that shows its parent's
// background behind its text. At its first background erase it keeps a copy
// of the parent's pixels under it; every later erase paints that copy, so a
// changed text never leaves the old one showing through. The parent reflects
// WM_CTLCOLORSTATIC to it (win::ReflectToChild). The parent must paint under
// its children (no WS_CLIPCHILDREN). Attach it before the label
// is first shown, or the copy holds the label's own first look.
#include <windows.h>

#include "platform/unique_handle.h"
#include "platform/window_subclass.h"

namespace zt {

class CTransparentStatic2 final : public win::SubclassedWindow {
public:
  bool HasSnapshot() const { return static_cast<bool>(snapshot_); }

protected:
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

private:
  void EraseBackground(HDC dc);

  win::UniqueHbitmap snapshot_;
};

}  // namespace zt
