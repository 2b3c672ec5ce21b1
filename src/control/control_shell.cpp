// CZTFileUploadCtrl and the shell: files the user adds through the open-file
// dialog, the folder browser and drops on the list, and the drop target that
// follows the list view from window to window. The script members
// OpenFileDialog and OpenFolderDialog run the same commands as the menu.
#include "control/control_errors.h"
#include "control/ztfileupload_ctrl.h"
#include "platform/com_ptr.h"
#include "platform/wide_text.h"
#include "view/shell_services.h"

namespace zt {

HWND CZTFileUploadCtrl::DialogOwner() const {
  HWND window = ControlWindow();
  return window ? GetAncestor(window, GA_ROOT) : nullptr;
}

bool CZTFileUploadCtrl::FinishShellAdd(const Outcome& outcome) {
  if (outcome.Ok()) return true;
  Record(outcome.Code, ErrorText(outcome.Code));
  return false;
}

bool CZTFileUploadCtrl::OpenFileCommand() {
  com::ComPtr<IUnknown> keepAlive(Identity());  // a page's handler may let go of the control
  std::vector<std::u16string> paths;
  {
    ModalScope modal(*this);
    paths = view::ChooseFiles(DialogOwner());
  }
  if (paths.empty()) return true;
  ClearError();
  return FinishShellAdd(AddLocalFiles(model_, fileSystem_, paths, LocalAddOptions(), this));
}

bool CZTFileUploadCtrl::OpenFolderCommand() {
  com::ComPtr<IUnknown> keepAlive(Identity());
  std::u16string folder;
  {
    ModalScope modal(*this);
    folder = view::ChooseFolder(DialogOwner());
  }
  if (folder.empty()) return true;
  // The next browse, in any control of this process, starts here.
  SetCurrentDirectoryW(AsWide(folder));
  // The folder's own files: no sub-folder, nothing system, temporary or offline.
  const std::optional<std::vector<FoundFile>> files = PatternFiles(fileSystem_, FolderPattern(folder));
  if (!files || files->empty()) return true;
  ClearError();
  return FinishShellAdd(AddPatternFiles(model_, fileSystem_, *files, LocalAddOptions(), this));
}

bool CZTFileUploadCtrl::AddDroppedFiles(const std::vector<std::u16string>& paths) {
  com::ComPtr<IUnknown> keepAlive(Identity());
  ClearError();
  // A dropped folder brings its own files, as the folder browser would.
  return FinishShellAdd(AddDroppedPaths(model_, fileSystem_, paths, LocalAddOptions(), this));
}

}  // namespace zt
