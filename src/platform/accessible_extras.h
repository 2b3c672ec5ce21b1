#pragma once
// What a window's owner drawing hides from the system's accessibility proxy,
// given back to screen readers: a role and states the window's class does
// not tell, and texts it paints that no child window holds. The window
// answers WM_GETOBJECT for its client area with the proxy's own object,
// wrapped so that these come on top of what the proxy already says.
#include <windows.h>

#include <memory>
#include <string>

namespace zt::win {

class AccessibleExtras {
public:
  virtual ~AccessibleExtras() = default;
  // The client area's role; 0 keeps the proxy's.
  virtual long Role() const { return 0; }
  // States added to the proxy's (STATE_SYSTEM_PRESSED, say).
  virtual long ExtraState() const { return 0; }
  // Painted texts, read as static texts after the window's child windows.
  virtual int TextCount() const { return 0; }
  virtual std::u16string Text(int index) const { return {}; }
  // Where text index is painted, in client coordinates.
  virtual RECT TextBounds(int index) const { return {}; }
};

// Answers WM_GETOBJECT(wp, lp) of window for its client area with an object
// over the proxy and extras; 0 (the default handling) for any other object.
// The object holds the extras weakly: once they are gone it answers nothing.
LRESULT AnswerGetObject(HWND window, WPARAM wp, LPARAM lp, const std::shared_ptr<const AccessibleExtras>& extras);

// The child number by which painted text index is announced
// (NotifyWinEvent on window, OBJID_CLIENT) and read back.
LONG PaintedTextChild(HWND window, int index);

}  // namespace zt::win
