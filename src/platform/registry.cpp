#include "platform/registry.h"

#include <objbase.h>

namespace zt::com {

LSTATUS RegKey::Create(HKEY parent, const std::wstring& path, RegKey* out) {
  HKEY key = nullptr;
  LSTATUS s = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                              nullptr, &key, nullptr);
  if (s == ERROR_SUCCESS) {
    RegKey k;
    k.key_ = key;
    *out = std::move(k);
  }
  return s;
}

LSTATUS RegKey::Open(HKEY parent, const std::wstring& path, RegKey* out, REGSAM view) {
  HKEY key = nullptr;
  LSTATUS s = RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | view, &key);
  if (s == ERROR_SUCCESS) {
    RegKey k;
    k.key_ = key;
    *out = std::move(k);
  }
  return s;
}

LSTATUS RegKey::SetText(const std::wstring& name, const std::wstring& value) const {
  return RegSetValueExW(key_, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS RegKey::GetText(const std::wstring& name, std::wstring* value) const {
  const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
  DWORD type = 0, bytes = 0;
  LSTATUS s = RegQueryValueExW(key_, valueName, nullptr, &type, nullptr, &bytes);
  if (s != ERROR_SUCCESS) return s;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  s = RegQueryValueExW(key_, valueName, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes);
  if (s != ERROR_SUCCESS) return s;
  text.resize(bytes / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  *value = std::move(text);
  return ERROR_SUCCESS;
}

std::vector<std::wstring> RegKey::TextValues() const {
  std::vector<std::wstring> values;
  DWORD count = 0, longestName = 0, longestData = 0;
  if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                       &longestData, nullptr, nullptr) != ERROR_SUCCESS)
    return values;
  std::wstring name(longestName + 1, L'\0');
  std::wstring data(longestData / sizeof(wchar_t) + 1, L'\0');
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size()), bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    if (RegEnumValueW(key_, i, name.data(), &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                      &bytes) != ERROR_SUCCESS)
      continue;
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    std::wstring text(data.data(), bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    values.push_back(std::move(text));
  }
  return values;
}

LSTATUS DeleteKeyTree(HKEY parent, const std::wstring& path) {
  LSTATUS s = RegDeleteTreeW(parent, path.c_str());
  if (s == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (s != ERROR_SUCCESS) return s;
  s = RegDeleteKeyW(parent, path.c_str());
  return s == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : s;
}

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

}  // namespace zt::com
