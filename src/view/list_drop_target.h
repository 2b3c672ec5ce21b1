#pragma once
// COleListBoxDropTarget: makes the control's list view window a target for
// files dragged from the shell. It lives as long as the control and serves
// one view window at a time: the control registers it for each new window
// and revokes it before that window goes. A drop hands the dropped paths to
// the view and has the view's enable handler add them.
#include <windows.h>
#include <oleidl.h>

#include "platform/com_object.h"

namespace zt::view {

class CZTFileUploadListCtrl;

class COleListBoxDropTarget final : public com::ComObject<IDropTarget> {
public:
  // Registers this target for view's window (RegisterDragDrop), after
  // revoking it from the window it served before.
  void Register(CZTFileUploadListCtrl& view);
  // Revokes it from its window; nothing happens when it serves none.
  void Revoke();

  // IDropTarget. A drag that carries files is answered with the copy effect
  // (when the source allows it); any other drag with no effect, so its
  // source never deletes what nothing took.
  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keys, POINTL at, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;

private:
  DWORD Answer(DWORD allowed) const;

  CZTFileUploadListCtrl* view_ = nullptr;
  HWND window_ = nullptr;
  bool carriesFiles_ = false;  // the drag in progress offers a file list
};

}  // namespace zt::view
