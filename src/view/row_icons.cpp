#include "view/row_icons.h"

#include <shellapi.h>

#include <string>

#include "platform/unique_handle.h"
#include "platform/wide_text.h"

namespace zt::view {

namespace {

// A name that carries nothing of a server-supplied name but its file type,
// for asking the shell about the type without any file: "x.doc" for
// "report.doc", "x" when the name has no usable extension.
std::u16string TypeProbeName(const CZTFileItem& entry) {
  const std::u16string extension = entry.Extension();
  if (extension.empty() || extension.find_first_of(u"\\/:*?\"<>|") != std::u16string::npos) return u"x";
  return u"x." + extension;
}

}  // namespace

bool RowIcons::AttachTo(HWND list) {
  win::UniqueHimagelist large(ImageList_Create(32, 32, ILC_COLOR32, 4, 4));
  win::UniqueHimagelist small(ImageList_Create(16, 16, ILC_COLOR32, 4, 4));
  if (!large || !small) return false;
  large_ = large.Release();
  small_ = small.Release();
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(large_));
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small_));
  bySystemIndex_.clear();
  return true;
}

RowIcons::SystemIcon RowIcons::FindSystemIcon(const CZTFileItem& entry) {
  SHFILEINFOW info = {};
  DWORD_PTR found;
  if (entry.IsLocal()) {
    found = SHGetFileInfoW(AsWide(entry.LocalPath), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_SYSICONINDEX);
  } else {
    // A server entry has no file here, and its name comes from the server:
    // ask for the icon of its type only, without touching the disk.
    const std::u16string probe = TypeProbeName(entry);
    found = SHGetFileInfoW(AsWide(probe), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                           SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
  }
  // The answer is the system's list of large icons, which owns the image.
  return {reinterpret_cast<HIMAGELIST>(found), found ? info.iIcon : -1};
}

int RowIcons::ImageFor(const CZTFileItem& entry) {
  if (!large_ || !small_) return -1;
  const SystemIcon system = FindSystemIcon(entry);
  if (!system.list || system.index < 0) return -1;
  if (auto known = bySystemIndex_.find(system.index); known != bySystemIndex_.end()) return known->second;

  // The large system icon; each list scales it to its own size.
  win::UniqueHicon icon(ImageList_GetIcon(system.list, system.index, ILD_NORMAL));
  if (!icon) return -1;
  const int image = ImageList_ReplaceIcon(large_, -1, icon.Get());
  if (image < 0) return -1;
  if (ImageList_ReplaceIcon(small_, -1, icon.Get()) != image) {
    // The lists must stay in step; drop the large one's extra image.
    ImageList_Remove(large_, image);
    return -1;
  }
  bySystemIndex_.emplace(system.index, image);
  return image;
}

int RowIcons::ImageCount() const { return large_ ? ImageList_GetImageCount(large_) : 0; }

}  // namespace zt::view
