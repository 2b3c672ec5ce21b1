#include "view/row_icons.h"

#include <shellapi.h>

#include "platform/dpi.h"
#include "platform/registry.h"
#include "platform/unique_handle.h"
#include "platform/wide_text.h"
#include "text/unicode.h"

namespace zt::view {

namespace {

// The extension as the shell and the registry see it, or empty when the
// name has none that could be one (path separators, wildcards).
std::u16string UsableExtension(const CZTFileItem& entry) {
  std::u16string extension = entry.Extension();
  if (extension.find_first_of(u"\\/:*?\"<>|") != std::u16string::npos) return {};
  for (char16_t& c : extension) c = UpperSimple(c);
  return extension;
}

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

}  // namespace

bool RowIcons::AttachTo(HWND list) {
  // Icons as large as the display's scale makes the rows.
  const int dpi = win::WindowDpi(list);
  const int largeSize = win::Scaled(32, dpi), smallSize = win::Scaled(16, dpi);
  win::UniqueHimagelist large(ImageList_Create(largeSize, largeSize, ILC_COLOR32, 4, 4));
  win::UniqueHimagelist small(ImageList_Create(smallSize, smallSize, ILC_COLOR32, 4, 4));
  if (!large || !small) return false;
  large_ = large.Release();
  small_ = small.Release();
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(large_));
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small_));
  bySystemIndex_.clear();
  byType_.clear();
  return true;
}

RowIcons::SystemIcon RowIcons::TypeIcon(const std::u16string& extension) {
  const std::u16string probe = extension.empty() ? u"x" : u"x." + extension;
  SHFILEINFOW info = {};
  const DWORD_PTR list = SHGetFileInfoW(AsWide(probe), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                                        SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
  return {reinterpret_cast<HIMAGELIST>(list), list ? info.iIcon : -1};
}

RowIcons::SystemIcon RowIcons::FileIcon(const std::u16string& path) {
  SHFILEINFOW info = {};
  const DWORD_PTR list = SHGetFileInfoW(AsWide(path), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_SYSICONINDEX);
  return {reinterpret_cast<HIMAGELIST>(list), list ? info.iIcon : -1};
}

bool RowIcons::IconComesFromFile(const std::u16string& extension) {
  if (extension.empty()) return false;
  for (const char16_t* own : {u"EXE", u"ICO", u"CUR", u"ANI", u"LNK", u"URL", u"SCR", u"CPL", u"MSC", u"PIF"})
    if (extension == own) return true;
  // Otherwise the registry says: the type's DefaultIcon is the file itself
  // ("%1"), or an icon handler draws each file.
  const std::wstring dotted = L"." + std::wstring(AsWide(extension));
  com::RegKey key;
  std::wstring type;
  if (com::RegKey::Open(HKEY_CLASSES_ROOT, dotted, &key) != ERROR_SUCCESS) return false;
  com::RegKey handler;
  if (com::RegKey::Open(key.Get(), L"shellex\\IconHandler", &handler) == ERROR_SUCCESS) return true;
  if (key.GetText(L"", &type) != ERROR_SUCCESS || type.empty()) return false;
  com::RegKey icon;
  std::wstring location;
  if (com::RegKey::Open(HKEY_CLASSES_ROOT, type + L"\\DefaultIcon", &icon) == ERROR_SUCCESS &&
      icon.GetText(L"", &location) == ERROR_SUCCESS && Contains(location, L"%1"))
    return true;
  return com::RegKey::Open(HKEY_CLASSES_ROOT, type + L"\\shellex\\IconHandler", &handler) == ERROR_SUCCESS;
}

int RowIcons::ImageFor(const CZTFileItem& entry) {
  if (!large_ || !small_) return -1;
  const std::u16string extension = UsableExtension(entry);
  auto type = byType_.find(extension);
  if (type == byType_.end()) {
    // A server entry's type is only a name: its icon is always the type's.
    TypeEntry fresh;
    fresh.perFile = IconComesFromFile(extension);
    type = byType_.emplace(extension, fresh).first;
  }
  if (entry.IsLocal() && type->second.perFile) return ImageOf(FileIcon(entry.LocalPath));
  if (type->second.image < 0) type->second.image = ImageOf(TypeIcon(extension));
  return type->second.image;
}

int RowIcons::ImageOf(const SystemIcon& system) {
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

}  // namespace zt::view
