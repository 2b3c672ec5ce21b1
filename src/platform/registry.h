#pragma once
// Registry keys with one owner each, and the few writes registration needs.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace zt::com {

class RegKey {
public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& o) noexcept : key_(std::exchange(o.key_, nullptr)) {}
  RegKey& operator=(RegKey&& o) noexcept {
    std::swap(key_, o.key_);
    return *this;
  }
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }

  // Creates or opens parent\path for writing.
  static LSTATUS Create(HKEY parent, const std::wstring& path, RegKey* out);
  // Opens parent\path for reading (view: KEY_WOW64_32KEY, KEY_WOW64_64KEY
  // or 0 for the process's own).
  static LSTATUS Open(HKEY parent, const std::wstring& path, RegKey* out, REGSAM view = 0);

  // name empty: the key's default value.
  LSTATUS SetText(const std::wstring& name, const std::wstring& value) const;
  // ERROR_SUCCESS and *value, or the failure (a missing value included).
  LSTATUS GetText(const std::wstring& name, std::wstring* value) const;
  // The data of every text value of the key, in the registry's order.
  std::vector<std::wstring> TextValues() const;

  HKEY Get() const { return key_; }

private:
  HKEY key_ = nullptr;
};

// Removes parent\path and everything under it. A key that is already gone
// counts as removed.
LSTATUS DeleteKeyTree(HKEY parent, const std::wstring& path);

// "{XXXXXXXX-...}" of a GUID.
std::wstring GuidText(const GUID& guid);

}  // namespace zt::com
