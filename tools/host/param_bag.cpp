#include "param_bag.h"

#include <cwctype>

namespace zt::host {
namespace {

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool SameName(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return i == a.size() && b[i] == 0;
}

}  // namespace

bool ParseParams(const std::string& utf8, Params& out, int* bad_line) {
  size_t pos = 0;
  if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  int line_no = 0;
  while (pos < utf8.size()) {
    size_t end = utf8.find('\n', pos);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') continue;
    size_t eq = line.find('=');
    std::string name = eq == std::string::npos ? std::string() : Trim(line.substr(0, eq));
    if (name.empty()) {
      if (bad_line) *bad_line = line_no;
      return false;
    }
    out.emplace_back(Widen(name), Widen(line.substr(eq + 1)));
  }
  return true;
}

HRESULT ParamBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  if (!name || !value) return E_POINTER;
  // The last of repeated names wins, as a later <param> would.
  for (auto it = params_.rbegin(); it != params_.rend(); ++it) {
    if (!SameName(it->first, name)) continue;
    BSTR b = SysAllocStringLen(it->second.data(), static_cast<UINT>(it->second.size()));
    if (!b) return E_OUTOFMEMORY;
    VariantClear(value);
    value->vt = VT_BSTR;
    value->bstrVal = b;
    return S_OK;
  }
  return E_INVALIDARG;
}

}  // namespace zt::host
