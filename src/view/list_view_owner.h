#pragma once
// What the file list view needs from the control that made it: the model it
// shows, the settings it is built with, the state that outlives it, and the
// control's operations and events behind the user's clicks, keys and menu
// commands.
#include <cstdint>
#include <string>
#include <vector>

#include "model/file_model.h"

namespace zt::view {

// The control's settings, read when a view is built or a menu opens.
struct ViewSettings {
  std::int16_t ListType = 0;
  std::uint32_t BgColor = 0xFFFFFF;  // COLORREF, handed over unchanged
  std::uint32_t FgColor = 0;
  bool GridLines = false;
  bool TrackSelect = false;
  bool HeaderDragDrop = true;
  bool FullRowSelect = true;
  std::int16_t EnableMenu = 1;
  std::int16_t EnableFolderMenu = 1;
  std::int16_t EnableDeleteMenu = 1;
};

// The column last clicked for sorting and its direction; kept by the
// control so that a rebuilt view sorts the same way.
struct SortRecord {
  std::int32_t Column = -1;    // -1: none
  std::int32_t Ascending = 0;  // 1 ascending, 0 descending
};

class ListViewOwner {
public:
  virtual FileModel& Model() = 0;
  virtual ViewSettings Settings() const = 0;
  virtual SortRecord& RecordedSort() = 0;

  // The events, fired synchronously into the page.
  virtual void FireItemClick(std::int32_t fileIndex) = 0;
  virtual void FireItemDblClick(const std::u16string& fileName) = 0;

  // DeleteFile2 of a row's name, with its event; false, with the control's
  // error recorded, when no entry has that name.
  virtual bool DeleteEntryNamed(const std::u16string& name) = 0;
  // A view command chose a presentation: the control rebuilds the view once
  // the window that handles the command has returned.
  virtual void ChooseListType(std::int16_t listType) = 0;
  // The open-file and folder commands and dropped files, which add files
  // through the shell; false with the control's error recorded when they
  // fail.
  virtual bool OpenFileCommand() = 0;
  virtual bool OpenFolderCommand() = 0;
  virtual bool AddDroppedFiles(const std::vector<std::u16string>& paths) = 0;
  // Tells the user the control's recorded error, when one of the above
  // fails while a window message is being handled: a box the control's
  // container knows about, as every modal window of the control.
  virtual void ShowRecordedError() = 0;

protected:
  ~ListViewOwner() = default;
};

}  // namespace zt::view
