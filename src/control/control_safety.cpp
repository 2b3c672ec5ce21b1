// The site lock on the control: the allow-lists a policy, an administrator
// (per machine) and a user (per account) keep in the registry, applied to
// the page the container shows the control on (safety/site_lock.h). A policy
// list, when there is one, is the whole lock: what Group Policy sets is not
// widened by an installer's or a user's list.
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
constexpr wchar_t kPolicyProductKey[] = L"Software\\Policies\\ZTFileUpload";
constexpr wchar_t kPolicyAllowedSitesKey[] = L"Software\\Policies\\ZTFileUpload\\AllowedSites";
constexpr wchar_t kAllowedSitesName[] = L"AllowedSites";

enum class ListState { Absent, Listed, Unreadable };

// Whether a list exists under root, adding its entries. Both registry views
// are read, so one list serves the 32-bit and the 64-bit control alike. A
// list that exists but cannot be read (denied, or a value where the key
// belongs) is Unreadable: an administrator meant to lock, so nothing passes.
ListState ReadAllowList(HKEY root, std::vector<std::u16string>* entries, const wchar_t* listKey = kAllowedSitesKey,
                        const wchar_t* productKey = kProductKey) {
  ListState state = ListState::Absent;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    com::RegKey key;
    const LSTATUS opened = com::RegKey::Open(root, listKey, &key, view);
    if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) {
      com::RegKey product;
      if (com::RegKey::Open(root, productKey, &product, view) == ERROR_SUCCESS &&
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
  const ListState policy = ReadAllowList(HKEY_LOCAL_MACHINE, &entries, kPolicyAllowedSitesKey, kPolicyProductKey);
  if (policy == ListState::Unreadable) return false;
  if (policy == ListState::Listed) return SiteAllowed(true, entries, FromWide(ContainerPageUrl().c_str()));
  const ListState machine = ReadAllowList(HKEY_LOCAL_MACHINE, &entries);
  const ListState user = ReadAllowList(HKEY_CURRENT_USER, &entries);
  if (machine == ListState::Unreadable || user == ListState::Unreadable) return false;
  if (machine == ListState::Absent && user == ListState::Absent) return true;  // no list: every page, as before
  return SiteAllowed(true, entries, FromWide(ContainerPageUrl().c_str()));
}

namespace {

// Whether a machine already has a lock, in either view: a policy list or a
// machine list, even an empty one (which admits no page at all) or one that
// cannot be read.
bool MachineLocked() {
  std::vector<std::u16string> entries;
  return ReadAllowList(HKEY_LOCAL_MACHINE, &entries, kPolicyAllowedSitesKey, kPolicyProductKey) != ListState::Absent ||
         ReadAllowList(HKEY_LOCAL_MACHINE, &entries) != ListState::Absent;
}

}  // namespace

HRESULT InstallCabinetSites(const wchar_t* argument) {
  const std::vector<std::u16string> entries = CabinetEntries(argument ? FromWide(argument) : std::u16string());
  if (entries.empty()) return E_INVALIDARG;
  // An administrator's or a policy's list is never widened by a page's
  // cabinet: its sites are for machines that have no list.
  if (MachineLocked()) return S_OK;
  com::RegKey key;
  if (com::RegKey::Create(HKEY_LOCAL_MACHINE, kAllowedSitesKey, &key) != ERROR_SUCCESS) return E_ACCESSDENIED;
  // Named by the entry itself, so no two cabinets' values can collide.
  for (const std::u16string& entry : entries) {
    const std::wstring text(AsWide(entry));
    if (key.SetText(text, text) != ERROR_SUCCESS) return E_ACCESSDENIED;
  }
  return S_OK;
}

}  // namespace zt
