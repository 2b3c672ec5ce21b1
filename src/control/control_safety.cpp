// The site lock on the control: the allow-lists an administrator (per
// machine) and a user (per account) keep in the registry, applied to the
// page the container shows the control on (safety/site_lock.h).
#include <string>
#include <vector>

#include "control/ztfileupload_ctrl.h"
#include "platform/registry.h"
#include "platform/wide_text.h"
#include "safety/site_lock.h"

namespace zt {

namespace {

constexpr wchar_t kProductKey[] = L"Software\\ZTFileUpload";
constexpr wchar_t kAllowedSitesKey[] = L"Software\\ZTFileUpload\\AllowedSites";
constexpr wchar_t kAllowedSitesName[] = L"AllowedSites";

enum class ListState { Absent, Listed, Unreadable };

// Whether a list exists under root, adding its entries. Both registry views
// are read, so one list serves the 32-bit and the 64-bit control alike. A
// list that exists but cannot be read (denied, or a value where the key
// belongs) is Unreadable: an administrator meant to lock, so nothing passes.
ListState ReadAllowList(HKEY root, std::vector<std::u16string>* entries) {
  ListState state = ListState::Absent;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    com::RegKey key;
    const LSTATUS opened = com::RegKey::Open(root, kAllowedSitesKey, &key, view);
    if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) {
      com::RegKey product;
      if (com::RegKey::Open(root, kProductKey, &product, view) == ERROR_SUCCESS &&
          RegQueryValueExW(product.Get(), kAllowedSitesName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return ListState::Unreadable;
      continue;
    }
    if (opened != ERROR_SUCCESS) return ListState::Unreadable;
    state = ListState::Listed;
    // One value may hold several entries separated by ';', as an installer
    // writes the list it was given in one value.
    for (const std::wstring& value : key.TextValues()) {
      std::size_t start = 0;
      while (start <= value.size()) {
        std::size_t end = value.find(L';', start);
        if (end == std::wstring::npos) end = value.size();
        entries->push_back(FromWide(value.c_str() + start, end - start));
        start = end + 1;
      }
    }
  }
  return state;
}

}  // namespace

bool CZTFileUploadCtrl::SafeInContainer() {
  std::vector<std::u16string> entries;
  const ListState machine = ReadAllowList(HKEY_LOCAL_MACHINE, &entries);
  const ListState user = ReadAllowList(HKEY_CURRENT_USER, &entries);
  if (machine == ListState::Unreadable || user == ListState::Unreadable) return false;
  if (machine == ListState::Absent && user == ListState::Absent) return true;  // no list: every page, as before
  return SiteAllowed(true, entries, FromWide(ContainerPageUrl().c_str()));
}

}  // namespace zt
