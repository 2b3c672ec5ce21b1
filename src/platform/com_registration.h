#pragma once
// What self-registration writes: the type library, the keys of a creatable
// class, and component categories through the system's ICatRegister.
#include <windows.h>
#include <comcat.h>

#include <string>

namespace zt::com {

// Registers the type library embedded (as resource 1) in the module file.
HRESULT RegisterModuleTypeLib(const std::wstring& modulePath);
HRESULT UnregisterModuleTypeLib(const GUID& libid, WORD major, WORD minor);

struct ClassRegistration {
  CLSID Clsid;
  std::wstring ProgId;       // "Library.Class.1"
  std::wstring TypeName;     // the class's display name
  std::wstring ModulePath;   // InprocServer32
  std::wstring ThreadingModel = L"Apartment";
  // Written only for a control; 0 leaves the keys out.
  DWORD MiscStatus = 0;
  bool Control = false;      // the Control and Programmable keys
  int ToolboxBitmap = 0;     // resource id for ToolboxBitmap32; 0 none
  const GUID* TypeLib = nullptr;
  std::wstring Version;      // "1.0"; empty leaves the key out
};

// Writes HKCR\ProgId and HKCR\CLSID\{clsid} with the data above.
HRESULT RegisterClassKeys(const ClassRegistration& reg);
// Removes HKCR\ProgId and HKCR\CLSID\{clsid} with everything under them.
HRESULT UnregisterClassKeys(const CLSID& clsid, const std::wstring& progId);

// Creates a component category (locale 0x409; the description is cut to
// 127 characters) through ICatRegister.
HRESULT RegisterCategory(const CATID& catid, const std::wstring& description);
// Marks clsid as implementing catid.
HRESULT RegisterClassInCategory(const CLSID& clsid, const CATID& catid);

}  // namespace zt::com
