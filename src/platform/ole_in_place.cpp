// OleControl: in-place activation, the control's window and keyboard
// routing (IOleInPlaceObject, IOleInPlaceActiveObject).
#include "platform/ole_control.h"
#include "platform/boundary.h"

#include <commctrl.h>

#include "platform/modal_dialog.h"

namespace zt::ole {
namespace {

bool IsWithin(HWND window, HWND ancestor) {
  for (HWND w = window; w; w = GetParent(w)) {
    if (w == ancestor) return true;
  }
  return false;
}

// Tab, and Esc or a mnemonic the focused window does not take, move between
// the page's controls: they are the container's to handle, as a dialog
// manager would take them from the same window.
bool IsContainerKey(const MSG& msg) {
  if (msg.message == WM_SYSCHAR) return true;
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_CHAR) return false;
  const bool tab = msg.message == WM_CHAR ? msg.wParam == L'\t' : msg.wParam == VK_TAB;
  const bool escape = msg.message == WM_CHAR ? msg.wParam == 0x1B : msg.wParam == VK_ESCAPE;
  if (!tab && !escape) return false;
  MSG asked = msg;
  const LRESULT wants = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&asked));
  if (wants & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
  return !(tab && (wants & DLGC_WANTTAB));
}

// The modifier bits IOleControlSite::TranslateAccelerator takes (shift,
// control, alt; the headers here do not name them).
DWORD KeyModifiers() {
  DWORD modifiers = 0;
  if (GetKeyState(VK_SHIFT) < 0) modifiers |= 1;
  if (GetKeyState(VK_CONTROL) < 0) modifiers |= 2;
  if (GetKeyState(VK_MENU) < 0) modifiers |= 4;
  return modifiers;
}

}  // namespace

HRESULT OleControl::ActivateInPlace(bool ui_activate, IOleClientSite* site) {
  if (!client_site_ && site) client_site_ = com::ComPtr<IOleClientSite>(site);
  if (!client_site_) return E_UNEXPECTED;

  if (!in_place_active_) {
    auto in_place = client_site_.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
    if (!in_place) return E_NOINTERFACE;
    if (in_place->CanInPlaceActivate() != S_OK) return E_FAIL;
    HRESULT hr = in_place->OnInPlaceActivate();
    if (FAILED(hr)) return hr;
    HWND parent = nullptr;
    RECT pos = {}, clip = {};
    OLEINPLACEFRAMEINFO info = {};
    info.cb = sizeof info;
    frame_.Reset();
    doc_window_.Reset();
    if (FAILED(in_place->GetWindow(&parent)) ||
        FAILED(in_place->GetWindowContext(frame_.Put(), doc_window_.Put(), &pos, &clip, &info)) ||
        !CreateControlWindow(parent, pos)) {
      frame_.Reset();
      doc_window_.Reset();
      in_place->OnInPlaceDeactivate();
      return E_FAIL;
    }
    pos_ = pos;
    in_place_site_ = in_place;
    in_place_active_ = true;
  }
  ShowWindow(window_, SW_SHOWNA);

  if (ui_activate && !ui_active_) {
    ui_active_ = true;
    in_place_site_->OnUIActivate();
    if (!IsWithin(GetFocus(), window_)) SetFocus(window_);
    // The frame hands the control the keys from now on.
    IOleInPlaceActiveObject* active = this;
    if (frame_) {
      frame_->SetActiveObject(active, nullptr);
      frame_->SetBorderSpace(nullptr);
    }
    if (doc_window_) {
      doc_window_->SetActiveObject(active, nullptr);
      doc_window_->SetBorderSpace(nullptr);
    }
    if (auto control_site = client_site_.As<IOleControlSite>(IID_IOleControlSite)) control_site->OnFocus(TRUE);
  }
  return S_OK;
}

STDMETHODIMP OleControl::UIDeactivate() {
  return win::ComBoundary([&]() -> HRESULT {
    if (!ui_active_) return S_OK;
    ui_active_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (doc_window_) doc_window_->SetActiveObject(nullptr, nullptr);
    if (auto control_site = client_site_.As<IOleControlSite>(IID_IOleControlSite)) control_site->OnFocus(FALSE);
    if (in_place_site_) in_place_site_->OnUIDeactivate(FALSE);
    return S_OK;
  });
}

STDMETHODIMP OleControl::InPlaceDeactivate() {
  return win::ComBoundary([&]() -> HRESULT {
    if (!in_place_active_) return S_OK;
    UIDeactivate();
    in_place_active_ = false;
    DestroyControlWindow();
    com::ComPtr<IOleInPlaceSite> site = in_place_site_;
    in_place_site_.Reset();
    frame_.Reset();
    doc_window_.Reset();
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
  });
}

STDMETHODIMP OleControl::SetObjectRects(LPCRECT pos, LPCRECT) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!pos) return E_POINTER;
    pos_ = *pos;
    if (window_) {
      // The move sends WM_SIZE, which tells the control its new size.
      SetWindowPos(window_, nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return S_OK;
  });
}

OleControl::ModalScope::ModalScope(OleControl& control)
    : control_(control), frame_(control.frame_), taken_away_at_(control.taken_away_),
      outer_(control.innermost_scope_) {
  ++control_.modal_depth_;
  if (HWND focus = GetFocus(); control_.window_ && IsWithin(focus, control_.window_)) focus_ = focus;
  control_.innermost_scope_ = this;
  if (frame_) frame_->EnableModeless(FALSE);
  HWND top = control_.window_ ? GetAncestor(control_.window_, GA_ROOT) : nullptr;
  if (top && IsWindowEnabled(top)) {
    EnableWindow(top, FALSE);
    top_ = top;
  }
}

OleControl::ModalScope::~ModalScope() {
  // The page's window may have gone meanwhile.
  if (top_ && IsWindow(top_)) EnableWindow(top_, TRUE);
  if (frame_) frame_->EnableModeless(TRUE);
  control_.innermost_scope_ = outer_;
  // A keyboard user goes on where the window was opened from, whatever the
  // page does with the focus when it is active again.
  if (focus_ && IsWindow(focus_) && IsWindowVisible(focus_)) SetFocus(focus_);
  --control_.modal_depth_;
}

void OleControl::EndModalWindows() {
  ++taken_away_;
  for (ModalScope* scope = innermost_scope_; scope; scope = scope->outer_) scope->watch_.CancelAll();
}

STDMETHODIMP OleControl::EnableModeless(BOOL enable) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!enable) {
      if (modeless_off_++ == 0 && window_ && IsWindowEnabled(window_)) {
        EnableWindow(window_, FALSE);
        disabled_for_container_ = true;
      }
    } else if (modeless_off_ > 0 && --modeless_off_ == 0 && disabled_for_container_) {
      disabled_for_container_ = false;
      if (window_) EnableWindow(window_, TRUE);
    }
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = window_;
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::TranslateAccelerator(LPMSG msg) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!msg || !window_) return S_FALSE;
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST || !IsWithin(msg->hwnd, window_)) return S_FALSE;
    // Tab and its kind leave the control: the site hears them first, then
    // the frame moves the focus on. Kept, they would hold a keyboard user
    // inside the list for good.
    if (IsContainerKey(*msg)) {
      auto control_site = client_site_.As<IOleControlSite>(IID_IOleControlSite);
      return control_site && control_site->TranslateAccelerator(msg, KeyModifiers()) == S_OK ? S_OK : S_FALSE;
    }
    // Every other key meant for the control (its window or the list inside
    // it) goes straight to it, so a container's own navigation does not
    // swallow the arrows, Enter, Insert or Delete.
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return S_OK;
  });
}

bool OleControl::CreateControlWindow(HWND parent, const RECT& pos) {
  if (window_) {
    if (GetParent(window_) != parent) SetParent(window_, parent);
    SetObjectRects(&pos, &pos);
    return true;
  }
  // A control parent: a dialog manager's Tab goes through the window into
  // the list it holds, and on out of it again.
  HWND w = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", nullptr,
                           WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | SS_NOTIFY,
                           pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                           nullptr, nullptr);
  if (!w) return false;
  if (!hook_.Hook(w)) {
    DestroyWindow(w);
    return false;
  }
  window_ = w;
  if (!OnWindowCreated(w)) {
    DestroyControlWindow();
    return false;
  }
  // The control learns its first size like every later one.
  OnWindowResized(w, pos.right - pos.left, pos.bottom - pos.top);
  return true;
}

void OleControl::DestroyControlWindow() {
  if (!window_) return;
  HWND w = window_;
  EndModalWindows();
  OnWindowDestroying(w);
  DestroyWindow(w);  // WM_NCDESTROY clears window_
  window_ = nullptr;
}

LRESULT OleControl::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  CheckThread();
  HWND w = window_;
  LRESULT result = 0;
  // The page or the container is taking the control away: dialogs run over
  // it end, so that the calls that run them return.
  if (msg == WM_DESTROY) EndModalWindows();
  if (OnWindowMessage(w, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_SIZE: {
      result = hook_.Previous(msg, wp, lp);
      OnWindowResized(w, LOWORD(lp), HIWORD(lp));
      return result;
    }
    case WM_MOUSEACTIVATE:
      // A click inside the control makes it the active object.
      if (!ui_active_ && in_place_active_) ActivateInPlace(true, nullptr);
      break;
    case WM_SETFOCUS: {
      if (!ui_active_ && in_place_active_) ActivateInPlace(true, nullptr);
      result = hook_.Previous(msg, wp, lp);
      // The window itself takes no keys: the focus a container gives it
      // goes on to the first tab stop inside (the list).
      HWND first = GetNextDlgTabItem(w, nullptr, FALSE);
      if (first && first != w && IsWithin(first, w)) SetFocus(first);
      return result;
    }
    case WM_NOTIFY:
      // The dialog manager's Tab put the focus straight into the list.
      if (reinterpret_cast<const NMHDR*>(lp)->code == static_cast<UINT>(NM_SETFOCUS) && !ui_active_ &&
          in_place_active_) {
        ActivateInPlace(true, nullptr);
      }
      break;
    default:
      break;
  }
  return hook_.Previous(msg, wp, lp);
}

void OleControl::OnWindowGone() {
  window_ = nullptr;
  disabled_for_container_ = false;
}

}  // namespace zt::ole
