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

constexpr wchar_t kAllowedSitesKey[] = L"Software\\ZTFileUpload\\AllowedSites";

// Whether a list exists under root, adding its entries. Both registry views
// are read, so one list serves the 32-bit and the 64-bit control alike.
bool ReadAllowList(HKEY root, std::vector<std::u16string>* entries) {
  bool found = false;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    com::RegKey key;
    if (com::RegKey::Open(root, kAllowedSitesKey, &key, view) != ERROR_SUCCESS) continue;
    found = true;
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
  return found;
}

}  // namespace

bool CZTFileUploadCtrl::SafeInContainer() {
  std::vector<std::u16string> entries;
  const bool machine = ReadAllowList(HKEY_LOCAL_MACHINE, &entries);
  const bool user = ReadAllowList(HKEY_CURRENT_USER, &entries);
  if (!machine && !user) return true;  // no list: every page, as before lists existed
  return SiteAllowed(true, entries, FromWide(ContainerPageUrl().c_str()));
}

}  // namespace zt
