#include "view/file_list_view.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "platform/dpi.h"
#include "platform/high_contrast.h"
#include "platform/module_state.h"
#include "platform/wide_text.h"
#include "text/string_table.h"
#include "text/unicode.h"
#include "view/view_rules.h"
#include "view/list_view_rows.h"
#include "view/menu_xp.h"
#include "view/shell_services.h"

namespace zt::view {

namespace {

constexpr int kListMenu = 207;
// Posted to the list to draw again once the script that inserted rows has
// returned to the message loop.
constexpr UINT kRedrawHeldRows = WM_APP + 0x2E0;
constexpr int kMenuImages = 220;
constexpr COLORREF kMenuImageMask = RGB(192, 192, 192);
constexpr unsigned kColumnTitles[] = {21001, 21002, 21003};
constexpr int kColumnFormats[] = {LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_RIGHT};
constexpr int kColumnInsertWidths[] = {100, 200, 100};

void SetCellText(HWND list, int row, int column, const std::u16string& text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(AsWide(text));
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void InsertColumn(HWND list, int index, const std::u16string& title, int format, int width) {
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<wchar_t*>(AsWide(title));
  column.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void SetColumnWidths(HWND list, const ColumnWidths& widths) {
  for (int column = 0; column < 3; ++column) SendMessageW(list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(widths[column], 0));
}

// The extended list-view styles the settings select; all others are off.
DWORD ExtendedStyle(const ViewSettings& s) {
  DWORD style = 0;
  if (s.GridLines) style |= LVS_EX_GRIDLINES;
  if (s.TrackSelect) style |= LVS_EX_TRACKSELECT;
  if (s.HeaderDragDrop) style |= LVS_EX_HEADERDRAGDROP;
  if (s.FullRowSelect) style |= LVS_EX_FULLROWSELECT;
  return style;
}

// Counts the view's handling of a message; a view retired meanwhile goes
// when the outermost handling ends.
class Handling {
public:
  explicit Handling(int& busy) : busy_(busy) { ++busy_; }
  ~Handling() { --busy_; }
  Handling(const Handling&) = delete;
  Handling& operator=(const Handling&) = delete;

private:
  int& busy_;
};

}  // namespace

std::unique_ptr<CZTFileUploadListCtrl> CZTFileUploadListCtrl::Create(ListViewOwner& owner, HWND parent,
                                                                     const RECT& client) {
  const ViewSettings settings = owner.Settings();
  std::unique_ptr<CZTFileUploadListCtrl> view(new CZTFileUploadListCtrl(owner));
  if (!view->MakeWindow(parent, client, ListWindowStyle(settings.ListType))) return nullptr;
  view->SetUpWindow(PresentationOf(settings.ListType).Report);

  RECT own = {};
  GetWindowRect(view->window_, &own);
  view->Fill(settings, own.right - own.left);
  SetWindowPos(view->window_, HWND_TOP, 0, 0, client.right - client.left, client.bottom - client.top, SWP_SHOWWINDOW);
  view->ReapplySort(settings);
  return view;
}

void CZTFileUploadListCtrl::Retire(std::unique_ptr<CZTFileUploadListCtrl> view) {
  if (!view) return;
  if (!view->Busy()) return;  // the unique_ptr destroys it here
  // Still handling a message further up the stack: it must outlive that
  // handling, but nothing may reach the control through it any more.
  view->owner_ = nullptr;
  view->header_.Detach();
  if (view->window_) ShowWindow(view->window_, SW_HIDE);
  (void)view.release();  // deleted by WindowProc or HandleNotify when the handling ends
}

CZTFileUploadListCtrl::~CZTFileUploadListCtrl() {
  header_.Detach();
  if (window_) {
    HWND window = window_;
    hook_.Unhook();
    DestroyWindow(window);  // the list view destroys its image lists with it
  }
}

bool CZTFileUploadListCtrl::MakeWindow(HWND parent, const RECT& client, std::uint32_t style) {
  const int width = client.right - client.left, height = client.bottom - client.top;
  window_ = CreateWindowExW(0, WC_LISTVIEWW, nullptr, style, client.left, client.top, width, height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListViewId)), com::ModuleInstance(), nullptr);
  if (!window_) return false;
  if (!hook_.Hook(window_)) {
    DestroyWindow(std::exchange(window_, nullptr));
    return false;
  }
  // Hidden while it is filled.
  SetWindowPos(window_, HWND_TOP, 0, 0, width, height, SWP_HIDEWINDOW);
  return true;
}

// What the window does once it exists: flat menus with their images, and
// the skinned header in the details layouts.
void CZTFileUploadListCtrl::SetUpWindow(bool report) {
  menu_xp::SetOptIn(window_, true);
  // The menu layer keeps its own copy of each registered image.
  win::UniqueHimagelist images(
      ImageList_LoadBitmap(com::ModuleInstance(), MAKEINTRESOURCEW(kMenuImages), 16, 0, kMenuImageMask));
  if (images) {
    menu_xp::RegisterCommandImage(command::DeleteFiles, images.Get(), 1);
    menu_xp::RegisterCommandImage(command::OpenFile, images.Get(), 2);
    menu_xp::RegisterCommandImage(command::OpenFolder, images.Get(), 3);
  }
  if (report) {
    if (HWND header = reinterpret_cast<HWND>(SendMessageW(window_, LVM_GETHEADER, 0, 0))) header_.Attach(header);
  }
}

void CZTFileUploadListCtrl::Fill(const ViewSettings& settings, int width) {
  SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ExtendedStyle(settings));
  pageBack_ = static_cast<COLORREF>(settings.BgColor);
  pageText_ = static_cast<COLORREF>(settings.FgColor);
  ApplyColours();
  InvalidateRect(window_, nullptr, TRUE);

  icons_.AttachTo(window_);

  for (int column = 0; column < 3; ++column)
    InsertColumn(window_, column, std::u16string(LoadText(kColumnTitles[column])), kColumnFormats[column],
                 kColumnInsertWidths[column]);
  columns_ = 3;
  // The fixed widths of a wide view are 96-DPI pixels: chosen on the width
  // as the design measures it, then drawn at the display's scale.
  const int dpi = win::WindowDpi(window_);
  ColumnWidths widths = BuildColumnWidths(MulDiv(width, win::kBaseDpi, dpi));
  if (dpi != win::kBaseDpi) {
    for (int& w : widths) w = win::Scaled(w, dpi);
  }
  SetColumnWidths(window_, widths);

  const FileModel& model = owner_->Model();
  if (PresentationOf(settings.ListType).AttributeColumns) {
    for (const CZTFileAttrInfo& info : model.AttributeNames()) {
      if (info.Visible != 1) continue;
      InsertColumn(window_, columns_, info.Name, LVCFMT_LEFT, 100);
      SendMessageW(window_, LVM_SETCOLUMNWIDTH, columns_, MAKELPARAM(info.ColumnWidth, 0));
      ++columns_;
    }
  }

  // The window is hidden, but the list still scrolls its contents for each
  // row inserted at the top unless drawing is off.
  SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
  for (const auto& entry : model.Files()) InsertEntryRow(*entry);
  SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
}

void CZTFileUploadListCtrl::ApplyColours() {
  // The page's colours as of the last build, unless the person chose high
  // contrast: then the system's window colours, as every other list shows them.
  const bool system = win::HighContrast();
  const COLORREF back = system ? GetSysColor(COLOR_WINDOW) : pageBack_;
  const COLORREF text = system ? GetSysColor(COLOR_WINDOWTEXT) : pageText_;
  SendMessageW(window_, LVM_SETBKCOLOR, 0, back);
  SendMessageW(window_, LVM_SETTEXTBKCOLOR, 0, back);
  SendMessageW(window_, LVM_SETTEXTCOLOR, 0, text);
}

void CZTFileUploadListCtrl::SystemLookChanged() {
  if (!window_ || Orphaned()) return;
  ApplyColours();
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void CZTFileUploadListCtrl::ReapplySort(const ViewSettings& settings) {
  const SortRecord& sort = owner_->RecordedSort();
  if (!PresentationOf(settings.ListType).Report || sort.Column == -1) return;
  if (sort.Column >= 0 && sort.Column < static_cast<int>(directions_.size()))
    directions_[static_cast<std::size_t>(sort.Column)] = sort.Ascending;
  Sort(sort.Column, sort.Ascending == 1);
}

void CZTFileUploadListCtrl::InsertEntryRow(const CZTFileItem& entry) {
  if (!window_) return;
  HoldRedrawUntilIdle();
  const int image = icons_.ImageFor(entry);
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = 0;
  item.pszText = const_cast<wchar_t*>(AsWide(entry.Name));
  item.iImage = image >= 0 ? image : I_IMAGENONE;
  item.lParam = nextRowId_++;  // lets a sort move the rows in one go
  const int row = static_cast<int>(SendMessageW(window_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  SetCellText(window_, row, 1, PathColumnText(entry));
  SetCellText(window_, row, 2, SizeColumnText(entry));
  if (columns_ <= 3 || !owner_) return;  // no attribute column to fill
  int column = 3;
  for (const CZTFileAttrInfo& info : owner_->Model().AttributeNames()) {
    if (info.Visible != 1) continue;
    if (column >= columns_) break;
    SetCellText(window_, row, column++, entry.GetAttribute(info.Name));
  }
}

// A row inserted at the top of a list that draws scrolls the window's
// contents (milliseconds a row under Wine): rows a page adds in one go are
// drawn together once its script has returned to the message loop.
void CZTFileUploadListCtrl::HoldRedrawUntilIdle() {
  if (redrawHeld_ || !IsWindowVisible(window_)) return;
  if (!PostMessageW(window_, kRedrawHeldRows, 0, 0)) return;
  redrawHeld_ = true;
  SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
}

void CZTFileUploadListCtrl::Resize(int width, int height) {
  if (!window_) return;
  SetWindowPos(window_, HWND_TOP, 0, 0, width, height, SWP_SHOWWINDOW);
  RECT own = {};
  GetWindowRect(window_, &own);
  SetColumnWidths(window_, ResizeColumnWidths(own.right - own.left));
}

int CZTFileUploadListCtrl::GetSelectedCount() const {
  return window_ ? static_cast<int>(SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0)) : 0;
}

std::u16string CZTFileUploadListCtrl::GetSelectedFileName(int index) const {
  if (index < 0 || index >= GetSelectedCount()) return {};
  int row = -1;
  for (int i = 0; i <= index; ++i) row = static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, row, LVNI_SELECTED));
  return ListItemText(window_, row, 0);
}

int CZTFileUploadListCtrl::FirstSelectedRow() const {
  return static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int CZTFileUploadListCtrl::RowCount() const {
  return window_ ? static_cast<int>(SendMessageW(window_, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

std::u16string CZTFileUploadListCtrl::RowText(int row) const { return window_ ? ListItemText(window_, row, 0) : std::u16string(); }

void CZTFileUploadListCtrl::DeleteRowNamed(std::u16string_view name) {
  const int rows = RowCount();
  for (int row = 0; row < rows; ++row) {
    if (!EqualsNoCase(ListItemText(window_, row, 0), name)) continue;
    SendMessageW(window_, LVM_DELETEITEM, row, 0);
    SendMessageW(window_, LVM_ARRANGE, LVA_DEFAULT, 0);
    return;
  }
}

void CZTFileUploadListCtrl::Sort(int column, bool ascending, int first, int last) {
  if (!window_) return;
  if (owner_) owner_->Model().SettleIndices();  // the rows it reads are about to move
  ListViewRows rows(window_);
  SortRows(rows, column, ascending, first, last);
  rows.Commit();
}

bool CZTFileUploadListCtrl::HandleNotify(const NMHDR& header, LRESULT* result) {
  if (!window_ || header.hwndFrom != window_) return false;
  switch (header.code) {
    case NM_CLICK:
    case NM_DBLCLK:
    case LVN_KEYDOWN:
    case LVN_COLUMNCLICK:
      break;
    default:
      return false;
  }
  *result = 0;
  {
    Handling handling(busy_);
    switch (header.code) {
      case NM_CLICK: OnClick(); break;
      case NM_DBLCLK: OnDoubleClick(); break;
      case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) DeleteSelected();
        break;
      case LVN_COLUMNCLICK: OnColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem); break;
    }
  }
  if (!Busy() && Orphaned()) delete this;
  return true;
}

LRESULT CZTFileUploadListCtrl::HookedMessage(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result;
  {
    Handling handling(busy_);
    result = Orphaned() ? hook_.Previous(msg, wp, lp) : OnMessage(msg, wp, lp);
  }
  if (!Busy() && Orphaned()) delete this;
  return result;
}

LRESULT CZTFileUploadListCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND window = window_;
  if (LRESULT keyResult = 0; OnKeyboard(msg, wp, lp, &keyResult)) return keyResult;
  switch (msg) {
    case kRedrawHeldRows:
      if (redrawHeld_) {
        redrawHeld_ = false;
        SendMessageW(window, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    case WM_RBUTTONDOWN:
      // Never the list's own handling: a right click leaves the selection
      // as it is, whether or not a menu opens.
      ShowContextMenu({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == 0 && lp == 0) {  // from a menu
        OnCommand(LOWORD(wp));
        return 0;
      }
      break;
    case WM_ENABLE: {
      const LRESULT result = CallListProc(window, msg, wp, lp);
      OnEnable(wp != 0);
      return result;
    }
    case WM_INITMENUPOPUP: {
      const LRESULT result = CallListProc(window, msg, wp, lp);
      menu_xp::PreparePopup(window, reinterpret_cast<HMENU>(wp));
      return result;
    }
    case WM_MEASUREITEM:
      if (menu_xp::MeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (menu_xp::DrawItem(window, reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_MENUCHAR: {
      LRESULT result = 0;
      if (menu_xp::MenuChar(reinterpret_cast<HMENU>(lp), HIWORD(wp), static_cast<wchar_t>(LOWORD(wp)), &result))
        return result;
      break;
    }
    default:
      break;
  }
  return CallListProc(window, msg, wp, lp);
}

void CZTFileUploadListCtrl::ShowContextMenu(POINT clientPoint) {
  const ViewSettings settings = owner_->Settings();
  const MenuState state =
      ContextMenuState(settings.EnableMenu, settings.EnableFolderMenu, settings.EnableDeleteMenu, settings.ListType);
  if (!state.Opens) return;
  win::UniqueHmenu menu(LoadMenuW(com::ModuleInstance(), MAKEINTRESOURCEW(kListMenu)));
  HMENU popup = menu ? GetSubMenu(menu.Get(), 0) : nullptr;
  if (!popup) return;
  if (!state.FolderEnabled) EnableMenuItem(popup, command::OpenFolder, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
  if (!state.DeleteEnabled) EnableMenuItem(popup, command::DeleteFiles, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
  if (state.RadioCommand != 0)
    CheckMenuRadioItem(popup, command::IconView, command::AttributeView, state.RadioCommand, MF_BYCOMMAND);
  POINT screen = clientPoint;
  ClientToScreen(window_, &screen);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_, nullptr);
}

bool CZTFileUploadListCtrl::OnKeyboard(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  *result = 0;
  switch (msg) {
    case WM_CONTEXTMENU:
      // Shift+F10 (and the menu key where the system makes this of it)
      // arrive with no point: the menu opens at the focused row, not at
      // wherever the mouse happens to rest.
      if (lp != -1) return false;
      ShowContextMenu(FocusedRowPoint());
      return true;
    case WM_KEYUP:
      // The menu key, on its release as the system acts on it; kept from the
      // default handling so that no second menu follows.
      if (wp != VK_APPS) return false;
      ShowContextMenu(FocusedRowPoint());
      return true;
    case WM_GETDLGCODE: {
      // Inside a dialog the list, not the default button, takes Enter.
      const MSG* key = reinterpret_cast<const MSG*>(lp);
      *result = CallListProc(window_, msg, wp, lp);
      if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) *result |= DLGC_WANTMESSAGE;
      return true;
    }
    case WM_KEYDOWN:
      break;
    default:
      return false;
  }
  switch (wp) {
    case VK_APPS:
      return true;  // acted on at its release
    case VK_INSERT:
      // The menu's "파일열기": the same dialog, the same error box.
      OnCommand(command::OpenFile);
      return true;
    case VK_RETURN:
      // A double click on the selected row; without one nothing is opened.
      if (FirstSelectedRow() >= 0) OnDoubleClick();
      return true;
    case 'A':
      if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) return false;
      {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
      }
      return true;
    default:
      return false;
  }
}

POINT CZTFileUploadListCtrl::FocusedRowPoint() const {
  POINT point{0, 0};
  int row = static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (row < 0) row = FirstSelectedRow();
  if (row < 0) return point;
  SendMessageW(window_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  RECT label{};
  label.left = LVIR_LABEL;
  if (!SendMessageW(window_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label))) return point;
  // Just below the row's text, as Explorer places it; inside the window.
  RECT client{};
  GetClientRect(window_, &client);
  point.x = std::clamp<LONG>(label.left, client.left, std::max(client.left, client.right - 1));
  point.y = std::clamp<LONG>(label.bottom, client.top, std::max(client.top, client.bottom - 1));
  return point;
}

void CZTFileUploadListCtrl::OnCommand(unsigned id) {
  if (const std::optional<std::int16_t> listType = ListTypeOfCommand(id)) {
    owner_->ChooseListType(*listType);
    return;
  }
  switch (id) {
    case command::OpenFile:
      if (!owner_->OpenFileCommand() && !Orphaned()) owner_->ShowRecordedError();
      break;
    case command::OpenFolder:
      if (!owner_->OpenFolderCommand() && !Orphaned()) owner_->ShowRecordedError();
      break;
    case command::DeleteFiles:
      DeleteSelected();
      break;
    default:
      break;
  }
}

void CZTFileUploadListCtrl::OnEnable(bool enabled) {
  if (!enabled || pendingDrop_.empty()) return;
  // Taken, not kept: a later enabling of the window must not add the same
  // files again.
  const std::vector<std::u16string> paths = std::move(pendingDrop_);
  pendingDrop_.clear();
  if (!owner_->AddDroppedFiles(paths) && !Orphaned()) owner_->ShowRecordedError();
}

void CZTFileUploadListCtrl::DeleteSelected() {
  for (;;) {
    const int row = FirstSelectedRow();
    if (row < 0) return;
    const int rowsBefore = RowCount();
    const std::u16string name = ListItemText(window_, row, 0);
    if (!owner_->DeleteEntryNamed(name)) return;
    // A page's AfterDeleteFile handler may have retired this view, or added
    // entries (the count then says nothing); only a pass that took no row and
    // left the same row first selected would repeat for ever.
    if (Orphaned() || !window_) return;
    if (RowCount() >= rowsBefore && FirstSelectedRow() == row && ListItemText(window_, row, 0) == name) return;
  }
}

void CZTFileUploadListCtrl::OnClick() {
  const int row = FirstSelectedRow();
  const std::u16string name = row >= 0 ? ListItemText(window_, row, 0) : std::u16string();
  FileModel& model = owner_->Model();
  if (name.empty()) {
    model.SetFilePos(model.FileCount() > 0 ? 0 : -1);
    owner_->FireItemClick(-1);
    return;
  }
  if (const std::int32_t index = model.FindPosByName(name); index != -1) model.SetFilePos(index);
  owner_->FireItemClick(model.FilePos());
}

void CZTFileUploadListCtrl::OnDoubleClick() {
  const int row = FirstSelectedRow();
  const std::u16string name = row >= 0 ? ListItemText(window_, row, 0) : std::u16string();
  FileModel& model = owner_->Model();
  std::u16string path;
  if (const CZTFileItem* entry = name.empty() ? nullptr : model.FindByName(name)) {
    model.SetFilePos(model.FindPosByName(name));
    path = entry->LocalPath;  // empty for a server entry
  }
  owner_->FireItemDblClick(name);
  // A server entry has no file here: the shell is given no empty path. A
  // page opens it from its ItemDblClick handler (OpenFile). A file that
  // runs code is not started: the row shows the page's name for it, not
  // the program the shell would run.
  if (path.empty()) return;
  OpenWithShell(window_, path);
}

void CZTFileUploadListCtrl::OnColumnClick(int column) {
  SortRecord& sort = owner_->RecordedSort();
  sort.Column = column;
  const bool tracked = column >= 0 && column < static_cast<int>(directions_.size());
  const std::int32_t ascending = tracked && directions_[static_cast<std::size_t>(column)] == 1 ? 0 : 1;
  sort.Ascending = ascending;
  if (tracked) directions_[static_cast<std::size_t>(column)] = ascending;
  Sort(column, ascending == 1);
}

}  // namespace zt::view
