// CZTFileUploadCtrl and its list view: building and replacing the view, the
// rows of added entries, and what the view asks of the control.
#include "control/control_errors.h"
#include "control/ztfileupload_ctrl.h"
#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "view/view_rules.h"

namespace zt {

namespace {
// Event numbers of _DZTFileUploadEvents.
constexpr DISPID kEventItemDblClick = 1;
constexpr DISPID kEventItemClick = 2;
}  // namespace

void CZTFileUploadCtrl::RebuildView() {
  HWND window = ControlWindow();
  if (!window) return;
  if (view_ && view_->Busy()) {
    // The view is handling one of its own messages (a page's event handler
    // or a view command got here): it is replaced once that has returned.
    PostMessageW(window, WM_COMMAND, view::command::RebuildView, 0);
    return;
  }
  // A keyboard user who switched the presentation stays in the list.
  const HWND old = view_ ? view_->Window() : nullptr, focus = GetFocus();
  const bool hadFocus = old && focus && (focus == old || IsChild(old, focus));
  DestroyView();
  RECT client = {};
  GetClientRect(window, &client);
  view_ = view::CZTFileUploadListCtrl::Create(*this, window, client);
  if (!view_) return;
  model_.SetRowView(view_.get());
  dropTarget_->Register(*view_);
  if (hadFocus) SetFocus(view_->Window());
}

void CZTFileUploadCtrl::DestroyView() {
  // No drop may reach a window on its way out.
  dropTarget_->Revoke();
  model_.SetRowView(nullptr);
  view::CZTFileUploadListCtrl::Retire(std::move(view_));
}

void CZTFileUploadCtrl::OnWindowResized(HWND, int width, int height) {
  if (view_) view_->Resize(width, height);
}

void CZTFileUploadCtrl::OnWindowDestroying(HWND) { DestroyView(); }

void CZTFileUploadCtrl::InsertRow(const CZTFileItem& entry) {
  if (view_) view_->InsertEntryRow(entry);
}

AddLocalOptions CZTFileUploadCtrl::LocalAddOptions() const {
  AddLocalOptions options;
  options.ByteLimit = saved_.max_upload_bytes;
  options.DateAttributes = saved_.ex_file_attributes != 0;
  return options;
}

view::ViewSettings CZTFileUploadCtrl::Settings() const {
  view::ViewSettings s;
  s.ListType = saved_.list_type;
  s.BgColor = static_cast<std::uint32_t>(saved_.bg_color);
  s.FgColor = static_cast<std::uint32_t>(saved_.fg_color);
  s.GridLines = saved_.grid_line != 0;
  s.TrackSelect = saved_.track_select != 0;
  s.HeaderDragDrop = saved_.enable_header_move != 0;
  s.FullRowSelect = saved_.row_select != 0;
  s.EnableMenu = enableMenu_;
  s.EnableFolderMenu = saved_.enable_folder_menu;
  s.EnableDeleteMenu = saved_.enable_delete_menu;
  return s;
}

void CZTFileUploadCtrl::FireItemClick(std::int32_t fileIndex) {
  if (EventsFrozen()) return;
  com::ComPtr<IUnknown> keepAlive(Identity());  // a handler may let go of the control
  VARIANT arg;
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = fileIndex;
  events_->FireDispatch(kEventItemClick, &arg, 1);
}

void CZTFileUploadCtrl::FireItemDblClick(const std::u16string& fileName) {
  if (EventsFrozen()) return;
  com::ComPtr<IUnknown> keepAlive(Identity());
  com::Bstr name(fileName);
  if (!name) return;
  VARIANT arg;
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = name.Get();
  events_->FireDispatch(kEventItemDblClick, &arg, 1);
}

bool CZTFileUploadCtrl::DeleteEntryNamed(const std::u16string& name) {
  com::ComPtr<IUnknown> keepAlive(Identity());
  const Outcome outcome = DeleteByName(model_, name, this);
  if (outcome.Ok()) return true;
  Record(outcome.Code, ErrorText(outcome.Code));
  return false;
}

// A view command is handled by the window it replaces: the rebuild waits
// for the command 501 this posts. Unlike a script's put, the choice does
// not mark the control modified.
void CZTFileUploadCtrl::ChooseListType(std::int16_t listType) {
  saved_.list_type = listType;
  if (HWND window = ControlWindow()) PostMessageW(window, WM_COMMAND, view::command::RebuildView, 0);
}

}  // namespace zt
