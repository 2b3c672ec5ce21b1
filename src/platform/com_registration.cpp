#include "platform/com_registration.h"

#include <comcat.h>
#include <oleauto.h>

#include "platform/com_ptr.h"
#include "platform/registry.h"

namespace zt::com {
namespace {

constexpr LCID kCategoryLocale = 0x409;

HRESULT FromStatus(LSTATUS s) { return s == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(s); }

HRESULT SetKeyText(const std::wstring& path, const std::wstring& name, const std::wstring& value) {
  RegKey key;
  LSTATUS s = RegKey::Create(HKEY_CLASSES_ROOT, path, &key);
  if (s == ERROR_SUCCESS) s = key.SetText(name, value);
  return FromStatus(s);
}

HRESULT CategoryManager(ComPtr<ICatRegister>* out) {
  return CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                          out->PutVoid());
}

}  // namespace

HRESULT RegisterModuleTypeLib(const std::wstring& modulePath) {
  ComPtr<ITypeLib> lib;
  HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.Put());
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(lib.Get(), const_cast<wchar_t*>(modulePath.c_str()), nullptr);
}

HRESULT UnregisterModuleTypeLib(const GUID& libid, WORD major, WORD minor) {
  return UnRegisterTypeLib(libid, major, minor, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

HRESULT RegisterClassKeys(const ClassRegistration& reg) {
  const std::wstring clsid = GuidText(reg.Clsid);
  const std::wstring classKey = L"CLSID\\" + clsid;
  HRESULT hr = S_OK;
  auto set = [&hr](const std::wstring& path, const std::wstring& name, const std::wstring& value) {
    if (SUCCEEDED(hr)) hr = SetKeyText(path, name, value);
  };
  set(reg.ProgId, L"", reg.TypeName);
  set(reg.ProgId + L"\\CLSID", L"", clsid);
  set(classKey, L"", reg.TypeName);
  set(classKey + L"\\ProgID", L"", reg.ProgId);
  set(classKey + L"\\InprocServer32", L"", reg.ModulePath);
  set(classKey + L"\\InprocServer32", L"ThreadingModel", reg.ThreadingModel);
  if (reg.MiscStatus) {
    // The default value covers every aspect; the "1" subkey is the content
    // aspect, which containers look up first.
    const std::wstring misc = std::to_wstring(reg.MiscStatus);
    set(classKey + L"\\MiscStatus", L"", misc);
    set(classKey + L"\\MiscStatus\\1", L"", misc);
  }
  if (reg.Control) {
    set(classKey + L"\\Control", L"", L"");
    set(classKey + L"\\Programmable", L"", L"");
  }
  if (reg.ToolboxBitmap) set(classKey + L"\\ToolboxBitmap32", L"", reg.ModulePath + L", " + std::to_wstring(reg.ToolboxBitmap));
  if (reg.TypeLib) set(classKey + L"\\TypeLib", L"", GuidText(*reg.TypeLib));
  if (!reg.Version.empty()) set(classKey + L"\\Version", L"", reg.Version);
  return hr;
}

HRESULT UnregisterClassKeys(const CLSID& clsid, const std::wstring& progId) {
  HRESULT hr = FromStatus(DeleteKeyTree(HKEY_CLASSES_ROOT, progId));
  HRESULT hr2 = FromStatus(DeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(clsid)));
  return FAILED(hr) ? hr : hr2;
}

HRESULT RegisterCategory(const CATID& catid, const std::wstring& description) {
  ComPtr<ICatRegister> manager;
  HRESULT hr = CategoryManager(&manager);
  if (FAILED(hr)) return hr;
  CATEGORYINFO info = {};
  info.catid = catid;
  info.lcid = kCategoryLocale;
  const std::size_t n = description.size() < 127 ? description.size() : 127;
  description.copy(info.szDescription, n);
  info.szDescription[n] = L'\0';
  return manager->RegisterCategories(1, &info);
}

HRESULT RegisterClassInCategory(const CLSID& clsid, const CATID& catid) {
  ComPtr<ICatRegister> manager;
  HRESULT hr = CategoryManager(&manager);
  if (FAILED(hr)) return hr;
  CATID ids[1] = {catid};
  return manager->RegisterClassImplCategories(clsid, 1, ids);
}

}  // namespace zt::com
