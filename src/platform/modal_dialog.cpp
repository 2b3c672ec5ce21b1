#include "platform/modal_dialog.h"
#include "platform/boundary.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "platform/dpi.h"
#include "platform/window_subclass.h"

namespace zt::win {

namespace {

// Messages whose result a dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT msg) {
  switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

// Template templateId of module with WS_VISIBLE taken out of its style, so
// that making the window never shows it: the loop decides when it shows.
// Empty when the module has no such template.
std::vector<DWORD> HiddenTemplate(HINSTANCE module, int templateId) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = found ? SizeofResource(module, found) : 0;
  // A template is a few hundred bytes; anything huge is not one of ours.
  if (!bytes || size < sizeof(DLGTEMPLATE) || size > 0x10000) return {};
  // DWORDs keep the copy aligned as a template must be.
  std::vector<DWORD> copy(size / sizeof(DWORD) + 1);
  std::memcpy(copy.data(), bytes, size);
  // An extended template starts with version 1 and signature 0xFFFF and has
  // its style at byte 12; the classic one starts with the style.
  const auto* words = reinterpret_cast<const WORD*>(copy.data());
  const bool extended = words[0] == 1 && words[1] == 0xFFFF;
  DWORD& style = copy[extended ? 3 : 0];
  style &= ~static_cast<DWORD>(WS_VISIBLE);
  return copy;
}

// The innermost dialog running on this thread; each links to the one it runs within.
thread_local ModalDialog* innermost = nullptr;

}  // namespace

ModalDialog::~ModalDialog() {
  if (window_) DestroyWindow(window_);
}

INT_PTR ModalDialog::Run(HINSTANCE module, int templateId, HWND owner) {
  CheckThread();
  ended_ = false;
  result_ = -1;
  // A modal dialog disables the whole window it belongs to, not one child of it.
  if (owner) owner = GetAncestor(owner, GA_ROOT);
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);
  const std::vector<DWORD> hidden = HiddenTemplate(module, templateId);
  if (hidden.empty()) return -1;
  HWND window;
  {
    // The dialog and its controls take their monitor's own scale, where the
    // system knows per-monitor awareness; they draw for it themselves.
    PerMonitorDpiScope perMonitor;
    window = CreateDialogIndirectParamW(module, reinterpret_cast<const DLGTEMPLATE*>(hidden.data()), owner, &Proc,
                                        reinterpret_cast<LPARAM>(this));
  }
  if (!window) return -1;
  const bool disableOwner = owner && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  outer_ = innermost;
  innermost = this;
  // Shown as the system's own modal loop shows a dialog, whatever its
  // template says; one that stays hidden never flashes up, not even while it
  // is made, and one that ended while it was made is never seen.
  if (Visible() && !ended_) ShowWindow(window, SW_SHOWNORMAL);
  MSG msg;
  while (!ended_) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The thread is quitting: leave, and pass the request on to the outer loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageW(window_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Dialogs end innermost first, as their loops nest.
  innermost = outer_;
  outer_ = nullptr;
  // The owner may have gone with the page meanwhile.
  if (disableOwner && IsWindow(owner)) EnableWindow(owner, TRUE);
  // Activation goes back to the owner before the dialog disappears.
  if (window_ && owner && GetActiveWindow() == window_) SetActiveWindow(owner);
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  return result_;
}

void ModalDialog::SetIcons(HINSTANCE module, int iconId) {
  auto load = [&](int cx, int cy) {
    return static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON, GetSystemMetrics(cx),
                                         GetSystemMetrics(cy), 0));
  };
  bigIcon_.Reset(load(SM_CXICON, SM_CYICON));
  smallIcon_.Reset(load(SM_CXSMICON, SM_CYSMICON));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
}

void ModalDialog::CloseFromOutside() {
  if (ended_) return;
  OnClosedFromOutside();
  End(-1);
  result_ = -1;
  // Its window may be going: wake the loop through the thread instead.
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

bool ModalDialog::CloseFromOutside(HWND window) {
  for (ModalDialog* d = innermost; d; d = d->outer_) {
    if (d->window_ == window) {
      d->CloseFromOutside();
      return true;
    }
  }
  return false;
}

void ModalDialog::End(INT_PTR result) {
  CheckThread();
  if (ended_) return;
  ended_ = true;
  result_ = result;
  // Wakes the loop if no other message is on its way.
  if (window_) PostMessageW(window_, WM_NULL, 0, 0);
}

INT_PTR CALLBACK ModalDialog::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  // A message whose handling threw is left to the dialog manager.
  return win::WindowBoundary([&] { return HandleProc(window, msg, wp, lp); }, [] { return INT_PTR{FALSE}; });
}

INT_PTR ModalDialog::HandleProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  ModalDialog* self;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<ModalDialog*>(lp);
    SetWindowLongPtrW(window, DWLP_USER, lp);
    self->window_ = window;
    try {
      return self->OnInitDialog() ? TRUE : FALSE;
    } catch (...) {
      // A dialog that could not set itself up has nothing to wait for.
      self->End(-1);
      return TRUE;
    }
  }
  self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  LRESULT result = 0;
  bool handled = ReflectToChild(msg, wp, lp, &result) || self->OnMessage(msg, wp, lp, &result);
  if (msg == WM_NCDESTROY) {
    // Destroyed under a running loop (its owner went, as when a container
    // destroys the page's window): the loop must not go on without a window.
    if (!self->ended_) self->CloseFromOutside();
    self->window_ = nullptr;
  }
  if (!handled) return FALSE;
  if (ReturnsDirectly(msg)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace zt::win
