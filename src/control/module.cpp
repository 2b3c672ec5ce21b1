// The in-process server: its entry points, its two class factories and
// what self-registration writes.
#include "platform/boundary.h"
#include <windows.h>
#include <comcat.h>
#include <olectl.h>

#include "control/guids.h"
#include "control/ztfileupload_ctrl.h"
#include "control/ztfileupload_proppage.h"
#include "platform/class_factory.h"
#include "platform/com_ptr.h"
#include "platform/com_registration.h"
#include "platform/module_state.h"
#include "platform/wide_text.h"
#include "resources/resource.h"
#include "text/string_table.h"

namespace zt {
namespace {

HRESULT CreatePropPage(REFIID iid, void** out) { return com::CreateObject<CZTFileUploadPropPage>(iid, out); }

// The category ids are those every browser checks; declared here so the
// module does not depend on a particular SDK's export of them.
constexpr CATID kSafeForScripting = {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
constexpr CATID kSafeForInitializing = {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

std::wstring TextOf(unsigned id) {
  std::u16string_view text = LoadText(id);
  return std::wstring(AsWideData(text), text.size());
}

HRESULT RegisterControlClass(const std::wstring& modulePath) {
  // A category that cannot be made leaves the class unmarked for it; the
  // registration goes on.
  if (SUCCEEDED(com::RegisterCategory(kSafeForScripting, L"Controls that are safely scriptable")))
    com::RegisterClassInCategory(CLSID_ZTFileUpload, kSafeForScripting);
  if (SUCCEEDED(com::RegisterCategory(kSafeForInitializing, L"Controls safely initializable from persistent data")))
    com::RegisterClassInCategory(CLSID_ZTFileUpload, kSafeForInitializing);

  com::ClassRegistration reg;
  reg.Clsid = CLSID_ZTFileUpload;
  reg.ProgId = kControlProgId;
  reg.TypeName = TextOf(IDS_ZTFILEUPLOAD);
  reg.ModulePath = modulePath;
  reg.MiscStatus = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
                   OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
  reg.Control = true;
  reg.ToolboxBitmap = IDB_ZTFILEUPLOAD;
  reg.TypeLib = &LIBID_ZTFILEUPLOADLib;
  reg.Version = L"1.0";
  return com::RegisterClassKeys(reg);
}

HRESULT RegisterPropPageClass(const std::wstring& modulePath) {
  com::ClassRegistration reg;
  reg.Clsid = CLSID_ZTFileUploadPropPage;
  reg.ProgId = kPropPageProgId;
  reg.TypeName = TextOf(IDS_ZTFILEUPLOAD_PPG);
  reg.ModulePath = modulePath;
  return com::RegisterClassKeys(reg);
}

// Registration runs inside regsvr32 or an installer, which may not have
// entered COM on this thread.
class ComScope {
public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

private:
  HRESULT hr_;
};

}  // namespace
}  // namespace zt

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    zt::com::SetModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return zt::com::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  zt::com::CreatorFunction creator = nullptr;
  if (IsEqualCLSID(clsid, zt::CLSID_ZTFileUpload))
    creator = &zt::com::CreateObject<zt::CZTFileUploadCtrl>;
  else if (IsEqualCLSID(clsid, zt::CLSID_ZTFileUploadPropPage))
    creator = &zt::CreatePropPage;
  else
    return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) zt::com::ClassFactory(creator);
  if (!factory) return E_OUTOFMEMORY;
  factory->AddRef();
  HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

STDAPI DllRegisterServer() {
  return zt::win::ComBoundary([]() -> HRESULT {
    zt::ComScope com;
    const std::wstring path = zt::com::ModulePath();
    if (path.empty() || FAILED(zt::com::RegisterModuleTypeLib(path))) return SELFREG_E_TYPELIB;
    if (FAILED(zt::RegisterControlClass(path)) || FAILED(zt::RegisterPropPageClass(path))) return SELFREG_E_CLASS;
    return S_OK;
  });
}

// Called by a cabinet's .inf, whose registry lines cannot depend on what the
// machine holds. Removal leaves the list, which outlives the control.
STDAPI DllInstall(BOOL install, LPCWSTR argument) {
  return install ? zt::InstallCabinetSites(argument) : S_OK;
}

STDAPI DllUnregisterServer() {
  return zt::win::ComBoundary([]() -> HRESULT {
    zt::ComScope com;
    const HRESULT typeLib =
        zt::com::UnregisterModuleTypeLib(zt::LIBID_ZTFILEUPLOADLib, zt::kTypeLibMajor, zt::kTypeLibMinor);
    // The class keys go even when the type library was already gone: stopping
    // there would leave keys that no later unregistration could remove.
    HRESULT control = zt::com::UnregisterClassKeys(zt::CLSID_ZTFileUpload, zt::kControlProgId);
    HRESULT page = zt::com::UnregisterClassKeys(zt::CLSID_ZTFileUploadPropPage, zt::kPropPageProgId);
    if (FAILED(typeLib)) return SELFREG_E_TYPELIB;
    if (FAILED(control) || FAILED(page)) return SELFREG_E_CLASS;
    return S_OK;
  });
}
