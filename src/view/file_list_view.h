#pragma once
// CZTFileUploadListCtrl: the list-view window that shows the control's file
// list, one row per entry, newest first, in one of five presentations. It is
// short-lived: every change of presentation builds a new one from the model
// (Create), and everything that must outlive it is kept by the control
// (ListViewOwner).
//
// The window is the common-controls list view, subclassed for its own
// messages (the context menu and its commands, the menu drawing messages,
// enabling); the notifications it sends its parent come back through
// HandleNotify.
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/file_model.h"
#include "platform/window_hook.h"
#include "platform/unique_handle.h"
#include "view/list_view_owner.h"
#include "view/row_icons.h"
#include "widgets/skin_header.h"

namespace zt::view {

class CZTFileUploadListCtrl final : public RowView {
public:
  // Builds a view of the owner's model as the child window kListViewId of
  // parent, filling `client`, with the owner's settings; re-applies the
  // recorded sort in the report presentations. Nullptr when the window
  // cannot be made.
  static std::unique_ptr<CZTFileUploadListCtrl> Create(ListViewOwner& owner, HWND parent, const RECT& client);

  // Destroys the view. A view still handling one of its messages (an event
  // handler in the page may have caused this) is hidden and cut off from
  // its owner at once and goes when that message has been handled.
  static void Retire(std::unique_ptr<CZTFileUploadListCtrl> view);

  ~CZTFileUploadListCtrl() override;
  CZTFileUploadListCtrl(const CZTFileUploadListCtrl&) = delete;
  CZTFileUploadListCtrl& operator=(const CZTFileUploadListCtrl&) = delete;

  HWND Window() const { return window_; }
  // True while the view handles a message: it must not be destroyed now.
  bool Busy() const { return busy_ > 0; }

  // Adds the entry's row at the top with its icon and texts.
  void InsertEntryRow(const CZTFileItem& entry);
  // The control's client area changed: fill it and share the width among
  // the name, path and size columns.
  void Resize(int width, int height);

  int GetSelectedCount() const;
  // The name in the index-th selected row, counting from the top; empty for
  // an index outside 0 .. GetSelectedCount()-1.
  std::u16string GetSelectedFileName(int index) const;

  // The system's colours or its high-contrast setting changed: the list
  // takes the colours that now apply and everything is drawn again at once.
  void SystemLookChanged();

  // A notification the list sent its parent; true when handled, with the
  // result in *result.
  bool HandleNotify(const NMHDR& header, LRESULT* result);

  // Files of the last drop, added (once) when the window is next enabled.
  void SetPendingDrop(std::vector<std::u16string> paths) { pendingDrop_ = std::move(paths); }

  // Sorts rows first..last (-1: the last row) by column.
  void Sort(int column, bool ascending, int first = 0, int last = -1);

  // RowView: what the model reads and deletes.
  int RowCount() const override;
  std::u16string RowText(int row) const override;
  void DeleteRowNamed(std::u16string_view name) override;

private:
  explicit CZTFileUploadListCtrl(ListViewOwner& owner) : owner_(&owner) {}

  bool MakeWindow(HWND parent, const RECT& client, std::uint32_t style);
  void SetUpWindow(bool report);
  void Fill(const ViewSettings& settings, int width);
  void ReapplySort(const ViewSettings& settings);
  void ApplyColours();

  // The list view's messages reach the view through this hook.
  class ListHook final : public win::WindowHook {
   public:
    explicit ListHook(CZTFileUploadListCtrl& view) : view_(view) {}
    LRESULT Previous(UINT msg, WPARAM wp, LPARAM lp) { return CallPrevious(msg, wp, lp); }

   private:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override { return view_.HookedMessage(msg, wp, lp); }
    void OnFinalMessage(HWND) override { view_.window_ = nullptr; }
    CZTFileUploadListCtrl& view_;
  };
  LRESULT HookedMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT CallListProc(HWND, UINT msg, WPARAM wp, LPARAM lp) { return hook_.Previous(msg, wp, lp); }
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  void ShowContextMenu(POINT clientPoint);
  // The keyboard alone: the menu key and Shift+F10, Insert, Enter, Ctrl+A.
  // True when the key was the view's, with the message's result in *result.
  bool OnKeyboard(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
  POINT FocusedRowPoint() const;
  void OnCommand(unsigned id);
  void OnEnable(bool enabled);
  void DeleteSelected();
  void OnClick();
  void OnDoubleClick();
  void OnColumnClick(int column);
  void HoldRedrawUntilIdle();
  int FirstSelectedRow() const;
  bool Orphaned() const { return owner_ == nullptr; }

  ListViewOwner* owner_;  // null once retired
  HWND window_ = nullptr;
  ListHook hook_{*this};
  int busy_ = 0;
  bool redrawHeld_ = false;
  int columns_ = 0;  // columns inserted: name, path, size and any attribute columns
  // Each row's item data: an id no other row of this window has.
  LPARAM nextRowId_ = 0;
  // The page's colours as the list was built: a change of the system's look
  // shows them again, while a page's later change waits for the next build.
  COLORREF pageBack_ = 0, pageText_ = 0;
  RowIcons icons_;
  widgets::CZTSkinHeaderCtrl header_;
  // Per column: 1 when last sorted ascending, 0 descending or never.
  std::array<std::int32_t, 1024> directions_{};
  std::vector<std::u16string> pendingDrop_;
};

}  // namespace zt::view
