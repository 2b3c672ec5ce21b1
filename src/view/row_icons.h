#pragma once
// The list's two image lists (32 x 32 for large icons, 16 x 16 for the
// others) and the shell icon of each row. Both lists always grow together,
// so one index is right for both.
//
// Rows whose shell icon is the same share one image, so the lists grow with
// the number of distinct icons, not of rows. Most file types show one icon
// for every file of the type: it is asked of the shell once per type,
// without touching the files (which under Wine costs milliseconds a file).
// Types whose files carry their own icon (programs, icons, shortcuts) are
// asked about file by file.
#include <windows.h>
#include <commctrl.h>

#include <string>
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

private:
  // The shell's icon: the system image list and the index in it (-1 when
  // the shell knows none).
  struct SystemIcon {
    HIMAGELIST list = nullptr;
    int index = -1;
  };
  // The icon of a file type, asked without any file: a server entry's name
  // comes from the server and must never name a file here.
  static SystemIcon TypeIcon(const std::u16string& extension);
  static SystemIcon FileIcon(const std::u16string& path);
  // Whether files of the type each carry their own icon.
  static bool IconComesFromFile(const std::u16string& extension);
  // The image for a system icon, appended to both lists on first sight.
  int ImageOf(const SystemIcon& icon);

  HIMAGELIST large_ = nullptr;  // owned by the list view
  HIMAGELIST small_ = nullptr;  // owned by the list view
  std::unordered_map<int, int> bySystemIndex_;
  // Per file type (extension folded to upper case): its icon, or that its
  // files carry their own.
  struct TypeEntry {
    bool perFile = false;
    int image = -1;
  };
  std::unordered_map<std::u16string, TypeEntry> byType_;
};

}  // namespace zt::view
