#pragma once
// What the dialogs tell assistive technology when what a sighted person sees
// changes. Nothing announces a static's new text or a bar's new position by
// itself everywhere (Wine raises no event for either), so the dialogs say it
// through these, at the rate their labels change, never per byte.
#include <windows.h>

#include "platform/accessible_extras.h"

namespace zt::announce {

// A label's text changed: screen readers read its new name. Told of the
// label's client object, whose name is its text wherever the proxy stands
// (Wine's window object has no name to read back).
inline void TextChanged(HWND label) {
  if (label) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, label, OBJID_CLIENT, CHILDID_SELF);
}
// Text index that window paints itself (see win::AccessibleExtras) changed.
inline void PaintedTextChanged(HWND window, int index) {
  if (window) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, win::PaintedTextChild(window, index));
}
// A progress bar moved.
inline void ValueChanged(HWND bar) {
  if (bar) NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, bar, OBJID_CLIENT, CHILDID_SELF);
}
// A row of a list view changed what it shows (its state column).
inline void RowChanged(HWND list, int row) {
  if (list && row >= 0) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, list, OBJID_CLIENT, row + 1);
}
// A run ended, well or not: the dialog and what it now says are read out.
inline void Ended(HWND dialog) {
  if (dialog) NotifyWinEvent(EVENT_SYSTEM_ALERT, dialog, OBJID_WINDOW, CHILDID_SELF);
}

}  // namespace zt::announce
