#pragma once
// The list's two image lists (32 x 32 for large icons, 16 x 16 for the
// others) and the shell icon of each row. Both lists always grow together,
// so one index is right for both. Rows whose shell icon is the same share
// one image: the lists grow with the number of distinct icons, not of rows.
#include <windows.h>
#include <commctrl.h>

#include <unordered_map>

#include "model/records.h"

namespace zt::view {

class RowIcons {
public:
  // Makes both lists and hands them to the list view, which owns them from
  // then on (it destroys them with its window). False when either list
  // cannot be made.
  bool AttachTo(HWND list);

  // The image index of the entry's icon, added on first sight; -1 (no
  // image) when the shell knows no icon for it.
  int ImageFor(const CZTFileItem& entry);

  int ImageCount() const;

private:
  // Where the shell keeps the entry's icon: the system image list and the
  // index in it (-1 when the shell knows none).
  struct SystemIcon {
    HIMAGELIST list;
    int index;
  };
  static SystemIcon FindSystemIcon(const CZTFileItem& entry);

  HIMAGELIST large_ = nullptr;  // owned by the list view
  HIMAGELIST small_ = nullptr;  // owned by the list view
  std::unordered_map<int, int> bySystemIndex_;
};

}  // namespace zt::view
